// The abort signals, each case in a child process of its own: the
// handlers and what arrived are process-wide and cannot be undone.
#include "platform/session/abort_signals.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace {

// Exits 0 when every expectation of `body` held, else with the number of
// the first that did not.
template <class Body>
void InChild(Body body) {
  EXPECT_EXIT(
      {
        // The log records the signals: keep it out of the test's folder.
        char folder[] = "/tmp/reflash-signals-XXXXXX";
        if (!mkdtemp(folder) || chdir(folder) != 0) std::_Exit(100);
        const int failed = body();
        std::system(("rm -rf '" + std::string(folder) + "'").c_str());
        std::_Exit(failed);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(AbortSignals, AStepThatMustFinishHoldsTheSignalUntilItsEnd) {
  InChild([] {
    platform::InstallAbortSignals();
    {
      platform::MustFinish commit("the serial number write");
      raise(SIGUSR1);  // would end the program, were it not handled
      if (platform::AbortRequested()) return 1;
      {
        platform::MustFinish inner("an inner step");
        if (platform::AbortRequested()) return 2;
      }
      if (platform::AbortRequested()) return 3;  // the outer step still runs
    }
    if (!platform::AbortRequested()) return 4;
    if (platform::AbortSignal() != SIGUSR1) return 5;
    return platform::AbortExitStatus(SIGUSR1) == 138 ? 0 : 6;
  });
}

TEST(AbortSignals, EverySignalThatWouldEndTheProgramAbortsInstead) {
  for (int signal : {SIGQUIT, SIGALRM, SIGUSR2, SIGVTALRM, SIGHUP, SIGTERM}) {
    SCOPED_TRACE(platform::SignalName(signal));
    InChild([signal] {
      platform::InstallAbortSignals();
      raise(signal);
      return platform::AbortRequested() && platform::AbortSignal() == signal ? 0 : 1;
    });
  }
}

TEST(AbortSignals, ASignalIgnoredAtTheStartStaysIgnored) {
  InChild([] {
    ::signal(SIGHUP, SIG_IGN);  // as nohup starts a program
    platform::InstallAbortSignals();
    raise(SIGHUP);
    if (platform::AbortRequested()) return 1;
    raise(SIGTERM);  // one that was not ignored still counts
    return platform::AbortSignal() == SIGTERM ? 0 : 2;
  });
}

}  // namespace
