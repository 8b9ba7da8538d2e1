#include "app/dialog_states.h"

#include "app/resources/dialog_templates.h"

namespace {

using namespace resources;

// Controls shown (true) in each state: ready, busy, done.
struct StateRow {
  int id;
  bool shown[3];
};

constexpr StateRow kStateTable[] = {
    {IDC_NOTICE1, {true, false, false}},
    {IDC_NOTICE2, {true, false, false}},
    {IDC_NOTICE3, {true, false, false}},
    {IDC_DONT_INTERRUPT, {false, true, false}},
    {IDC_STATUS, {false, true, false}},
    {IDC_PROGRESS, {false, true, false}},
    {IDC_CONGRATULATIONS, {false, false, true}},
    {IDCANCEL_BUTTON, {true, false, false}},
    {IDC_UPDATE, {true, false, false}},
    {IDOK_CLOSE, {false, false, true}},
};

}  // namespace

void ShowDialogState(platform::ui::DialogWindow& window, int state) {
  if (state < kStateReady || state > kStateDone) return;
  for (const StateRow& row : kStateTable) window.Show(row.id, row.shown[state]);
  if (state != kStateBusy) window.ShowNote({});
}
