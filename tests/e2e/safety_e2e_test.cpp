// The real program refuses unsafe runs before anything that changes a unit
// leaves the host: --trace records every frame written, and none of them
// may be a data packet, a bank command, a transfer command or a register
// write.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include "tests/e2e/run_process.h"
#include "tests/support/text_files.h"

namespace {

namespace fs = std::filesystem;
using test_support::ReadFile;

// Frames of the trace that would change a unit: the command code is bits
// 6..3 of byte 4 (0 write, 4 packet follows, 6/7 bank, 12 prepare, 15 data).
int ChangingFrames(const std::string& trace) {
  std::istringstream lines(trace);
  std::string line;
  int n = 0;
  while (std::getline(lines, line)) {
    std::istringstream words(line);
    std::string ms, direction, connection;
    words >> ms >> direction >> connection;
    if (direction != "out") continue;
    std::string byte;
    for (int i = 0; i < 5 && words >> byte; ++i) {
      if (i < 4) continue;
      const int code = (std::stoi(byte, nullptr, 16) >> 3) & 0x0F;
      n += code == 0 || code == 4 || code == 6 || code == 7 || code == 12 || code == 15;
    }
  }
  return n;
}

class SafetyRun : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("REFLASH_BIN")) GTEST_SKIP() << "REFLASH_BIN is not set";
    dir_ = box_.Dir();
  }

  struct Result {
    int status = -1;
    std::string err, trace;
  };
  Result Run(const std::string& args) {
    const e2e::Finished f = box_.Run(args + " --trace=run.trace");
    return Result{f.status, f.err, e2e::ReadFile(dir_ / "run.trace")};
  }

  e2e::Sandbox box_;
  fs::path dir_;
};

TEST_F(SafetyRun, RefusedRunsSendNothingThatChangesAUnitAndExitNonZero) {
  std::ofstream(dir_ / "ZMDIG0101NC.BIN") << std::string(1000, 'x');
  std::ofstream(dir_ / "NBT0111ANC.BIN") << std::string(1000, 'x');
  struct Case {
    std::string args;
    const char* message;
  };
  const Case cases[] = {
      {"--console --simulate --yes FILE=" + (dir_ / "ZMDIG0101NC.BIN").string(),
       "is for a ZM-DIG module, but the selected device is the Orvella(n) main unit"},
      {"ZSLOT --console --simulate=two-units-card --yes FILE=" + (dir_ / "NBT0111ANC.BIN").string(),
       "is for a Orvella(n) main unit, but the selected device is the ZI-RERAR card"},
      {"SN=6018459999 --console --simulate", "Invalid Serial Number!"},
      {"SN=6005651234 --console --simulate", "Invalid Serial Number!"},
      {"GETSN --console --simulate=blank-serial --yes --serial=6018459999", "Invalid Serial Number!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    fs::remove(dir_ / "run.trace");
    const Result r = Run(c.args);
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(ChangingFrames(r.trace), 0) << r.trace.substr(0, 2000);
  }
}

TEST_F(SafetyRun, AnImageForTheSelectedDeviceStillGoesOut) {
  // The same trace check sees the frames of a run that is allowed.
  std::ofstream(dir_ / "NBT0111ANC.BIN") << std::string(1000, 'x');
  const Result r = Run("--console --simulate --yes FILE=" + (dir_ / "NBT0111ANC.BIN").string());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_GT(ChangingFrames(r.trace), 8);
}

}  // namespace
