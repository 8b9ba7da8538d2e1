#pragma once
// A fresh temporary folder made the working directory for one test, so log
// files land there; the previous working directory comes back afterwards.
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "app/log.h"
#include "platform/core/non_copyable.h"

class ScopedWorkingDir : platform::NonCopyable {
 public:
  ScopedWorkingDir() : previous_(std::filesystem::current_path()) {
    std::string pattern = (std::filesystem::temp_directory_path() / "reflash-test-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
    std::filesystem::current_path(path_);
    CloseLog();  // a log left open elsewhere must not receive our records
  }
  ~ScopedWorkingDir() {
    CloseLog();
    std::filesystem::current_path(previous_);
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }

  const std::filesystem::path& path() const { return path_; }

  // The whole log file as written so far ("" when there is none).
  std::string Log() const {
    std::ifstream in(path_ / "OrvellaReflash.log", std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

 private:
  std::filesystem::path previous_;
  std::filesystem::path path_;
};
