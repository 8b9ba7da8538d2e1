// reflash: parses our own options, installs the platform context and runs
// the application object, whose window reads the Orvella(n) tokens.
#include <cstdio>
#include <memory>

#include "app/main/cli.h"
#include "app/main/front_end.h"
#include "app/reflash_app.h"
#include "app/reflash_dlg.h"
#include "platform/core/service.h"
#include "transports/builtin_transports.h"
#include "transports/wire_trace.h"

namespace {

// Runs CReflashDlg for the application object and keeps its outcome.
class ReflashWindow final : public MainWindow {
 public:
  ReflashWindow(const std::string& commandLine, RunOutcome& outcome) : dlg_(commandLine), outcome_(outcome) {}
  int DoModal() override {
    int result = dlg_.DoModal();
    outcome_ = dlg_.Outcome();
    return result;
  }

 private:
  CReflashDlg dlg_;
  RunOutcome& outcome_;
};

}  // namespace

int main(int argc, char** argv) {
  CliOptions cli = ParseCli(argc, argv);
  if (!cli.errors.empty()) {
    for (const std::string& error : cli.errors) {
      std::fprintf(stderr, "reflash: %s\n", error.c_str());
    }
    std::fprintf(stderr, "Try 'reflash --help'.\n");
    return kExitUsage;
  }
  if (cli.help) {
    std::fputs(HelpText().c_str(), stdout);
    return kExitDone;
  }
  if (cli.version) {
    std::fputs(VersionText().c_str(), stdout);
    return kExitDone;
  }
  if (!cli.trace.empty() && !EnableWireTrace(cli.trace.c_str())) {
    std::fprintf(stderr, "reflash: cannot write the trace file %s\n", cli.trace.c_str());
    return kExitUsage;
  }

  // The engine reaches its links through the transport factory; these are
  // the real ones (a --simulate scenario puts its own over them).
  BuiltInTransports transports;
  platform::Override<TransportFactory> useTransports(transports);

  return RunFrontEnd(cli, argc, argv, [&] {
    RunOutcome outcome = RunOutcome::NoUnit;
    CReflashApp app;
    app.InitInstance([&]() -> std::unique_ptr<MainWindow> {
      return std::make_unique<ReflashWindow>(cli.windowCommandLine, outcome);
    });
    if (!app.WindowRan()) {
      return kExitFailed;
    }
    return ExitStatus(outcome);
  });
}
