// The native dialog host through the UI host seam: what the logic sets is
// what the controls show, the user's keys and clicks reach the logic as a
// dialog's would, and the logic's own changes raise no events.
#include <gtest/gtest.h>

#include "app/resources/dialog_templates.h"
#include "platform/core/wide_text_win32.h"
#include "win32_test_env.h"

namespace {

using platform::ui::ControlKind;
using platform::win32ui::Win32DialogWindow;
using win32_test::PostKey;
using win32_test::PumpUntil;
using win32_test::RecordingEvents;
using namespace resources;

struct HostTest : ::testing::Test {
  win32_test::HostScope scope;
  RecordingEvents events;
  std::unique_ptr<platform::ui::DialogWindow> window;
  Win32DialogWindow* dialog = nullptr;

  // False (and the test stops) when the system made no window.
  bool Open(const platform::ui::DialogTemplate& tmpl, Win32DialogWindow* parent = nullptr) {
    window = scope.host.CreateDialog(tmpl, events, parent);
    dialog = static_cast<Win32DialogWindow*>(window.get());
    events.window = window.get();
    return window != nullptr;
  }
  HWND Item(int id) { return GetDlgItem(dialog->Handle(), id); }
  // Runs the dialog; `script` runs once it is shown.
  int Run(const std::function<void()>& script) {
    scope.host.SetShownHook([&](Win32DialogWindow& d) {
      if (&d == dialog) script();
    });
    win32_test::Deadline deadline(scope.host, 10000);
    return window->RunModal();
  }
  // Lets the queue drain.
  void Settle() {
    PumpUntil(scope.host, [] { return false; }, 100);
  }
};

TEST_F(HostTest, ControlsHoldWhatTheLogicSetsAndTheLogicsChangesRaiseNoEvents) {
  ASSERT_TRUE(Open(MainDialogTemplate()));
  window->SetText(IDC_SERIAL, "6018451234 & more");
  EXPECT_EQ(window->GetText(IDC_SERIAL), "6018451234 & more");
  window->SetText(IDC_UPDATE, "Again");
  EXPECT_EQ(window->GetText(IDC_UPDATE), "Again");
  EXPECT_EQ(window->GetText(IDC_NOTICE1), "This program will update the firmware on the selected device.");

  EXPECT_FALSE(window->IsVisible(IDC_PROGRESS));
  window->Show(IDC_PROGRESS, true);
  EXPECT_TRUE(window->IsVisible(IDC_PROGRESS));
  window->Show(IDC_UPDATE, false);
  EXPECT_FALSE(window->IsVisible(IDC_UPDATE));

  EXPECT_EQ(window->ComboAdd(IDC_MODEL, "second"), 0);
  EXPECT_EQ(window->ComboInsert(IDC_MODEL, 0, "first"), 0);
  EXPECT_EQ(window->ComboInsert(IDC_MODEL, 99, "third"), 2);  // past the end: appended
  window->ComboSetData(IDC_MODEL, 1, 0x10002u);
  EXPECT_EQ(window->ComboData(IDC_MODEL, 1), 0x10002u);
  EXPECT_EQ(window->ComboData(IDC_MODEL, 0), 0u);
  EXPECT_EQ(window->ComboCount(IDC_MODEL), 3);
  EXPECT_EQ(window->ComboText(IDC_MODEL, 2), "third");
  EXPECT_EQ(window->ComboText(IDC_MODEL, 3), "");
  window->ComboSetSel(IDC_MODEL, 1);
  EXPECT_EQ(window->ComboSel(IDC_MODEL), 1);
  EXPECT_EQ(window->GetText(IDC_MODEL), "second");
  window->ComboDelete(IDC_MODEL, 0);
  EXPECT_EQ(window->ComboText(IDC_MODEL, 0), "second");
  window->ComboSetSel(IDC_MODEL, 7);
  EXPECT_EQ(window->ComboSel(IDC_MODEL), -1);

  window->ProgressRange(IDC_PROGRESS, 0, 200);
  window->ProgressPos(IDC_PROGRESS, 150);
  EXPECT_EQ(SendMessageW(Item(IDC_PROGRESS), PBM_GETPOS, 0, 0), 150);
  EXPECT_EQ(SendMessageW(Item(IDC_PROGRESS), PBM_GETRANGE, FALSE, 0), 200);
  // The bar says how far, how long and how much longer, as the Qt bar does.
  wchar_t barText[128] = {};
  GetWindowTextW(Item(IDC_PROGRESS), barText, 128);
  EXPECT_EQ(std::wstring(barText).rfind(L"75% \u2014 00:00:", 0), 0u) << platform::win32::Narrow(barText);
  EXPECT_NE(std::wstring(barText).find(L" left"), std::wstring::npos);

  // Unknown ids and controls of another kind are left alone.
  window->SetText(4711, "x");
  EXPECT_EQ(window->GetText(4711), "");
  EXPECT_EQ(window->ComboAdd(IDC_SERIAL, "x"), -1);
  EXPECT_FALSE(window->IsVisible(4711));

  Settle();
  EXPECT_TRUE(events.selChanges.empty());
  EXPECT_TRUE(events.commands.empty());
}

TEST_F(HostTest, AUsersSelectionReachesTheLogicOnce) {
  ASSERT_TRUE(Open(MainDialogTemplate()));
  for (const char* entry : {"a", "b", "c"}) window->ComboAdd(IDC_MODEL, entry);
  window->ComboSetSel(IDC_MODEL, 0);
  Run([&] {
    PostKey(Item(IDC_MODEL), VK_DOWN);
    // Heard after the list has finished with the key, not inside it.
    PumpUntil(scope.host, [&] { return !events.selChanges.empty(); });
    Settle();
    PostMessageW(dialog->Handle(), WM_CLOSE, 0, 0);
  });
  EXPECT_EQ(window->ComboSel(IDC_MODEL), 1);
  EXPECT_EQ(events.selChanges, std::vector<int>{IDC_MODEL});
}

// Enter and Esc as in any dialog, except that a hidden button is never
// pressed: during a run the main window shows none, and a stray Enter must
// not close it.
TEST_F(HostTest, KeysPressOnlyButtonsTheUserCanSee) {
  ASSERT_TRUE(Open(MainDialogTemplate()));
  // Esc with Cancel shown is Cancel.
  EXPECT_EQ(Run([&] { PostKey(Item(IDC_MODEL), VK_ESCAPE); }), IDCANCEL_BUTTON);
  EXPECT_EQ(events.commands, std::vector<int>{IDCANCEL_BUTTON});

  // The busy state: no button shown. Enter, Esc and clicks posted for the
  // hidden buttons reach nothing but the close request.
  events = RecordingEvents{};
  events.window = window.get();
  events.closeIsCancel = false;
  for (int id : {IDCANCEL_BUTTON, IDC_UPDATE, IDOK_CLOSE}) window->Show(id, false);
  window->Show(IDC_PROGRESS, true);
  EXPECT_EQ(Run([&] {
              PostKey(Item(IDC_MODEL), VK_RETURN);
              PostKey(Item(IDC_MODEL), VK_ESCAPE);
              PostMessageW(dialog->Handle(), WM_COMMAND, MAKEWPARAM(IDOK_CLOSE, BN_CLICKED),
                           reinterpret_cast<LPARAM>(Item(IDOK_CLOSE)));
              PostMessageW(dialog->Handle(), WM_CLOSE, 0, 0);
              PostMessageW(dialog->Handle(), WM_COMMAND, MAKEWPARAM(IDC_UPDATE, BN_CLICKED),
                           reinterpret_cast<LPARAM>(Item(IDC_UPDATE)));
              PumpUntil(scope.host, [&] { return events.closes >= 2; });
              Settle();
              window->EndDialog(-1);
            }),
            -1);
  EXPECT_TRUE(events.commands.empty());
  EXPECT_EQ(events.closes, 2);  // Esc and the close box
}

TEST_F(HostTest, InTheDoneStateTabAndEnterPressClose) {
  ASSERT_TRUE(Open(MainDialogTemplate()));
  for (int id : {IDCANCEL_BUTTON, IDC_UPDATE}) window->Show(id, false);
  window->Show(IDOK_CLOSE, true);
  EXPECT_EQ(Run([&] {
              // Enter on the list presses nothing: the default (Cancel) is hidden.
              PostKey(Item(IDC_MODEL), VK_RETURN);
              Settle();
              EXPECT_TRUE(events.commands.empty());
              // Tab reaches the one button shown, and Enter presses it.
              PostKey(Item(IDC_MODEL), VK_TAB);
              EXPECT_TRUE(PumpUntil(scope.host, [&] { return GetFocus() == Item(IDOK_CLOSE); }));
              PostKey(Item(IDOK_CLOSE), VK_RETURN);
            }),
            IDOK_CLOSE);
  EXPECT_EQ(events.commands, std::vector<int>{IDOK_CLOSE});
}

// Hiding the control that has the keyboard, or locking the list, hands the
// keyboard to a control the user can see and use (or the window itself),
// so that no key reaches a hidden button.
TEST_F(HostTest, TheKeyboardStaysOnWhatIsShown) {
  ASSERT_TRUE(Open(MainDialogTemplate()));
  auto usable = [&] {
    HWND focus = GetFocus();
    return focus == dialog->Handle() ||
           (IsChild(dialog->Handle(), focus) && IsWindowVisible(focus) && IsWindowEnabled(focus));
  };
  Run([&] {
    SetFocus(Item(IDC_UPDATE));
    window->Show(IDC_UPDATE, false);
    EXPECT_TRUE(usable()) << GetDlgCtrlID(GetFocus());
    SetFocus(Item(IDCANCEL_BUTTON));
    window->OfferTargetChanges(false);
    window->Show(IDCANCEL_BUTTON, false);
    EXPECT_TRUE(usable()) << GetDlgCtrlID(GetFocus());
    EXPECT_NE(GetFocus(), Item(IDC_MODEL)) << "the locked list";
    window->Show(IDOK_CLOSE, true);
    window->OfferTargetChanges(true);
    EXPECT_TRUE(usable()) << GetDlgCtrlID(GetFocus());
    window->EndDialog(0);
  });
}

TEST_F(HostTest, TimersTextLimitsAndTheWindowMenuReachTheLogic) {
  ASSERT_TRUE(Open(SerialDialogTemplate()));
  window->SetTextLimit(IDC_SERIAL_EDIT, 3);
  window->AddSystemMenuItem(kAboutCommand, LoadString(kAboutMenuString));
  Run([&] {
    window->SetTimer(5, 10);
    HWND edit = Item(IDC_SERIAL_EDIT);
    for (wchar_t c : std::wstring(L"12x34")) PostMessageW(edit, WM_CHAR, c, 1);
    PostMessageW(dialog->Handle(), WM_SYSCOMMAND, kAboutCommand, 0);
    PumpUntil(scope.host, [&] { return events.timers.size() >= 2 && events.textLimits.size() == 1; });
    window->KillTimer(5);
    PostMessageW(dialog->Handle(), WM_COMMAND, MAKEWPARAM(2, BN_CLICKED), reinterpret_cast<LPARAM>(Item(2)));
  });
  EXPECT_EQ(window->GetText(IDC_SERIAL_EDIT), "123") << "digits only, at most three";
  EXPECT_EQ(events.textLimits, std::vector<int>{IDC_SERIAL_EDIT});
  EXPECT_GE(events.timers.size(), 2u);
  for (int id : events.timers) EXPECT_EQ(id, 5);
  EXPECT_EQ(events.sysCommands, std::vector<int>{kAboutCommand});
}

// While a run keeps its target, the lists, the drop target and the window
// menu's items are not offered; afterwards they are again.
TEST_F(HostTest, TargetChangesAreWithdrawnAndOfferedAgain) {
  ASSERT_TRUE(Open(MainDialogTemplate()));
  window->AddSystemMenuItem(kAboutCommand, LoadString(kAboutMenuString));
  HMENU menu = GetSystemMenu(dialog->Handle(), FALSE);
  window->OfferTargetChanges(false);
  EXPECT_FALSE(IsWindowEnabled(Item(IDC_MODEL)));
  EXPECT_TRUE(GetMenuState(menu, kAboutCommand, MF_BYCOMMAND) & MF_GRAYED);
  window->OfferTargetChanges(true);
  EXPECT_TRUE(IsWindowEnabled(Item(IDC_MODEL)));
  EXPECT_FALSE(GetMenuState(menu, kAboutCommand, MF_BYCOMMAND) & MF_GRAYED);
}

TEST_F(HostTest, ANoteDoesNotWaitAndANewerOneReplacesIt) {
  ASSERT_TRUE(Open(MainDialogTemplate()));
  platform::ui::MessageBoxRequest note;
  note.caption = kMainCaption;
  note.text = "The device is being written to.";
  window->ShowNote(note);
  HWND first = dialog->Note();
  ASSERT_NE(first, nullptr);
  note.text = "Still being written to.";
  window->ShowNote(note);
  EXPECT_FALSE(IsWindow(first));
  ASSERT_NE(dialog->Note(), nullptr);
  wchar_t text[128] = {};
  GetDlgItemTextW(dialog->Note(), 100, text, 128);
  EXPECT_EQ(std::wstring(text), L"Still being written to.");
  window->ShowNote({});
  EXPECT_EQ(dialog->Note(), nullptr);
}

}  // namespace
