#pragma once
// Device control on Windows: CreateFile on the driver's device path,
// synchronous DeviceIoControl (no overlapped operation), CloseHandle. The
// three system calls sit behind DeviceIo so that what the backend hands
// the system (paths, access, codes, buffers, sizes) and how it keeps its
// handles can be tested against a fake driver.
#include <windows.h>

#include <map>
#include <string>

#include "platform/devctl/device_control.h"

namespace platform {

class DeviceIo {
 public:
  virtual ~DeviceIo() = default;
  // CreateFileW(path, access, share, nullptr, disposition, 0, nullptr);
  // INVALID_HANDLE_VALUE on failure, with Error() set.
  virtual HANDLE Create(const std::wstring& path, DWORD access, DWORD share, DWORD disposition) = 0;
  // DeviceIoControl without an OVERLAPPED: blocks until the driver answers.
  virtual BOOL Control(HANDLE device, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize,
                       DWORD* returned) = 0;
  virtual BOOL Close(HANDLE handle) = 0;
  // GetLastError of the call just made.
  virtual DWORD Error() = 0;
};

// The system's own calls.
DeviceIo& SystemDeviceIo();

class Win32DeviceControl final : public DeviceControl {
 public:
  explicit Win32DeviceControl(DeviceIo& io = SystemDeviceIo());
  // Devices still open are closed here: no handle outlives the service.
  ~Win32DeviceControl() override = default;
  Win32DeviceControl(const Win32DeviceControl&) = delete;
  Win32DeviceControl& operator=(const Win32DeviceControl&) = delete;

  DeviceHandle OpenDevice(const char* name) override;
  bool Request(DeviceHandle device, uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize,
               uint32_t* returned) override;
  void CloseDevice(DeviceHandle device) override;
  std::string LastError() override { return lastError_; }

 private:
  // One open device: its name (for error texts) and the system handle,
  // closed when the entry goes.
  class OwnedDevice {
   public:
    OwnedDevice(DeviceIo& io, HANDLE handle, std::string name) : io_(io), handle_(handle), name_(std::move(name)) {}
    ~OwnedDevice() { io_.Close(handle_); }
    OwnedDevice(const OwnedDevice&) = delete;
    OwnedDevice& operator=(const OwnedDevice&) = delete;
    HANDLE handle() const { return handle_; }
    const std::string& name() const { return name_; }

   private:
    DeviceIo& io_;
    HANDLE handle_;
    std::string name_;
  };

  DeviceIo& io_;
  std::map<DeviceHandle, OwnedDevice> open_;
  std::string lastError_;
};

}  // namespace platform
