// The file layer over the Windows file calls: the user's temporary folder,
// private folders, reads, writes and the system's error codes.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/core/append_file.h"
#include "platform/files/files.h"
#include "tests/platform/scratch_folder.h"

namespace {

namespace fs = std::filesystem;
using tests::Bytes;
using tests::ReadFile;
using tests::ScratchFolder;
using tests::WriteFile;

TEST(Win32Files, TempFolderIsTheUsersAndEndsInSeparator) {
  platform::SystemFiles files;
  const std::string temp = files.TempFolder();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), '\\');
  EXPECT_TRUE(fs::is_directory(temp)) << temp;
}

TEST(Win32Files, PrivateFoldersAreFreshAndRemovedWithTheirFiles) {
  ScratchFolder scratch;
  platform::SystemFiles files;
  const std::string parent = scratch.path().string() + "\\";
  uint32_t error = 0;
  const std::string a = files.MakePrivateFolder(parent, &error);
  const std::string b = files.MakePrivateFolder(parent, &error);
  ASSERT_FALSE(a.empty()) << error;
  ASSERT_NE(a, b);
  EXPECT_EQ(a.back(), '\\');
  EXPECT_TRUE(fs::is_directory(a));

  WriteFile(a + "ONE.BIN", {1, 2, 3});
  WriteFile(a + "TWO.BI_", {4});
  EXPECT_TRUE(files.RemoveFolder(a));
  EXPECT_FALSE(fs::exists(a));
  EXPECT_TRUE(fs::exists(b));

  EXPECT_TRUE(files.MakePrivateFolder(parent + "missing\\", &error).empty());
  EXPECT_EQ(error, static_cast<uint32_t>(ERROR_PATH_NOT_FOUND));
}

TEST(Win32Files, ReadsWritesSeeksAndReportsTheSystemsErrors) {
  ScratchFolder scratch;
  platform::SystemFiles files;
  uint32_t error = 0;
  {
    auto out = files.Create(scratch / "f", &error);
    ASSERT_TRUE(out);
    EXPECT_EQ(out->Write("hello world", 11), 11);
    EXPECT_TRUE(out->Seek(6, SEEK_SET));
    EXPECT_EQ(out->Write("WORLD", 5), 5);
    EXPECT_EQ(out->Tell(), 11);
  }
  auto in = files.OpenRead(scratch / "f", &error);
  ASSERT_TRUE(in);
  EXPECT_EQ(in->Size(), 11);
  // Within a day of now: the 1601 epoch is converted to 1970's.
  EXPECT_NEAR(static_cast<double>(in->LastWriteTime()), static_cast<double>(time(nullptr)), 86400.0);
  char buffer[32] = {};
  EXPECT_EQ(in->Read(buffer, sizeof buffer), 11);
  EXPECT_STREQ(buffer, "hello WORLD");
  EXPECT_EQ(in->Read(buffer, sizeof buffer), 0);
  EXPECT_TRUE(in->Seek(-5, SEEK_END));
  EXPECT_EQ(in->Read(buffer, 5), 5);
  EXPECT_FALSE(in->Seek(-100, SEEK_SET));
  EXPECT_NE(in->LastError(), 0u);
  in.reset();

  // Creating empties an existing file.
  ASSERT_TRUE(files.Create(scratch / "f", &error));
  EXPECT_EQ(fs::file_size(scratch / "f"), 0u);

  EXPECT_EQ(files.OpenRead(scratch / "absent", &error), nullptr);
  EXPECT_EQ(error, static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(files.OpenRead(scratch.path().string(), &error), nullptr) << "a folder is not an image";
  EXPECT_EQ(files.OpenRead("NUL", &error), nullptr) << "nor is a device";
  EXPECT_TRUE(files.Remove(scratch / "f"));
  EXPECT_FALSE(files.Remove(scratch / "f"));
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
