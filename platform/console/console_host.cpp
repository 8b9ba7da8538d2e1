#include "platform/console/console_host.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "platform/console/window_text.h"
#include "platform/core/clock.h"
#include "platform/session/abort_signals.h"
#include "platform/ui/progress_times.h"

namespace platform::console {

class ConsoleDialog final : public MemoryDialog {
 public:
  ConsoleDialog(ConsoleHost& host, const ui::DialogTemplate& tmpl, ui::DialogEvents& events, bool isMain)
      : MemoryDialog(tmpl, events, &host.registry_), host_(host), isMain_(isMain) {
    // A run that writes while the window is still starting (SN=, GETSN)
    // lists its units before that write's events.
    if (isMain_ && host_.options_.json) host_.options_.json->BeforeNext([this] { EmitUnits(true); });
  }
  ~ConsoleDialog() override {
    if (!isMain_ || !host_.options_.json) return;
    // A window that ended while starting (a cancelled prompt) still had
    // its list.
    EmitUnits(true);
    host_.options_.json->BeforeNext(nullptr);
  }

  int RunModal() override {
    if (Initialise()) {
      if (FindEdit()) {
        RunEdit(*FindEdit());
      } else if (isMain_) {
        RunMain();
      } else {
        host_.out_ << RenderWindow(State());
        Press(1);
      }
    }
    if (!Ended()) EndDialog(2);
    return State().result;
  }

  ui::Answer MessageBox(const ui::MessageBoxRequest& request) override { return host_.MessageBox(request); }

 protected:
  void TextChanged(ControlState& c) override {
    if (c.tmpl.id == host_.options_.statusId && c.visible) PrintStatus(c.text);
  }

  void VisibilityChanged(ControlState& c) override {
    if (c.tmpl.id == host_.options_.statusId && c.visible) PrintStatus(c.text);
    if (c.tmpl.id == host_.options_.progressId && !c.visible) {
      host_.BreakBar();
      lastPercent_ = -1;
    }
  }

  void ProgressChanged(ControlState& c) override {
    if (c.tmpl.id != host_.options_.progressId || !c.visible) return;
    int span = c.high - c.low;
    int percent = span > 0 ? static_cast<int>((static_cast<long long>(c.pos - c.low) * 100) / span) : 0;
    if (percent == lastPercent_) return;
    const uint32_t now = TickCount();
    const uint32_t elapsed = now - phaseStart_;
    const int64_t left = ui::EstimateLeftMs(elapsed, percent);
    if (JsonLines* json = host_.options_.json) {
      // At most once a second, but always the end of a phase.
      if (percent == 100 || lastJson_ < 0 || now - lastJsonTick_ >= 1000) {
        lastJson_ = percent;
        lastJsonTick_ = now;
        JsonObject fields;
        fields.Text("phase", lastStatus_).Number("percent", percent).Number("elapsed_ms", elapsed);
        if (left >= 0) fields.Number("left_ms", left); else fields.Null("left_ms");
        json->Emit("progress", fields);
      }
    }
    if (host_.options_.redrawBar) {
      lastPercent_ = percent;
      constexpr int kWidth = 40;
      int filled = percent * kWidth / 100;
      host_.out_ << "\r[" << std::string(filled, '#') << std::string(kWidth - filled, '.') << "] " << percent
                 << "% " << ui::FormatProgressTimes(elapsed, left) << "   " << std::flush;
      host_.barOpen_ = true;
    } else if (lastPercent_ < 0 || percent / 10 != lastPercent_ / 10 || percent == 100) {
      // Not a terminal: one line per tenth keeps a captured log readable,
      // flushed so that a pipe shows the run as it happens.
      lastPercent_ = percent;
      host_.out_ << "Progress: " << percent << "% (" << ui::FormatProgressTimes(elapsed, left) << ")\n" << std::flush;
    }
  }

 private:
  void PrintStatus(const std::string& text) {
    if (text.empty() || text == lastStatus_) return;
    lastStatus_ = text;
    phaseStart_ = TickCount();
    lastPercent_ = -1;
    lastJson_ = -1;
    host_.BreakBar();
    host_.out_ << text << "\n" << std::flush;
    if (host_.options_.json) host_.options_.json->Emit("phase", JsonObject().Text("phase", text));
  }

  // `early`: the window is still starting (a write or an end during its
  // start), so its rows may not be filled yet: only rows with a value are
  // told.
  void EmitUnits(bool early = false) {
    JsonLines* json = host_.options_.json;
    if (!json || unitsEmitted_) return;
    const ControlState* list = State().Find(host_.options_.listId);
    if (!list || list->items.empty()) {
      // Not built yet, or no unit found (then there is no units event).
      json->BeforeNext([this] { EmitUnits(true); });
      return;
    }
    unitsEmitted_ = true;
    json->BeforeNext(nullptr);
    JsonObject fields;
    for (size_t i = 0; i < list->items.size(); ++i) {
      fields.Append("units", JsonObject()
                                 .Number("index", static_cast<int64_t>(i))
                                 .Text("name", list->items[i].first)
                                 .Bool("selected", static_cast<int>(i) == list->selection));
    }
    JsonObject details;
    for (const auto& [label, value] : WindowRows(State())) {
      if (!early || !value.empty()) details.Text(label, value);
    }
    fields.Object("details", details);
    json->Emit("units", fields);
  }

  void Press(int id) {
    if (!Ended()) Events().OnCommand(id);
  }

  ControlState* FindEdit() {
    for (auto& c : State().controls) {
      if (c.tmpl.kind == ui::ControlKind::Edit) return &c;
    }
    return nullptr;
  }

