// The display states, decoration and the window's own events.
#include <gtest/gtest.h>

#include "app/reflash_dlg.h"
#include "app/resources/dialog_templates.h"
#include "tests/app/window_fixture.h"
#include "tests/support/scripted_host.h"

namespace {

using namespace resources;

TEST(WindowState, SetDialogStateShowsExactlyTheControlsOfEachState) {
  test_support::ScriptedHost host;
  CReflashDlg dlg("");
  dlg.m_window = host.CreateDialog(MainDialogTemplate(), dlg, nullptr);
  const int controls[] = {IDC_NOTICE1,  IDC_NOTICE2, IDC_NOTICE3,     IDC_DONT_INTERRUPT, IDC_STATUS,
                          IDC_PROGRESS, IDC_CONGRATULATIONS, IDCANCEL_BUTTON, IDC_UPDATE,  IDOK_CLOSE};
  // Rows in the order of `controls`: ready, busy, done.
  const bool expected[3][10] = {
      {true, true, true, false, false, false, false, true, true, false},
      {false, false, false, true, true, true, false, false, false, false},
      {false, false, false, false, false, false, true, false, false, true},
  };
  for (int state = 0; state < 3; ++state) {
    dlg.SetDialogState(state);
    for (int i = 0; i < 10; ++i) {
      EXPECT_EQ(dlg.m_window->IsVisible(controls[i]), expected[state][i]) << "state " << state << " id " << controls[i];
    }
  }
  // Unknown states change nothing; the list and the rows are never touched.
  dlg.SetDialogState(7);
  dlg.SetDialogState(-1);
  EXPECT_TRUE(dlg.m_window->IsVisible(IDOK_CLOSE));
  EXPECT_TRUE(dlg.m_window->IsVisible(IDC_MODEL));
  EXPECT_TRUE(dlg.m_window->IsVisible(IDC_SERIAL));
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
  EXPECT_EQ(run.Dlg().Outcome(), RunOutcome::Nothing);
}

TEST(WindowState, DoneStateSurvivesASelectionChange) {
  WindowRun run("two-units-card");
  run.Script()
      .Do([&](test_support::MemoryDialog&) { run.Dlg().SetDialogState(kStateDone); })
      .Select(IDC_MODEL, 2)
      .Do([&](test_support::MemoryDialog& d) {
        EXPECT_TRUE(d.IsVisible(IDC_CONGRATULATIONS));
        EXPECT_TRUE(d.IsVisible(IDOK_CLOSE));
        EXPECT_FALSE(d.IsVisible(IDC_UPDATE));
        EXPECT_FALSE(d.IsVisible(IDCANCEL_BUTTON));
      })
      .Press(IDOK_CLOSE);
  run.Run();
  EXPECT_EQ(run.Window().Find(IDC_MODEL)->selection, 2);
}

}  // namespace
