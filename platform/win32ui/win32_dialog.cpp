#include "platform/win32ui/win32_dialog.h"

#include <algorithm>

#include "platform/core/wide_text_win32.h"
#include "platform/ui/background_picture.h"
#include "platform/win32ui/dialog_bytes.h"
#include "platform/win32ui/win32_host.h"

namespace platform::win32ui {

namespace {

using win32::Narrow;
using win32::Wide;

// Our own messages, posted so that the logic hears of a change after the
// control has finished with it (as the Qt host queues them).
constexpr UINT kSelChangeMessage = WM_APP + 1;  // wParam: combo box id
constexpr UINT kDroppedMessage = WM_APP + 2;
constexpr UINT kShownMessage = WM_APP + 3;

// The note: a caption, its text and OK, sized for the text.
constexpr int kNoteText = 100;
constexpr int kNoteWidth = 250;
constexpr int kNoteCharsPerLine = 52;

ui::DialogTemplate NoteTemplate(const ui::MessageBoxRequest& request) {
  int lines = 0;
  size_t start = 0;
  while (start <= request.text.size()) {
    size_t end = request.text.find('\n', start);
    if (end == std::string::npos) end = request.text.size();
    lines += 1 + static_cast<int>((end - start) / kNoteCharsPerLine);
    start = end + 1;
  }
  ui::DialogTemplate t;
  t.caption = request.caption.value_or("Error");
  t.fontName = "Tahoma";
  t.width = kNoteWidth;
  t.height = 8 * lines + 36;
  ui::ControlTemplate text;
  text.id = kNoteText;
  text.text = request.text;
  text.x = 7;
  text.y = 7;
  text.width = kNoteWidth - 14;
  text.height = 8 * lines;
  t.controls.push_back(text);
  ui::ControlTemplate ok;
  ok.id = IDOK;
  ok.kind = ui::ControlKind::DefaultButton;
  ok.text = "OK";
  ok.x = (kNoteWidth - 50) / 2;
  ok.y = t.height - 21;
  ok.width = 50;
  ok.height = 14;
  t.controls.push_back(ok);
  return t;
}

INT_PTR CALLBACK NoteProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) DestroyWindow(hwnd);
      return TRUE;
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return TRUE;
    default:
      return FALSE;
  }
}

// The system's progress bar shows no text; this one draws its window text
// (the percentage and the times) over the bar, as the Qt window's does.
LRESULT CALLBACK TextBarProc(HWND bar, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  switch (message) {
    case WM_PAINT: {
      const LRESULT result = DefSubclassProc(bar, message, wParam, lParam);
      const int length = GetWindowTextLengthW(bar);
      if (length == 0) return result;
      std::wstring text(static_cast<size_t>(length) + 1, L'\0');
      text.resize(static_cast<size_t>(GetWindowTextW(bar, text.data(), length + 1)));
      RECT rect;
      GetClientRect(bar, &rect);
      HDC dc = GetDC(bar);
      HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(GetParent(bar), WM_GETFONT, 0, 0)));
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
      DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      SelectObject(dc, old);
      ReleaseDC(bar, dc);
      return result;
    }
    case WM_SETTEXT: {
      const LRESULT result = DefSubclassProc(bar, message, wParam, lParam);
      InvalidateRect(bar, nullptr, TRUE);
      return result;
    }
    case WM_NCDESTROY:
      RemoveWindowSubclass(bar, TextBarProc, 1);
      break;
    default:
      break;
  }
  return DefSubclassProc(bar, message, wParam, lParam);
}

}  // namespace

