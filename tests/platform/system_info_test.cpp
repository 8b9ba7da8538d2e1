#include "platform/core/system_info.h"

#include <gtest/gtest.h>

namespace {

TEST(SystemInfoTest, KernelReleaseGivesMajorMinorAndPatch) {
  struct Case {
    const char* release;
    uint32_t major, minor, build;
  };
  const Case cases[] = {
      {"6.1.0-18-amd64", 6, 1, 0},
      {"5.15.133.1-custom-standard-build2", 5, 15, 133},
      {"6.8", 6, 8, 0},
      {"4.19-rc1", 4, 19, 0},
      {"", 0, 0, 0},
      {"abc", 0, 0, 0},
      {"99999999999.1.2", 0xFFFFFFFF, 1, 2},
  };
  for (const Case& c : cases) {
    platform::OsVersion v = platform::ParseKernelRelease(c.release);
    EXPECT_EQ(v.major, c.major) << c.release;
    EXPECT_EQ(v.minor, c.minor) << c.release;
    EXPECT_EQ(v.build, c.build) << c.release;
    EXPECT_EQ(v.servicePack, c.release);
    EXPECT_EQ(v.platformId, platform::kPlatformWin32Nt);
  }
}

TEST(SystemInfoTest, RunningKernelIsTheSupportedBranch) {
  platform::OsVersion v;
  ASSERT_TRUE(platform::Use<platform::SystemInfo>().GetOsVersion(v));
  EXPECT_EQ(v.platformId, platform::kPlatformWin32Nt);
  EXPECT_FALSE(v.servicePack.empty());
  EXPECT_GE(v.major, 2u);
}

}  // namespace
