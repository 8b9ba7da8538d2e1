#include "app/main/front_end.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>

#include "app/resources/dialog_templates.h"
#include "platform/console/console_host.h"
#include "platform/console/json_lines.h"
#include "platform/core/environment.h"
#include "platform/core/message_pump.h"
#include "platform/session/abort_signals.h"
#include "sim/scenarios/scenarios.h"
#ifdef REFLASH_HAVE_QT
#include "platform/qt/qt_host.h"
#endif
#ifdef REFLASH_HAVE_WIN32UI
#include "platform/win32ui/win32_host.h"
#endif

namespace {

using platform::console::JsonLines;
using platform::console::JsonObject;

// The record of a run's writes: text lines on standard output, or events.
class FrontEndReport final : public RunReport {
 public:
  FrontEndReport(std::ostream& out, JsonLines* json) : out_(out), json_(json) {}

  void Notice(const std::string& line) override {
    std::cerr << "reflash: " << line << "\n" << std::flush;
    if (json_) json_->Emit("notice", JsonObject().Text("text", line));
  }

  void SerialWritten(int entry, const std::string& device, const std::string& serial, bool ok) override {
    out_ << "Serial number " << serial << " for entry " << entry << " (" << device << "): "
         << (ok ? "written" : "FAILED") << "\n"
         << std::flush;
    if (json_) {
      json_->Emit("serial_written", JsonObject()
                                        .Number("entry", entry)
                                        .Text("device", device)
                                        .Text("serial", serial)
                                        .Bool("ok", ok));
    }
  }

  void Updated(const UpdateSummary& s) override {
    out_ << SummaryLine(s) << "\n" << std::flush;
    if (!json_) return;
    json_->Emit("summary", JsonObject()
                               .Text("device", s.device)
                               .Text("serial", s.serial)
                               .Text("old_version", s.oldVersion)
                               .Text("new_version", s.newVersion)
                               .Text("bank", s.bank)
                               .Text("image", s.image)
                               .Number("image_bytes", s.imageBytes)
                               .Number("duration_ms", s.durationMs)
                               .Text("result", s.result));
  }

 private:
  std::ostream& out_;
  JsonLines* json_;
};

int RunConsole(const CliOptions& cli, JsonLines* json, std::ostream& out, const std::function<int()>& run) {
  using platform::console::ConsoleHost;
  platform::console::ConsoleOptions options;
  options.yes = cli.yes;
  options.editText = cli.serial;
  options.interactive = !cli.yes && !json && ConsoleHost::StdinIsTerminal();
  options.redrawBar = !json && ConsoleHost::StdoutIsTerminal();
  options.json = json;
  options.listId = resources::IDC_MODEL;
  options.goButton = resources::IDC_UPDATE;
  options.statusId = resources::IDC_STATUS;
  options.progressId = resources::IDC_PROGRESS;
  ConsoleHost host(options, &out);
  platform::Override<platform::ui::Host> useHost(host);
  platform::Override<platform::MessagePump> usePump(host);
  return run();
}

const char* OutcomeName(int status) {
  if (status == kExitDone) return "done";
  if (status == kExitUsage) return "usage_error";
  if (status == kExitUnconfirmed) return "not_confirmed";
  if (status > 128) return "aborted";
  return "failed";
}

}  // namespace

bool UsesWindow(const CliOptions& cli) {
  if (cli.console || cli.json) return false;
#if defined(REFLASH_HAVE_QT)
  return platform::qt::DisplayAvailable();
#elif defined(REFLASH_HAVE_WIN32UI)
  return platform::win32ui::WindowsAvailable();
#else
  return false;
#endif
}

int RunFrontEnd(const CliOptions& cli, int& argc, char** argv, const std::function<int(const RunSettings&)>& run) {
  std::unique_ptr<sim::Scenario> scenario;
  if (cli.simulate) {
    if (cli.scenario == "list") {
      for (const auto& name : sim::ScenarioNames()) {
        std::printf("%-16s %s\n", name.c_str(), sim::DescribeScenario(name).c_str());
      }
      return kExitDone;
    }
    scenario = sim::MakeScenario(cli.scenario);
    if (!scenario) {
      std::fprintf(stderr, "reflash: there is no scenario \"%s\" (--simulate=list names them)\n",
                   cli.scenario.c_str());
      return kExitUsage;
    }
    scenario->Install();
  } else if (std::getenv("REFLASH_SCREENSHOT")) {
    // It answers OK to every question: never against real units.
    std::fprintf(stderr, "reflash: REFLASH_SCREENSHOT is ignored without --simulate\n");
    platform::UnsetEnvironment("REFLASH_SCREENSHOT");
  }

  // With --json, standard output carries only the events; the text the
  // console would print goes to the error stream.
  std::optional<JsonLines> json;
  if (cli.json) json.emplace(std::cout);
  std::ostream& text = cli.json ? std::cerr : std::cout;
  FrontEndReport report(text, json ? &*json : nullptr);
  RunSettings settings;
  settings.select = cli.select;
  settings.strict = cli.yes || cli.json;
  settings.report = &report;

  auto runAndFinish = [&]() {
    const int status = run(settings);
    if (json) {
      json->Emit("result", JsonObject().Text("outcome", OutcomeName(status)).Number("exit_status", status));
    }
    return status;
  };

#ifdef REFLASH_HAVE_QT
  if (UsesWindow(cli)) {
    platform::qt::QtSession session(argc, argv);
    return runAndFinish();
  }
#else
  (void)argc;
  (void)argv;
#endif
#ifdef REFLASH_HAVE_WIN32UI
  if (UsesWindow(cli)) {
    platform::win32ui::Win32Session session;
    return runAndFinish();
  }
#endif
  return RunConsole(cli, json ? &*json : nullptr, text, runAndFinish);
}

int ExitStatus(RunOutcome outcome) {
  // A signal ends the run with its own status, unless the run had already
  // done what it was asked: then the status says so, as the summary does.
  const bool done = outcome == RunOutcome::UpdateSucceeded || outcome == RunOutcome::SerialWritten;
  if (!done && platform::AbortSignal() != 0) return platform::AbortExitStatus(platform::AbortSignal());
  switch (outcome) {
    case RunOutcome::UpdateSucceeded:
    case RunOutcome::SerialWritten:
    case RunOutcome::Nothing:
      return kExitDone;
    case RunOutcome::UsageError:
      return kExitUsage;
    case RunOutcome::SentNotConfirmed:
      return kExitUnconfirmed;
    case RunOutcome::UpdateFailed:
    case RunOutcome::UpdateCancelled:
    case RunOutcome::SerialFailed:
    case RunOutcome::NoUnit:
    case RunOutcome::Aborted:
      return kExitFailed;
  }
  return kExitFailed;
}
