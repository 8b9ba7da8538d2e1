// The file layer over POSIX calls, where it differs from other systems:
// TMPDIR, owner-only modes, links and errno for what is not a file (the
// rest: system_files_test.cpp).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <functional>
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
  std::string a = files.MakePrivateFolder(scratch.path().string() + "/");
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
  EXPECT_EQ(files.Create(scratch / "IMAGE.BI_"), nullptr);
  EXPECT_EQ(files.LastError(), static_cast<uint32_t>(ELOOP));
  EXPECT_EQ(ReadFile(scratch / "victim"), (Bytes{9, 9, 9}));
}

TEST(PosixFiles, AFolderIsRefusedAsAFolder) {
  ScratchFolder scratch;
  platform::PosixFiles files;
  EXPECT_EQ(files.OpenRead(scratch.path().string()), nullptr);
  EXPECT_EQ(files.LastError(), static_cast<uint32_t>(EISDIR));
}

// Every call that fails gives its failure value, and the object it was
// called on keeps the system's code for why until the next failure.
TEST(PosixFiles, EveryFailureGivesItsValueAndTheSystemsCode) {
  ScratchFolder scratch;
  platform::PosixFiles files;
  const std::string root = scratch.path().string() + "/";
  ASSERT_EQ(::mkfifo((root + "fifo").c_str(), 0600), 0);
  fs::create_directories(root + "full/inner");
  const struct {
    const char* what;
    std::function<bool()> fails;
    int code;
  } cases[] = {
      {"folder in a missing parent", [&] { return files.MakePrivateFolder(root + "missing/").empty(); }, ENOENT},
      {"remove a missing folder", [&] { return !files.RemoveFolder(root + "missing/"); }, ENOENT},
      {"a folder inside stays", [&] { return !files.RemoveFolder(root + "full/"); }, EISDIR},
      {"create in a missing folder", [&] { return files.Create(root + "missing/f") == nullptr; }, ENOENT},
      {"open a pipe", [&] { return files.OpenRead(root + "fifo") == nullptr; }, EINVAL},
      {"remove a missing file", [&] { return !files.Remove(root + "absent"); }, ENOENT},
  };
  for (const auto& c : cases) {
    EXPECT_TRUE(c.fails()) << c.what;
    EXPECT_EQ(files.LastError(), static_cast<uint32_t>(c.code)) << c.what;
  }
  WriteFile(root + "f", {1, 2, 3});
  auto in = files.OpenRead(root + "f");
  ASSERT_TRUE(in);
  EXPECT_EQ(files.LastError(), static_cast<uint32_t>(ENOENT)) << "a success leaves the last code";

  EXPECT_EQ(in->LastError(), 0u);
  EXPECT_EQ(in->Write("x", 1), 0) << "fewer bytes than asked";
  EXPECT_EQ(in->LastError(), static_cast<uint32_t>(EBADF));
  EXPECT_FALSE(in->Seek(-1, SEEK_SET));
  EXPECT_EQ(in->LastError(), static_cast<uint32_t>(EINVAL));
  char buffer[4];
  EXPECT_EQ(in->Read(buffer, sizeof buffer), 3);
  EXPECT_EQ(in->LastError(), static_cast<uint32_t>(EINVAL));
}

}  // namespace
