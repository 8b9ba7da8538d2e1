// The file layer over the Windows file calls, where it differs from other
// systems: the user's temporary folder, devices and appending (the rest:
// system_files_test.cpp).
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/core/append_file.h"
#include "platform/files/files.h"
#include "tests/platform/scratch_folder.h"

namespace {

using namespace tests;

TEST(Win32Files, TempFolderIsTheUsersAndEndsInSeparator) {
  platform::SystemFiles files;
  const std::string temp = files.TempFolder();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), '\\');
  EXPECT_TRUE(fs::is_directory(temp)) << temp;
}

TEST(Win32Files, ADeviceIsNotAnImage) {
  platform::SystemFiles files;
  EXPECT_EQ(files.OpenRead("NUL"), nullptr);
}

TEST(Win32Files, AppendsBinaryAndRefusesWhatIsNotAFile) {
  ScratchFolder scratch;
  int error = 0;
  std::FILE* log = platform::OpenForAppend(scratch / "log", false, &error);
  ASSERT_NE(log, nullptr) << error;
  std::fputs("one\n", log);
  std::fclose(log);
  log = platform::OpenForAppend(scratch / "log", false, &error);
  ASSERT_NE(log, nullptr);
  std::fputs("two\n", log);
  std::fclose(log);
  // Line ends stay "\n", as on every other system.
  EXPECT_EQ(ReadFile(scratch / "log"), (Bytes{'o', 'n', 'e', '\n', 't', 'w', 'o', '\n'}));

  EXPECT_EQ(platform::OpenForAppend(scratch.path().string(), false, &error), nullptr);
  EXPECT_EQ(platform::OpenForAppend("NUL", true, &error), nullptr);
  EXPECT_EQ(error, EINVAL);
}

}  // namespace
