#pragma once
// The UI host in force when no front end installed one: tools, the
// simulators, and code that fails before main() chose a host. It has no
// windows and nobody to ask: a message goes to the error stream as a
// "caption: text" line and a question is answered Cancel; a dialog runs its
// initialisation and is cancelled. Keeping it here lets the engine show its
// messages without linking a front end.
#include <iosfwd>
#include <memory>

#include "platform/ui/ui_host.h"

namespace platform::ui {

class FallbackHost final : public Host {
 public:
  // Messages go to `err` (standard error when null).
  explicit FallbackHost(std::ostream* err = nullptr);

  std::unique_ptr<DialogWindow> CreateDialog(const DialogTemplate& tmpl, DialogEvents& events,
                                             DialogWindow* parent) override;
  Answer MessageBox(const MessageBoxRequest& request) override;
  void SetWaitCursor(bool) override {}

 private:
  std::ostream& err_;
};

}  // namespace platform::ui
