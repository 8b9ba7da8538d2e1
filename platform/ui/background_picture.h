#pragma once
// The main window's background picture, drawn from code so that nothing
// binary is kept: 256 x 256 pixels in 256 shades of a light blue-grey, with
// soft diagonal bands and a faint waveform. Periodic in both directions, so
// tiles meet without seams. Every desktop host paints the same picture.
#include <array>
#include <cstdint>
#include <vector>

namespace platform::ui {

struct IndexedPicture {
  int size = 0;                      // width and height in pixels
  std::vector<uint8_t> pixels;       // row by row from the top, one palette index each
  std::array<uint32_t, 256> palette{};  // 0x00RRGGBB; index 0 the darkest
};

IndexedPicture BackgroundPicture();

}  // namespace platform::ui
