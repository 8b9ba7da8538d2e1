#include "platform/core/log.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/core/append_file.h"
#include "platform/core/clock.h"

namespace {

constexpr const char* kLogFileName = "OrvellaReflash.log";
constexpr size_t kMessageBuffer = 1024;

// The one log file of the process; opened by the first record of a run.
std::FILE* g_logFile = nullptr;
// A log that cannot be opened or written is reported once per process,
// not per record.
bool g_openFailureReported = false;

// Never through a symbolic link: a run as root in a shared folder must not
// append to whatever file the link names. Never a FIFO or a device either.
std::FILE* OpenLog() {
  int error = 0;
  std::FILE* file = platform::OpenForAppend(kLogFileName, false, &error);
  if (!file && !g_openFailureReported) {
    g_openFailureReported = true;
    // ENXIO: a FIFO that nobody reads.
    const char* reason = error == ELOOP                      ? "it is a symbolic link"
                         : error == EINVAL || error == ENXIO ? "it is not a regular file"
                                                             : std::strerror(error);
    std::fprintf(stderr, "reflash: cannot write the log %s (%s); the run goes on without it\n", kLogFileName,
                 reason);
  }
  return file;
}

}  // namespace

int LogMessage(const char* format, ...) {
  if (g_logFile == nullptr) {
    g_logFile = OpenLog();
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
  if (std::fflush(g_logFile) != 0 || std::ferror(g_logFile)) {
    // A full disk loses records as surely as a read-only folder does.
    const int error = errno;
    std::clearerr(g_logFile);
    if (!g_openFailureReported) {
      g_openFailureReported = true;
      std::fprintf(stderr, "reflash: cannot write the log %s (%s); records are being lost\n", kLogFileName,
                   std::strerror(error));
    }
  }
  return 0;
}

void CloseLog() {
  if (g_logFile != nullptr) {
    std::fclose(g_logFile);
    g_logFile = nullptr;
  }
}
