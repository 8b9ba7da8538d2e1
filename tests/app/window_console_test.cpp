// The console front end: the window as text, message boxes and their
// answers, the progress bar, timers while pumping, and the serial-number
// dialog driven from the console.
#include <gtest/gtest.h>

#include <sstream>

#include "app/resources/dialog_templates.h"
#include "app/serial_number_dlg.h"
#include "platform/console/console_host.h"
#include "platform/console/window_text.h"
#include "platform/core/clock.h"
#include "platform/core/message_pump.h"

namespace {

using namespace resources;
using platform::console::ConsoleHost;
using platform::console::ConsoleOptions;
using platform::ui::Answer;
using platform::ui::Buttons;
using platform::ui::MessageBoxRequest;

class NoEvents : public platform::ui::DialogEvents {
 public:
  bool OnInitDialog() override { return true; }
  void OnCommand(int) override {}
  void OnTimer(int id) override { fired.push_back(id); }
  std::vector<int> fired;
};

struct Console {
  explicit Console(ConsoleOptions options, const std::string& input = "")
      : in(input), host(options, &out, &err, &in), useHost(host), usePump(host) {}
  std::ostringstream out, err;
  std::istringstream in;
  ConsoleHost host;
  platform::Override<platform::ui::Host> useHost;
  platform::Override<platform::MessagePump> usePump;
};

ConsoleOptions MainWindowOptions() {
  ConsoleOptions o;
  o.listId = IDC_MODEL;
  o.goButton = IDC_UPDATE;
  o.statusId = IDC_STATUS;
  o.progressId = IDC_PROGRESS;
  return o;
}

TEST(ConsoleWindow, RendersTheListAndTheVisibleRows) {
  Console c(MainWindowOptions());
  NoEvents events;
  auto w = c.host.CreateDialog(MainDialogTemplate(), events, nullptr);
  w->ComboAdd(IDC_MODEL, "Unit A");
  w->ComboAdd(IDC_MODEL, "ZM-DIG in Unit A");
  w->ComboSetSel(IDC_MODEL, 1);
  w->SetText(IDC_SERIAL, "6018451234");
  w->SetText(IDC_FW_VERSION, "1.2");
  w->SetText(IDC_NEW_FW_VERSION, "1.10");
  w->Show(IDC_PROM_LABEL, false);
  w->Show(IDC_PROM, false);
  const std::string text =
      platform::console::RenderWindow(static_cast<platform::console::MemoryDialog&>(*w).State());
  EXPECT_NE(text.find("Select Unit to Update:\n    [0] Unit A\n  > [1] ZM-DIG in Unit A\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Serial Number: 6018451234\n"), std::string::npos) << text;
  // Values on the same line of the template belong to the nearest label.
  EXPECT_NE(text.find("Current Firmware Version: 1.2\n"), std::string::npos) << text;
  EXPECT_NE(text.find("New Firmware Version: 1.10\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("PROM to Program:"), std::string::npos) << text;
  EXPECT_EQ(text.find("Programming..."), std::string::npos) << text;  // hidden status line
  EXPECT_NE(text.find("[Cancel] [Update] [Close]\n"), std::string::npos) << text;
}

TEST(ConsoleWindow, MessageBoxAnswers) {
  struct Case {
    bool yes, interactive;
    std::string input;
    int defaultButton;
    Answer expected;
  };
  const Case cases[] = {
      {true, false, "", 1, Answer::Ok},           {false, false, "", 0, Answer::Cancel},
      {false, true, "y\n", 1, Answer::Ok},        {false, true, "n\n", 0, Answer::Cancel},
      {false, true, "\n", 0, Answer::Ok},         {false, true, "\n", 1, Answer::Cancel},
      {false, true, "", 0, Answer::Cancel},  // end of input
  };
  for (const auto& k : cases) {
    ConsoleOptions o;
    o.yes = k.yes;
    o.interactive = k.interactive;
    Console c(o, k.input);
    MessageBoxRequest question{"About to program\nthe unit\n", "Firmware Update Confirmation", Buttons::OkCancel,
                               platform::ui::Icon::Exclamation, k.defaultButton};
    EXPECT_EQ(c.host.MessageBox(question), k.expected) << k.input;
    EXPECT_EQ(c.err.str().rfind("Firmware Update Confirmation: About to program\n  the unit\n  [OK] [Cancel]", 0), 0u)
        << c.err.str();
  }
  // A box with only OK needs no answer; no caption shows the default one.
  Console c(ConsoleOptions{});
  EXPECT_EQ(c.host.MessageBox({"GetVersionEx Failed!", std::nullopt, Buttons::Ok, platform::ui::Icon::Warning, 0}),
            Answer::Ok);
  EXPECT_EQ(c.err.str(), "Error: GetVersionEx Failed!\n  [OK]\n");
}

TEST(ConsoleWindow, ProgressAndStatusArePrintedOnlyWhenTheyChange) {
  for (bool terminal : {false, true}) {
    ConsoleOptions o = MainWindowOptions();
    o.redrawBar = terminal;
    Console c(o);
    NoEvents events;
    auto w = c.host.CreateDialog(MainDialogTemplate(), events, nullptr);
    w->Show(IDC_PROGRESS, true);
    w->Show(IDC_STATUS, true);  // shows its template text
    w->SetText(IDC_STATUS, "Downloading...");
    w->SetText(IDC_STATUS, "Downloading...");
    w->ProgressRange(IDC_PROGRESS, 0, 200);
    for (int i = 0; i < 200; ++i) w->ProgressPos(IDC_PROGRESS, i);
    w->ProgressPos(IDC_PROGRESS, 200);
    const std::string out = c.out.str();
    EXPECT_EQ(out.rfind("Programming...\nDownloading...\n", 0), 0u) << out;
    if (terminal) {
      // One redraw per percent, not per position.
      EXPECT_EQ(std::count(out.begin(), out.end(), '\r'), 101) << out;  // 0% to 100%
      EXPECT_NE(out.find("] 100%"), std::string::npos);
    } else {
      EXPECT_NE(out.find("Progress: 0% (00:00:00 elapsed)\nProgress: 10% ("), std::string::npos) << out;
      EXPECT_NE(out.find("\nProgress: 20% (00:00:00 elapsed, about 00:00:00 left)\n"), std::string::npos) << out;
      EXPECT_NE(out.find("\nProgress: 100% ("), std::string::npos) << out;
      EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 2 + 11) << out;
    }
  }
}

TEST(ConsoleWindow, PumpingFiresDueTimersOnTheClock) {
  platform::VirtualClock clock(1000, 0, 1);
  platform::Override<platform::Clock> useClock(clock);
  Console c(ConsoleOptions{});
  NoEvents events;
  auto w = c.host.CreateDialog(MainDialogTemplate(), events, nullptr);
  w->SetTimer(1, 16);
  for (int i = 0; i < 15; ++i) platform::PumpOneMessage();
  EXPECT_TRUE(events.fired.empty());
  for (int i = 0; i < 2; ++i) platform::PumpOneMessage();
  EXPECT_EQ(events.fired, std::vector<int>{1});
  w->KillTimer(1);
  clock.Advance(100);
  platform::PumpOneMessage();
  EXPECT_EQ(events.fired.size(), 1u);
}

TEST(ConsoleWindow, SerialDialogTakesTheGivenNumberWithYes) {
  struct Case {
    std::string text;
    int result;
    uint32_t serial;
  };
  const Case cases[] = {
      {"6018451234", CGetSerialNumberDlg::kOk, 0x6026D4D2},
      {"60184512349", CGetSerialNumberDlg::kCancel, 0},       // eleven digits: refused, not cut to ten
      {"6018459999", CGetSerialNumberDlg::kCancel, 0},        // unit 9999 would be written as 1807
      {"601845123", CGetSerialNumberDlg::kCancel, 0},         // refused, then cancelled
      {"4318451234", CGetSerialNumberDlg::kCancel, 0},        // model 0x43 is not valid here
  };
  for (const auto& k : cases) {
    ConsoleOptions o;
    o.yes = true;
    o.editText = k.text;
    Console c(o);
    CGetSerialNumberDlg dlg;
    EXPECT_EQ(dlg.DoModal(nullptr), k.result) << k.text;
    if (k.result == CGetSerialNumberDlg::kOk) {
      EXPECT_EQ(dlg.m_dwSerialNumber, k.serial) << k.text;
    }
    EXPECT_EQ(c.err.str().find("Invalid Serial Number!") != std::string::npos, k.result != CGetSerialNumberDlg::kOk)
        << k.text << c.err.str();
  }
}

TEST(ConsoleWindow, SerialDialogPromptsUntilAValidNumber) {
  ConsoleOptions o;
  o.interactive = true;
  Console c(o, "12345\n6018451234\n");
  CGetSerialNumberDlg dlg;
  EXPECT_EQ(dlg.DoModal(nullptr), CGetSerialNumberDlg::kOk);
  EXPECT_EQ(dlg.m_dwSerialNumber, 0x6026D4D2u);
  Console none(ConsoleOptions{});
  CGetSerialNumberDlg cancelled;
  EXPECT_EQ(cancelled.DoModal(nullptr), CGetSerialNumberDlg::kCancel);
}

}  // namespace
