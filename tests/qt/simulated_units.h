#pragma once
// A Qt host test against simulated units on the virtual clock: the units of
// one scenario, and every message box recorded and answered.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/core/clock.h"
#include "platform/ui/ui_host.h"
#include "qt_test_env.h"
#include "sim/scenarios/scenarios.h"

namespace qt_test {

struct SimulatedUnitsTest : ::testing::Test {
  HostScope scope;
  platform::VirtualClock clock;
  platform::Override<platform::Clock> useClock{clock};
  std::unique_ptr<sim::Scenario> scenario;
  std::vector<platform::ui::MessageBoxRequest> asked;

  // Installs the units of scenario `name`; `answer` answers each message box.
  void InstallUnits(const std::string& name,
                    std::function<platform::ui::Answer(const platform::ui::MessageBoxRequest&)> answer) {
    scenario = sim::MakeScenario(name);
    ASSERT_NE(scenario, nullptr);
    scenario->Install();
    scope.host.SetMessageBoxHook([this, answer](const platform::ui::MessageBoxRequest& r) {
      asked.push_back(r);
      return std::optional<platform::ui::Answer>(answer(r));
    });
  }
};

}  // namespace qt_test
