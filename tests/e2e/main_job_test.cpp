// The README's first command, run for real: the reflash binary in console
// mode against the default simulated unit programs the built-in main-unit
// image and exits 0.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>
#include "tests/support/text_files.h"

namespace {

namespace fs = std::filesystem;
using test_support::ReadFile;

class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "reflash-e2e-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// Runs `args` with the reflash binary in `dir`; returns the exit status.
int RunReflash(const fs::path& dir, const std::string& args, std::string* output) {
  const char* bin = std::getenv("REFLASH_BIN");
  if (!bin) return -1;
  const fs::path out = dir / "stdout.txt";
  const std::string command = "cd '" + dir.string() + "' && '" + bin + "' " + args + " </dev/null >'" +
                              out.string() + "' 2>&1";
  const int status = std::system(command.c_str());
  *output = ReadFile(out);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

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
  TempDir dir;
  std::string output;
  ASSERT_EQ(RunReflash(dir.path(), "--console --simulate --yes", &output), 0) << output;

  const std::string log = ReadFile(dir.path() / "OrvellaReflash.log");
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
