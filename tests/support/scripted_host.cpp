#include "tests/support/scripted_host.h"

#include <algorithm>

#include "platform/core/clock.h"

namespace test_support {

using platform::ui::DialogEvents;
using platform::ui::DialogTemplate;
using platform::ui::MessageBoxRequest;

class ScriptedDialog final : public MemoryDialog {
 public:
  ScriptedDialog(ScriptedHost& host, const DialogTemplate& tmpl, DialogEvents& events)
      : MemoryDialog(tmpl, events, &host.registry_), host_(host) {
    host_.open_.push_back(this);
  }
  ~ScriptedDialog() override {
    host_.open_.erase(std::remove(host_.open_.begin(), host_.open_.end(), this), host_.open_.end());
  }

  int RunModal() override {
    if (Initialise()) {
      Script& script = host_.ScriptFor(State().tmpl.id);
      while (!Ended() && !script.Empty()) script.Next()(*this);
      if (!Ended()) Events().OnCommand(2);
    }
    if (!Ended()) EndDialog(2);
    return State().result;
  }

  Answer MessageBox(const MessageBoxRequest& request) override { return host_.Record(request, State().tmpl.id); }
  void ShowNote(const MessageBoxRequest& request) override {
    if (!request.text.empty()) host_.notes_.push_back(request.text);
  }

 private:
  ScriptedHost& host_;
};

Script& Script::Select(int comboId, int index) {
  return Do([=](MemoryDialog& d) { d.UserSelect(comboId, index); });
}

Script& Script::Press(int buttonId) {
  return Do([=](MemoryDialog& d) { d.Events().OnCommand(buttonId); });
}

Script& Script::Drop(std::vector<std::string> paths) {
  return Do([paths = std::move(paths)](MemoryDialog& d) { d.Events().OnDropFiles(paths); });
}

Script& Script::Type(int editId, std::string text) {
  return Do([=](MemoryDialog& d) { d.UserType(editId, text); });
}

Script& Script::Close() {
  return Do([](MemoryDialog& d) { d.Events().OnClose(); });
}

Script& Script::SysCommand(int commandId) {
  return Do([=](MemoryDialog& d) { d.Events().OnSysCommand(commandId); });
}

Script& Script::Pump(int count) {
  return Do([=](MemoryDialog&) {
    for (int i = 0; i < count; ++i) platform::PumpOneMessage();
  });
}

Script& Script::Do(Action action) {
  actions_.push_back(std::move(action));
  return *this;
}

Script::Action Script::Next() {
  Action a = std::move(actions_.front());
  actions_.pop_front();
  return a;
}

ScriptedHost::ScriptedHost(bool install) {
  if (install) {
    hostGuard_.emplace(*this);
    pumpGuard_.emplace(*this);
  }
}

ScriptedHost::~ScriptedHost() {
  pumpGuard_.reset();
  hostGuard_.reset();
}

const RecordedMessage* ScriptedHost::FindMessage(const std::string& text) const {
  for (const auto& m : messages_) {
    if (m.text.find(text) != std::string::npos) return &m;
  }
  return nullptr;
}

Script& ScriptedHost::ScriptFor(int templateId) { return scripts_[templateId]; }

DialogState* ScriptedHost::Last(int templateId) const {
  for (auto it = dialogs_.rbegin(); it != dialogs_.rend(); ++it) {
    if ((*it)->tmpl.id == templateId) return it->get();
  }
  return nullptr;
}

MemoryDialog* ScriptedHost::Open(int templateId) {
  for (auto it = open_.rbegin(); it != open_.rend(); ++it) {
    if ((*it)->State().tmpl.id == templateId) return *it;
  }
  return nullptr;
}

std::unique_ptr<platform::ui::DialogWindow> ScriptedHost::CreateDialog(const DialogTemplate& tmpl,
                                                                       DialogEvents& events,
                                                                       platform::ui::DialogWindow* parent) {
  (void)parent;
  auto dialog = std::make_unique<ScriptedDialog>(*this, tmpl, events);
  dialogs_.push_back(dialog->SharedState());
  return dialog;
}

Answer ScriptedHost::MessageBox(const MessageBoxRequest& request) { return Record(request, 0); }

Answer ScriptedHost::Record(const MessageBoxRequest& request, int ownerTemplate) {
  RecordedMessage m;
  m.text = request.text;
  m.caption = request.caption;
  m.buttons = request.buttons;
  m.icon = request.icon;
  m.defaultButton = request.defaultButton;
  m.ownerTemplate = ownerTemplate;
  if (request.buttons == platform::ui::Buttons::Ok) {
    m.answer = Answer::Ok;
  } else if (!answers_.empty()) {
    m.answer = answers_.front();
    answers_.pop_front();
  } else {
    m.answer = defaultAnswer_;
  }
  messages_.push_back(m);
  return m.answer;
}

bool ScriptedHost::PumpOne() {
  ++pumps_;
  return registry_.PumpOne(platform::TickCount());
}

}  // namespace test_support
