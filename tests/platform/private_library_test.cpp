#include "platform/core/private_library.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/core/dynamic_library.h"

namespace {

namespace fs = std::filesystem;

// A scratch prefix with bin/ and lib/reflash/, removed afterwards.
class PrivateLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "reflash-prefix-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    prefix_ = pattern;
    fs::create_directories(prefix_ / "bin");
    fs::create_directories(prefix_ / "lib/reflash");
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(prefix_, ignored);
  }
  void Touch(const fs::path& path) { std::ofstream(path) << "x"; }
  std::string Bin() const { return (prefix_ / "bin").string(); }

  fs::path prefix_;
};

TEST_F(PrivateLibraryTest, InstalledLayoutFirstThenNextToTheProgram) {
  // Nothing there yet: the installed place is named, so a load error says
  // where the library was expected.
  EXPECT_EQ(platform::PrivateLibraryPath("card.so", Bin()), Bin() + "/../lib/reflash/card.so");

  Touch(prefix_ / "bin/card.so");
  EXPECT_EQ(platform::PrivateLibraryPath("card.so", Bin()), Bin() + "/card.so");

  Touch(prefix_ / "lib/reflash/card.so");
  EXPECT_EQ(platform::PrivateLibraryPath("card.so", Bin()), Bin() + "/../lib/reflash/card.so");
  EXPECT_EQ(platform::PrivateLibraryPath("card.so", Bin() + "/"), Bin() + "/../lib/reflash/card.so");

  // A folder of that name is not a library.
  fs::create_directories(prefix_ / "bin/dir.so");
  EXPECT_EQ(platform::PrivateLibraryPath("dir.so", Bin()), Bin() + "/../lib/reflash/dir.so");

  // No known executable: the loader's own search.
  EXPECT_EQ(platform::PrivateLibraryPath("card.so", ""), "card.so");
}

TEST(ExecutableDirectoryTest, IsTheFolderOfThisTestProgram) {
  // Test programs are built in <build>/tests.
  const fs::path expected = fs::canonical(fs::path(REFLASH_TEST_BUILD_DIR) / "tests");
  EXPECT_EQ(fs::path(platform::ExecutableDirectory()), expected);
  // The simulated card library built by this tree is found from here.
  const std::string found = platform::PrivateLibraryPath(platform::SharedLibraryFile("tusbaudioapi"));
  EXPECT_TRUE(fs::is_regular_file(found)) << found;
}

}  // namespace
