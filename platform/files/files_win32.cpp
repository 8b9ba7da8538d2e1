#include <windows.h>
#include <sddl.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "platform/core/real_backend.h"
#include "platform/core/wide_text_win32.h"
#include "platform/files/files.h"
#include "platform/files/transfer_all.h"

namespace platform {
namespace {

using win32::Wide;

class Win32File final : public File {
 public:
  explicit Win32File(HANDLE handle) : handle_(handle) {}
  ~Win32File() override { CloseHandle(handle_); }

  int64_t Read(void* buffer, size_t size) override {
    auto* p = static_cast<uint8_t*>(buffer);
    bool failed = false;
    const size_t done = TransferAll([&](size_t at) { return Call(ReadFile, p + at, size - at); }, size, &failed);
    return failed ? -1 : static_cast<int64_t>(done);
  }

  int64_t Write(const void* buffer, size_t size) override {
    const auto* p = static_cast<const uint8_t*>(buffer);
    bool failed = false;
    const size_t done = TransferAll([&](size_t at) { return Call(WriteFile, p + at, size - at); }, size, &failed);
    if (!failed && done < size) error_ = ERROR_DISK_FULL;  // a write that moves nothing: the device is full
    return static_cast<int64_t>(done);
  }

  bool Seek(int64_t offset, int whence) override {
    // SEEK_SET, SEEK_CUR and SEEK_END have FILE_BEGIN, FILE_CURRENT and
    // FILE_END's values.
    LARGE_INTEGER distance{};
    distance.QuadPart = offset;
    if (!SetFilePointerEx(handle_, distance, nullptr, static_cast<DWORD>(whence))) {
      error_ = GetLastError();
      return false;
    }
    return true;
  }

  int64_t Tell() override {
    LARGE_INTEGER zero{}, at{};
    if (!SetFilePointerEx(handle_, zero, &at, FILE_CURRENT)) {
      error_ = GetLastError();
      return -1;
    }
    return at.QuadPart;
  }

  int64_t Size() override {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(handle_, &size)) {
      error_ = GetLastError();
      return -1;
    }
    return size.QuadPart;
  }

  int64_t LastWriteTime() override {
    FILETIME written{};
    if (!GetFileTime(handle_, nullptr, nullptr, &written)) {
      error_ = GetLastError();
      return -1;
    }
    // 100 ns steps since 1601 to seconds since 1970.
    const uint64_t ticks = (static_cast<uint64_t>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
    return static_cast<int64_t>(ticks / 10000000ull) - 11644473600ll;
  }

  uint32_t LastError() override { return error_; }

 private:
  // One ReadFile or WriteFile (`call`) of at most 1 GiB of the `left`
  // bytes at `data`; the bytes it moved, or -1 with the error recorded.
  template <class Function, class Data>
  int64_t Call(Function call, Data data, size_t left) {
    DWORD n = 0;
    if (!call(handle_, data, static_cast<DWORD>(std::min<size_t>(left, 1u << 30)), &n, nullptr)) {
      error_ = GetLastError();
      return -1;
    }
    return n;
  }

  HANDLE handle_;
  uint32_t error_ = 0;
};

// The security descriptor that lets only the running user in (and what is
// created inside inherits it).
class OwnerOnly {
 public:
  OwnerOnly() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return;
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<uint8_t> user(size);
    wchar_t* sid = nullptr;
    if (size && GetTokenInformation(token, TokenUser, user.data(), size, &size) &&
        ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &sid)) {
      const std::wstring sddl = L"D:P(A;OICI;FA;;;" + std::wstring(sid) + L")";
      ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor_, nullptr);
      LocalFree(sid);
    }
    CloseHandle(token);
  }
  ~OwnerOnly() { LocalFree(descriptor_); }
  SECURITY_ATTRIBUTES* Attributes() {
    if (!descriptor_) return nullptr;
    attributes_ = {sizeof attributes_, descriptor_, FALSE};
    return &attributes_;
  }

 private:
  PSECURITY_DESCRIPTOR descriptor_ = nullptr;
  SECURITY_ATTRIBUTES attributes_{};
};

bool IsLink(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

}  // namespace

PLATFORM_REAL_BACKEND(Files, SystemFiles)

std::string SystemFiles::TempFolder() {
  // The user's own temporary folder (TMP, TEMP, else the profile's).
  std::wstring buffer(MAX_PATH + 1, L'\0');
  const DWORD n = GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data());
  std::string path = n > 0 && n < buffer.size() ? win32::Narrow(buffer.substr(0, n)) : std::string("C:\\Windows\\Temp\\");
  if (path.back() != '\\' && path.back() != '/') path += '\\';
  return path;
}

std::string SystemFiles::MakePrivateFolder(const std::string& parent) {
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  OwnerOnly owner;
  DWORD last = ERROR_ALREADY_EXISTS;
  // A fresh name each try; an existing folder is never reused.
  for (int attempt = 0; attempt < 100 && last == ERROR_ALREADY_EXISTS; ++attempt) {
    std::string name = parent + "reflash-";
    for (int i = 0; i < 12; ++i) {
      unsigned int r = 0;
      if (rand_s(&r) != 0) return Fail(ERROR_GEN_FAILURE, std::string());
      name += kLetters[r % (sizeof kLetters - 1)];
    }
    if (CreateDirectoryW(Wide(name).c_str(), owner.Attributes())) return name + '\\';
    last = GetLastError();
  }
  return Fail(last, std::string());
}

bool SystemFiles::RemoveFolder(const std::string& folder) {
  std::wstring base = Wide(folder);
  if (base.empty()) return Fail(ERROR_INVALID_NAME, false);
  if (base.back() != L'\\' && base.back() != L'/') base += L'\\';
  if (IsLink(base.substr(0, base.size() - 1))) return Fail(ERROR_CANT_ACCESS_FILE, false);
  DWORD first = 0;  // the first thing that stayed says why
  WIN32_FIND_DATAW entry{};
  HANDLE find = FindFirstFileW((base + L"*").c_str(), &entry);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = entry.cFileName;
      if (name == L"." || name == L"..") continue;
      if (!DeleteFileW((base + name).c_str()) && !first) first = GetLastError();
    } while (FindNextFileW(find, &entry));
    FindClose(find);
  }
  if (!RemoveDirectoryW(base.c_str()) && !first) first = GetLastError();
  return first ? Fail(first, false) : true;
}

std::unique_ptr<File> SystemFiles::OpenRead(const std::string& path) {
  HANDLE handle = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return Fail(GetLastError(), std::unique_ptr<File>());
  // Only regular files are images: not a device, a pipe or a console.
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    CloseHandle(handle);
    return Fail(ERROR_INVALID_PARAMETER, std::unique_ptr<File>());
  }
  return std::make_unique<Win32File>(handle);
}

std::unique_ptr<File> SystemFiles::Create(const std::string& path) {
  const std::wstring wide = Wide(path);
  if (IsLink(wide)) return Fail(ERROR_CANT_ACCESS_FILE, std::unique_ptr<File>());
  HANDLE handle = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return Fail(GetLastError(), std::unique_ptr<File>());
  return std::make_unique<Win32File>(handle);
}

bool SystemFiles::Remove(const std::string& path) {
  return DeleteFileW(Wide(path).c_str()) != 0 || Fail(GetLastError(), false);
}

}  // namespace platform
