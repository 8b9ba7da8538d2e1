#include "platform/ui/background_picture.h"

#include <algorithm>
#include <cmath>

namespace platform::ui {
namespace {

constexpr int kPictureSize = 256;
constexpr double kTwoPi = 6.283185307179586;

uint32_t Shade(int index) {
  const int dark[3] = {0xAE, 0xBC, 0xCC};
  const int light[3] = {0xF2, 0xF5, 0xF9};
  const double t = index / 255.0;
  uint32_t rgb = 0;
  for (int i = 0; i < 3; ++i) rgb = (rgb << 8) | static_cast<uint32_t>(dark[i] + (light[i] - dark[i]) * t);
  return rgb;
}

}  // namespace

IndexedPicture BackgroundPicture() {
  IndexedPicture picture;
  picture.size = kPictureSize;
  for (int i = 0; i < 256; ++i) picture.palette[static_cast<size_t>(i)] = Shade(i);
  picture.pixels.resize(static_cast<size_t>(kPictureSize) * kPictureSize);
  for (int y = 0; y < kPictureSize; ++y) {
    uint8_t* row = picture.pixels.data() + static_cast<size_t>(y) * kPictureSize;
    for (int x = 0; x < kPictureSize; ++x) {
      const double u = x / double(kPictureSize);
      // Whole periods only, so the picture repeats seamlessly.
      double value = 196 + 14 * std::cos(kTwoPi * (x + y) / kPictureSize);
      if (y % 4 == 0) value -= 3;
      const double wave = 128 + 26 * std::sin(kTwoPi * 2 * u) + 9 * std::sin(kTwoPi * 7 * u + 1.0);
      const double distance = y - wave;
      value += 34 * std::exp(-distance * distance / 5.0);
      const double echo = y - (128 + 0.6 * (wave - 128)) - 40;
      value += 14 * std::exp(-echo * echo / 3.0);
      row[x] = static_cast<uint8_t>(std::clamp(static_cast<int>(std::lround(value)), 0, 255));
    }
  }
  return picture;
}

}  // namespace platform::ui
