// The update window's own logic on the native host, against a simulated
// unit on the virtual clock: the same CReflashDlg as the other hosts, seen
// through the system's controls.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "app/reflash_app.h"
#include "app/reflash_dlg.h"
#include "app/resources/dialog_templates.h"
#include "platform/core/clock.h"
#include "platform/core/wide_text_win32.h"
#include "sim/scenarios/scenarios.h"
#include "win32_test_env.h"

namespace {

namespace ui = platform::ui;
using platform::win32ui::Win32DialogWindow;
using namespace resources;

std::string ControlText(HWND dialog, int id) {
  wchar_t text[512] = {};
  GetDlgItemTextW(dialog, id, text, 512);
  return platform::win32::Narrow(text);
}

bool Shown(HWND dialog, int id) { return (GetWindowLongW(GetDlgItem(dialog, id), GWL_STYLE) & WS_VISIBLE) != 0; }

void PostClick(HWND dialog, int id) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

struct SimulatedWindow : ::testing::Test {
  win32_test::HostScope scope;
  platform::VirtualClock clock;
  platform::Override<platform::Clock> useClock{clock};
  std::unique_ptr<sim::Scenario> scenario = sim::MakeScenario("");
  std::vector<ui::MessageBoxRequest> asked;
  ui::Answer questionAnswer = ui::Answer::Ok;

  SimulatedWindow() {
    scenario->Install();
    scope.host.SetMessageBoxHook([this](const ui::MessageBoxRequest& r) {
      asked.push_back(r);
      return std::optional<ui::Answer>(r.buttons == ui::Buttons::OkCancel ? questionAnswer : ui::Answer::Ok);
    });
  }
};

// Watches the main window from a timer of its own, as a user would.
HWND watched = nullptr;
std::function<void(HWND)> watch;
void CALLBACK Watch(HWND, UINT, UINT_PTR, DWORD) {
  if (watched && watch) watch(watched);
}

TEST_F(SimulatedWindow, UpdateFromTheButtonEndsWithCongratulationsAndClose) {
  CReflashDlg dlg{""};
  std::string entry, version, newVersion;
  int entries = 0;
  bool busySeen = false, doneSeen = false;
  int barMost = 0;
  scope.host.SetShownHook([&](Win32DialogWindow& d) {
    if (d.TemplateId() != kMainDialog) return;
    HWND w = d.Handle();
    entries = static_cast<int>(SendMessageW(GetDlgItem(w, IDC_MODEL), CB_GETCOUNT, 0, 0));
    entry = ControlText(w, IDC_MODEL);
    version = ControlText(w, IDC_FW_VERSION);
    newVersion = ControlText(w, IDC_NEW_FW_VERSION);
    watched = w;
    watch = [&](HWND window) {
      if (Shown(window, IDC_PROGRESS) && !Shown(window, IDC_UPDATE)) {
        busySeen = true;
        barMost = std::max(barMost, static_cast<int>(SendMessageW(GetDlgItem(window, IDC_PROGRESS), PBM_GETPOS, 0, 0)));
      }
      if (Shown(window, IDOK_CLOSE) && !doneSeen) {
        doneSeen = true;
        PostClick(window, IDOK_CLOSE);
      }
    };
    PostClick(w, IDC_UPDATE);
  });
  const UINT_PTR timer = SetTimer(nullptr, 0, 10, Watch);
  win32_test::Deadline deadline(scope.host, 60000);
  const int result = dlg.DoModal();
  KillTimer(nullptr, timer);
  ASSERT_NE(result, 0) << "the window did not open";
  watched = nullptr;

  EXPECT_EQ(entries, 1);
  EXPECT_EQ(entry.rfind("Orvella(n) connected via ", 0), 0u) << entry;
  EXPECT_EQ(version, "1.2");
  EXPECT_EQ(newVersion, "1.10");
  EXPECT_TRUE(busySeen);
  EXPECT_TRUE(doneSeen);
  EXPECT_GT(barMost, 0) << "the bar moved during the run";
  EXPECT_EQ(dlg.Outcome(), RunOutcome::UpdateSucceeded);
  ASSERT_FALSE(asked.empty());
  EXPECT_EQ(asked.front().buttons, ui::Buttons::OkCancel) << "the confirmation comes first";
  EXPECT_FALSE(win32_test::Deadline::Fired());
}

TEST_F(SimulatedWindow, CancelInTheConfirmationProgramsNothing) {
  questionAnswer = ui::Answer::Cancel;
  CReflashDlg dlg{""};
  bool readyAgain = false;
  scope.host.SetShownHook([&](Win32DialogWindow& d) {
    if (d.TemplateId() != kMainDialog) return;
    HWND w = d.Handle();
    PostClick(w, IDC_UPDATE);
    // The question is answered inside the click; then the window is as before.
    win32_test::PumpUntil(scope.host, [&] { return !asked.empty(); });
    readyAgain = Shown(w, IDC_UPDATE) && Shown(w, IDCANCEL_BUTTON) && !Shown(w, IDC_PROGRESS);
    PostClick(w, IDCANCEL_BUTTON);
  });
  win32_test::Deadline deadline(scope.host, 30000);
  dlg.DoModal();
  EXPECT_TRUE(readyAgain);
  EXPECT_NE(dlg.Outcome(), RunOutcome::UpdateSucceeded);
  EXPECT_EQ(asked.size(), 1u);
}

// The about box from the window menu: a dialog of its own, owned by the
// window, which stays disabled until the box is closed.
TEST_F(SimulatedWindow, TheAboutBoxOpensFromTheWindowMenuAndHoldsTheWindow) {
  CReflashDlg dlg{""};
  HWND main = nullptr;
  std::string caption, version;
  bool ownedAndHeld = false;
  scope.host.SetShownHook([&](Win32DialogWindow& d) {
    if (d.TemplateId() == kMainDialog) {
      main = d.Handle();
      PostMessageW(main, WM_SYSCOMMAND, kAboutCommand, 0);
      return;
    }
    ASSERT_EQ(d.TemplateId(), kAboutDialog);
    wchar_t text[256] = {};
    GetWindowTextW(d.Handle(), text, 256);
    caption = platform::win32::Narrow(text);
    version = ControlText(d.Handle(), IDC_ABOUT_VERSION);
    ownedAndHeld = GetWindow(d.Handle(), GW_OWNER) == main && !IsWindowEnabled(main);
    PostClick(d.Handle(), 1);
    // Back in the window once the box has gone.
    PostClick(main, IDCANCEL_BUTTON);
  });
  win32_test::Deadline deadline(scope.host, 30000);
  dlg.DoModal();
  EXPECT_EQ(caption, "About Orvella(n) Update");
  EXPECT_EQ(version, ProgramVersion());
  EXPECT_TRUE(ownedAndHeld);
  EXPECT_TRUE(main && IsWindowEnabled(main));
  EXPECT_FALSE(win32_test::Deadline::Fired());
}

}  // namespace
