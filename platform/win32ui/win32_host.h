#pragma once
// The desktop window system on Windows: the UI host seam on the system's
// own dialogs (no toolkit). The front end opens a Win32Session when
// WindowsAvailable() says windows can be made and --console was not given:
//
//   if (!console && platform::win32ui::WindowsAvailable()) {
//     platform::win32ui::Win32Session session;
//     ... run the application as usual ...
//   }
//
// One thread: the window logic's waits pump the same queue through
// PumpOne, one message at a time.
#include "platform/win32ui/windows_api.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "platform/core/message_pump.h"
#include "platform/ui/host_hooks.h"
#include "platform/ui/ui_host.h"

namespace platform::win32ui {

class Win32DialogWindow;

// True when this process can make windows: the system gave it a desktop it
// can draw on (under Wine, an X display).
bool WindowsAvailable();

class Win32Host final : public ui::Host, public MessagePump, public ui::HostHooks<Win32DialogWindow> {
 public:
  Win32Host();
  ~Win32Host() override;

  // ---- ui::Host
  PLATFORM_UI_HOST_OPERATIONS

  // ---- MessagePump
  // Takes one message off the thread's queue (posted, input, then paints
  // and timers, as the system orders them) and dispatches it, through the
  // dialog manager when it is for a dialog, so Tab, Enter and Esc act as
  // in any dialog. Never waits.
  bool PumpOne() override;

  // ---- for the dialogs
  ui::Answer ShowMessageBox(const ui::MessageBoxRequest& request, HWND owner);
  // Routes one message as PumpOne does.
  void Dispatch(MSG& msg);
  void Register(HWND window, Win32DialogWindow* dialog);
  void Unregister(HWND window);
  // The open dialog with this window handle, or null once it is gone.
  Win32DialogWindow* Find(HWND window) const;
  // Every open dialog, oldest first.
  std::vector<Win32DialogWindow*> Dialogs() const;
  int WaitCursorDepth() const { return waitDepth_; }
  // The program's icon: the executable's own, else the system's default.
  HICON ProgramIcon();

 private:
  std::map<HWND, Win32DialogWindow*> dialogs_;
  std::vector<HWND> order_;
  int waitDepth_ = 0;
  HICON icon_ = nullptr;
  bool iconLoaded_ = false;
};

// One desktop run: the common controls registered, a Win32Host in force as
// the UI host and the message pump, a watch that closes the windows and
// dismisses message boxes when Ctrl+C or a console close asks the run to
// end, and the screenshot that
// REFLASH_SCREENSHOT may ask for (win32_screenshot.h). When the program is
// alone on a console made for it (started from the desktop), that console
// is hidden: the window is the program's face.
class Win32Session {
 public:
  Win32Session();
  ~Win32Session();
  Win32Session(const Win32Session&) = delete;
  Win32Session& operator=(const Win32Session&) = delete;

  Win32Host& Host();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform::win32ui