Win32DialogWindow::Win32DialogWindow(Win32Host& host, const ui::DialogTemplate& tmpl, ui::DialogEvents& events,
                                     Win32DialogWindow* parent)
    : host_(host), events_(events), parent_(parent), templateId_(tmpl.id) {
  for (const ui::ControlTemplate& c : tmpl.controls)
    if (c.id != ui::kNoId) kinds_[c.id] = c.kind;
  const std::vector<uint8_t> bytes = DialogTemplateBytes(tmpl, parent == nullptr);
  hwnd_ = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(bytes.data()),
                                     parent ? parent->hwnd_ : nullptr, DialogProc, reinterpret_cast<LPARAM>(this));
  if (!hwnd_) return;
  host_.Register(hwnd_, this);
  for (int id : IdsOf(ui::ControlKind::ProgressBar)) SetWindowSubclass(GetDlgItem(hwnd_, id), TextBarProc, 1, 0);
  if (HICON icon = host_.ProgramIcon()) {
    if (!parent_) SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    // The icon controls have no id of their own: find them among the children.
    for (HWND child = GetWindow(hwnd_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
      if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
        SendMessageW(child, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
    }
  }
}

Win32DialogWindow::~Win32DialogWindow() {
  if (note_ && IsWindow(note_)) DestroyWindow(note_);
  if (hwnd_) {
    host_.Unregister(hwnd_);
    if (parent_ && running_) EnableWindow(parent_->hwnd_, TRUE);
    DestroyWindow(hwnd_);
  }
  if (boldFont_) DeleteObject(boldFont_);
  if (picture_) DeleteObject(picture_);
}

INT_PTR CALLBACK Win32DialogWindow::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    return TRUE;  // the system puts the keyboard on the first control
  }
  auto* self = reinterpret_cast<Win32DialogWindow*>(GetWindowLongPtrW(hwnd, DWLP_USER));
  if (!self || self->hwnd_ != hwnd) return FALSE;
  return self->Handle(message, wParam, lParam);
}

// A result other than the return value goes through DWLP_MSGRESULT.
static INT_PTR Result(HWND hwnd, LRESULT value) {
  SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, value);
  return TRUE;
}

INT_PTR Win32DialogWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      OnCommandMessage(LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_CLOSE:
      events_.OnClose();
      return TRUE;
    case WM_TIMER:
      events_.OnTimer(static_cast<int>(wParam));
      return TRUE;
    case WM_SYSCOMMAND: {
      const int command = static_cast<int>(wParam & 0xFFF0);
      for (int item : menuItems_) {
        if ((item & 0xFFF0) == command) {
          events_.OnSysCommand(item);
          return Result(hwnd_, 0);
        }
      }
      return FALSE;
    }
    case WM_CTLCOLORSTATIC:
      return OnColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_ERASEBKGND:
      if (!picture_) return FALSE;
      PaintPicture(reinterpret_cast<HDC>(wParam));
      return Result(hwnd_, 1);
    case WM_SETCURSOR:
      if (host_.WaitCursorDepth() == 0) return FALSE;
      SetCursor(LoadCursorW(nullptr, SystemResource(IDC_WAIT)));
      return Result(hwnd_, TRUE);
    case WM_DROPFILES: {
      auto drop = reinterpret_cast<HDROP>(wParam);
      const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
      std::vector<std::string> paths;
      for (UINT i = 0; i < count; ++i) {
        const UINT length = DragQueryFileW(drop, i, nullptr, 0);
        std::wstring path(length + 1, L'\0');
        DragQueryFileW(drop, i, path.data(), length + 1);
        path.resize(length);
        paths.push_back(Narrow(path));
      }
      DragFinish(drop);
      // The drag source waits for the drop to finish: handle it afterwards.
      if (!paths.empty()) {
        droppedFiles_ = std::move(paths);
        PostMessageW(hwnd_, kDroppedMessage, 0, 0);
      }
      return TRUE;
    }
    case kSelChangeMessage:
      events_.OnSelChange(static_cast<int>(wParam));
      return TRUE;
    case kDroppedMessage: {
      std::vector<std::string> paths = std::move(droppedFiles_);
      droppedFiles_.clear();
      if (!paths.empty()) events_.OnDropFiles(paths);
      return TRUE;
    }
    case kShownMessage:
      host_.NotifyShown(*this);
      return TRUE;
    default:
      return FALSE;
  }
}

