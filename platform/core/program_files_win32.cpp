#include <windows.h>
#include <shlobj.h>

#include <cstdlib>

#include "platform/core/program_files.h"
#include "platform/core/wide_text_win32.h"

namespace platform {
namespace {

// The system's program-files folder (where drivers put their libraries).
std::string SystemProgramFiles() {
  wchar_t* folder = nullptr;
  std::string path;
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_ProgramFiles, 0, nullptr, &folder)) && folder) {
    path = win32::Narrow(folder);
  }
  CoTaskMemFree(folder);
  if (path.empty()) {
    const char* env = std::getenv("ProgramFiles");
    path = env && *env ? env : "C:\\Program Files";
  }
  return path;
}

}  // namespace

std::string EnvProgramFiles::Folder() {
  const char* set = std::getenv("REFLASH_PROGRAM_FILES");
  std::string folder = set && *set ? set : SystemProgramFiles();
  // The library paths add their own separator.
  while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
  return folder;
}

template <>
ProgramFiles& DefaultService<ProgramFiles>() {
  static EnvProgramFiles folder;
  return folder;
}

}  // namespace platform
