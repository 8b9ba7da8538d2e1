// Build tool: writes one built-in firmware image.
//   image_gen OUTPUT NAME PRODUCT_ID VERSION SIZE
// The content depends only on the arguments, so every build yields the same
// bytes (and the same digest).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/resources/images/image_layout.h"

namespace {

struct Random {
  uint32_t state;
  uint32_t Next() {  // xorshift32
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  }
};

void Put32(std::vector<uint8_t>& image, uint32_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) image[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

std::vector<uint8_t> Generate(const char* name, uint32_t productId, uint32_t version, uint32_t size) {
  std::vector<uint8_t> image(size, 0);
  std::memcpy(image.data(), images::kMagic, sizeof images::kMagic);
  image[8] = static_cast<uint8_t>(productId);
  image[10] = static_cast<uint8_t>(version);
  image[11] = static_cast<uint8_t>(version >> 8);
  Put32(image, 12, size);
  std::strncpy(reinterpret_cast<char*>(&image[16]), name, 31);

  // Filler: runs of "instructions" (small values, mostly) mixed with copies
  // of earlier runs, as linked code has; the record offsets keep every
  // 256-byte block distinct.
  Random rng{0x9E3779B9u ^ (productId << 16) ^ version};
  uint32_t at = images::kHeaderSize;
  while (at < size) {
    if (at % images::kRecordSize == 0 && at + 4 <= size) {
      Put32(image, at, at);
      at += 4;
      continue;
    }
    uint32_t r = rng.Next();
    uint32_t run = 3 + (r >> 4) % 24;
    uint32_t distance = 4 + (r >> 12) % 2048;
    bool copy = (r & 3) != 0 && distance <= at - images::kHeaderSize;
    for (uint32_t i = 0; i < run && at < size && at % images::kRecordSize != 0; ++i, ++at) {
      if (copy) {
        image[at] = image[at - distance];
      } else {
        uint32_t v = rng.Next();
        image[at] = static_cast<uint8_t>((v & 0x100) ? v & 0x0F : v);
      }
    }
  }
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: image_gen OUTPUT NAME PRODUCT_ID VERSION SIZE\n");
    return 2;
  }
  uint32_t size = static_cast<uint32_t>(std::strtoul(argv[5], nullptr, 10));
  if (size < images::kHeaderSize) {
    std::fprintf(stderr, "image_gen: size %u is below the header size\n", size);
    return 2;
  }
  std::vector<uint8_t> image = Generate(argv[2], static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10)),
                                        static_cast<uint32_t>(std::strtoul(argv[4], nullptr, 10)), size);
  std::FILE* out = std::fopen(argv[1], "wb");
  if (!out || std::fwrite(image.data(), 1, image.size(), out) != image.size() || std::fclose(out) != 0) {
    std::fprintf(stderr, "image_gen: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
