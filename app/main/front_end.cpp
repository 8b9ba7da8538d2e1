#include "app/main/front_end.h"

#include <cstdio>
#include <memory>
#include <optional>

#include "app/resources/dialog_templates.h"
#include "platform/console/console_host.h"
#include "platform/core/message_pump.h"
#include "sim/scenarios/scenarios.h"
#ifdef REFLASH_HAVE_QT
#include "platform/qt/qt_host.h"
#endif

namespace {

int RunConsole(const CliOptions& cli, const std::function<int()>& run) {
  using platform::console::ConsoleHost;
  platform::console::ConsoleOptions options;
  options.yes = cli.yes;
  options.select = cli.select;
  options.editText = cli.serial;
  options.interactive = !cli.yes && ConsoleHost::StdinIsTerminal();
  options.redrawBar = ConsoleHost::StdoutIsTerminal();
  options.listId = resources::IDC_MODEL;
  options.goButton = resources::IDC_UPDATE;
  options.statusId = resources::IDC_STATUS;
  options.progressId = resources::IDC_PROGRESS;
  ConsoleHost host(options);
  platform::Override<platform::ui::Host> useHost(host);
  platform::Override<platform::MessagePump> usePump(host);
  return run();
}

}  // namespace

int RunFrontEnd(const CliOptions& cli, int& argc, char** argv, const std::function<int()>& run) {
  std::unique_ptr<sim::Scenario> scenario;
  if (cli.simulate) {
    if (cli.scenario == "list") {
      for (const auto& name : sim::ScenarioNames()) std::printf("%s\n", name.c_str());
      return kExitDone;
    }
    scenario = sim::MakeScenario(cli.scenario);
    if (!scenario) {
      std::fprintf(stderr, "reflash: there is no scenario \"%s\" (--simulate=list names them)\n",
                   cli.scenario.c_str());
      return kExitUsage;
    }
    scenario->Install();
  }

#ifdef REFLASH_HAVE_QT
  if (!cli.console && platform::qt::DisplayAvailable()) {
    platform::qt::QtSession session(argc, argv);
    return run();
  }
#else
  (void)argc;
  (void)argv;
#endif
  return RunConsole(cli, run);
}

int ExitStatus(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::UpdateSucceeded:
    case RunOutcome::SerialWritten:
    case RunOutcome::Nothing:
      return kExitDone;
    case RunOutcome::UpdateFailed:
    case RunOutcome::UpdateCancelled:
    case RunOutcome::SerialFailed:
    case RunOutcome::NoUnit:
      return kExitFailed;
  }
  return kExitFailed;
}
