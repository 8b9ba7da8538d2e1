#include "platform/core/append_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

std::FILE* OpenForAppend(const std::string& path, bool followLinks, int* error) {
  int flags = O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
  if (!followLinks) flags |= O_NOFOLLOW;
  const int fd = ::open(path.c_str(), flags, 0644);
  if (fd < 0) {
    if (error) *error = errno;
    return nullptr;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    if (error) *error = EINVAL;
    ::close(fd);
    return nullptr;
  }
  // A regular file never blocks, but later writes should not see EAGAIN
  // semantics either.
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  std::FILE* file = ::fdopen(fd, "a");
  if (!file) {
    if (error) *error = errno;
    ::close(fd);
  }
  return file;
}

}  // namespace platform
