#pragma once
// Runs the main window against a simulated scenario on the virtual clock,
// through the scripted UI host, in a fresh working directory. Tests see
// the window as a user does: what the host was told to show, the messages
// it was asked to show, the log, and the run's outcome.
#include <memory>
#include <string>

#include "app/reflash_dlg.h"
#include "app/resources/dialog_templates.h"
#include "platform/core/clock.h"
#include "sim/scenarios/scenarios.h"
#include "tests/app/working_dir.h"
#include "tests/support/scripted_host.h"

class WindowRun {
 public:
  explicit WindowRun(const std::string& scenario, std::string commandLine = "")
      : clockGuard_(clock_), scenario_(sim::MakeScenario(scenario)), dlg_(std::move(commandLine)) {
    if (scenario_) scenario_->Install();
  }

  // The main window's script (template 102).
  test_support::Script& Script() { return host_.ScriptFor(resources::kMainDialog); }
  int Run() { return dlg_.DoModal(); }

  RunOutcome Outcome() const { return dlg_.Outcome(); }
  test_support::ScriptedHost& Host() { return host_; }
  sim::Scenario& Scenario() { return *scenario_; }
  const test_support::DialogState& Window() const { return *host_.Last(resources::kMainDialog); }
  std::string Text(int id) const { return Window().Find(id)->text; }
  bool Visible(int id) const { return Window().Find(id)->visible; }
  std::string Log() const { return dir_.Log(); }

 private:
  ScopedWorkingDir dir_;
  platform::VirtualClock clock_;
  platform::Override<platform::Clock> clockGuard_;
  test_support::ScriptedHost host_;
  std::unique_ptr<sim::Scenario> scenario_;
  CReflashDlg dlg_;
};
