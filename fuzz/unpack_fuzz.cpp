// The register-data 7-bit stream decoder. The first two bytes choose how
// many bytes to decode, the rest is the stream. The output buffer is exactly
// that long so any overrun is caught; what was decoded must pack and decode
// to the same bytes again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "protocol/codec.h"

namespace {

void Require(bool condition) {
  if (!condition) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) {
    return 0;
  }
  size_t n = (static_cast<size_t>(data[0]) << 8 | data[1]) % 2048;  // a register image at most
  // A heap copy of exactly the stream, so reading past it is caught too.
  std::vector<uint8_t> in(data + 2, data + size);
  std::unique_ptr<uint8_t[]> out(new uint8_t[n ? n : 1]);

  size_t used = codec::UnpackBits7(out.get(), n, in.data(), in.size());
  if (used == 0) {
    Require(n == 0 || in.size() < (8 * n + 6) / 7);
    return 0;
  }
  Require(used == (8 * n + 6) / 7);
  Require(used <= in.size());

  if (n <= 255) {  // what PackBits7 takes
    std::vector<uint8_t> packed(used + 2, 0);
    size_t length = codec::PackBits7(packed.data(), out.get(), static_cast<uint8_t>(n));
    Require(length >= used && length <= used + 1);
    std::unique_ptr<uint8_t[]> again(new uint8_t[n ? n : 1]);
    Require(codec::UnpackBits7(again.get(), n, packed.data(), length) == used);
    Require(std::memcmp(again.get(), out.get(), n) == 0);
  }
  return 0;
}
