#include <windows.h>

#include <cstring>

#include "platform/session/abort_record.h"
#include "platform/session/abort_signals.h"

namespace platform {
namespace {

// The console's events as the signals they stand for: Ctrl+C and
// Ctrl+Break interrupt, closing the console window hangs up, logging off
// and shutting down terminate.
int SignalOf(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      return kSignalInterrupt;
    case CTRL_CLOSE_EVENT:
      return kSignalHangUp;
    default:
      return kSignalTerminate;
  }
}

// Runs on a thread the system starts for each event.
BOOL WINAPI OnConsoleEvent(DWORD event) {
  const int signal = SignalOf(event);
  if (RecordAbortSignal(signal, static_cast<long>(GetTickCount64() / 1000))) {
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    const char* warning = InterruptWarningText();
    DWORD ignored = 0;
    WriteFile(err, "\n", 1, &ignored, nullptr);
    WriteFile(err, warning, static_cast<DWORD>(std::strlen(warning)), &ignored, nullptr);
    WriteFile(err, "\n", 1, &ignored, nullptr);
  }
  if (signal != kSignalInterrupt) {
    // The system ends the process as soon as this returns (and a few
    // seconds later regardless): hold it while the run leaves through its
    // failure path; the process exits from its main thread meanwhile.
    ::Sleep(10000);
  }
  return TRUE;
}

}  // namespace

void InstallAbortSignals() { SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }

}  // namespace platform
