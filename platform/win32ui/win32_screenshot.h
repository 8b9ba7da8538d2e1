#pragma once
// Pictures of the window for the documentation, taken by the program
// itself (REFLASH_SCREENSHOT, platform/ui/screenshot_plan.h) so that they
// show what a user sees: the whole window with its frame, as it is on the
// screen, saved as a 24-bit BMP file (the system's own picture format;
// scripts/windows-screenshot turns it into PNG).
#include "platform/win32ui/windows_api.h"

#include <cstdint>
#include <string>

#include "platform/ui/screenshot_plan.h"

namespace platform::win32ui {

class Win32Host;
class Win32DialogWindow;

// Writes the pixels of `window`'s rectangle on the screen to `file`
// (UTF-8 path) as a BMP. False when nothing could be read or written.
bool SaveWindowPicture(HWND window, const std::string& file);

// Carries out a plan through the host's hooks.
class Screenshot {
 public:
  Screenshot(Win32Host& host, ui::ScreenshotPlan plan);
  ~Screenshot();
  bool Taken() const { return taken_; }

 private:
  static void CALLBACK Poll(HWND, UINT, UINT_PTR, DWORD);
  void Check();
  bool ConditionMet(Win32DialogWindow& dialog) const;

  Win32Host& host_;
  ui::ScreenshotPlan plan_;
  HWND window_ = nullptr;  // the main window, once shown
  uint64_t shownAt_ = 0;
  uint64_t metAt_ = 0;  // when the plan's condition first held
  UINT_PTR timer_ = 0;
  bool ready_ = false;  // the delay has passed and the click was made
  bool taken_ = false;
  bool closing_ = false;
};

}  // namespace platform::win32ui
