// The file layer over POSIX calls: the temporary and private folders,
// links, sizes and errors.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/files/files.h"
#include "tests/platform/scratch_folder.h"

namespace {

namespace fs = std::filesystem;
using tests::Bytes;
using tests::ReadFile;
using tests::ScratchFolder;
using tests::WriteFile;

TEST(PosixFiles, TempFolderFollowsTmpdirAndEndsInSeparator) {
  platform::PosixFiles files;
  const char* saved = std::getenv("TMPDIR");
  std::string keep = saved ? saved : "";
  ::setenv("TMPDIR", "/var/tmp", 1);
  EXPECT_EQ(files.TempFolder(), "/var/tmp/");
  ::unsetenv("TMPDIR");
  EXPECT_EQ(files.TempFolder(), "/tmp/");
  if (saved) ::setenv("TMPDIR", keep.c_str(), 1);
}

TEST(PosixFiles, PrivateFoldersAreFreshOwnerOnlyAndRemovedWithTheirFiles) {
  ScratchFolder scratch;
  platform::PosixFiles files;
  std::string parent = scratch.path().string() + "/";
  uint32_t error = 0;
  std::string a = files.MakePrivateFolder(parent, &error);
  std::string b = files.MakePrivateFolder(parent, &error);
  ASSERT_FALSE(a.empty());
  ASSERT_NE(a, b);
  EXPECT_EQ(a.back(), '/');
  struct stat st {};
  ASSERT_EQ(::stat(a.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  WriteFile(a + "ONE.BIN", {1, 2, 3});
  WriteFile(a + "TWO.BI_", {4});
  EXPECT_TRUE(files.RemoveFolder(a));
  EXPECT_FALSE(fs::exists(a));
  EXPECT_TRUE(fs::exists(b));

  EXPECT_TRUE(files.MakePrivateFolder(parent + "missing/", &error).empty());
  EXPECT_EQ(error, static_cast<uint32_t>(ENOENT));
}

TEST(PosixFiles, CreateNeverFollowsALinkPlantedAtTheName) {
  ScratchFolder scratch;
  platform::PosixFiles files;
  WriteFile(scratch / "victim", {9, 9, 9});
  fs::create_symlink(scratch / "victim", scratch / "IMAGE.BI_");
  uint32_t error = 0;
  EXPECT_EQ(files.Create(scratch / "IMAGE.BI_", &error), nullptr);
  EXPECT_EQ(error, static_cast<uint32_t>(ELOOP));
  EXPECT_EQ(ReadFile(scratch / "victim"), (Bytes{9, 9, 9}));
}

TEST(PosixFiles, ReadsWritesAndReportsSizeAndErrors) {
  ScratchFolder scratch;
  platform::PosixFiles files;
  uint32_t error = 0;
  {
    auto out = files.Create(scratch / "f", &error);
    ASSERT_TRUE(out);
    EXPECT_EQ(out->Write("hello", 5), 5);
  }
  auto in = files.OpenRead(scratch / "f", &error);
  ASSERT_TRUE(in);
  EXPECT_EQ(in->Size(), 5);
  EXPECT_GT(in->LastWriteTime(), 0);
  char buffer[16];
  EXPECT_EQ(in->Read(buffer, sizeof buffer), 5);
  EXPECT_EQ(in->Read(buffer, sizeof buffer), 0);

  EXPECT_EQ(files.OpenRead(scratch / "absent", &error), nullptr);
  EXPECT_EQ(error, static_cast<uint32_t>(ENOENT));
  EXPECT_EQ(files.OpenRead(scratch.path().string(), &error), nullptr);
  EXPECT_EQ(error, static_cast<uint32_t>(EISDIR));
  EXPECT_TRUE(files.Remove(scratch / "f"));
  EXPECT_FALSE(files.Remove(scratch / "f"));
}

}  // namespace
