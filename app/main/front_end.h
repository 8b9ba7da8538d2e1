#pragma once
// What a run talks to: the UI host (the console, or the Qt window when a
// display is available) and, with --simulate, the simulated units in place
// of the real links. main() runs the application inside RunFrontEnd.
#include <functional>

#include "app/main/cli.h"
#include "app/reflash_dlg.h"

// Installs the host and the scenario that `cli` asks for, runs `run` and
// returns its exit status. "--simulate=list" prints the scenario names
// instead; an unknown scenario is a usage error. `argc`/`argv` go to Qt.
int RunFrontEnd(const CliOptions& cli, int& argc, char** argv, const std::function<int()>& run);

// The exit status of a window run: 0 when it did what was asked (an update
// or a serial number completed, or the units were only listed), 1 when it
// failed, was cancelled or found no unit.
int ExitStatus(RunOutcome outcome);
