#include "network/devices/dr_txt_versions.h"

#include <cstdint>

#include "network/dnssd_binding.h"

namespace {

constexpr unsigned kValueMax = 63;

// One decimal number at text[*at]; false for no digit or one too large.
bool ReadNumber(const char* text, unsigned length, unsigned* at, unsigned* out) {
  uint64_t value = 0;
  const unsigned start = *at;
  while (*at < length && text[*at] >= '0' && text[*at] <= '9') {
    value = value * 10 + static_cast<unsigned>(text[*at] - '0');
    if (value > UINT32_MAX) return false;
    ++*at;
  }
  *out = static_cast<unsigned>(value);
  return *at > start;
}

// The value of `key`, or null when it is missing or not 1..63 bytes.
const char* Value(uint16_t txt_length, const unsigned char* txt, const char* key, unsigned* length) {
  uint8_t size = 0;
  const void* value = DnsSd().TXTGetValuePtr(txt_length, txt, key, &size);
  if (value == nullptr || size == 0 || size > kValueMax) return nullptr;
  *length = size;
  return static_cast<const char*>(value);
}

}  // namespace

bool dr_parse_version_triplet(const char* value, unsigned length, unsigned out[3]) {
  if (value == nullptr || length == 0 || length > kValueMax) return false;
  unsigned at = 0;
  for (int i = 0; i < 3; ++i) {
    if (i > 0) {
      if (at >= length || value[at] != '.') return false;
      ++at;
    }
    if (!ReadNumber(value, length, &at, &out[i])) return false;
  }
  return true;  // text after the third number is left alone, as a scanf would
}

dr_txt_result dr_txt_read_versions(uint16_t txt_length, const unsigned char* txt, uint16_t* arcp_version,
                                   dr_router_version* router_version) {
  const DnsSdBinding& dnssd = DnsSd();
  if (dnssd.TXTContainsKey(txt_length, txt, "safe")) return DR_TXT_SAFE_MODE;

  unsigned length = 0;
  unsigned arcp[3];
  const char* value = Value(txt_length, txt, "arcp_vers", &length);
  if (value == nullptr) return DR_TXT_MISSING_ARCP;
  if (!dr_parse_version_triplet(value, length, arcp)) return DR_TXT_BAD_ARCP;

  unsigned router[3];
  value = Value(txt_length, txt, "router_vers", &length);
  if (value == nullptr) return DR_TXT_MISSING_ROUTER;
  if (!dr_parse_version_triplet(value, length, router) || router[0] == 0) return DR_TXT_BAD_ROUTER;

  *arcp_version = static_cast<uint16_t>((arcp[0] << 12) | ((arcp[1] << 8) & 0xFFF) | (arcp[2] & 0xFF));
  *router_version = {static_cast<uint8_t>(router[0]), static_cast<uint8_t>(router[1]),
                     static_cast<uint16_t>(router[2])};
  return DR_TXT_VERSIONS;
}
