#pragma once
// A card image for the runs against the network simulator: fixed content
// that is not all one byte, written where the program is told to find it,
// and the simulator's report line for a card that holds it.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace test_support {

// `size` bytes of a simple sequence from `seed`.
std::vector<uint8_t> FixedImage(size_t size, uint32_t seed);
void WriteImage(const std::filesystem::path& path, const std::vector<uint8_t>& image);
// The simulator's line for card `card` once it holds `image`: the last
// packet of `packet` bytes is filled up with zeros, as it was sent.
std::string CardFlashReport(const std::vector<uint8_t>& image, size_t packet, int card = 1);

}  // namespace test_support
