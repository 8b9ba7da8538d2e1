// The operations on a dialog's controls: texts, visibility, fonts, the
// unit list, the progress bar, timers and the window menu.
#include <algorithm>

#include "platform/core/clock.h"
#include "platform/core/wide_text_win32.h"
#include "platform/win32ui/win32_dialog.h"

namespace platform::win32ui {

namespace {

using win32::Narrow;
using win32::Wide;

std::string WindowText(HWND window) {
  if (!window) return {};
  const int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int got = GetWindowTextW(window, text.data(), length + 1);
  text.resize(static_cast<size_t>(std::max(0, got)));
  return Narrow(text);
}

}  // namespace

void Win32DialogWindow::SetText(int id, const std::string& text) {
  auto kind = kinds_.find(id);
  if (kind == kinds_.end() || kind->second == ui::ControlKind::Icon || kind->second == ui::ControlKind::ComboBox ||
      kind->second == ui::ControlKind::ProgressBar)
    return;
  HWND control = GetDlgItem(hwnd_, id);
  SetWindowTextW(control, Wide(text).c_str());
  if (kind->second == ui::ControlKind::Label) RepaintUnder(control);
}

std::string Win32DialogWindow::GetText(int id) {
  auto kind = kinds_.find(id);
  if (kind == kinds_.end() || kind->second == ui::ControlKind::Icon || kind->second == ui::ControlKind::ProgressBar)
    return {};
  return WindowText(GetDlgItem(hwnd_, id));
}

void Win32DialogWindow::Show(int id, bool visible) {
  if (!kinds_.count(id)) return;
  HWND control = GetDlgItem(hwnd_, id);
  ShowWindow(control, visible ? SW_SHOWNA : SW_HIDE);
  KeepFocus();
}

bool Win32DialogWindow::IsVisible(int id) {
  if (!kinds_.count(id)) return false;
  HWND control = GetDlgItem(hwnd_, id);
  return control && (GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0;
}

void Win32DialogWindow::SetFont(int id, ui::FontKind font) {
  HWND control = kinds_.count(id) ? GetDlgItem(hwnd_, id) : nullptr;
  if (!control) return;
  auto dialogFont = reinterpret_cast<HFONT>(SendMessageW(hwnd_, WM_GETFONT, 0, 0));
  if (font == ui::FontKind::Bold && !boldFont_ && dialogFont) {
    LOGFONTW description{};
    GetObjectW(dialogFont, sizeof description, &description);
    description.lfWeight = FW_BOLD;
    boldFont_ = CreateFontIndirectW(&description);
  }
  HFONT chosen = font == ui::FontKind::Bold && boldFont_ ? boldFont_ : dialogFont;
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(chosen), TRUE);
  RepaintUnder(control);
}

void Win32DialogWindow::SetTextLimit(int id, int chars) {
  auto kind = kinds_.find(id);
  if (kind == kinds_.end() || kind->second != ui::ControlKind::Edit) return;
  SendMessageW(GetDlgItem(hwnd_, id), EM_LIMITTEXT, static_cast<WPARAM>(std::max(0, chars)), 0);
}

HWND Win32DialogWindow::Combo(int id) const {
  auto kind = kinds_.find(id);
  if (kind == kinds_.end() || kind->second != ui::ControlKind::ComboBox) return nullptr;
  return GetDlgItem(hwnd_, id);
}

int Win32DialogWindow::ComboAdd(int id, const std::string& text) {
  HWND combo = Combo(id);
  if (!combo) return -1;
  const LRESULT index = SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(text).c_str()));
  if (index < 0) return -1;
  SendMessageW(combo, CB_SETITEMDATA, static_cast<WPARAM>(index), 0);
  return static_cast<int>(index);
}

int Win32DialogWindow::ComboInsert(int id, int index, const std::string& text) {
  HWND combo = Combo(id);
  if (!combo) return -1;
  const int count = ComboCount(id);
  if (index < 0 || index > count) index = count;
  const LRESULT at =
      SendMessageW(combo, CB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(Wide(text).c_str()));
  if (at < 0) return -1;
  SendMessageW(combo, CB_SETITEMDATA, static_cast<WPARAM>(at), 0);
  return static_cast<int>(at);
}

