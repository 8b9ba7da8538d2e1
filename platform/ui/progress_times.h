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

// One bar's phase as a run reports it: when the range was set and how far
// the position has come. Times are the caller's clock in milliseconds.
struct ProgressPhase {
  uint32_t startMs = 0;
  int low = 0, high = 0, pos = 0;
  bool started = false;

  void Begin(uint32_t nowMs, int rangeLow, int rangeHigh) {
    startMs = nowMs;
    low = rangeLow;
    high = rangeHigh < rangeLow ? rangeLow : rangeHigh;
    pos = low;
    started = true;
  }
  void Move(int position) { pos = position < low ? low : position > high ? high : position; }
  int Percent() const { return high > low ? static_cast<int>(int64_t{pos - low} * 100 / (high - low)) : 0; }
  // "00:01:10 elapsed, about 00:03:12 left"; empty before any range was set.
  std::string Times(uint32_t nowMs) const {
    if (!started) return {};
    const uint32_t elapsed = nowMs - startMs;
    return FormatProgressTimes(elapsed, EstimateLeftMs(elapsed, Percent()));
  }
};

}  // namespace platform::ui
