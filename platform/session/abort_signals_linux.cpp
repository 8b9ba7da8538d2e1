#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/session/abort_record.h"
#include "platform/session/abort_signals.h"

namespace platform {
namespace {

static_assert(SIGHUP == kSignalHangUp && SIGINT == kSignalInterrupt && SIGQUIT == kSignalQuit &&
              SIGUSR1 == kSignalUser1 && SIGUSR2 == kSignalUser2 && SIGALRM == kSignalAlarm &&
              SIGTERM == kSignalTerminate && SIGVTALRM == kSignalVirtualAlarm);

constexpr int kAbortSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM};

long MonotonicSeconds() {
  struct timespec now {};
  clock_gettime(CLOCK_MONOTONIC, &now);  // async-signal-safe
  return static_cast<long>(now.tv_sec);
}

void OnSignal(int signal) {
  const int savedErrno = errno;
  if (RecordAbortSignal(signal, MonotonicSeconds())) {
    // write() is safe here; stdio is not.
    static const char line[] = "\n";
    const char* warning = InterruptWarningText();
    ssize_t ignored = ::write(STDERR_FILENO, line, 1);
    ignored = ::write(STDERR_FILENO, warning, std::strlen(warning));
    ignored = ::write(STDERR_FILENO, line, 1);
    (void)ignored;
  }
  errno = savedErrno;
}

}  // namespace

void InstallAbortSignals() {
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a blocking read of a prompt returns and the run goes on
  // to its end instead of waiting for input that will not come.
  action.sa_flags = 0;
  for (int signal : kAbortSignals) {
    // A shell starts background jobs with SIGINT and SIGQUIT ignored, and
    // nohup ignores SIGHUP: what the caller chose to ignore stays ignored.
    struct sigaction current {};
    if (sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) continue;
    sigaction(signal, &action, nullptr);
  }
  // A closed pipe on standard output ends a write with EPIPE, and a file
  // size limit a log record with EFBIG, not the run.
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGPIPE, &ignore, nullptr);
  sigaction(SIGXFSZ, &ignore, nullptr);
}

}  // namespace platform
