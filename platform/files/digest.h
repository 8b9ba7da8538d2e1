#pragma once
// A 64-bit FNV-1a digest. The build computes it over each built-in image as
// generated; the program recomputes it over the expanded bytes to catch a
// damaged resource. It guards against damage, not against an attacker.
#include <cstddef>
#include <cstdint>

namespace platform {

constexpr uint64_t kDigestStart = 0xcbf29ce484222325ull;

// Extends `digest` (start with kDigestStart) over `size` more bytes.
inline uint64_t DigestUpdate(uint64_t digest, const void* data, size_t size) {
  const auto* p = static_cast<const uint8_t*>(data);
  for (size_t i = 0; i < size; ++i) {
    digest ^= p[i];
    digest *= 0x100000001b3ull;
  }
  return digest;
}

inline uint64_t Digest(const void* data, size_t size) { return DigestUpdate(kDigestStart, data, size); }

}  // namespace platform
