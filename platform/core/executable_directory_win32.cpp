#include <windows.h>

#include <algorithm>
#include <string>

#include "platform/core/private_library.h"
#include "platform/core/wide_text_win32.h"

namespace platform {

std::string ExecutableDirectory() {
  std::wstring buffer(32768, L'\0');
  const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  if (n == 0 || n >= buffer.size()) return std::string();
  std::string path = win32::Narrow(buffer.substr(0, n));
  // One separator throughout: the library paths are formed with '/'.
  std::replace(path.begin(), path.end(), '\\', '/');
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return std::string();
  return path.substr(0, slash == 2 && path[1] == ':' ? 3 : slash);
}

}  // namespace platform
