#include "sim/links/sim_host_driver.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

namespace sim {

using namespace z2mixer;

SimHostDriver::SimHostDriver() = default;

void SimHostDriver::SetDevicePresent(int n, bool present) { present_[n] = present; }

SimAdapter& SimHostDriver::SetAdapter(int n, const SimAdapter& adapter) {
  adapters_[n] = adapter;
  populated_[n] = true;
  return adapters_[n];
}

platform::DeviceHandle SimHostDriver::OpenDevice(const char* name) {
  openAttempts_.push_back(name ? name : "");
  for (int n = 0; n < kDevices; ++n) {
    char path[32];
    std::snprintf(path, sizeof path, "\\\\.\\Z2Mixer%d", n);
    if (name && std::strcmp(name, path) == 0 && present_[n]) {
      open_.insert(n);
      return n;
    }
  }
  lastError_ = std::string(name ? name : "") + ": no such device";
  return platform::kNoDevice;
}

void SimHostDriver::CloseDevice(platform::DeviceHandle device) { open_.erase(device); }

void SimHostDriver::Record(int device, uint32_t code, const uint8_t* req, uint32_t inSize) {
  uint32_t keep = inSize;
  if ((code == kSend || code == kFetch) && inSize >= 8) {
    keep = 8;
    if (code == kSend) keep += std::min(Get32(req + 4), inSize - 8);
  }
  Recorded r{device, code, std::vector<uint8_t>(req, req + keep), inSize, true};
  r.restZero = std::all_of(req + keep, req + inSize, [](uint8_t b) { return b == 0; });
  if (requests_.size() >= kRequestsKept) requests_.pop_front();
  requests_.push_back(std::move(r));
}

bool SimHostDriver::Request(platform::DeviceHandle device, uint32_t code, const void* in, uint32_t inSize, void* out,
                            uint32_t outSize, uint32_t* returned) {
  if (Answer(device, code, in, inSize, out, outSize, returned)) return true;
  char text[48];
  std::snprintf(text, sizeof text, "request 0x%08X failed", static_cast<unsigned>(code));
  lastError_ = text;
  return false;
}

bool SimHostDriver::Answer(platform::DeviceHandle device, uint32_t code, const void* in, uint32_t inSize, void* out,
                           uint32_t outSize, uint32_t* returned) {
  if (returned) *returned = 0;
  if (!open_.count(device) || (!in && inSize)) return false;
  const uint8_t* req = static_cast<const uint8_t*>(in);
  Record(static_cast<int>(device), code, req, inSize);
  uint8_t* ans = static_cast<uint8_t*>(out);

  // The adapter number leads every request (16 bits in the value request).
  auto adapterOf = [&](uint32_t need) -> int {
    if (inSize < need) return -1;
    uint32_t a = code == kAdapterValue ? Get16(req) : Get32(req);
    return a < static_cast<uint32_t>(kAdapters) && populated_[a] ? static_cast<int>(a) : -1;
  };

  switch (code) {
    case kAdapterInfo: {
      int a = adapterOf(kInfoSize);
      if (a < 0 || outSize < kInfoSize || adapters_[a].failInfo) return false;
      std::memmove(ans, req, kInfoSize);
      ans[4] = adapters_[a].bus;
      ans[5] = adapters_[a].productId;
      if (returned) *returned = kInfoSize;
      return true;
    }
    case kTakeAdapter:
    case kGiveBack: {
      int a = adapterOf(4);
      if (a < 0) return false;
      if (code == kTakeAdapter) {
        taken_.insert(a);
      } else {
        taken_.erase(a);
      }
      return true;
    }
    case kSend: {
      int a = adapterOf(kMessageRequestSize);
      if (a < 0 || failSend) return false;
      uint32_t length = Get32(req + 4);
      if (length > kMessageRoom) return false;
      if (adapters_[a].unit) adapters_[a].unit->FromHost(req + 8, length, false);
      return true;
    }
    case kFetch: {
      int a = adapterOf(kMessageRequestSize);
      if (a < 0 || failFetch || outSize < kMessageRequestSize) return false;
      uint32_t room = Get32(req + 4);
      if (room > kMessageRoom) room = kMessageRoom;
      std::memmove(ans, req, 4);
      size_t n = adapters_[a].unit ? adapters_[a].unit->ToHost(ans + 8, room) : 0;
      Put32(ans + 4, static_cast<uint32_t>(n));
      if (returned) *returned = kMessageRequestSize;
      return true;
    }
    case kAdapterValue: {
      int a = adapterOf(kValueSize);
      if (a < 0 || outSize < kValueSize) return false;
      std::memmove(ans, req, kValueSize);
      Put32(ans + 16, adapters_[a].value);
      if (returned) *returned = kValueSize;
      return true;
    }
    default:
      return false;
  }
}

}  // namespace sim
