#pragma once
// Files and the temporary folder: the only way the application touches the
// file system. The real backend is the system's (POSIX calls on Linux, the
// file calls of Windows); a test derives from SystemFiles to move the
// temporary folder or to make a file misbehave.
//
// Errors, in the shape of the system's file calls: a call that fails
// returns its failure value (null, -1, false, an empty text, fewer bytes
// than asked), and LastError() of the object it was called on (the File,
// or the Files service for opening, creating and removing) then gives the
// system's code for why (errno on Linux, GetLastError's on Windows): the
// number the messages show. A call that succeeds leaves LastError() as it
// was. Closing a file cannot fail in a way the caller could act on.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/core/service.h"

namespace platform {

// One open file. Closed when the object is destroyed.
class File {
 public:
  virtual ~File() = default;
  // Reads up to `size` bytes from the current position, retrying until the
  // end of the file. Returns the bytes read (fewer only at the end), or -1.
  virtual int64_t Read(void* buffer, size_t size) = 0;
  // Writes `size` bytes at the current position, retrying partial writes.
  // Returns the bytes written; fewer than `size` means the write failed (a
  // device that takes nothing more reports ENOSPC).
  virtual int64_t Write(const void* buffer, size_t size) = 0;
  // Moves the position (whence as for lseek). False on failure.
  virtual bool Seek(int64_t offset, int whence) = 0;
  // The current position, or -1 on failure.
  virtual int64_t Tell() = 0;
  // The file's size in bytes, or -1 on failure.
  virtual int64_t Size() = 0;
  // The last modification in seconds since 1970 (UTC), or -1 on failure.
  virtual int64_t LastWriteTime() = 0;
  // The system's code for the last call on this file that failed; 0 if none.
  virtual uint32_t LastError() = 0;
};

class Files {
 public:
  virtual ~Files() = default;
  // The user's temporary folder ($TMPDIR, else /tmp), ending in '/'.
  virtual std::string TempFolder() = 0;
  // Creates a new folder, readable only by this user, under `parent` (which
  // ends in '/') with a fresh unpredictable name. Returns its path ending in
  // '/', or an empty text when it cannot be made.
  virtual std::string MakePrivateFolder(const std::string& parent) = 0;
  // Deletes the files directly inside `folder`, then the folder itself.
  // Returns false when something stayed behind (the code is of the first).
  virtual bool RemoveFolder(const std::string& folder) = 0;
  // Opens an existing regular file for reading, or null.
  virtual std::unique_ptr<File> OpenRead(const std::string& path) = 0;
  // Creates `path` anew for reading and writing (an existing file is
  // emptied; a symbolic link is never followed), readable only by this
  // user; null on failure.
  virtual std::unique_ptr<File> Create(const std::string& path) = 0;
  // Deletes a file. False when it could not be deleted.
  virtual bool Remove(const std::string& path) = 0;
  // The system's code for the last call of the service that failed; 0 if
  // none.
  virtual uint32_t LastError() = 0;
};

// The real backend over the system's calls.
class SystemFiles : public Files {
 public:
  std::string TempFolder() override;
  std::string MakePrivateFolder(const std::string& parent) override;
  bool RemoveFolder(const std::string& folder) override;
  std::unique_ptr<File> OpenRead(const std::string& path) override;
  std::unique_ptr<File> Create(const std::string& path) override;
  bool Remove(const std::string& path) override;
  uint32_t LastError() override { return error_; }

 protected:
  // Records a failure's code; returns `failed` for the caller to return.
  template <class T>
  T Fail(uint32_t code, T failed) {
    error_ = code;
    return failed;
  }

 private:
  uint32_t error_ = 0;
};
// The name callers knew it by on Linux.
class PosixFiles : public SystemFiles {};

}  // namespace platform
