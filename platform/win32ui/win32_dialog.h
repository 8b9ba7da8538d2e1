#pragma once
// One dialog of the UI host seam as a system dialog: made with
// CreateDialogIndirectParam from the template's own bytes (dialog_bytes.h),
// so the system lays it out in dialog units of the template's font. It
// runs modally in a loop of our own, so that the window logic's waits can
// pump the same queue (Win32Host::PumpOne).
#include "platform/win32ui/windows_api.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/ui/progress_times.h"
#include "platform/ui/ui_host.h"

namespace platform::win32ui {

class Win32Host;

class Win32DialogWindow final : public ui::DialogWindow {
 public:
  Win32DialogWindow(Win32Host& host, const ui::DialogTemplate& tmpl, ui::DialogEvents& events,
                    Win32DialogWindow* parent);
  ~Win32DialogWindow() override;

  // ---- ui::DialogWindow
  PLATFORM_UI_WINDOW_OPERATIONS

  // ---- for the host, tests and screenshots
  HWND Handle() const { return hwnd_; }
  // The note on show, or null.
  HWND Note() const { return note_ && IsWindow(note_) ? note_ : nullptr; }
  int TemplateId() const { return templateId_; }
  bool IsTopLevel() const { return parent_ == nullptr; }
  // True between the start of the modal loop and EndDialog.
  bool IsRunning() const { return running_ && !ended_; }
  // Ids of the template's controls of `kind`.
  std::vector<int> IdsOf(ui::ControlKind kind) const;
  // Asks the dialog to close as Esc, the close box or a signal would.
  void Close();

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void OnCommandMessage(int id, int code);
  INT_PTR OnColour(HDC dc, HWND control);
  void PaintPicture(HDC dc);
  void RepaintUnder(HWND control);
  // A button the user could press: there, visible and enabled.
  bool Pressable(int id) const;
  // Keeps the keyboard on a control a user can see and use (see the Qt
  // host): the default button shown, else another button, else the window.
  void KeepFocus();
  HWND Combo(int id) const;

  Win32Host& host_;
  ui::DialogEvents& events_;
  Win32DialogWindow* parent_;
  HWND hwnd_ = nullptr;
  HWND note_ = nullptr;
  int templateId_ = 0;
  std::map<int, ui::ControlKind> kinds_;
  std::map<int, ui::ProgressPhase> phases_;  // per progress bar: its current phase
  std::vector<int> menuItems_;
  HFONT boldFont_ = nullptr;
  HBITMAP picture_ = nullptr;
  int pictureSize_ = 0;
  HWND focusBeforeLock_ = nullptr;
  std::vector<std::string> droppedFiles_;
  bool running_ = false;
  bool ended_ = false;
  int result_ = 0;
};

}  // namespace platform::win32ui
