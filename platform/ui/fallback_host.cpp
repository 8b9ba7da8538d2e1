#include "platform/ui/fallback_host.h"

#include <iostream>
#include <string>

namespace platform::ui {

namespace {

// A dialog nobody sees: every control operation is accepted and forgotten.
class UnseenDialog final : public DialogWindow {
 public:
  UnseenDialog(FallbackHost& host, DialogEvents& events) : host_(host), events_(events) {}

  void SetText(int, const std::string&) override {}
  std::string GetText(int) override { return {}; }
  void Show(int, bool) override {}
  bool IsVisible(int) override { return false; }
  void SetFont(int, FontKind) override {}
  void SetTextLimit(int, int) override {}
  int ComboAdd(int, const std::string&) override { return -1; }
  int ComboInsert(int, int, const std::string&) override { return -1; }
  void ComboDelete(int, int) override {}
  int ComboCount(int) override { return 0; }
  std::string ComboText(int, int) override { return {}; }
  void ComboSetData(int, int, uint32_t) override {}
  uint32_t ComboData(int, int) override { return 0; }
  void ComboSetSel(int, int) override {}
  int ComboSel(int) override { return -1; }
  void ProgressRange(int, int, int) override {}
  void ProgressPos(int, int) override {}
  void SetTimer(int, unsigned) override {}
  void KillTimer(int) override {}
  void AddSystemMenuItem(int, const std::string&) override {}

  // Initialises, then ends as Cancel would: no one is there to press OK.
  int RunModal() override {
    if (!events_.OnInitDialog()) return ended_ ? result_ : 0;
    return ended_ ? result_ : 2;
  }
  void EndDialog(int result) override {
    ended_ = true;
    result_ = result;
  }
  Answer MessageBox(const MessageBoxRequest& request) override { return host_.MessageBox(request); }

 private:
  FallbackHost& host_;
  DialogEvents& events_;
  bool ended_ = false;
  int result_ = 0;
};

}  // namespace

FallbackHost::FallbackHost(std::ostream* err) : err_(err ? *err : std::cerr) {}

std::unique_ptr<DialogWindow> FallbackHost::CreateDialog(const DialogTemplate&, DialogEvents& events, DialogWindow*) {
  return std::make_unique<UnseenDialog>(*this, events);
}

Answer FallbackHost::MessageBox(const MessageBoxRequest& request) {
  const bool question = request.buttons == Buttons::OkCancel;
  std::string text = request.text;
  while (!text.empty() && text.back() == '\n') text.pop_back();
  err_ << request.caption.value_or("Error") << ": " << text << (question ? " -> Cancel\n" : "\n") << std::flush;
  return question ? Answer::Cancel : Answer::Ok;
}

}  // namespace platform::ui

namespace platform {

template <>
ui::Host& DefaultService<ui::Host>() {
  static ui::FallbackHost host;
  return host;
}

}  // namespace platform
