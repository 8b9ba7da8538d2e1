#pragma once
// Every signal that would end the program (interrupt, terminate, hang-up,
// quit, the user and alarm signals) ends a run cleanly instead of killing
// it: the handlers only record what arrived; the wait loops ask
// AbortRequested() and leave through the run's normal failure path (cancel
// command, log, temporary folder removed). A closed output pipe or a file
// size limit does not kill the run either. A signal the program was started
// with ignored (nohup, a background job) stays ignored.
#include <string>

#include "platform/core/non_copyable.h"

namespace platform {

// Installs the handlers for SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1,
// SIGUSR2, SIGALRM and SIGVTALRM, except where the signal is ignored
// already, and ignores SIGPIPE and SIGXFSZ. Once per process, before the
// run starts.
void InstallAbortSignals();

// True once the run should end: any of the signals above, except that a
// SIGINT during a write needs a second one within kInterruptWindowSeconds.
// Always false inside a MustFinish step. The first call that sees it logs
// which signal ended the run.
bool AbortRequested();

// The signal that ended the run, 0 when none did.
int AbortSignal();

// "SIGINT", "SIGTERM", "SIGHUP", "SIGQUIT", ...
const char* SignalName(int signal);

// Exit status of a run ended by `signal`: 128 + its number (130 for SIGINT,
// 143 for SIGTERM, 129 for SIGHUP).
int AbortExitStatus(int signal);

// During a write to a unit the first Ctrl+C only warns: the unit would
// need a new update if the transfer stopped half-way.
constexpr int kInterruptWindowSeconds = 5;

// Marks the time a unit is being written to (nesting allowed).
class WriteInProgress : NonCopyable {
 public:
  WriteInProgress();
  ~WriteInProgress();
};

// A step that must not be cut once begun (a serial commit, the unit's
// own programming after the download, the card's USB download): a signal
// that arrives meanwhile is kept, and acted on when the step has finished
// and reported its true outcome. The step must be bounded by its own waits.
class MustFinish : NonCopyable {
 public:
  explicit MustFinish(const char* what);
  ~MustFinish();

 private:
  const char* what_;
};

// The line the first Ctrl+C of a write puts on the error stream.
const char* InterruptWarningText();

}  // namespace platform
