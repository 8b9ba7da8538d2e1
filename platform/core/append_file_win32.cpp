#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cerrno>

#include "platform/core/append_file.h"
#include "platform/core/wide_text_win32.h"

namespace platform {

std::FILE* OpenForAppend(const std::string& path, bool followLinks, int* error) {
  // Opening the link itself lets us see that it is one and refuse it.
  const DWORD flags = FILE_ATTRIBUTE_NORMAL | (followLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
  HANDLE file = CreateFileW(win32::Wide(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, flags, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    if (error) *error = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : ENOENT;
    return nullptr;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  const bool regular = GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info) &&
                       !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  if (!regular || (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    if (error) *error = regular ? ELOOP : EINVAL;
    CloseHandle(file);
    return nullptr;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_APPEND | _O_BINARY);
  if (fd < 0) {
    if (error) *error = errno;
    CloseHandle(file);
    return nullptr;
  }
  // Binary: records end in '\n' as on every other system, so logs and
  // traces compare line for line.
  std::FILE* stream = _fdopen(fd, "ab");
  if (!stream) {
    if (error) *error = errno;
    _close(fd);
  }
  return stream;
}

}  // namespace platform
