// The file layer over the system's calls, as every system has it: private
// folders, reads, writes, seeks and the system's own error codes. What one
// system alone has: files_linux_test.cpp, files_win32_test.cpp.
#ifdef _WIN32
#include <windows.h>
#endif

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>

#include "platform/files/files.h"
#include "tests/platform/scratch_folder.h"

namespace {

using namespace tests;

// The separator SystemFiles ends folders with, and the error codes it
// passes on from the system.
#ifdef _WIN32
constexpr char kSeparator = '\\';
constexpr uint32_t kNoSuchFolder = ERROR_PATH_NOT_FOUND;
constexpr uint32_t kNoSuchFile = ERROR_FILE_NOT_FOUND;
#else
constexpr char kSeparator = '/';
constexpr uint32_t kNoSuchFolder = ENOENT;
constexpr uint32_t kNoSuchFile = ENOENT;
#endif

TEST(SystemFiles, PrivateFoldersAreFreshAndRemovedWithTheirFiles) {
  ScratchFolder scratch;
  platform::SystemFiles files;
  const std::string parent = scratch.path().string() + kSeparator;
  const std::string a = files.MakePrivateFolder(parent);
  const std::string b = files.MakePrivateFolder(parent);
  ASSERT_FALSE(a.empty()) << files.LastError();
  ASSERT_NE(a, b);
  EXPECT_EQ(a.back(), kSeparator);
  EXPECT_TRUE(fs::is_directory(a));

  WriteFile(a + "ONE.BIN", {1, 2, 3});
  WriteFile(a + "TWO.BI_", {4});
  EXPECT_TRUE(files.RemoveFolder(a));
  EXPECT_FALSE(fs::exists(a));
  EXPECT_TRUE(fs::exists(b));

  EXPECT_TRUE(files.MakePrivateFolder(parent + "missing" + kSeparator).empty());
  EXPECT_EQ(files.LastError(), kNoSuchFolder);
}

TEST(SystemFiles, ReadsWritesSeeksAndReportsTheSystemsErrors) {
  ScratchFolder scratch;
  platform::SystemFiles files;
  {
    auto out = files.Create(scratch / "f");
    ASSERT_TRUE(out);
    EXPECT_EQ(out->Write("hello world", 11), 11);
    EXPECT_TRUE(out->Seek(6, SEEK_SET));
    EXPECT_EQ(out->Write("WORLD", 5), 5);
    EXPECT_EQ(out->Tell(), 11);
  }
  auto in = files.OpenRead(scratch / "f");
  ASSERT_TRUE(in);
  EXPECT_EQ(in->Size(), 11);
  // Seconds since 1970 on every system, so within a day of now.
  EXPECT_NEAR(static_cast<double>(in->LastWriteTime()), static_cast<double>(std::time(nullptr)), 86400.0);
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
  ASSERT_TRUE(files.Create(scratch / "f"));
  EXPECT_EQ(fs::file_size(scratch / "f"), 0u);

  EXPECT_EQ(files.OpenRead(scratch / "absent"), nullptr);
  EXPECT_EQ(files.LastError(), kNoSuchFile);
  EXPECT_EQ(files.OpenRead(scratch.path().string()), nullptr) << "a folder is not an image";
  EXPECT_TRUE(files.Remove(scratch / "f"));
  EXPECT_FALSE(files.Remove(scratch / "f"));
}

}  // namespace
