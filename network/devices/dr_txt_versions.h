#pragma once
// The versions a device's TXT record announces.
#include <cstdint>

#include "network/devices/dr_records.h"

enum dr_txt_result {
  DR_TXT_VERSIONS,   // both versions read
  DR_TXT_SAFE_MODE,  // the "safe" key: versions not looked at
  DR_TXT_MISSING_ARCP,
  DR_TXT_BAD_ARCP,
  DR_TXT_MISSING_ROUTER,
  DR_TXT_BAD_ROUTER,
};

// "major.minor.patch": three decimal numbers, each present, nothing else.
// `length` is the value's length (1 to 63 bytes; no terminator needed).
bool dr_parse_version_triplet(const char* value, unsigned length, unsigned out[3]);
// Reads "safe", "arcp_vers" and "router_vers" through the binding; the
// version outputs are written only with DR_TXT_VERSIONS.
dr_txt_result dr_txt_read_versions(uint16_t txt_length, const unsigned char* txt, uint16_t* arcp_version,
                                   dr_router_version* router_version);
