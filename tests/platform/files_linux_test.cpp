// The file layer over POSIX calls, where it differs from other systems:
// TMPDIR, owner-only modes, links and errno for what is not a file (the
// rest: system_files_test.cpp).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/files/files.h"
#include "tests/platform/scratch_folder.h"

namespace {

using namespace tests;

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

TEST(PosixFiles, PrivateFoldersAreOwnerOnly) {
  ScratchFolder scratch;
  platform::PosixFiles files;
  uint32_t error = 0;
  std::string a = files.MakePrivateFolder(scratch.path().string() + "/", &error);
  ASSERT_FALSE(a.empty());
  struct stat st {};
  ASSERT_EQ(::stat(a.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
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

TEST(PosixFiles, AFolderIsRefusedAsAFolder) {
  ScratchFolder scratch;
  platform::PosixFiles files;
  uint32_t error = 0;
  EXPECT_EQ(files.OpenRead(scratch.path().string(), &error), nullptr);
  EXPECT_EQ(error, static_cast<uint32_t>(EISDIR));
}

}  // namespace
