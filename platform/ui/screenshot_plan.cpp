#include "platform/ui/screenshot_plan.h"

#include <cstdlib>

namespace platform::ui {

namespace {

// A whole non-negative decimal number, nothing else.
bool ToCount(const std::string& text, int& out) {
  if (text.empty() || text.size() > 9) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  out = std::atoi(text.c_str());
  return true;
}

}  // namespace

std::optional<ScreenshotPlan> ParseScreenshotPlan(const std::string& value) {
  ScreenshotPlan plan;
  size_t start = 0;
  bool first = true;
  while (true) {
    const size_t comma = value.find(',', start);
    const std::string part = value.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    if (first) {
      plan.file = part;
      if (plan.file.empty()) return std::nullopt;
      first = false;
    } else {
      const size_t equals = part.find('=');
      const std::string key = part.substr(0, equals);
      int n = 0;
      if (equals == std::string::npos || !ToCount(part.substr(equals + 1), n)) return std::nullopt;
      if (key == "press")
        plan.pressId = n;
      else if (key == "progress")
        plan.progress = n;
      else if (key == "visible")
        plan.visibleId = n;
      else if (key == "delay")
        plan.delayMs = n;
      else
        return std::nullopt;
    }
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return plan;
}

}  // namespace platform::ui
