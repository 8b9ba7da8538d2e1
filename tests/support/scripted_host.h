#pragma once
// The scripted UI host for tests: dialogs are data (platform::console::
// MemoryDialog), every message box is recorded and answered from a queue,
// timers fire on the clock in force (a VirtualClock in tests) whenever the
// code pumps, and a script of user actions per dialog template runs during
// RunModal.
//
//   test_support::ScriptedHost host;            // installed for its scope
//   host.ScriptFor(102).Select(1001, 1).Press(1009);
//   host.ScriptFor(105).Type(1002, "6018451234").Press(1);
//   host.QueueAnswer(Answer::Ok);                // first OK/Cancel question
//
// When a dialog's script runs out while the dialog is still open, the host
// presses Cancel (2) as a user closing it would, then ends it with 2.
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/console/memory_dialog.h"
#include "platform/core/message_pump.h"
#include "platform/core/service.h"
#include "platform/ui/ui_host.h"

namespace test_support {

using platform::console::DialogState;
using platform::console::MemoryDialog;
using platform::ui::Answer;

struct RecordedMessage {
  std::string text;
  std::optional<std::string> caption;
  platform::ui::Buttons buttons = platform::ui::Buttons::Ok;
  platform::ui::Icon icon = platform::ui::Icon::None;
  int defaultButton = 0;
  int ownerTemplate = 0;  // template id of the owning dialog, 0 without owner
  Answer answer = Answer::Ok;
};

// User actions for the dialogs of one template, consumed in order across
// every modal run of that template.
class Script {
 public:
  using Action = std::function<void(MemoryDialog&)>;
  Script& Select(int comboId, int index);
  Script& Press(int buttonId);
  Script& Drop(std::vector<std::string> paths);
  Script& Type(int editId, std::string text);
  Script& SysCommand(int commandId);
  // Esc or the close box.
  Script& Close();
  // Pumps `count` times (timers due on the clock in force fire).
  Script& Pump(int count = 1);
  // Anything else, e.g. inspecting the dialog mid-run.
  Script& Do(Action action);

  bool Empty() const { return actions_.empty(); }
  Action Next();

 private:
  std::deque<Action> actions_;
};

class ScriptedHost : public platform::ui::Host, public platform::MessagePump {
 public:
  // Installs itself as the UI host and the message pump for its lifetime
  // unless `install` is false.
  explicit ScriptedHost(bool install = true);
  ~ScriptedHost() override;

  // Message-box answers: queued answers first, then the default. A box
  // with only an OK button is always answered OK (and takes no queued answer).
  void QueueAnswer(Answer answer) { answers_.push_back(answer); }
  void SetDefaultAnswer(Answer answer) { defaultAnswer_ = answer; }
  const std::vector<RecordedMessage>& Messages() const { return messages_; }
  // The notes shown (messages that do not wait), in order.
  const std::vector<std::string>& Notes() const { return notes_; }
  // The first recorded message whose text contains `text`, or null.
  const RecordedMessage* FindMessage(const std::string& text) const;

  Script& ScriptFor(int templateId);

  // Every dialog created so far, in creation order; each stays readable
  // after its window is gone.
  const std::vector<std::shared_ptr<DialogState>>& Dialogs() const { return dialogs_; }
  // The last dialog created from `templateId`, or null.
  DialogState* Last(int templateId) const;
  // The dialog currently open from `templateId`, or null.
  MemoryDialog* Open(int templateId);

  bool WaitCursor() const { return waitCursor_; }
  int Pumps() const { return pumps_; }

  // ---- platform::ui::Host
  std::unique_ptr<platform::ui::DialogWindow> CreateDialog(const platform::ui::DialogTemplate& tmpl,
                                                           platform::ui::DialogEvents& events,
                                                           platform::ui::DialogWindow* parent) override;
  Answer MessageBox(const platform::ui::MessageBoxRequest& request) override;
  void SetWaitCursor(bool wait) override { waitCursor_ = wait; }

  // ---- platform::MessagePump
  bool PumpOne() override;

  Answer Record(const platform::ui::MessageBoxRequest& request, int ownerTemplate);

 private:
  friend class ScriptedDialog;
  std::optional<platform::Override<platform::ui::Host>> hostGuard_;
  std::optional<platform::Override<platform::MessagePump>> pumpGuard_;
  platform::console::DialogRegistry registry_;
  std::deque<Answer> answers_;
  Answer defaultAnswer_ = Answer::Ok;
  std::vector<RecordedMessage> messages_;
  std::vector<std::string> notes_;
  std::map<int, Script> scripts_;  // node-based: a running script stays put while others are added
  std::vector<std::shared_ptr<DialogState>> dialogs_;
  std::vector<MemoryDialog*> open_;
  bool waitCursor_ = false;
  int pumps_ = 0;
};

}  // namespace test_support