bool Win32DialogWindow::Pressable(int id) const {
  auto kind = kinds_.find(id);
  if (kind == kinds_.end() ||
      (kind->second != ui::ControlKind::Button && kind->second != ui::ControlKind::DefaultButton))
    return false;
  HWND button = GetDlgItem(hwnd_, id);
  return button && IsWindowVisible(button) && IsWindowEnabled(button);
}

// Enter reaches a dialog as the command of its default button even where
// that button is hidden: a hidden or disabled button is never pressed. (Esc
// is the host's: Win32Host::Dispatch.)
void Win32DialogWindow::OnCommandMessage(int id, int code) {
  auto kind = kinds_.find(id);
  if (kind != kinds_.end() && kind->second == ui::ControlKind::ComboBox) {
    if (code == CBN_SELCHANGE) PostMessageW(hwnd_, kSelChangeMessage, static_cast<WPARAM>(id), 0);
    return;
  }
  if (kind != kinds_.end() && kind->second == ui::ControlKind::Edit) {
    if (code == EN_MAXTEXT) events_.OnTextLimit(id);
    return;
  }
  if (code != BN_CLICKED) return;
  if (Pressable(id)) events_.OnCommand(id);
}

void Win32DialogWindow::Close() { events_.OnClose(); }

INT_PTR Win32DialogWindow::OnColour(HDC dc, HWND control) {
  const ui::ControlColors colours = events_.OnCtlColor(GetDlgCtrlID(control) == 0xFFFF ? ui::kNoId
                                                                                       : GetDlgCtrlID(control));
  SetTextColor(dc, colours.blueText ? RGB(0, 0, 255) : GetSysColor(COLOR_WINDOWTEXT));
  if (colours.transparent && picture_) {
    SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
  }
  SetBkColor(dc, GetSysColor(COLOR_3DFACE));
  return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_3DFACE));
}

// Whole tiles from the top-left corner; the last row and column are cut
// off by the client area.
void Win32DialogWindow::PaintPicture(HDC dc) {
  RECT client;
  GetClientRect(hwnd_, &client);
  HDC source = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(source, picture_);
  for (int y = 0; y < client.bottom; y += pictureSize_)
    for (int x = 0; x < client.right; x += pictureSize_)
      BitBlt(dc, x, y, pictureSize_, pictureSize_, source, 0, 0, SRCCOPY);
  SelectObject(source, old);
  DeleteDC(source);
}

// A control through which the picture shows leaves its old text behind
// unless the picture under it is painted again first.
void Win32DialogWindow::RepaintUnder(HWND control) {
  if (!picture_ || !control) return;
  RECT rect;
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&rect), 2);
  RedrawWindow(hwnd_, &rect, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void Win32DialogWindow::SetBackgroundPicture() {
  if (picture_) return;
  const ui::IndexedPicture source = ui::BackgroundPicture();
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = source.size;
  info.bmiHeader.biHeight = -source.size;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  picture_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!picture_ || !bits) return;
  auto* out = static_cast<uint32_t*>(bits);
  for (size_t i = 0; i < source.pixels.size(); ++i) out[i] = source.palette[source.pixels[i]];
  pictureSize_ = source.size;
  InvalidateRect(hwnd_, nullptr, TRUE);
}

std::vector<int> Win32DialogWindow::IdsOf(ui::ControlKind kind) const {
  std::vector<int> ids;
  for (const auto& [id, k] : kinds_)
    if (k == kind) ids.push_back(id);
  return ids;
}

void Win32DialogWindow::KeepFocus() {
  // Before it is shown the system sets the keyboard itself; putting it on
  // a control now would activate a window nobody can see.
  if (!IsWindowVisible(hwnd_)) return;
  HWND focus = GetFocus();
  // The keyboard in another window (a message box) stays there.
  if (focus && focus != hwnd_ && !IsChild(hwnd_, focus)) return;
  if (focus && focus != hwnd_ && IsWindowVisible(focus) && IsWindowEnabled(focus)) return;
  HWND choice = nullptr;
  const LRESULT def = SendMessageW(hwnd_, DM_GETDEFID, 0, 0);
  if (HIWORD(def) == DC_HASDEFID && Pressable(LOWORD(def))) choice = GetDlgItem(hwnd_, LOWORD(def));
  for (const auto& [id, kind] : kinds_) {
    if (choice) break;
    if (Pressable(id)) choice = GetDlgItem(hwnd_, id);
  }
  if (choice) {
    SendMessageW(hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(choice), TRUE);
  } else {
    SetFocus(hwnd_);
  }
}

