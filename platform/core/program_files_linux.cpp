#include "platform/core/program_files_os.h"

namespace platform {

std::string SystemProgramFiles() { return "/opt"; }

bool IsFolderSeparator(char c) { return c == '/'; }

}  // namespace platform
