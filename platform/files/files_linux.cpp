#include "platform/files/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/core/real_backend.h"
#include "platform/files/transfer_all.h"

namespace platform {
namespace {

class PosixFile final : public File {
 public:
  explicit PosixFile(int fd) : fd_(fd) {}
  ~PosixFile() override { ::close(fd_); }

  int64_t Read(void* buffer, size_t size) override {
    auto* p = static_cast<uint8_t*>(buffer);
    bool failed = false;
    const size_t done =
        TransferAll([&](size_t at) { return Retrying([&] { return ::read(fd_, p + at, size - at); }); }, size, &failed);
    return failed ? -1 : static_cast<int64_t>(done);
  }

  int64_t Write(const void* buffer, size_t size) override {
    const auto* p = static_cast<const uint8_t*>(buffer);
    bool failed = false;
    const size_t done =
        TransferAll([&](size_t at) { return Retrying([&] { return ::write(fd_, p + at, size - at); }); }, size, &failed);
    if (!failed && done < size) error_ = ENOSPC;  // a write that moves nothing: the device is full
    return static_cast<int64_t>(done);
  }

  bool Seek(int64_t offset, int whence) override {
    if (::lseek(fd_, static_cast<off_t>(offset), whence) < 0) {
      error_ = static_cast<uint32_t>(errno);
      return false;
    }
    return true;
  }

  int64_t Tell() override {
    off_t at = ::lseek(fd_, 0, SEEK_CUR);
    if (at < 0) error_ = static_cast<uint32_t>(errno);
    return at;
  }

  int64_t Size() override {
    struct stat st {};
    return Stat(&st) ? st.st_size : -1;
  }

  int64_t LastWriteTime() override {
    struct stat st {};
    return Stat(&st) ? st.st_mtime : -1;
  }

  uint32_t LastError() override { return error_; }

 private:
  // Runs one read or write (`call`), again when a signal interrupted it;
  // the bytes it moved, or -1 with errno recorded.
  template <class Call>
  int64_t Retrying(Call call) {
    ssize_t n;
    do {
      n = call();
    } while (n < 0 && errno == EINTR);
    if (n < 0) error_ = static_cast<uint32_t>(errno);
    return n;
  }

  bool Stat(struct stat* st) {
    if (::fstat(fd_, st) == 0) return true;
    error_ = static_cast<uint32_t>(errno);
    return false;
  }

  int fd_;
  uint32_t error_ = 0;
};

}  // namespace

PLATFORM_REAL_BACKEND(Files, SystemFiles)

std::string SystemFiles::TempFolder() {
  const char* dir = std::getenv("TMPDIR");
  std::string path = dir && *dir ? dir : "/tmp";
  if (path.back() != '/') path += '/';
  return path;
}

std::string SystemFiles::MakePrivateFolder(const std::string& parent) {
  std::vector<char> name(parent.begin(), parent.end());
  const char kPattern[] = "reflash-XXXXXX";
  name.insert(name.end(), kPattern, kPattern + sizeof kPattern);  // with the terminator
  // mkdtemp creates the folder with mode 0700 and fails rather than reuse
  // anything that is already there.
  if (!::mkdtemp(name.data())) return Fail(static_cast<uint32_t>(errno), std::string());
  return std::string(name.data()) + '/';
}

bool SystemFiles::RemoveFolder(const std::string& folder) {
  int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (dirFd < 0) return Fail(static_cast<uint32_t>(errno), false);
  DIR* dir = ::fdopendir(dirFd);
  if (!dir) {
    const uint32_t code = static_cast<uint32_t>(errno);
    ::close(dirFd);
    return Fail(code, false);
  }
  uint32_t first = 0;  // the first thing that stayed says why
  while (dirent* entry = ::readdir(dir)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    // unlinkat relative to the open folder cannot be redirected elsewhere.
    if (::unlinkat(dirFd, name.c_str(), 0) != 0 && !first) first = static_cast<uint32_t>(errno);
  }
  ::closedir(dir);
  if (::rmdir(folder.c_str()) != 0 && !first) first = static_cast<uint32_t>(errno);
  return first ? Fail(first, false) : true;
}

std::unique_ptr<File> SystemFiles::OpenRead(const std::string& path) {
  // Without blocking: a FIFO without a writer or a device would otherwise
  // hold the run at the open. Only regular files are images.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return Fail(static_cast<uint32_t>(errno), std::unique_ptr<File>());
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    const uint32_t code = st.st_mode == 0 ? static_cast<uint32_t>(errno) : S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    ::close(fd);
    return Fail(code, std::unique_ptr<File>());
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return std::make_unique<PosixFile>(fd);
}

std::unique_ptr<File> SystemFiles::Create(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return Fail(static_cast<uint32_t>(errno), std::unique_ptr<File>());
  return std::make_unique<PosixFile>(fd);
}

bool SystemFiles::Remove(const std::string& path) {
  return ::unlink(path.c_str()) == 0 || Fail(static_cast<uint32_t>(errno), false);
}

}  // namespace platform
