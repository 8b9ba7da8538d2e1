#pragma once
// What a run talks to: the UI host (the console, or the Qt window when a
// display is available) and, with --simulate, the simulated units in place
// of the real links. main() runs the application inside RunFrontEnd.
#include <functional>

#include "app/main/cli.h"
#include "app/reflash_dlg.h"
#include "app/run_report.h"

// Whether the run shows a window (a display is available and neither
// --console nor --json was given) rather than working in the console.
bool UsesWindow(const CliOptions& cli);

// Installs the host and the scenario that `cli` asks for, runs `run` with
// the window's run settings (entry to show, strictness, the front end's
// record of writes) and returns its exit status; a run ended by a signal
// exits 128 + the signal's number. "--simulate=list" prints the scenarios
// with a line of description each instead; an unknown scenario is a usage
// error. `argc`/`argv` go to Qt.
int RunFrontEnd(const CliOptions& cli, int& argc, char** argv, const std::function<int(const RunSettings&)>& run);

// The exit status of a window run: 0 when it did what was asked (an update
// or a serial number completed, or the units were only listed), 1 when it
// failed, was cancelled or found no unit, 2 for a usage error found by the
// window (an unknown token or an entry past the list in a scripted run).
int ExitStatus(RunOutcome outcome);
