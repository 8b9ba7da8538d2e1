// The display states, decoration and the window's own events.
#include <gtest/gtest.h>

#include "app/dialog_states.h"
#include "app/reflash_dlg.h"
#include "app/resources/dialog_templates.h"
#include "tests/app/update_fixture.h"
#include "tests/app/window_fixture.h"
#include "tests/support/scripted_host.h"

namespace {

using namespace resources;
using platform::ui::Answer;

constexpr int kStateControls[] = {IDC_NOTICE1,  IDC_NOTICE2,         IDC_NOTICE3,     IDC_DONT_INTERRUPT, IDC_STATUS,
                                  IDC_PROGRESS, IDC_CONGRATULATIONS, IDCANCEL_BUTTON, IDC_UPDATE,         IDOK_CLOSE};
// Rows in the order of kStateControls: ready, busy, done.
constexpr bool kShownIn[3][10] = {
    {true, true, true, false, false, false, false, true, true, false},
    {false, false, false, true, true, true, false, false, false, false},
    {false, false, false, false, false, false, true, false, false, true},
};

// Which state's row the window's visibility matches, or -1 for none.
int StateShown(test_support::MemoryDialog& d) {
  for (int state = 0; state < 3; ++state) {
    bool match = true;
    for (int i = 0; i < 10; ++i) match = match && d.IsVisible(kStateControls[i]) == kShownIn[state][i];
    if (match) return state;
  }
  return -1;
}

class NoEvents : public platform::ui::DialogEvents {
 public:
  bool OnInitDialog() override { return true; }
  void OnCommand(int) override {}
};

TEST(WindowState, EachStateShowsExactlyItsControls) {
  test_support::ScriptedHost host;
  NoEvents events;
  auto window = host.CreateDialog(MainDialogTemplate(), events, nullptr);
  auto& d = static_cast<test_support::MemoryDialog&>(*window);
  for (int state = 0; state < 3; ++state) {
    ShowDialogState(d, state);
    EXPECT_EQ(StateShown(d), state);
  }
  // Unknown states change nothing; the list and the rows are never touched.
  ShowDialogState(d, 7);
  ShowDialogState(d, -1);
  EXPECT_EQ(StateShown(d), kStateDone);
  EXPECT_TRUE(d.IsVisible(IDC_MODEL));
  EXPECT_TRUE(d.IsVisible(IDC_SERIAL));
}

TEST(WindowState, AnUpdateGoesFromReadyThroughBusyToDone) {
  workflow_test::Rig rig;
  std::vector<int> states;
  auto look = [&](test_support::MemoryDialog& d) { states.push_back(StateShown(d)); };
  rig.tap.onFrame = [&](uint8_t code, int nth) {
    if (code == codec::kDataPacket && nth == 0) look(*rig.host.Open(kMainDialog));
  };
  const std::string path = rig.WriteImage("NBT0110ANC.BIN", workflow_test::Pattern(1000));
  rig.host.QueueAnswer(Answer::Ok);
  rig.host.ScriptFor(kMainDialog).Drop({path}).Do(look).Press(IDC_UPDATE).Do(look).Press(IDOK_CLOSE);
  EXPECT_EQ(rig.Run(), RunOutcome::UpdateSucceeded);
  EXPECT_EQ(states, (std::vector<int>{kStateReady, kStateBusy, kStateDone}));
  // The rows and the list stay through every state.
  EXPECT_TRUE(rig.Visible(IDC_MODEL));
  EXPECT_TRUE(rig.Visible(IDC_SERIAL));
  EXPECT_TRUE(rig.Visible(IDC_PROM));
}

TEST(WindowState, ColoursOfNoticesValuesAndLabels) {
  CReflashDlg dlg("");
  for (int id = IDC_NOTICE1; id <= IDC_CONGRATULATIONS; ++id) {
    EXPECT_TRUE(dlg.OnCtlColor(id).blueText);
    EXPECT_TRUE(dlg.OnCtlColor(id).transparent);
  }
  for (int id : std::initializer_list<int>{IDC_SERIAL, IDC_PCB_REV, IDC_FW_VERSION, IDC_NEW_FW_DATE, IDC_PROM, IDC_MFG_DATE, IDC_PROM_LABEL,
                 platform::ui::kNoId}) {
    EXPECT_FALSE(dlg.OnCtlColor(id).blueText) << id;
    EXPECT_TRUE(dlg.OnCtlColor(id).transparent) << id;
  }
  for (int id : {IDC_MODEL, IDC_UPDATE, IDC_PROGRESS, IDC_SERIAL_LABEL}) {
    EXPECT_FALSE(dlg.OnCtlColor(id).transparent) << id;
  }
}

TEST(WindowState, OpensReadyWithTheAboutEntryAndBoldNotices) {
  WindowRun run("default");
  bool checked = false;
  run.Script().Do([&](test_support::MemoryDialog& d) {
    checked = true;
    const auto& state = d.State();
    ASSERT_EQ(state.systemMenu.size(), 1u);
    EXPECT_EQ(state.systemMenu[0].first, kAboutCommand);
    EXPECT_EQ(state.systemMenu[0].second, "&About Orvella(n) Firmware Update...");
    EXPECT_EQ(state.Find(IDC_NOTICE2)->font, platform::ui::FontKind::Bold);
    EXPECT_EQ(state.Find(IDC_SERIAL)->font, platform::ui::FontKind::Bold);
    EXPECT_TRUE(state.Find(IDC_UPDATE)->visible);
    EXPECT_FALSE(state.Find(IDOK_CLOSE)->visible);
  });
  run.Script().SysCommand(kAboutCommand | 0x3).Press(IDOK_CLOSE);
  EXPECT_EQ(run.Run(), IDOK_CLOSE);
  EXPECT_TRUE(checked);
  // The about box opened (low four bits of the command do not matter) and closed.
  ASSERT_NE(run.Host().Last(kAboutDialog), nullptr);
  EXPECT_TRUE(run.Host().Last(kAboutDialog)->ended);
  EXPECT_EQ(run.Outcome(), RunOutcome::Nothing);
}

TEST(WindowState, TheDoneStateBelongsToTheEntryUpdated) {
  // Another entry is ready to update; back on the updated one, the window
  // is done again, with its congratulations.
  WindowRun run("two-units-card");
  run.Host().QueueAnswer(Answer::Ok);
  std::vector<int> states;
  std::string congratulations;
  auto look = [&](test_support::MemoryDialog& d) { states.push_back(StateShown(d)); };
  run.Script()
      .Press(IDC_UPDATE)
      .Do(look)
      .Select(IDC_MODEL, 2)
      .Do(look)
      .Select(IDC_MODEL, 0)
      .Do(look)
      .Do([&](test_support::MemoryDialog& d) { congratulations = d.GetText(IDC_CONGRATULATIONS); })
      .Press(IDOK_CLOSE);
  EXPECT_EQ(run.Run(), IDOK_CLOSE);
  EXPECT_EQ(run.Outcome(), RunOutcome::UpdateSucceeded);
  EXPECT_EQ(states, (std::vector<int>{kStateDone, kStateReady, kStateDone}));
  EXPECT_EQ(congratulations.find("Congratulations!\n\nThe firmware has been successfully updated on the Orvella(n)."),
            0u) << congratulations;
  EXPECT_EQ(run.Window().Find(IDC_MODEL)->selection, 0);
}

}  // namespace
