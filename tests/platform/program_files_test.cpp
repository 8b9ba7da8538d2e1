#include "platform/core/program_files.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <optional>
#include <string>

namespace {

TEST(ProgramFilesTest, EnvironmentOrOpt) {
  const char* saved = std::getenv("REFLASH_PROGRAM_FILES");
  const std::optional<std::string> keep = saved ? std::optional<std::string>(saved) : std::nullopt;
  struct Case {
    const char* value;  // null: unset
    const char* folder;
  };
  const Case cases[] = {
      {nullptr, "/opt"}, {"", "/opt"}, {"/srv/drivers", "/srv/drivers"}, {"/srv/drivers//", "/srv/drivers"}, {"/", "/"},
  };
  platform::EnvProgramFiles folder;
  for (const Case& c : cases) {
    if (c.value) {
      setenv("REFLASH_PROGRAM_FILES", c.value, 1);
    } else {
      unsetenv("REFLASH_PROGRAM_FILES");
    }
    EXPECT_EQ(folder.Folder(), c.folder) << (c.value ? c.value : "(unset)");
  }
  if (keep) {
    setenv("REFLASH_PROGRAM_FILES", keep->c_str(), 1);
  } else {
    unsetenv("REFLASH_PROGRAM_FILES");
  }
}

}  // namespace
