#pragma once
// The folder under which device drivers install their programming
// libraries (the card driver's library is looked for below it). On Linux
// it is REFLASH_PROGRAM_FILES when set and not empty, else /opt; a test or
// a simulation puts a folder of its own in force with platform::Override.
#include <string>
#include <utility>

#include "platform/core/service.h"

namespace platform {

class ProgramFiles {
 public:
  virtual ~ProgramFiles() = default;
  // The folder, without a trailing separator. Called each time a caller
  // forms a library path; never fails (a missing folder only means that
  // nothing loads from it).
  virtual std::string Folder() = 0;
};

// REFLASH_PROGRAM_FILES, else /opt.
class EnvProgramFiles final : public ProgramFiles {
 public:
  std::string Folder() override;
};

// A fixed folder (tests, simulations).
class FixedProgramFiles final : public ProgramFiles {
 public:
  explicit FixedProgramFiles(std::string folder) : folder_(std::move(folder)) {}
  std::string Folder() override { return folder_; }

 private:
  std::string folder_;
};

}  // namespace platform