// Locking a list that has the keyboard sends the keyboard elsewhere;
// unlocking gives it back where it was.
void Win32DialogWindow::OfferTargetChanges(bool offered) {
  if (!offered && !focusBeforeLock_) focusBeforeLock_ = GetFocus();
  for (int id : IdsOf(ui::ControlKind::ComboBox)) EnableWindow(GetDlgItem(hwnd_, id), offered);
  if (!parent_) DragAcceptFiles(hwnd_, offered);
  if (HMENU menu = GetSystemMenu(hwnd_, FALSE)) {
    for (int item : menuItems_) EnableMenuItem(menu, static_cast<UINT>(item), MF_BYCOMMAND | (offered ? MF_ENABLED : MF_GRAYED));
  }
  if (offered) {
    HWND before = focusBeforeLock_;
    focusBeforeLock_ = nullptr;
    if (before && IsChild(hwnd_, before) && IsWindowVisible(before) && IsWindowEnabled(before))
      SendMessageW(hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(before), TRUE);
  }
  KeepFocus();
}

int Win32DialogWindow::RunModal() {
  ended_ = false;
  result_ = 0;
  if (!hwnd_) return 0;
  if (!events_.OnInitDialog() || ended_) return result_;
  if (!parent_) DragAcceptFiles(hwnd_, TRUE);
  // A dialog that opens while its owner is still being set up (the
  // serial-number prompt at start) shows its owner first.
  if (parent_ && !IsWindowVisible(parent_->hwnd_)) ShowWindow(parent_->hwnd_, SW_SHOW);
  ShowWindow(hwnd_, SW_SHOW);
  SetForegroundWindow(hwnd_);
  KeepFocus();
  UpdateWindow(hwnd_);
  HWND owner = parent_ ? parent_->hwnd_ : nullptr;
  if (owner) EnableWindow(owner, FALSE);
  running_ = true;
  PostMessageW(hwnd_, kShownMessage, 0, 0);
  while (!ended_) {
    MSG msg;
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      // Someone asked the program to quit: leave the loop, keep the request.
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (got < 0) break;
    host_.Dispatch(msg);
  }
  running_ = false;
  // The owner is enabled again before this window hides, so the keyboard
  // goes back to it rather than to another program.
  if (owner) EnableWindow(owner, TRUE);
  ShowWindow(hwnd_, SW_HIDE);
  return result_;
}

void Win32DialogWindow::EndDialog(int result) {
  result_ = result;
  ended_ = true;
  // Wakes the modal loop if it is waiting for a message.
  if (hwnd_) PostMessageW(hwnd_, WM_NULL, 0, 0);
}

ui::Answer Win32DialogWindow::MessageBox(const ui::MessageBoxRequest& request) {
  return host_.ShowMessageBox(request, hwnd_ && IsWindowVisible(hwnd_) ? hwnd_ : nullptr);
}

// A modeless window of its own: the run the logic is in goes on while it
// is open.
void Win32DialogWindow::ShowNote(const ui::MessageBoxRequest& request) {
  // The note closes itself when its OK is pressed; a handle of a window
  // gone is not ours to destroy.
  if (note_ && IsWindow(note_)) DestroyWindow(note_);
  note_ = nullptr;
  if (request.text.empty() || !hwnd_) return;
  const std::vector<uint8_t> bytes = DialogTemplateBytes(NoteTemplate(request), false);
  note_ = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(bytes.data()),
                                     hwnd_, NoteProc, 0);
  if (!note_) return;
  ShowWindow(note_, SW_SHOW);
  SetForegroundWindow(note_);
}

}  // namespace platform::win32ui
