#include "platform/qt/qt_screenshot.h"

#include <QPixmap>
#include <QProgressBar>
#include <QTimer>
#include <cstdio>

#include "platform/qt/qt_dialog.h"
#include "platform/qt/qt_host.h"

namespace platform::qt {

Screenshot::Screenshot(QtHost& host, ScreenshotPlan plan) : host_(host), plan_(std::move(plan)) {
  host_.SetMessageBoxHook([](const ui::MessageBoxRequest&) { return std::optional<ui::Answer>(ui::Answer::Ok); });
  host_.SetShownHook([this](QtDialogWindow& dialog) {
    if (!dialog_ && dialog.IsTopLevel()) Start(dialog);
  });
}

Screenshot::~Screenshot() {
  host_.SetShownHook(nullptr);
  host_.SetMessageBoxHook(nullptr);
  if (!taken_) std::fprintf(stderr, "reflash: no screenshot taken for %s\n", plan_.file.c_str());
}

void Screenshot::Start(QtDialogWindow& dialog) {
  dialog_ = &dialog;
  widget_ = dialog.Widget();
  // A timer of its own: Qt does not fire a timer again while its handler
  // runs, and the click below may run a whole update.
  poll_ = std::make_unique<QTimer>();
  QObject::connect(poll_.get(), &QTimer::timeout, [this] { Check(); });
  poll_->start(20);
  QTimer::singleShot(plan_.delayMs, dialog.Widget(), [this] {
    ready_ = true;
    if (plan_.pressId != 0) dialog_->Command(plan_.pressId);
  });
}

bool Screenshot::ConditionMet() const {
  if (plan_.visibleId != 0) {
    QWidget* control = dialog_->Control(plan_.visibleId);
    if (!control || control->isHidden()) return false;
  }
  if (plan_.progress >= 0) {
    bool reached = false;
    for (QProgressBar* bar : dialog_->Widget()->findChildren<QProgressBar*>()) {
      const int span = bar->maximum() - bar->minimum();
      if (bar->isHidden() || span <= 0) continue;
      reached = reached || (bar->value() - bar->minimum()) * 100 / span >= plan_.progress;
    }
    if (!reached) return false;
  }
  return true;
}

void Screenshot::Check() {
  if (!widget_) {
    poll_->stop();
    return;
  }
  if (!ready_) return;
  if (!taken_ && ConditionMet()) {
    taken_ = true;
    if (!dialog_->Widget()->grab().save(QString::fromStdString(plan_.file), "PNG"))
      std::fprintf(stderr, "reflash: cannot write %s\n", plan_.file.c_str());
  }
  if (taken_ && dialog_->IsRunning()) {
    if (QWidget* close = dialog_->Control(1); close && !close->isHidden()) {
      poll_->stop();
      dialog_->Command(1);
    } else if (QWidget* cancel = dialog_->Control(2); cancel && !cancel->isHidden()) {
      poll_->stop();
      dialog_->Command(2);
    }
  }
}

}  // namespace platform::qt
