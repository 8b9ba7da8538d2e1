#pragma once
// A simulated host driver: Z2Mixer devices whose adapters 0..7 carry
// simulated units (BytePeer). It answers the driver requests with the
// layouts the driver transport relies on and records the recent requests
// so a test can check what went over.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <set>
#include <string>
#include <vector>

#include "platform/devctl/device_control.h"
#include "platform/devctl/z2mixer.h"
#include "protocol/product_ids.h"
#include "sim/unit/byte_peer.h"

namespace sim {

struct SimAdapter {
  BytePeer* unit = nullptr;  // where sends go and fetched bytes come from
  uint8_t bus = z2mixer::kBusThunderbolt;
  uint8_t productId = kProductOrvellaN;
  uint32_t value = 0;       // the adapter value request's answer
  bool failInfo = false;    // the information request fails
};

class SimHostDriver final : public platform::DeviceControl {
 public:
  // Requests kept for Requests(). A transfer polls once per tick, so
  // keeping them all would grow without bound over a whole image.
  static constexpr size_t kRequestsKept = 4096;

  struct Recorded {
    int device;  // Z2Mixer number
    uint32_t code;
    // The request's bytes; of a send only the header and the message, of a
    // fetch only the header (the rest of either is room, not content).
    std::vector<uint8_t> in;
    uint32_t size = 0;     // the request's size as handed over
    bool restZero = true;  // every byte of the request past `in` was zero
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
  // The last kRequestsKept requests, in order.
  const std::deque<Recorded>& Requests() const { return requests_; }
  void ClearRequests() { requests_.clear(); }
  // Adapters taken and not given back.
  const std::set<int>& Taken() const { return taken_; }
  int OpenDevices() const { return static_cast<int>(open_.size()); }

  platform::DeviceHandle OpenDevice(const char* name) override;
  bool Request(platform::DeviceHandle device, uint32_t code, const void* in, uint32_t inSize, void* out,
               uint32_t outSize, uint32_t* returned) override;
  void CloseDevice(platform::DeviceHandle device) override;
  std::string LastError() override { return lastError_; }

 private:
  bool Answer(platform::DeviceHandle device, uint32_t code, const void* in, uint32_t inSize, void* out,
              uint32_t outSize, uint32_t* returned);
  void Record(int device, uint32_t code, const uint8_t* req, uint32_t inSize);

  bool present_[z2mixer::kDevices] = {true};
  SimAdapter adapters_[z2mixer::kAdapters];
  bool populated_[z2mixer::kAdapters] = {};
  std::set<platform::DeviceHandle> open_;
  std::set<int> taken_;
  std::vector<std::string> openAttempts_;
  std::deque<Recorded> requests_;
  std::string lastError_;
};

}  // namespace sim
