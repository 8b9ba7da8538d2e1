#include "tests/support/card_image.h"

#include <cinttypes>
#include <cstdio>
#include <fstream>

#include "platform/files/digest.h"

namespace test_support {

std::vector<uint8_t> FixedImage(size_t size, uint32_t seed) {
  std::vector<uint8_t> image(size);
  uint32_t x = seed;
  for (uint8_t& b : image) {
    x = x * 1103515245u + 12345u;
    b = static_cast<uint8_t>(x >> 16);
  }
  return image;
}

void WriteImage(const std::filesystem::path& path, const std::vector<uint8_t>& image) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(image.data()), image.size());
}

std::string CardFlashReport(const std::vector<uint8_t>& image, size_t packet, int card) {
  std::vector<uint8_t> flash = image;
  flash.resize((image.size() + packet - 1) / packet * packet, 0);
  char line[96];
  std::snprintf(line, sizeof line, "card %d flash=%zu digest=%016" PRIx64 " ", card, flash.size(),
                platform::Digest(flash.data(), flash.size()));
  return line;
}

}  // namespace test_support
