#include "platform/core/program_files.h"

#include <cstdlib>

#include "platform/core/program_files_os.h"
#include "platform/core/real_backend.h"

namespace platform {

std::string EnvProgramFiles::Folder() {
  const char* set = std::getenv("REFLASH_PROGRAM_FILES");
  std::string folder = set && *set ? set : SystemProgramFiles();
  // The library paths add their own separator.
  while (folder.size() > 1 && IsFolderSeparator(folder.back())) folder.pop_back();
  return folder;
}

PLATFORM_REAL_BACKEND(ProgramFiles, EnvProgramFiles)

}  // namespace platform
