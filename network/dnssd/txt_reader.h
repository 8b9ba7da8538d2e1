#pragma once
// Reading TXT record data: length-prefixed "key=value" strings (RFC 6763
// section 6). Header-only, so that any DNS-SD library with this API (ours,
// or the simulator's in-process one) reads TXT records the same way.
#include <strings.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace mdns {

// The item whose key matches `key` (case-insensitively), or null; its
// length in `itemLen`. A string that runs past the end stops the search:
// nothing after it is trusted.
inline const uint8_t* FindTxtItem(uint16_t txtLen, const void* txtRecord, const char* key, uint8_t* itemLen) {
  if (!txtRecord || !key || !*key) return nullptr;
  const auto* p = static_cast<const uint8_t*>(txtRecord);
  const size_t keyLen = std::strlen(key);
  size_t at = 0;
  while (at < txtLen) {
    const uint8_t len = p[at];
    if (at + 1 + len > txtLen) return nullptr;
    const uint8_t* item = p + at + 1;
    const auto* eq = static_cast<const uint8_t*>(std::memchr(item, '=', len));
    const size_t itemKeyLen = eq ? static_cast<size_t>(eq - item) : len;
    if (itemKeyLen == keyLen && strncasecmp(reinterpret_cast<const char*>(item), key, keyLen) == 0) {
      *itemLen = len;
      return item;
    }
    at += 1 + len;
  }
  return nullptr;
}

inline int TxtContainsKey(uint16_t txtLen, const void* txtRecord, const char* key) {
  uint8_t len = 0;
  return FindTxtItem(txtLen, txtRecord, key, &len) ? 1 : 0;
}

// The value of `key` (no terminator) and its length; null when the key is
// missing or stands alone without "=".
inline const void* TxtValue(uint16_t txtLen, const void* txtRecord, const char* key, uint8_t* valueLen) {
  uint8_t len = 0;
  const uint8_t* item = FindTxtItem(txtLen, txtRecord, key, &len);
  if (!item) return nullptr;
  const size_t keyLen = std::strlen(key);
  if (len == keyLen) return nullptr;
  if (valueLen) *valueLen = static_cast<uint8_t>(len - keyLen - 1);
  return item + keyLen + 1;
}

}  // namespace mdns
