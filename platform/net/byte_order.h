#pragma once
// Network byte order for 32-bit addresses without the socket headers, so
// code above the platform layer need not include them.
#include <bit>
#include <cstdint>

namespace platform::net {

// "Any local address" for a bind (INADDR_ANY).
constexpr uint32_t kAnyAddress = 0;

constexpr uint32_t HostToNetwork32(uint32_t v) {
  if constexpr (std::endian::native == std::endian::big) return v;
  return (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
}

constexpr uint32_t NetworkToHost32(uint32_t v) { return HostToNetwork32(v); }

constexpr uint16_t HostToNetwork16(uint16_t v) {
  if constexpr (std::endian::native == std::endian::big) return v;
  return static_cast<uint16_t>((v >> 8) | (v << 8));
}

}  // namespace platform::net
