// `--simulate=network` through the real program: the card is found by the
// network transport over the in-process network and its firmware written
// and verified, on any machine, with no network set-up.
#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/run_process.h"

namespace {

using e2e::Finished;
using e2e::Has;
using e2e::Sandbox;

TEST(SimulatedNetwork, TheConsoleFindsTheCardOverTheNetworkAndProgramsIt) {
  Sandbox box;
  Finished r = box.Run("--console --simulate=network --yes ZSLOT");
  EXPECT_EQ(r.status, 0) << r.out << r.err << r.log;
  EXPECT_TRUE(Has(r.out, "ZI-RERAR in Orvella(n) connected via Dante (192.168.77.10)")) << r.out;
  for (const char* step : {"Erase Complete", "Verify Complete", "EEPROM Programming Success"}) {
    EXPECT_TRUE(Has(r.log, step)) << step << "\n" << r.log;
  }
  EXPECT_FALSE(Has(r.log, "Failed")) << r.log;
}

}  // namespace