  void RunMain() {
    const ConsoleOptions& o = host_.options_;
    if (Ended()) return;
    host_.out_ << RenderWindow(State()) << std::flush;
    EmitUnits();
    if (IsVisible(o.goButton) && !AbortRequested()) {
      bool go = o.yes || (o.interactive && host_.Ask("Press Update? [y/N] ", false));
      // A signal during the prompt ends the run instead.
      if (AbortRequested()) go = false;
      if (go) {
        Press(o.goButton);
        if (!Ended()) {
          host_.BreakBar();
          host_.out_ << RenderWindow(State());
        }
      }
    }
    // Leave through the window's own buttons, so its logic decides.
    Press(IsVisible(1) ? 1 : 2);
  }

  // A line is one entry, every character of it: typed key by key into a
  // digits-only field of ten, a letter would vanish and an eleventh digit
  // would start a second number, and a number nobody typed would be taken.
  // The dialog's own check sees the line exactly and refuses what is not
  // one valid number.
  void Enter(int id, const std::string& line) {
    SetText(id, line);
    Press(1);
  }

  void RunEdit(ControlState& edit) {
    const ConsoleOptions& o = host_.options_;
    int id = edit.tmpl.id;
    if (o.yes) {
      if (o.editText) {
        host_.out_ << RenderWindow(State());
        Enter(id, *o.editText);
      } else {
        const std::string why = State().tmpl.caption + ": no text given (--serial=...)";
        host_.err_ << why << "\n";
        if (o.json) o.json->Emit("notice", JsonObject().Text("text", why));
      }
    } else if (o.interactive) {
      host_.out_ << RenderWindow(State());
      while (!Ended()) {
        auto line = host_.ReadLine("Serial Number (empty line cancels): ");
        if (!line || line->empty()) break;
        Enter(id, *line);
      }
    } else {
      host_.err_ << State().tmpl.caption << ": cancelled (no terminal; --yes with --serial=... answers it)\n";
    }
    Press(2);
  }

  ConsoleHost& host_;
  bool isMain_;
  bool unitsEmitted_ = false;
  int lastPercent_ = -1;
  int lastJson_ = -1;
  uint32_t lastJsonTick_ = 0;
  uint32_t phaseStart_ = 0;
  std::string lastStatus_;
};

ConsoleHost::ConsoleHost(ConsoleOptions options, std::ostream* out, std::ostream* err, std::istream* in)
    : options_(std::move(options)), out_(out ? *out : std::cout), err_(err ? *err : std::cerr), in_(in ? *in : std::cin) {}

ConsoleHost::~ConsoleHost() { BreakBar(); }

std::unique_ptr<ui::DialogWindow> ConsoleHost::CreateDialog(const ui::DialogTemplate& tmpl, ui::DialogEvents& events,
                                                            ui::DialogWindow* parent) {
  return std::make_unique<ConsoleDialog>(*this, tmpl, events, parent == nullptr);
}

ui::Answer ConsoleHost::MessageBox(const ui::MessageBoxRequest& request) {
  BreakBar();
  out_ << std::flush;
  err_ << RenderMessageBox(request);
  auto emit = [&](const char* answer) {
    if (!options_.json) return;
    JsonObject fields;
    fields.Text("caption", request.caption.value_or("Error")).Text("text", request.text);
    if (answer) {
      fields.Text("answer", answer);
      options_.json->Emit("question", fields);
    } else {
      options_.json->Emit("message", fields);
    }
  };
  if (request.buttons == ui::Buttons::Ok) {
    err_ << "\n" << std::flush;
    emit(nullptr);
    return ui::Answer::Ok;
  }
  ui::Answer answer = ui::Answer::Cancel;
  if (options_.json) {
    // Never a prompt: the answer is --yes or Cancel.
    answer = options_.yes ? ui::Answer::Ok : ui::Answer::Cancel;
    err_ << (options_.yes ? " -> OK\n" : " -> Cancel\n");
  } else if (options_.yes) {
    answer = ui::Answer::Ok;
    err_ << " -> OK\n";
  } else if (options_.interactive) {
    err_ << "\n" << std::flush;
    answer = Ask(request.defaultButton == 0 ? "OK? [Y/n] " : "OK? [y/N] ", request.defaultButton == 0)
                 ? ui::Answer::Ok
                 : ui::Answer::Cancel;
  } else {
    err_ << " -> Cancel (no terminal; --yes answers OK)\n";
  }
  err_ << std::flush;
  emit(answer == ui::Answer::Ok ? "ok" : "cancel");
  return answer;
}

bool ConsoleHost::PumpOne() { return registry_.PumpOne(TickCount()); }

bool ConsoleHost::StdinIsTerminal() { return isatty(STDIN_FILENO) == 1; }
bool ConsoleHost::StdoutIsTerminal() { return isatty(STDOUT_FILENO) == 1; }

bool ConsoleHost::Ask(const std::string& question, bool defaultYes) {
  auto line = ReadLine(question);
  if (!line) return false;
  if (line->empty()) return defaultYes;
  char c = (*line)[0];
  return c == 'y' || c == 'Y' || c == 'o' || c == 'O';
}

std::optional<std::string> ConsoleHost::ReadLine(const std::string& prompt) {
  BreakBar();
  out_ << prompt << std::flush;
  std::string line;
  if (!std::getline(in_, line)) {
    out_ << "\n";
    return std::nullopt;
  }
  return line;
}

void ConsoleHost::BreakBar() {
  if (barOpen_) {
    out_ << "\n" << std::flush;
    barOpen_ = false;
  }
}

}  // namespace platform::console
