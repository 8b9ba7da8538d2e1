#include "platform/win32ui/win32_host.h"


#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/core/wide_text_win32.h"
#include "platform/session/abort_signals.h"
#include "platform/ui/screenshot_plan.h"
#include "platform/win32ui/win32_dialog.h"
#include "platform/win32ui/win32_screenshot.h"

namespace platform::win32ui {

namespace {

using win32::Wide;

// The system's dialog class, whose windows the dialog manager drives.
constexpr ATOM kDialogClassAtom = 0x8002;

UINT IconFlags(ui::Icon icon) {
  switch (icon) {
    case ui::Icon::Warning:
    case ui::Icon::Exclamation:
      return MB_ICONWARNING;
    case ui::Icon::Error:
      return MB_ICONERROR;
    case ui::Icon::Information:
      return MB_ICONINFORMATION;
    case ui::Icon::Question:
      return MB_ICONQUESTION;
    case ui::Icon::None:
      break;
  }
  return 0;
}

}  // namespace

bool WindowsAvailable() {
  // A window that is never shown: where the system cannot make one (no
  // desktop, no display), the console runs instead.
  HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
  if (!probe) return false;
  DestroyWindow(probe);
  return true;
}

Win32Host::Win32Host() = default;

Win32Host::~Win32Host() {
  while (waitDepth_ > 0) SetWaitCursor(false);
  if (icon_ && iconLoaded_) DestroyIcon(icon_);
}

std::unique_ptr<ui::DialogWindow> Win32Host::CreateDialog(const ui::DialogTemplate& tmpl, ui::DialogEvents& events,
                                                          ui::DialogWindow* parent) {
  auto dialog =
      std::make_unique<Win32DialogWindow>(*this, tmpl, events, dynamic_cast<Win32DialogWindow*>(parent));
  if (!dialog->Handle()) {
    std::fprintf(stderr, "reflash: cannot open the window (%s)\n", win32::ErrorText(GetLastError()).c_str());
    return nullptr;
  }
  return dialog;
}

ui::Answer Win32Host::MessageBox(const ui::MessageBoxRequest& request) { return ShowMessageBox(request, nullptr); }

ui::Answer Win32Host::ShowMessageBox(const ui::MessageBoxRequest& request, HWND owner) {
  if (std::optional<ui::Answer> answer = HookedAnswer(request)) return *answer;
  UINT flags = (request.buttons == ui::Buttons::OkCancel ? MB_OKCANCEL : MB_OK) | IconFlags(request.icon);
  if (request.buttons == ui::Buttons::OkCancel && request.defaultButton == 1) flags |= MB_DEFBUTTON2;
  // Without an owner the box still holds every window of the program.
  if (!owner) flags |= MB_TASKMODAL | MB_SETFOREGROUND;
  // Without a caption of its own a message box says "Error", as the
  // system's own boxes do.
  const std::wstring caption = Wide(request.caption.value_or("Error"));
  const int answer = MessageBoxW(owner, Wide(request.text).c_str(), caption.c_str(), flags);
  return answer == IDCANCEL && request.buttons == ui::Buttons::OkCancel ? ui::Answer::Cancel : ui::Answer::Ok;
}

void Win32Host::SetWaitCursor(bool wait) {
  if (wait) {
    ++waitDepth_;
  } else if (waitDepth_ > 0) {
    --waitDepth_;
  } else {
    return;
  }
  SetCursor(LoadCursorW(nullptr, SystemResource(waitDepth_ > 0 ? IDC_WAIT : IDC_ARROW)));
}

bool Win32Host::PumpOne() {
  MSG msg;
  if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
  if (msg.message == WM_QUIT) {
    // Left for the loop that owns the program's end.
    PostQuitMessage(static_cast<int>(msg.wParam));
    return false;
  }
  Dispatch(msg);
  return true;
}

void Win32Host::Dispatch(MSG& msg) {
  HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
  // Esc asks the window to close, as its close box does; the dialog
  // manager would make it a press of id 2 even where no Cancel button is
  // shown. A control that wants the key (an open list) keeps it.
  if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE && root) {
    Win32DialogWindow* dialog = Find(root);
    const LRESULT wants = SendMessageW(msg.hwnd, WM_GETDLGCODE, msg.wParam, reinterpret_cast<LPARAM>(&msg));
    if (dialog && !(wants & DLGC_WANTMESSAGE)) {
      dialog->Close();
      return;
    }
  }
  if (root && GetClassLongPtrW(root, GCW_ATOM) == kDialogClassAtom && IsDialogMessageW(root, &msg)) return;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

void Win32Host::Register(HWND window, Win32DialogWindow* dialog) {
  dialogs_[window] = dialog;
  order_.push_back(window);
}

void Win32Host::Unregister(HWND window) {
  dialogs_.erase(window);
  order_.erase(std::remove(order_.begin(), order_.end(), window), order_.end());
}

Win32DialogWindow* Win32Host::Find(HWND window) const {
  auto it = dialogs_.find(window);
  return it == dialogs_.end() ? nullptr : it->second;
}

std::vector<Win32DialogWindow*> Win32Host::Dialogs() const {
  std::vector<Win32DialogWindow*> open;
  for (HWND window : order_) open.push_back(Find(window));
  return open;
}

HICON Win32Host::ProgramIcon() {
  if (!icon_) {
    wchar_t path[MAX_PATH] = {};
    if (GetModuleFileNameW(nullptr, path, MAX_PATH) > 0) {
      HICON own = ExtractIconW(GetModuleHandleW(nullptr), path, 0);
      // ExtractIcon answers 1 for a file that is not an executable.
      if (own && own != reinterpret_cast<HICON>(1)) {
        icon_ = own;
        iconLoaded_ = true;
      }
    }
    if (!icon_) icon_ = LoadIconW(nullptr, SystemResource(IDI_APPLICATION));
  }
  return icon_;
}

// ---------------------------------------------------------------- session

namespace {

Win32Host* watchedHost = nullptr;

// The system's own dialogs of this thread (message boxes, notes) are asked
// to close as their close box would: Cancel where they offer it.
BOOL CALLBACK CloseSystemDialog(HWND window, LPARAM) {
  if (IsWindowVisible(window) && GetClassLongPtrW(window, GCW_ATOM) == kDialogClassAtom &&
      !watchedHost->Find(window))
    PostMessageW(window, WM_CLOSE, 0, 0);
  return TRUE;
}

// Ctrl+C, a console close and the like close the windows as their Cancel
// button would (a run in progress notices the request itself and ends
// through its failure path), and dismiss the open message boxes.
void CALLBACK AbortWatch(HWND, UINT, UINT_PTR, DWORD) {
  if (!watchedHost || !AbortRequested()) return;
  EnumThreadWindows(GetCurrentThreadId(), CloseSystemDialog, 0);
  for (Win32DialogWindow* dialog : watchedHost->Dialogs())
    if (dialog && dialog->IsRunning()) dialog->Close();
}

// A console that exists only for this program (started from the desktop)
// is hidden; one shared with a shell stays.
void HideOwnConsole() {
  DWORD processes[2];
  HWND console = GetConsoleWindow();
  if (console && GetConsoleProcessList(processes, 2) == 1) ShowWindow(console, SW_HIDE);
}

}  // namespace

struct Win32Session::Impl {
  Win32Host host;
  std::unique_ptr<Override<ui::Host>> hostGuard;
  std::unique_ptr<Override<MessagePump>> pumpGuard;
  std::unique_ptr<Screenshot> screenshot;
  UINT_PTR abortWatch = 0;
};

Win32Session::Win32Session() : impl_(std::make_unique<Impl>()) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  impl_->hostGuard = std::make_unique<Override<ui::Host>>(impl_->host);
  impl_->pumpGuard = std::make_unique<Override<MessagePump>>(impl_->host);
  if (const char* value = std::getenv("REFLASH_SCREENSHOT"); value && *value) {
    if (std::optional<ui::ScreenshotPlan> plan = ui::ParseScreenshotPlan(value))
      impl_->screenshot = std::make_unique<Screenshot>(impl_->host, *plan);
    else
      std::fprintf(stderr, "reflash: ignoring malformed screenshot request %s\n", value);
  }
  watchedHost = &impl_->host;
  impl_->abortWatch = SetTimer(nullptr, 0, 100, AbortWatch);
  HideOwnConsole();
}

Win32Session::~Win32Session() {
  if (impl_->abortWatch) KillTimer(nullptr, impl_->abortWatch);
  watchedHost = nullptr;
  impl_->screenshot.reset();
  impl_->pumpGuard.reset();
  impl_->hostGuard.reset();
}

Win32Host& Win32Session::Host() { return impl_->host; }

}  // namespace platform::win32ui
