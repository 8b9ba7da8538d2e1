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

// The build's own expanded (or, with `compressed`, SZDD) image.
std::string BuiltIn(const std::string& name, bool compressed = false) {
  return ReadFile(fs::path(REFLASH_BUILTIN_IMAGES) / (compressed ? name + "_" : name));
}

bool CarriesHeader(const std::string& image) { return image.rfind(std::string("OVFWIMG\0", 8), 0) == 0; }

TEST_F(SafetyRun, RefusedRunsSendNothingThatChangesAUnitAndExitNonZero) {
  std::ofstream(dir_ / "ZMDIG0101NC.BIN") << std::string(1000, 'x');
  std::ofstream(dir_ / "NBT0111ANC.BIN") << std::string(1000, 'x');
  const std::string unitImage = BuiltIn("NBT0110ANC.BIN");
  const std::string packed = BuiltIn("NBT0110ANC.BIN", true);
  ASSERT_GT(unitImage.size(), 100000u);
  // A main-unit image named for the ZT-HD card, which has no run of its own.
  std::ofstream(dir_ / "ZTHD0102NC.BIN", std::ios::binary) << unitImage;
  // A module image named for the main unit; a main image cut short.
  std::ofstream(dir_ / "NBT0112ANC.BIN", std::ios::binary) << BuiltIn("ZMDIG0100NC.BIN");
  std::ofstream(dir_ / "NBT0113ANC.BIN", std::ios::binary) << unitImage.substr(0, 100000);
  // Zeros past what any PROM holds; a compressed file cut short.
  fs::resize_file((std::ofstream(dir_ / "NBT0114ANC.BIN"), dir_ / "NBT0114ANC.BIN"), 64u << 20);
  std::ofstream(dir_ / "NBT0115ANC.BIN", std::ios::binary) << packed.substr(0, packed.size() / 2);
  struct Case {
    std::string args;
    const char* message;
    bool needsHeader = false;  // the build's images carry the header (not the maker's)
  };
  auto file = [&](const char* name) { return " FILE=" + (dir_ / name).string(); };
  const Case cases[] = {
      {"ZSLOT --console --simulate=zthd --yes" + file("ZTHD0102NC.BIN"),
       "is for a ZT-HD card, but this program can only write it to the Orvella(n) main unit"},
      {"--console --simulate --yes" + file("NBT0112ANC.BIN"),
       "is named for a Orvella(n) main unit, but its contents are for a ZM-DIG module", true},
      {"--console --simulate --yes" + file("NBT0113ANC.BIN"), "announces 3026032 bytes but holds 100000", true},
      {"--console --simulate --yes" + file("NBT0114ANC.BIN"),
       "holds 67108864 bytes, more than a Orvella(n) main unit can hold (4194304 bytes)"},
      {"--console --simulate --yes" + file("NBT0115ANC.BIN"), "Unable to expand file"},
      {"--console --simulate=two-units-card --yes --select=1" + file("NBT0111ANC.BIN"),
       "is for a Orvella(n) main unit, but the selected device is the ZI-RERAR card"},
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
    if (c.needsHeader && !CarriesHeader(unitImage)) continue;
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

TEST_F(SafetyRun, ACompressedFileGoesOutExpanded) {
  // The maker's files come compressed; the unit gets the image, not the SZDD bytes.
  std::ofstream(dir_ / "NBT0110ANC.BIN", std::ios::binary) << BuiltIn("NBT0110ANC.BIN", true);
  const Result r = Run("--console --simulate --yes FILE=" + (dir_ / "NBT0110ANC.BIN").string());
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string log = ReadFile(dir_ / "OrvellaReflash.log");
  EXPECT_NE(log.find("NBT0110ANC.BIN is compressed, expanded to 3026032 bytes"), std::string::npos) << log;
  EXPECT_NE(log.find("(3026032 bytes), took "), std::string::npos) << log;
  EXPECT_GT(ChangingFrames(r.trace), 23641);  // every packet of the expanded image
  EXPECT_TRUE(fs::exists(dir_ / "NBT0110ANC.BIN"));  // the user's file stays
}

}  // namespace
