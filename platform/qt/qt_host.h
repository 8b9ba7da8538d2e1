#pragma once
// The desktop window system: the UI host seam on Qt 6 Widgets.
//
// The front end opens a QtSession when DisplayAvailable() says windows can
// be shown and --console was not given:
//
//   if (!console && platform::qt::DisplayAvailable()) {
//     platform::qt::QtSession session(argc, argv);
//     ... run the application as usual; it reaches the host through
//     platform::Use<platform::ui::Host>() and pumps through
//     platform::PumpOneMessage() ...
//   }
//
// This header needs no Qt headers.
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/core/message_pump.h"
#include "platform/core/non_copyable.h"
#include "platform/ui/host_hooks.h"
#include "platform/ui/ui_host.h"

class QWidget;

namespace platform::qt {

class QtDialogWindow;

// True when a window can be opened: QT_QPA_PLATFORM names a Qt platform
// plugin, or a Wayland or X11 display is named in the environment and, when
// it is local, its socket exists.
bool DisplayAvailable();

class QtHost final : public ui::Host, public MessagePump, public ui::HostHooks<QtDialogWindow> {
 public:
  QtHost();
  ~QtHost() override;

  // ---- ui::Host
  PLATFORM_UI_HOST_OPERATIONS

  // ---- MessagePump
  // One pass of Qt's event dispatcher without waiting: the events pending
  // at this moment (posted events such as paints, due timers, window-system
  // input) are delivered; events they post wait for the next pass. Qt
  // offers no way to take exactly one event, and a pass is what keeps
  // paints and timers flowing in a tight wait loop. True when anything was
  // delivered.
  bool PumpOne() override;

  // Shows a message box owned by `owner` (null: none). QtDialogWindow's
  // message boxes come through here too.
  ui::Answer ShowMessageBox(const ui::MessageBoxRequest& request, QWidget* owner);
  int WaitCursorDepth() const { return waitDepth_; }

 private:
  int waitDepth_ = 0;
};

// One desktop run: creates the QApplication, loads Tahoma, sets the
// program icon, and puts a QtHost in force as the UI host and the message
// pump until it is destroyed. `argc` and `argv` must outlive the session.
// The environment variable REFLASH_SCREENSHOT may ask for a picture of the
// window (qt_screenshot.h); the front end removes it unless --simulate was
// given. A malformed request is reported on stderr and ignored.
class QtSession : NonCopyable {
 public:
  QtSession(int& argc, char** argv);
  ~QtSession();

  QtHost& Host();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform::qt
