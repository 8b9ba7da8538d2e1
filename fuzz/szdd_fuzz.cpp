// Fuzzes the SZDD expansion that the built-in images go through. Rules: a
// success yields exactly the length the header promises; a failure yields
// nothing.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/files/szdd.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> out;
  long result = platform::ExpandSzdd(data, size, &out);
  if (result >= 0) {
    if (size < 14) std::abort();
    uint32_t promised = data[10] | data[11] << 8 | data[12] << 16 | static_cast<uint32_t>(data[13]) << 24;
    if (static_cast<uint32_t>(result) != promised || out.size() != promised) std::abort();
  } else if (!out.empty()) {
    std::abort();
  }
  return 0;
}
