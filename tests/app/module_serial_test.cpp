// A ZM-DIG module entry's serial number is its unit's: SN= for that entry
// writes and commits the unit's number, whatever link the unit is on.
#include <gtest/gtest.h>

#include "app/reflash_dlg.h"
#include "app/serial_number.h"
#include "platform/core/clock.h"
#include "sim/scenarios/scenarios.h"
#include "tests/app/working_dir.h"
#include "tests/support/scripted_host.h"

namespace {

// The network link refuses a module index as the MIDI link does (the
// engine test covers that refusal); its discovery waits on real sockets,
// which the virtual clock of this test does not drive.
enum class Link { kMidi, kDriver };

TEST(ModuleSerial, TheModuleEntrysNumberReachesItsUnitOnEveryLink) {
  for (Link link : {Link::kMidi, Link::kDriver}) {
    SCOPED_TRACE(static_cast<int>(link));
    ScopedWorkingDir dir;
    platform::VirtualClock clock;
    platform::Override<platform::Clock> useClock(clock);
    test_support::ScriptedHost host;
    sim::Scenario scenario("module-serial", sim::ScenarioOptions{});
    sim::UnitConfig config;
    config.hasModule = true;
    config.serial = sim::kBlankSerial;
    sim::UnitModel& unit = link == Link::kMidi ? scenario.AddMidiUnit(config) : scenario.AddDriverUnit(config);
    scenario.Install();
    RunSettings run;
    run.select = 1;  // the module entry
    CReflashDlg dlg("SN=6018451299", run);
    dlg.DoModal();
    EXPECT_EQ(dlg.Outcome(), RunOutcome::SerialWritten) << dir.Log();
    EXPECT_EQ(unit.CommittedUnitSerial(), PackSerialNumber("6018451299"));
    EXPECT_TRUE(host.Messages().empty()) << host.Messages().front().text;
    EXPECT_NE(dir.Log().find("for entry 1 (ZM-DIG in "), std::string::npos) << dir.Log();
  }
}

}  // namespace
