#include "platform/core/program_files.h"

#include <cstdlib>

namespace platform {

std::string EnvProgramFiles::Folder() {
  const char* set = std::getenv("REFLASH_PROGRAM_FILES");
  if (set == nullptr || *set == '\0') return "/opt";
  std::string folder = set;
  // The library paths add their own separator.
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

template <>
ProgramFiles& DefaultService<ProgramFiles>() {
  static EnvProgramFiles folder;
  return folder;
}

}  // namespace platform
