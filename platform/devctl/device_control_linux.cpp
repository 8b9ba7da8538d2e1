// This system has no host driver for the units: no device ever opens.
#include <cstdio>
#include <string>

#include "platform/core/real_backend.h"
#include "platform/devctl/device_control.h"

namespace platform {
namespace {

class NoDeviceControl final : public DeviceControl {
 public:
  DeviceHandle OpenDevice(const char* name) override {
    lastError_ = std::string(name ? name : "") + ": no host driver on this system";
    return kNoDevice;
  }
  // Worded as the Windows backend words it, request code first.
  bool Request(DeviceHandle, uint32_t code, const void*, uint32_t, void*, uint32_t, uint32_t* returned) override {
    if (returned) *returned = 0;
    char text[48];
    std::snprintf(text, sizeof text, "request 0x%08X: no device open", static_cast<unsigned>(code));
    lastError_ = text;
    return false;
  }
  void CloseDevice(DeviceHandle) override {}
  std::string LastError() override { return lastError_; }

 private:
  std::string lastError_;
};

}  // namespace

PLATFORM_REAL_BACKEND(DeviceControl, NoDeviceControl)

}  // namespace platform
