#include "platform/qt/qt_host.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include "platform/qt/qt_art.h"
#include "platform/qt/qt_dialog.h"
#include "platform/qt/qt_fonts.h"
#include "platform/qt/qt_screenshot.h"
#include "platform/session/abort_signals.h"

namespace platform::qt {

namespace {

bool HasEnv(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

QMessageBox::Icon ToQt(ui::Icon icon) {
  switch (icon) {
    case ui::Icon::Warning:
    case ui::Icon::Exclamation:
      return QMessageBox::Warning;
    case ui::Icon::Error:
      return QMessageBox::Critical;
    case ui::Icon::Information:
      return QMessageBox::Information;
    case ui::Icon::Question:
      return QMessageBox::Question;
    case ui::Icon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

namespace {

// Qt ends the process when it cannot reach the display it is given, so a
// local display whose socket is gone counts as none (and the console
// front end runs instead). Remote displays ("host:10") are trusted.
bool X11DisplayReachable(const std::string& display) {
  if (display.empty() || display[0] != ':') return !display.empty();
  const std::string number = display.substr(1, display.find('.') - 1);
  return ::access(("/tmp/.X11-unix/X" + number).c_str(), F_OK) == 0;
}

bool WaylandDisplayReachable(const std::string& display) {
  if (display.empty()) return false;
  if (display[0] == '/') return ::access(display.c_str(), F_OK) == 0;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  return runtime != nullptr && ::access((std::string(runtime) + "/" + display).c_str(), F_OK) == 0;
}

}  // namespace

bool DisplayAvailable() {
  if (HasEnv("QT_QPA_PLATFORM")) return true;
  if (HasEnv("WAYLAND_DISPLAY") && WaylandDisplayReachable(std::getenv("WAYLAND_DISPLAY"))) return true;
  return HasEnv("DISPLAY") && X11DisplayReachable(std::getenv("DISPLAY"));
}

QtHost::QtHost() = default;

QtHost::~QtHost() {
  while (waitDepth_ > 0) SetWaitCursor(false);
}

std::unique_ptr<ui::DialogWindow> QtHost::CreateDialog(const ui::DialogTemplate& tmpl, ui::DialogEvents& events,
                                                       ui::DialogWindow* parent) {
  return std::make_unique<QtDialogWindow>(*this, tmpl, events, dynamic_cast<QtDialogWindow*>(parent));
}

ui::Answer QtHost::MessageBox(const ui::MessageBoxRequest& request) { return ShowMessageBox(request, nullptr); }

ui::Answer QtHost::ShowMessageBox(const ui::MessageBoxRequest& request, QWidget* owner) {
  if (std::optional<ui::Answer> answer = HookedAnswer(request)) return *answer;
  // Without a caption of its own a message box says "Error", as the
  // system's own boxes do.
  const QString caption = QString::fromStdString(request.caption.value_or("Error"));
  QMessageBox box(ToQt(request.icon), caption, QString::fromStdString(request.text), QMessageBox::NoButton, owner);
  box.setTextFormat(Qt::PlainText);
  box.setWindowModality(Qt::ApplicationModal);
  QPushButton* ok = box.addButton(QMessageBox::Ok);
  QPushButton* cancel = nullptr;
  if (request.buttons == ui::Buttons::OkCancel) cancel = box.addButton(QMessageBox::Cancel);
  box.setDefaultButton(request.defaultButton == 1 && cancel ? cancel : ok);
  // Esc and the close box answer Cancel when there is one, else OK.
  box.setEscapeButton(cancel ? cancel : ok);
  box.exec();
  return box.clickedButton() == cancel && cancel ? ui::Answer::Cancel : ui::Answer::Ok;
}

void QtHost::SetWaitCursor(bool wait) {
  if (wait) {
    ++waitDepth_;
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else if (waitDepth_ > 0) {
    --waitDepth_;
    QApplication::restoreOverrideCursor();
  }
}

bool QtHost::PumpOne() {
  QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(QThread::currentThread());
  if (!dispatcher) return false;
  return dispatcher->processEvents(QEventLoop::AllEvents);
}

// ---------------------------------------------------------------- session

#if defined(__SANITIZE_ADDRESS__)
// fontconfig keeps its caches for the life of the process by design; the
// leak checker would report them at every exit of a Qt run.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
#endif

struct QtSession::Impl {
  std::unique_ptr<QApplication> app;
  QtHost host;
  std::unique_ptr<Override<ui::Host>> hostGuard;
  std::unique_ptr<Override<MessagePump>> pumpGuard;
  std::unique_ptr<Screenshot> screenshot;
  std::unique_ptr<QTimer> abortWatch;
};

QtSession::QtSession(int& argc, char** argv) : impl_(std::make_unique<Impl>()) {
  std::string screenshot;
  if (HasEnv("REFLASH_SCREENSHOT")) screenshot = std::getenv("REFLASH_SCREENSHOT");
  std::optional<ScreenshotPlan> plan;
  if (!screenshot.empty()) {
    plan = ParseScreenshotPlan(screenshot);
    if (!plan) std::fprintf(stderr, "reflash: ignoring malformed screenshot request %s\n", screenshot.c_str());
  }
  impl_->app = std::make_unique<QApplication>(argc, argv);
  QApplication::setApplicationName(QStringLiteral("reflash"));
  QApplication::setWindowIcon(ProgramIcon());
  LoadTahoma();
  QApplication::setFont(DialogFont("Tahoma", 8));
  impl_->hostGuard = std::make_unique<Override<ui::Host>>(impl_->host);
  impl_->pumpGuard = std::make_unique<Override<MessagePump>>(impl_->host);
  if (plan) impl_->screenshot = std::make_unique<Screenshot>(impl_->host, *plan);
  // SIGTERM and friends close the window as its Cancel button would (an
  // update in progress notices the signal itself and ends through its
  // failure path); open message boxes are dismissed.
  impl_->abortWatch = std::make_unique<QTimer>();
  impl_->abortWatch->setInterval(100);
  QObject::connect(impl_->abortWatch.get(), &QTimer::timeout, [] {
    if (!AbortRequested()) return;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (auto* dialog = qobject_cast<QDialog*>(widget); dialog && dialog->isVisible()) dialog->reject();
    }
  });
  impl_->abortWatch->start();
}

QtSession::~QtSession() {
  impl_->abortWatch.reset();
  impl_->screenshot.reset();
  impl_->pumpGuard.reset();
  impl_->hostGuard.reset();
}

QtHost& QtSession::Host() { return impl_->host; }

}  // namespace platform::qt
