#pragma once
// Time elapsed and time left for a progress bar, shared by every host so the
// console and the window say the same thing.

#include <cstdint>
#include <cstdio>
#include <string>

namespace platform::ui {

// Linear from the phase's start: a transfer runs at its link's pace.
// -1 while nothing is done yet, so no guess is shown.
inline int64_t EstimateLeftMs(uint32_t elapsedMs, int percent) {
  if (percent <= 0) return -1;
  if (percent >= 100) return 0;
  return int64_t{elapsedMs} * (100 - percent) / percent;
}

// "00:09:21 elapsed, about 00:14:02 left"; the second half only with an estimate.
inline std::string FormatProgressTimes(uint32_t elapsedMs, int64_t leftMs) {
  auto clock = [](int64_t ms) {
    const int64_t s = ms / 1000;
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(s / 3600),
                  static_cast<long long>(s / 60 % 60), static_cast<long long>(s % 60));
    return std::string(text);
  };
  std::string text = clock(elapsedMs) + " elapsed";
  if (leftMs >= 0) text += ", about " + clock(leftMs) + " left";
  return text;
}

}  // namespace platform::ui
