// The README's first command, run for real: the reflash binary in console
// mode against the default simulated unit programs the built-in main-unit
// image and exits 0.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/e2e/run_process.h"

namespace {

// Checks that `records` appear in `text` in this order; returns the first
// one missing (empty when all are there).
std::string FirstMissingInOrder(const std::string& text, const std::vector<std::string>& records) {
  size_t at = 0;
  for (const std::string& record : records) {
    const size_t found = text.find(record, at);
    if (found == std::string::npos) return record;
    at = found + record.size();
  }
  return "";
}

TEST(MainJob, ConsoleSimulateYesProgramsTheBuiltInImageAndExitsZero) {
  if (!std::getenv("REFLASH_BIN")) GTEST_SKIP() << "REFLASH_BIN is not set";
  e2e::Sandbox box;
  const e2e::Finished r = box.Run("--console --simulate --yes");
  const std::string output = r.out + r.err;
  ASSERT_EQ(r.status, 0) << output;

  const std::string& log = r.log;
  const std::string missing = FirstMissingInOrder(
      log, {"Found Orvella(n). Number Of Connections: 1\n", "About to program the ", "ProgramEEPROM\n",
            "SelectBank 1\n", "Downloading\n", "Download took: ", "Erasing\n", "Programming\n", "Verifying\n",
            "Programming Complete\n", "Exiting\n" + std::string(77, '*') + "\n"});
  EXPECT_EQ(missing, "") << log;
  EXPECT_EQ(log.find("FAILED"), std::string::npos) << log;
  EXPECT_EQ(log.find("Failed"), std::string::npos) << log;

  // The window went through the unit's own phases and ended in its done state.
  EXPECT_EQ(FirstMissingInOrder(output, {"Downloading...", "Erasing...", "Programming...", "Verifying...",
                                         "Congratulations!"}),
            "")
      << output;
}

}  // namespace
