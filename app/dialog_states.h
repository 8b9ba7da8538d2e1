#pragma once
// The main window's three display states, which every workflow switches
// between: ready (notices, Cancel, Update), busy (the do-not-interrupt
// notice, status line and progress bar) and done (congratulations, Close).
// The list, the labels and the value fields are never touched.
#include "platform/ui/ui_host.h"

enum DialogState { kStateReady = 0, kStateBusy = 1, kStateDone = 2 };

// Shows the controls of `state` in `window` and hides the others of the
// table; any other value changes nothing. A note about a run that has
// ended would tell an old story: outside the busy state it is taken away.
void ShowDialogState(platform::ui::DialogWindow& window, int state);
