#pragma once
// Pictures of the window for the documentation, taken by the program
// itself so that they show exactly what a user sees:
//
//   REFLASH_SCREENSHOT=FILE[,press=ID][,progress=N][,visible=ID][,delay=MS] reflash --simulate
//
// Only with --simulate: it answers every question, so never against real
// units (the front end drops the variable otherwise).
//
// What the plan asks for is described in platform/ui/screenshot_plan.h;
// the picture is the window's client area, saved as PNG.
#include <QPointer>
#include <QWidget>
#include <memory>
#include <optional>
#include <string>

#include "platform/ui/screenshot_plan.h"

class QTimer;

namespace platform::qt {

class QtHost;
class QtDialogWindow;

using ui::ParseScreenshotPlan;
using ui::ScreenshotPlan;

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
