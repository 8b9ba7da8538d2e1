#pragma once
// Pictures of the window for the documentation, taken by the program
// itself so that they show exactly what a user sees:
//
//   REFLASH_SCREENSHOT=FILE[,press=ID][,progress=N][,visible=ID][,delay=MS] reflash --simulate
//
// Only with --simulate: it answers every question, so never against real
// units (the front end drops the variable otherwise).
//
// Once the main window has been shown and `delay` ms (default 500) have
// passed, button `press` is clicked (if given). The picture of the window
// is saved to FILE (PNG) as soon as a progress bar of it shows N percent or
// more, or control `visible` is shown, or at once when neither is asked
// for. Every message box meanwhile is answered OK. Afterwards the window is
// closed by its Close or Cancel button as soon as one is visible.
#include <QPointer>
#include <QWidget>
#include <memory>
#include <optional>
#include <string>

class QTimer;

namespace platform::qt {

class QtHost;
class QtDialogWindow;

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

// Carries out a plan through the host's hooks.
class Screenshot {
 public:
  Screenshot(QtHost& host, ScreenshotPlan plan);
  ~Screenshot();
  bool Taken() const { return taken_; }

 private:
  void Start(QtDialogWindow& dialog);
  void Check();
  bool ConditionMet() const;

  QtHost& host_;
  ScreenshotPlan plan_;
  QtDialogWindow* dialog_ = nullptr;
  QPointer<QWidget> widget_;  // null once the dialog is gone
  std::unique_ptr<QTimer> poll_;
  bool taken_ = false;
  bool ready_ = false;  // the delay has passed and the click was made
};

}  // namespace platform::qt
