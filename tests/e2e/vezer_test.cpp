// The real program in console mode updating a VE-ZER card through the
// simulated card driver library that the "vezer" scenario installs.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>
#include "tests/e2e/run_process.h"
#include "tests/support/text_files.h"

namespace {

namespace fs = std::filesystem;
using test_support::Has;
using test_support::ReadFile;

std::vector<char> ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class VezerRun : public ::testing::Test {
 protected:
  using Result = e2e::Finished;

  void SetUp() override {
    if (!std::getenv("REFLASH_BIN")) GTEST_SKIP() << "REFLASH_BIN is not set";
    dir_ = box_.Dir();
  }

  // Runs the program in the test's folder; the simulated card writes what
  // it was programmed with to card.bin. `faults` go to the driver library.
  Result Run(const std::string& args, const std::string& faults = "") {
    return box_.Run(args, "REFLASH_VEZER_IMAGE_OUT=card.bin REFLASH_VEZER_FAULTS='" + faults + "'");
  }

  e2e::Sandbox box_;
  fs::path dir_;
};

TEST_F(VezerRun, TheCardIsListedAndProgrammedByDfu) {
  Result r = Run("--console --simulate=vezer --yes --select=1");
  ASSERT_EQ(r.status, 0) << r.err << r.log;
  for (const char* line : {"  > [1] VE-ZER in Orvella(n) connected via Orvella(n) MIDI 1\n",
                           "Current Firmware Version: 9.", "Current Firmware Date: Aug 14, 2012\n",
                           "New Firmware Version: 10.0\n", "New Firmware Date: Sep 24, 2012\n", "Progress: 100%",
                           "Congratulations!"}) {
    EXPECT_TRUE(Has(r.out, line)) << line << "\n---\n" << r.out;
  }
  EXPECT_FALSE(Has(r.out, "PROM to Program:")) << r.out;
  for (const char* line : {"VE-ZER: Opened [", "Found VE-ZER in Orvella(n) connected via Orvella(n) MIDI 1\n",
                           "ProgramEEPROM VE-ZER 49408\n", "ProgramEEPROM VE-ZER Success!\n"}) {
    EXPECT_TRUE(Has(r.log, line)) << line << "\n---\n" << r.log;
  }

  // The card holds exactly the built-in image.
  const char* build = std::getenv("REFLASH_BUILD_DIR");
  ASSERT_NE(build, nullptr);
  const std::vector<char> image = ReadBytes(fs::path(build) / "app/builtin_images/ZTUSB10V00.BIN");
  ASSERT_EQ(image.size(), 49408u);
  EXPECT_EQ(ReadBytes(dir_ / "card.bin"), image);
}

TEST_F(VezerRun, AFailedDownloadIsReportedAsAProgrammingFailure) {
  Result r = Run("--console --simulate=vezer --yes --select=1", "dfu-fail");
  EXPECT_NE(r.status, 0);
  EXPECT_TRUE(Has(r.err, "EEPROM Programming Failure: VE-ZER Firmware Update Failed!")) << r.err;
  EXPECT_TRUE(Has(r.log, " VE-ZER Firmware Update Failed!\n")) << r.log;
  EXPECT_FALSE(Has(r.log, "ProgramEEPROM VE-ZER Success!")) << r.log;
  EXPECT_FALSE(Has(r.out, "Congratulations!")) << r.out;
  EXPECT_FALSE(fs::exists(dir_ / "card.bin"));
}

TEST_F(VezerRun, WithoutTheDriverLibraryTheCardIsNotOffered) {
  Result r = Run("--console --simulate=vezer-no-driver");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_FALSE(Has(r.out, "VE-ZER in")) << r.out;
  EXPECT_TRUE(Has(r.log, "VE-ZER: Unable to locate [")) << r.log;
}

}  // namespace
