#pragma once
// A simulated host driver: Z2Mixer devices whose adapters 0..7 carry
// simulated units (BytePeer). It answers the driver requests with the
// layouts the driver transport relies on and records every request so a
// test can check what went over.
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "platform/devctl/device_control.h"
#include "platform/devctl/z2mixer.h"
#include "sim/unit/byte_peer.h"

namespace sim {

struct SimAdapter {
  BytePeer* unit = nullptr;  // where sends go and fetched bytes come from
  uint8_t bus = z2mixer::kBusThunderbolt;
  uint8_t productId = 96;
  uint32_t value = 0;       // the adapter value request's answer
  bool failInfo = false;    // the information request fails
};

class SimHostDriver final : public platform::DeviceControl {
 public:
  struct Recorded {
    int device;  // Z2Mixer number
    uint32_t code;
    std::vector<uint8_t> in;
  };

  // Device Z2Mixer0 exists; no adapter is populated.
  SimHostDriver();

  // Which Z2Mixer devices (0..7) can be opened.
  void SetDevicePresent(int n, bool present);
  // Populates adapter `n` (0..7) and returns it for further set-up.
  SimAdapter& SetAdapter(int n, const SimAdapter& adapter);
  SimAdapter& AdapterAt(int n) { return adapters_[n]; }
  void RemoveAdapter(int n) { populated_[n] = false; }

  // Failure switches: every send / fetch request fails.
  bool failSend = false;
  bool failFetch = false;

  // Names handed to OpenDevice, in order.
  const std::vector<std::string>& OpenAttempts() const { return openAttempts_; }
  // Every request, in order.
  const std::vector<Recorded>& Requests() const { return requests_; }
  void ClearRequests() { requests_.clear(); }
  // Adapters taken and not given back.
  const std::set<int>& Taken() const { return taken_; }
  int OpenDevices() const { return static_cast<int>(open_.size()); }

  platform::DeviceHandle OpenDevice(const char* name) override;
  bool Request(platform::DeviceHandle device, uint32_t code, const void* in, uint32_t inSize, void* out,
               uint32_t outSize, uint32_t* returned) override;
  void CloseDevice(platform::DeviceHandle device) override;

 private:
  bool present_[z2mixer::kDevices] = {true};
  SimAdapter adapters_[z2mixer::kAdapters];
  bool populated_[z2mixer::kAdapters] = {};
  std::set<platform::DeviceHandle> open_;
  std::set<int> taken_;
  std::vector<std::string> openAttempts_;
  std::vector<Recorded> requests_;
};

}  // namespace sim
