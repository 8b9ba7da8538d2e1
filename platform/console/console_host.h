#pragma once
// The console front end: windows as text on standard output, message boxes
// as "caption: text" blocks on standard error, a terminal progress bar and
// the status line. Questions are answered by --yes (OK), by a prompt when
// standard input is a terminal, otherwise Cancel.
//
// The modal run of the main window (a dialog without a parent and without
// an edit field): after OnInitDialog (which shows the entry --select chose),
// with --yes or when the prompt is accepted, the go button is pressed
// once unless the run has already ended; the final window is printed and the
// window closed through its own Close or Cancel button. A dialog with an
// edit field (the serial-number dialog) reads its text from a prompt or
// takes the preset text with --yes. Other dialogs are shown and closed.
#include <iosfwd>
#include <optional>
#include <string>

#include "platform/console/json_lines.h"
#include "platform/console/memory_dialog.h"
#include "platform/core/message_pump.h"
#include "platform/ui/ui_host.h"

namespace platform::console {

struct ConsoleOptions {
  bool yes = false;               // answer every question with OK
  std::optional<std::string> editText;  // what --yes types into an edit field
  bool interactive = false;       // prompt on the terminal
  bool redrawBar = false;         // standard output is a terminal: redraw the bar in place
  JsonLines* json = nullptr;      // --json: events go here as well (never prompts)
  // The main window's controls the run drives (ids of its template).
  int listId = -1;
  int goButton = -1;
  int statusId = -1;
  int progressId = -1;
};

class ConsoleHost final : public ui::Host, public MessagePump {
 public:
  // Streams default to the process's standard streams.
  explicit ConsoleHost(ConsoleOptions options, std::ostream* out = nullptr, std::ostream* err = nullptr,
                       std::istream* in = nullptr);
  ~ConsoleHost() override;

  std::unique_ptr<ui::DialogWindow> CreateDialog(const ui::DialogTemplate& tmpl, ui::DialogEvents& events,
                                                 ui::DialogWindow* parent) override;
  ui::Answer MessageBox(const ui::MessageBoxRequest& request) override;
  void SetWaitCursor(bool wait) override { (void)wait; }

  // Fires the first due timer of the open dialogs (platform clock).
  bool PumpOne() override;

  // True when standard input is a terminal.
  static bool StdinIsTerminal();
  static bool StdoutIsTerminal();

 private:
  friend class ConsoleDialog;
  // Asks a yes/no question on the terminal; false on end of input.
  bool Ask(const std::string& question, bool defaultYes);
  // Reads one line from the terminal; none at end of input.
  std::optional<std::string> ReadLine(const std::string& prompt);
  // Ends the progress bar's line before other output.
  void BreakBar();

  ConsoleOptions options_;
  std::ostream& out_;
  std::ostream& err_;
  std::istream& in_;
  DialogRegistry registry_;
  bool barOpen_ = false;
};

}  // namespace platform::console
