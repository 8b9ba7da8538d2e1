#pragma once
// Between the abort rules and the system's way of delivering Ctrl+C and its
// kin (signal handlers on Linux, console control events on Windows).

namespace platform {

// The signals' numbers, the same on every system, so exit statuses and log
// lines do not depend on where the program runs.
constexpr int kSignalHangUp = 1;
constexpr int kSignalInterrupt = 2;
constexpr int kSignalQuit = 3;
constexpr int kSignalUser1 = 10;
constexpr int kSignalUser2 = 12;
constexpr int kSignalAlarm = 14;
constexpr int kSignalTerminate = 15;
constexpr int kSignalVirtualAlarm = 26;

// Applies the abort rules to one arriving `signal` at `nowSeconds` on a
// monotonic clock (the human's time, not the program's clock, which may be
// virtual). Safe in a signal handler. Returns true when this is the first
// Ctrl+C of a write: the caller then shows InterruptWarningText().
bool RecordAbortSignal(int signal, long nowSeconds);

}  // namespace platform
