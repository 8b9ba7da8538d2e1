#include "platform/session/abort_signals.h"

#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

#include "platform/core/log.h"

namespace platform {
namespace {

// Written by the handlers, read by the run's one thread.
volatile sig_atomic_t g_abortSignal = 0;
volatile sig_atomic_t g_writeDepth = 0;
volatile sig_atomic_t g_warned = 0;  // a first Ctrl+C of a write was answered
// Seconds of CLOCK_MONOTONIC at the last warned Ctrl+C (the human's time,
// not the program's clock, which may be virtual).
volatile sig_atomic_t g_lastInterrupt = 0;
bool g_abortLogged = false;
bool g_warningLogged = false;
int g_mustFinishDepth = 0;
const char* g_mustFinishWhat = nullptr;
bool g_deferLogged = false;

constexpr int kAbortSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM};

constexpr char kWarning[] =
    "An update is in progress: press Ctrl+C again within 5 s to abort. The unit will then need a new update.";

long MonotonicSeconds() {
  struct timespec now {};
  clock_gettime(CLOCK_MONOTONIC, &now);  // async-signal-safe
  return static_cast<long>(now.tv_sec);
}

void OnSignal(int signal) {
  const int savedErrno = errno;
  if (signal != SIGINT || g_writeDepth == 0) {
    if (g_abortSignal == 0) g_abortSignal = signal;
  } else {
    const long now = MonotonicSeconds();
    if (g_warned && now - g_lastInterrupt <= kInterruptWindowSeconds) {
      if (g_abortSignal == 0) g_abortSignal = SIGINT;
    } else {
      g_warned = 1;
      g_lastInterrupt = static_cast<sig_atomic_t>(now);
      // write() is safe here; stdio is not.
      static const char line[] = "\n";
      ssize_t ignored = ::write(STDERR_FILENO, line, 1);
      ignored = ::write(STDERR_FILENO, kWarning, sizeof kWarning - 1);
      ignored = ::write(STDERR_FILENO, line, 1);
      (void)ignored;
    }
  }
  errno = savedErrno;
}

}  // namespace

const char* SignalName(int signal) {
  switch (signal) {
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
    case SIGHUP:
      return "SIGHUP";
    case SIGQUIT:
      return "SIGQUIT";
    case SIGUSR1:
      return "SIGUSR1";
    case SIGUSR2:
      return "SIGUSR2";
    case SIGALRM:
      return "SIGALRM";
    case SIGVTALRM:
      return "SIGVTALRM";
    default:
      return "a signal";
  }
}

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

bool AbortRequested() {
  if (g_warned && !g_warningLogged) {
    g_warningLogged = true;
    LogMessage("SIGINT during a write: the transfer goes on unless it is repeated within %d s\n",
               kInterruptWindowSeconds);
  }
  const int signal = g_abortSignal;
  if (signal == 0) return false;
  if (g_mustFinishDepth > 0) {
    if (!g_deferLogged) {
      g_deferLogged = true;
      LogMessage("%s received during %s: it finishes first\n", SignalName(signal), g_mustFinishWhat);
    }
    return false;
  }
  if (!g_abortLogged) {
    g_abortLogged = true;
    LogMessage("Aborting: %s received\n", SignalName(signal));
  }
  return true;
}

int AbortSignal() { return g_abortSignal; }

int AbortExitStatus(int signal) { return 128 + signal; }

WriteInProgress::WriteInProgress() { g_writeDepth = g_writeDepth + 1; }

WriteInProgress::~WriteInProgress() {
  g_writeDepth = g_writeDepth - 1;
  if (g_writeDepth == 0) {
    // A warning belongs to the write it was given in.
    g_warned = 0;
    g_warningLogged = false;
  }
}

MustFinish::MustFinish(const char* what) : what_(g_mustFinishWhat) {
  if (g_mustFinishDepth++ == 0) g_mustFinishWhat = what;
}

MustFinish::~MustFinish() {
  if (--g_mustFinishDepth == 0) g_deferLogged = false;
  g_mustFinishWhat = what_;
}

const char* InterruptWarningText() { return kWarning; }

}  // namespace platform
