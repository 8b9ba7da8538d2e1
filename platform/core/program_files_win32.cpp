#include <windows.h>
#include <shlobj.h>

#include <cstdlib>

#include "platform/core/program_files_os.h"
#include "platform/core/wide_text_win32.h"

namespace platform {

// Where drivers put their libraries.
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

bool IsFolderSeparator(char c) { return c == '/' || c == '\\'; }

}  // namespace platform
