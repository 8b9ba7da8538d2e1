// This system has no host driver for the units: no device ever opens.
#include "platform/devctl/device_control.h"

namespace platform {
namespace {

class NoDeviceControl final : public DeviceControl {
 public:
  DeviceHandle OpenDevice(const char*) override { return kNoDevice; }
  bool Request(DeviceHandle, uint32_t, const void*, uint32_t, void*, uint32_t, uint32_t* returned) override {
    if (returned) *returned = 0;
    return false;
  }
  void CloseDevice(DeviceHandle) override {}
};

}  // namespace

template <>
DeviceControl& DefaultService<DeviceControl>() {
  static NoDeviceControl service;
  return service;
}

}  // namespace platform
