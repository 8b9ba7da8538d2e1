#pragma once
// What tests and the screenshot maker may hook into a window host, the same
// for every host; `Dialog` is the host's own dialog window class.
#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include "platform/ui/ui_host.h"

namespace platform::ui {

template <class Dialog>
class HostHooks {
 public:
  // Consulted before a message box is shown; an answer skips the box.
  using MessageBoxHook = std::function<std::optional<Answer>(const MessageBoxRequest&)>;
  void SetMessageBoxHook(MessageBoxHook hook) { messageBoxHook_ = std::move(hook); }
  // Called once a dialog has been shown, from the loop that runs it.
  using DialogHook = std::function<void(Dialog&)>;
  void SetShownHook(DialogHook hook) { shownHook_ = std::move(hook); }
  // Called by a dialog when it has been shown.
  void NotifyShown(Dialog& dialog) const {
    if (shownHook_) shownHook_(dialog);
  }

 protected:
  // The hook's answer, if one is set and it gives one.
  std::optional<Answer> HookedAnswer(const MessageBoxRequest& request) const {
    return messageBoxHook_ ? messageBoxHook_(request) : std::nullopt;
  }

 private:
  MessageBoxHook messageBoxHook_;
  DialogHook shownHook_;
};

}  // namespace platform::ui

// Declare, in the body of a window host, the operations of ui::Host
// (documented there); the class defines them. In a window host nested
// SetWaitCursor calls balance: the cursor returns after as many restores as
// waits.
#define PLATFORM_UI_HOST_OPERATIONS                                                                         \
  std::unique_ptr<::platform::ui::DialogWindow> CreateDialog(const ::platform::ui::DialogTemplate& tmpl,  \
                                                             ::platform::ui::DialogEvents& events,        \
                                                             ::platform::ui::DialogWindow* parent) override; \
  ::platform::ui::Answer MessageBox(const ::platform::ui::MessageBoxRequest& request) override;             \
  void SetWaitCursor(bool wait) override;
