#pragma once
// A request for a picture of the window, for the documentation:
//
//   REFLASH_SCREENSHOT=FILE[,press=ID][,progress=N][,visible=ID][,delay=MS]
//
// Once the main window has been shown and `delay` ms (default 500) have
// passed, button `press` is clicked (if given). The picture is taken as
// soon as a progress bar of the window shows N percent or more, or control
// `visible` is shown, or at once when neither is asked for. Every message
// box meanwhile is answered OK; afterwards the window is closed by its Close
// or Cancel button as soon as one is visible. Each desktop host carries the
// plan out in its own way.
#include <optional>
#include <string>

namespace platform::ui {

struct ScreenshotPlan {
  std::string file;
  int pressId = 0;      // 0: no click
  int progress = -1;    // -1: not a condition
  int visibleId = 0;    // 0: not a condition
  int delayMs = 500;
};

// Parses one REFLASH_SCREENSHOT value; nullopt when it names no file or has
// an unknown or malformed key.
std::optional<ScreenshotPlan> ParseScreenshotPlan(const std::string& value);

}  // namespace platform::ui
