// reflash: parses our own options, installs the platform context and runs
// the application object, whose window reads the Orvella(n) tokens.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

#include "app/main/cli.h"
#include "app/main/front_end.h"
#include "app/reflash_app.h"
#include "app/reflash_dlg.h"
#include "platform/core/clock.h"
#include "platform/core/outside_text.h"
#include "platform/core/paced_clock.h"
#include "platform/core/service.h"
#include "platform/core/standard_streams.h"
#include "platform/session/abort_signals.h"
#include "transports/builtin_transports.h"
#include "transports/wire_trace.h"

namespace {

// Runs CReflashDlg for the application object and keeps its outcome.
class ReflashWindow final : public MainWindow {
 public:
  ReflashWindow(const std::string& commandLine, const RunSettings& run, RunOutcome& outcome)
      : dlg_(commandLine, run), outcome_(outcome) {}
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
  platform::KeepStandardStreamsOpen();
  CliOptions cli = ParseCli(argc, argv);
  if (!cli.errors.empty()) {
    for (const std::string& error : cli.errors) {
      std::fprintf(stderr, "reflash: %s\n", EscapeOutsideText(error).c_str());
    }
    std::fprintf(stderr, "Usage: reflash [TOKEN...] [OPTION...]  (try 'reflash --help')\n");
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
  // A simulated run in the console keeps simulated time that really passes
  // (platform/core/paced_clock.h), so it reads the same on every run and
  // system; in force before the trace takes its first time.
  platform::PacedClock simulatedTime(platform::Use<platform::Clock>());
  std::optional<platform::Override<platform::Clock>> useSimulatedTime;
  if (cli.simulate && !UsesWindow(cli)) useSimulatedTime.emplace(simulatedTime);

  int traceError = 0;
  if (!cli.trace.empty() && !EnableWireTrace(cli.trace.c_str(), &traceError)) {
    // ENXIO: a FIFO that nobody reads.
    const char* reason = traceError == ELOOP                           ? "it is a symbolic link"
                         : traceError == EINVAL || traceError == ENXIO ? "it must be a regular file"
                                                                       : std::strerror(traceError);
    std::fprintf(stderr, "reflash: cannot write the trace file %s (%s)\n", EscapeOutsideText(cli.trace).c_str(),
                 reason);
    return kExitUsage;
  }
  platform::InstallAbortSignals();

  // The engine reaches its links through the transport factory; these are
  // the real ones (a --simulate scenario puts its own over them).
  BuiltInTransports transports;
  platform::Override<TransportFactory> useTransports(transports);

  return RunFrontEnd(cli, argc, argv, [&](const RunSettings& settings) {
    RunOutcome outcome = RunOutcome::NoUnit;
    CReflashApp app;
    app.InitInstance([&]() -> std::unique_ptr<MainWindow> {
      return std::make_unique<ReflashWindow>(cli.windowCommandLine, settings, outcome);
    });
    if (!app.WindowRan()) return ExitStatus(RunOutcome::NoUnit);
    return ExitStatus(outcome);
  });
}
