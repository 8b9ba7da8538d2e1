#pragma once
// What the host driver's Z2Mixer devices understand: the request codes and
// the buffer sizes (all fields little-endian). Shared by the driver
// transport and the simulated driver.
#include <cstdint>

namespace z2mixer {

constexpr int kDevices = 8;   // \\.\Z2Mixer0 .. \\.\Z2Mixer7
constexpr int kAdapters = 8;  // adapters 0..7 behind one device

constexpr uint32_t kAdapterInfo = 0x001D8FCC;  // 16 bytes in, same 16 out
constexpr uint32_t kTakeAdapter = 0x001D4C80;  // 4 bytes in (adapter number)
constexpr uint32_t kGiveBack = 0x001D4C84;     // 4 bytes in (adapter number)
constexpr uint32_t kFetch = 0x001D4C88;        // 2056 in, same 2056 out
constexpr uint32_t kSend = 0x001D8C8C;         // 2056 in
constexpr uint32_t kAdapterValue = 0x001D4C40; // 20 in, same 20 out

constexpr uint32_t kInfoSize = 16;
constexpr uint32_t kMessageRequestSize = 2056;  // adapter, length, 2048 data bytes
constexpr uint32_t kMessageRoom = 2048;
constexpr uint32_t kValueSize = 20;

constexpr uint8_t kBusThunderbolt = 20;  // bus kind at offset 4 of the information answer

inline void Put32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}
inline uint32_t Get32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline void Put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

}  // namespace z2mixer
