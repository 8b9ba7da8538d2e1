#pragma once
// The diagnostic log: "OrvellaReflash.log" in the working directory,
// appended, one record per call: "%04d-%02d-%02d %02d:%02d:%02d %s" with the
// local time and the caller's text exactly as formatted (no line end added;
// at most 1023 characters). An unwritable log drops the record silently.
// Declared here, below every layer that logs; defined in platform/core.
#include "platform/core/printf_format.h"

int LogMessage(const char* format, ...) REFLASH_PRINTF_FORMAT(1, 2);

// Closes the log file; a later record opens it again.
void CloseLog();
