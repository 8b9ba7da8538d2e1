#include "platform/session/abort_signals.h"

#include <csignal>

#include "platform/core/log.h"
#include "platform/session/abort_record.h"

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

constexpr const char kWarning[] =
    "An update is in progress: press Ctrl+C again within 5 s to abort. The unit will then need a new update.";

}  // namespace

bool RecordAbortSignal(int signal, long nowSeconds) {
  if (signal != kSignalInterrupt || g_writeDepth == 0) {
    if (g_abortSignal == 0) g_abortSignal = signal;
    return false;
  }
  if (g_warned && nowSeconds - g_lastInterrupt <= kInterruptWindowSeconds) {
    if (g_abortSignal == 0) g_abortSignal = kSignalInterrupt;
    return false;
  }
  g_warned = 1;
  g_lastInterrupt = static_cast<sig_atomic_t>(nowSeconds);
  return true;
}

const char* SignalName(int signal) {
  switch (signal) {
    case kSignalInterrupt:
      return "SIGINT";
    case kSignalTerminate:
      return "SIGTERM";
    case kSignalHangUp:
      return "SIGHUP";
    case kSignalQuit:
      return "SIGQUIT";
    case kSignalUser1:
      return "SIGUSR1";
    case kSignalUser2:
      return "SIGUSR2";
    case kSignalAlarm:
      return "SIGALRM";
    case kSignalVirtualAlarm:
      return "SIGVTALRM";
    default:
      return "a signal";
  }
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
