#include "platform/core/log.h"

#include <cstdarg>
#include <cstdio>

#include "platform/core/clock.h"

namespace {

constexpr const char* kLogFileName = "OrvellaReflash.log";
constexpr size_t kMessageBuffer = 1024;

// The one log file of the process; opened by the first record of a run.
std::FILE* g_logFile = nullptr;

}  // namespace

int LogMessage(const char* format, ...) {
  if (g_logFile == nullptr) {
    g_logFile = std::fopen(kLogFileName, "a");
    if (g_logFile == nullptr) {
      return 0;  // unwritable: drop the record, the next call tries again
    }
  }

  char message[kMessageBuffer];
  va_list args;
  va_start(args, format);
  // vsnprintf cuts a longer message and always terminates it.
  std::vsnprintf(message, sizeof message, format, args);
  va_end(args);

  platform::LocalTime now = platform::Use<platform::Clock>().Now();
  std::fprintf(g_logFile, "%04d-%02d-%02d %02d:%02d:%02d %s", now.year, now.month, now.day, now.hour, now.minute,
               now.second, message);
  // Flushed per record so that the log still tells the story when the
  // program is killed or crashes in the middle of an update.
  std::fflush(g_logFile);
  return 0;
}

void CloseLog() {
  if (g_logFile != nullptr) {
    std::fclose(g_logFile);
    g_logFile = nullptr;
  }
}
