#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/core/real_backend.h"
#include "platform/core/wide_text_win32.h"
#include "platform/devctl/device_io_win32.h"

namespace platform {
namespace {

class SystemIo final : public DeviceIo {
 public:
  HANDLE Create(const std::wstring& path, DWORD access, DWORD share, DWORD disposition) override {
    return CreateFileW(path.c_str(), access, share, nullptr, disposition, 0, nullptr);
  }
  BOOL Control(HANDLE device, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize,
               DWORD* returned) override {
    return DeviceIoControl(device, code, in, inSize, out, outSize, returned, nullptr);
  }
  BOOL Close(HANDLE handle) override { return CloseHandle(handle); }
  DWORD Error() override { return GetLastError(); }
};

// Why a device did not open, in the user's terms: a device path the system
// does not know means the driver that publishes it is not there.
std::string OpenFailure(const std::string& name, DWORD code) {
  if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) {
    return name + ": no such device (the host driver is not installed or not running)";
  }
  return name + ": " + win32::ErrorText(code);
}

std::string CodeText(uint32_t code) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(code));
  return text;
}

}  // namespace

DeviceIo& SystemDeviceIo() {
  static SystemIo io;
  return io;
}

Win32DeviceControl::Win32DeviceControl(DeviceIo& io) : io_(io) {}

DeviceHandle Win32DeviceControl::OpenDevice(const char* name) {
  const std::string path = name ? name : "";
  // Existing devices only: a device path is never created.
  const HANDLE handle = io_.Create(win32::Wide(path), GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
  if (handle == INVALID_HANDLE_VALUE || handle == nullptr) {
    lastError_ = OpenFailure(path, io_.Error());
    return kNoDevice;
  }
  const DeviceHandle key = reinterpret_cast<DeviceHandle>(handle);
  open_.try_emplace(key, io_, handle, path);
  return key;
}

bool Win32DeviceControl::Request(DeviceHandle device, uint32_t code, const void* in, uint32_t inSize, void* out,
                                 uint32_t outSize, uint32_t* returned) {
  if (returned) *returned = 0;
  // Only handles this service opened reach the system.
  const auto it = open_.find(device);
  if (it == open_.end()) {
    lastError_ = "request " + CodeText(code) + ": no device open";
    return false;
  }
  if ((!in && inSize) || (!out && outSize)) {
    lastError_ = it->second.name() + ": request " + CodeText(code) + ": no buffer";
    return false;
  }
  DWORD count = 0;
  // Buffered requests: the system copies the input before the driver
  // writes the output, so both may be the same memory.
  if (!io_.Control(it->second.handle(), code, const_cast<void*>(in), inSize, out, outSize, &count)) {
    const DWORD error = io_.Error();
    lastError_ = it->second.name() + ": request " + CodeText(code) + ": " + win32::ErrorText(error);
    return false;
  }
  if (returned) *returned = count;
  return true;
}

void Win32DeviceControl::CloseDevice(DeviceHandle device) { open_.erase(device); }

PLATFORM_REAL_BACKEND(DeviceControl, Win32DeviceControl)

}  // namespace platform
