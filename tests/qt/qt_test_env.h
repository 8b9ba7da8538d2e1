#pragma once
// Shared pieces of the Qt host tests: one QApplication on the offscreen
// platform for the whole binary, a host installed per test, and a dialog
// logic that records what the host tells it.
#include <QApplication>
#include <QElapsedTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/service.h"
#include "platform/qt/qt_fonts.h"
#include "platform/qt/qt_host.h"
#include "platform/ui/ui_host.h"

namespace qt_test {

inline QApplication& App() {
  static int argc = 1;
  static char name[] = "qt_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    auto* created = new QApplication(argc, argv);
    platform::qt::LoadTahoma();
    return created;
  }();
  return *app;
}

// A QtHost in force as the UI host and message pump for one test.
struct HostScope {
  HostScope() : app(App()), hostGuard(host), pumpGuard(host) {}
  QApplication& app;
  platform::qt::QtHost host;
  platform::Override<platform::ui::Host> hostGuard;
  platform::Override<platform::MessagePump> pumpGuard;
};

// Processes events until `done` holds or `ms` of real time pass.
inline bool PumpUntil(const std::function<bool()>& done, int ms = 3000) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > ms) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

// Dialog logic that records every event; commands 1 and 2 end the dialog.
class RecordingEvents : public platform::ui::DialogEvents {
 public:
  bool OnInitDialog() override {
    if (onInit) onInit();
    return initResult;
  }
  void OnCommand(int id) override {
    commands.push_back(id);
    if (onCommand) onCommand(id);
    if ((id == 1 || id == 2) && window && endOnClose) window->EndDialog(id);
  }
  void OnClose() override {
    if (onClose)
      onClose();
    else
      DialogEvents::OnClose();
  }
  void OnSelChange(int id) override { selChanges.push_back(id); }
  void OnTextLimit(int id) override { textLimits.push_back(id); }
  void OnTimer(int timerId) override {
    timers.push_back(timerId);
    if (onTimer) onTimer(timerId);
  }
  void OnDropFiles(const std::vector<std::string>& paths) override { drops.push_back(paths); }
  void OnSysCommand(int commandId) override { sysCommands.push_back(commandId); }
  platform::ui::ControlColors OnCtlColor(int id) override { return colours ? colours(id) : platform::ui::ControlColors{}; }

  platform::ui::DialogWindow* window = nullptr;
  bool initResult = true;
  bool endOnClose = true;
  std::function<void()> onInit;
  std::function<void(int)> onCommand;
  std::function<void()> onClose;  // none: Esc and the close box are Cancel
  std::function<void(int)> onTimer;
  std::function<platform::ui::ControlColors(int)> colours;
  std::vector<int> commands, selChanges, textLimits, timers, sysCommands;
  std::vector<std::vector<std::string>> drops;
};

}  // namespace qt_test
