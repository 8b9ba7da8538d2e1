// Reading TXT record data: length-prefixed "key=value" strings (RFC 6763 6).
#include <cstring>

#include "network/dnssd/dns_sd.h"

namespace {

// The item whose key matches `key` (case-insensitively), or null. A string
// that runs past the end stops the search: nothing after it is trusted.
const uint8_t* FindItem(uint16_t txtLen, const void* txtRecord, const char* key, uint8_t* itemLen) {
  if (!txtRecord || !key || !*key) return nullptr;
  const auto* p = static_cast<const uint8_t*>(txtRecord);
  const size_t keyLen = std::strlen(key);
  size_t at = 0;
  while (at < txtLen) {
    uint8_t len = p[at];
    if (at + 1 + len > txtLen) return nullptr;
    const uint8_t* item = p + at + 1;
    const uint8_t* eq = static_cast<const uint8_t*>(std::memchr(item, '=', len));
    size_t itemKeyLen = eq ? static_cast<size_t>(eq - item) : len;
    if (itemKeyLen == keyLen && strncasecmp(reinterpret_cast<const char*>(item), key, keyLen) == 0) {
      *itemLen = len;
      return item;
    }
    at += 1 + len;
  }
  return nullptr;
}

}  // namespace

extern "C" {

int TXTRecordContainsKey(uint16_t txtLen, const void* txtRecord, const char* key) {
  uint8_t len = 0;
  return FindItem(txtLen, txtRecord, key, &len) ? 1 : 0;
}

const void* TXTRecordGetValuePtr(uint16_t txtLen, const void* txtRecord, const char* key, uint8_t* valueLen) {
  uint8_t len = 0;
  const uint8_t* item = FindItem(txtLen, txtRecord, key, &len);
  if (!item) return nullptr;
  const size_t keyLen = std::strlen(key);
  if (len == keyLen) return nullptr;  // "key" alone has no value
  if (valueLen) *valueLen = static_cast<uint8_t>(len - keyLen - 1);
  return item + keyLen + 1;
}

}  // extern "C"
