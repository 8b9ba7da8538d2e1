// The real program in console mode against simulated scenarios: exit
// status, what it prints and what it logs.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "tests/e2e/run_process.h"

namespace {

using e2e::Has;
using Result = e2e::Finished;

class ConsoleRun : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("REFLASH_BIN")) GTEST_SKIP() << "REFLASH_BIN is not set";
  }
  Result Run(const std::string& args) { return box_.Run(args); }

  e2e::Sandbox box_;
};

// A log record: "YYYY-MM-DD hh:mm:ss " and then the text, at a line start.
bool HasRecordStarting(const std::string& log, const std::string& start) {
  std::istringstream lines(log);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.size() < 20 + start.size() || line[4] != '-' || line[7] != '-' || line[10] != ' ' || line[13] != ':' ||
        line[16] != ':' || line[19] != ' ') {
      continue;
    }
    if (line.compare(20, start.size(), start) == 0) return true;
  }
  return false;
}

TEST_F(ConsoleRun, NoUnitFailsWithItsMessage) {
  Result r = Run("--console --simulate=none");
  EXPECT_NE(r.status, 0);
  EXPECT_TRUE(Has(r.err, "Orvella(n) Firmware Update: Unable to locate an Orvella(n)!")) << r.err;
  EXPECT_TRUE(Has(r.log, " Unable to locate an Orvella(n)!\n")) << r.log;
  EXPECT_TRUE(Has(r.log, "Exiting\n")) << r.log;
}

TEST_F(ConsoleRun, DefaultListsTheUnitAndItsDetails) {
  Result r = Run("--console --simulate");
  EXPECT_EQ(r.status, 0) << r.err;
  for (const char* line : {"  > [0] Orvella(n) connected via Orvella(n) MIDI 1\n", "Serial Number: 6018451234\n",
                           "Manufacture Date: Nov 05, 2018\n", "PCB Revision: B\n",
                           "Current Firmware Version: 1.2\n", "Current Firmware Date: Nov 02, 2018\n",
                           "New Firmware Version: 1.10\n", "New Firmware Date: Nov 02, 2018\n",
                           "PROM to Program: 2\n", "[Cancel] [Update]\n"}) {
    EXPECT_TRUE(Has(r.out, line)) << line << "\n---\n" << r.out;
  }
  EXPECT_TRUE(Has(r.log, " Found Orvella(n) connected via Orvella(n) MIDI 1\n"));
  EXPECT_TRUE(Has(r.log, " SN: 6018451234\n"));
}

TEST_F(ConsoleRun, TwoUnitsAndACardInListOrder) {
  Result r = Run("--console --simulate=two-units-card");
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string list = "  > [0] Orvella(n) connected via Orvella(n) MIDI 1\n"
                           "    [1] ZI-RERAR in Orvella(n) connected via Orvella(n) MIDI 1\n"
                           "    [2] Orvella(n) connected via Orvella(n) MIDI 2\n";
  EXPECT_TRUE(Has(r.out, list)) << r.out;
}

TEST_F(ConsoleRun, ModuleEntryAndNoSecondUnit) {
  Result r = Run("--console --simulate=zmdig --select=1");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Has(r.out, "    [0] Orvella(n) connected via Orvella(n) MIDI 1\n")) << r.out;
  EXPECT_TRUE(Has(r.out, "  > [1] ZM-DIG in Orvella(n) connected via Orvella(n) MIDI 1\n")) << r.out;
  EXPECT_FALSE(Has(r.out, "MIDI 2")) << r.out;
  EXPECT_TRUE(Has(r.out, "Current Firmware Version: 1.0\n")) << r.out;
  EXPECT_TRUE(Has(r.out, "Current Firmware Date: Nov 06, 2017\n")) << r.out;
  EXPECT_TRUE(Has(r.out, "PCB Revision: B\n")) << r.out;
  // The module has no serial number and no PROM bank rows.
  EXPECT_FALSE(Has(r.out, "Serial Number:")) << r.out;
  EXPECT_FALSE(Has(r.out, "PROM to Program:")) << r.out;
}

TEST_F(ConsoleRun, ZtHdCardIsLoggedNotListed) {
  Result r = Run("--console --simulate=zthd");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(HasRecordStarting(r.log, "Found ZT-HD in ")) << r.log;
  EXPECT_FALSE(Has(r.out, "[1]")) << r.out;
}

TEST_F(ConsoleRun, CardModeOnAZtHdHasNoImage) {
  Result r = Run("ZSLOT --console --simulate=zthd");
  EXPECT_NE(r.status, 0);
  EXPECT_TRUE(Has(r.err, "Orvella(n) Firmware Update: Unable to determine New Firmware Version!")) << r.err;
  EXPECT_TRUE(Has(r.log, "Unable to determine New Firmware Version!\n"));
}

TEST_F(ConsoleRun, UnitsBehindTheHostDriver) {
  Result r = Run("--console --simulate=thunderbolt");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Has(r.out, "[0] Orvella(n) connected via ")) << r.out;
  EXPECT_TRUE(Has(r.out, "[1] Orvella(n) connected via ")) << r.out;
}

TEST_F(ConsoleRun, ScenarioNamesWithTheirDescriptionsAndUnknownScenario) {
  Result r = Run("--simulate=list");
  EXPECT_EQ(r.status, 0);
  for (const char* line : {"\ntwo-units-card   two units over MIDI, the first with a ZI-RERAR card\n",
                           "\nthunderbolt      two units behind the host driver (Thunderbolt)\n",
                           "\nnone             MIDI ports and the host driver, but no unit\n"}) {
    EXPECT_TRUE(Has(r.out, line)) << line << r.out;
  }
  EXPECT_EQ(r.out.rfind("default          one Orvella(n) over MIDI", 0), 0u) << r.out;
  Result bad = Run("--console --simulate=nosuch");
  EXPECT_NE(bad.status, 0);
  EXPECT_TRUE(Has(bad.err, "nosuch")) << bad.err;
}

TEST_F(ConsoleRun, SerialOptionWritesAndEnds) {
  Result r = Run("SN=6018451299 --console --simulate");
  EXPECT_EQ(r.status, 0) << r.err << r.log;
  EXPECT_TRUE(Has(r.log, "Writing Serial Number...\n")) << r.log;
  Result invalid = Run("SN=6018001234 --console --simulate");
  EXPECT_NE(invalid.status, 0);
  EXPECT_TRUE(Has(invalid.err, "Orvella(n) Firmware Update: Invalid Serial Number!")) << invalid.err;
  EXPECT_FALSE(Has(invalid.log.substr(r.log.size()), "Found Orvella(n)"));
}

TEST_F(ConsoleRun, WithoutYesTheUpdateIsNotStarted) {
  Result r = Run("--console --simulate");
  EXPECT_FALSE(Has(r.log, "About to program")) << r.log;
}

TEST_F(ConsoleRun, YesUpdatesTheUnit) {
  Result r = Run("--console --simulate --yes");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Has(r.err, "Firmware Update Confirmation: About to program the Orvella(n) connected via Orvella(n) "
                         "MIDI 1 with Firmware Version 1.10\n  \n"
                         "  The transfer will take about 24 minutes at the speed of the link.\n  [OK] [Cancel] -> OK\n"))
      << r.err;
  EXPECT_TRUE(Has(r.out, "Downloading...\n")) << r.out;
  EXPECT_TRUE(Has(r.out, "Congratulations!\n")) << r.out;
  EXPECT_TRUE(Has(r.out, "[Close]\n")) << r.out;
  EXPECT_TRUE(Has(r.log, "Programming Complete\n")) << r.log;
}

}  // namespace