void Win32DialogWindow::ComboDelete(int id, int index) {
  HWND combo = Combo(id);
  if (!combo || index < 0 || index >= ComboCount(id)) return;
  SendMessageW(combo, CB_DELETESTRING, static_cast<WPARAM>(index), 0);
}

int Win32DialogWindow::ComboCount(int id) {
  HWND combo = Combo(id);
  return combo ? static_cast<int>(std::max<LRESULT>(0, SendMessageW(combo, CB_GETCOUNT, 0, 0))) : 0;
}

std::string Win32DialogWindow::ComboText(int id, int index) {
  HWND combo = Combo(id);
  if (!combo || index < 0 || index >= ComboCount(id)) return {};
  const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length < 0) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const LRESULT got = SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(std::max<LRESULT>(0, got)));
  return Narrow(text);
}

void Win32DialogWindow::ComboSetData(int id, int index, uint32_t data) {
  HWND combo = Combo(id);
  if (!combo || index < 0 || index >= ComboCount(id)) return;
  SendMessageW(combo, CB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(data));
}

uint32_t Win32DialogWindow::ComboData(int id, int index) {
  HWND combo = Combo(id);
  if (!combo || index < 0 || index >= ComboCount(id)) return 0;
  return static_cast<uint32_t>(SendMessageW(combo, CB_GETITEMDATA, static_cast<WPARAM>(index), 0));
}

// Selecting from code raises no CBN_SELCHANGE: the logic hears only of the
// user's changes.
void Win32DialogWindow::ComboSetSel(int id, int index) {
  HWND combo = Combo(id);
  if (!combo) return;
  if (index < -1 || index >= ComboCount(id)) index = -1;
  SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int Win32DialogWindow::ComboSel(int id) {
  HWND combo = Combo(id);
  return combo ? static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0)) : -1;
}

// Each new range starts a phase; its bar then shows the percentage with the
// time elapsed and, once something is done, the time left.
void Win32DialogWindow::ProgressRange(int id, int low, int high) {
  auto kind = kinds_.find(id);
  if (kind == kinds_.end() || kind->second != ui::ControlKind::ProgressBar) return;
  HWND bar = GetDlgItem(hwnd_, id);
  SendMessageW(bar, PBM_SETRANGE32, static_cast<WPARAM>(low), std::max(low, high));
  phases_[id].Begin(TickCount(), low, high);
  SetWindowTextW(bar, L"");
}

void Win32DialogWindow::ProgressPos(int id, int pos) {
  auto kind = kinds_.find(id);
  if (kind == kinds_.end() || kind->second != ui::ControlKind::ProgressBar) return;
  HWND bar = GetDlgItem(hwnd_, id);
  SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(pos), 0);
  auto phase = phases_.find(id);
  if (phase == phases_.end() || phase->second.high <= phase->second.low) return;
  phase->second.Move(pos);
  const std::string text =
      std::to_string(phase->second.Percent()) + "% \u2014 " + phase->second.Times(TickCount());
  SetWindowTextW(bar, Wide(text).c_str());
}

void Win32DialogWindow::SetTimer(int timerId, unsigned ms) {
  ::SetTimer(hwnd_, static_cast<UINT_PTR>(timerId), std::max(ms, static_cast<unsigned>(USER_TIMER_MINIMUM)), nullptr);
}

void Win32DialogWindow::KillTimer(int timerId) { ::KillTimer(hwnd_, static_cast<UINT_PTR>(timerId)); }

void Win32DialogWindow::AddSystemMenuItem(int commandId, const std::string& text) {
  HMENU menu = GetSystemMenu(hwnd_, FALSE);
  if (!menu) return;
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(commandId), Wide(text).c_str());
  menuItems_.push_back(commandId);
}


}  // namespace platform::win32ui
