#pragma once
// Interrupt, terminate and hang-up signals end a run cleanly instead of
// killing it: the handlers only record what arrived; the wait loops ask
// AbortRequested() and leave through the run's normal failure path (cancel
// command, log, temporary folder removed). A closed output pipe does not
// kill the run either.
#include <string>

namespace platform {

// Installs the handlers for SIGINT, SIGTERM and SIGHUP and ignores SIGPIPE.
// Once per process, before the run starts.
void InstallAbortSignals();

// True once the run should end: a SIGTERM or SIGHUP, a SIGINT outside a
// write, or a second SIGINT within kInterruptWindowSeconds during one. The
// first call that sees it logs which signal ended the run.
bool AbortRequested();

// The signal that ended the run, 0 when none did.
int AbortSignal();

// "SIGINT", "SIGTERM", "SIGHUP".
const char* SignalName(int signal);

// Exit status of a run ended by `signal`: 128 + its number (130 for SIGINT,
// 143 for SIGTERM, 129 for SIGHUP).
int AbortExitStatus(int signal);

// During a write to a unit the first Ctrl+C only warns: the unit would
// need a new update if the transfer stopped half-way.
constexpr int kInterruptWindowSeconds = 5;

// Marks the time a unit is being written to (nesting allowed).
class WriteInProgress {
 public:
  WriteInProgress();
  ~WriteInProgress();
  WriteInProgress(const WriteInProgress&) = delete;
  WriteInProgress& operator=(const WriteInProgress&) = delete;
};

// The line the first Ctrl+C of a write puts on the error stream.
const char* InterruptWarningText();

}  // namespace platform
