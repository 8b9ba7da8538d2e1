// The documentation screenshot option is read strictly: a typo must not
// silently produce a picture of the wrong state.
#include <gtest/gtest.h>

#include "platform/ui/screenshot_plan.h"

namespace {

using platform::ui::ParseScreenshotPlan;

TEST(ScreenshotOption, Parses) {
  struct Case {
    const char* value;
    bool ok;
    int press, progress, visible, delay;
  } cases[] = {
      {"ready.png", true, 0, -1, 0, 500},
      {"busy.png,press=1009,progress=50", true, 1009, 50, 0, 500},
      {"done.png,press=1009,visible=1015,delay=100", true, 1009, -1, 1015, 100},
      {"", false, 0, 0, 0, 0},
      {",press=1", false, 0, 0, 0, 0},
      {"x.png,press=abc", false, 0, 0, 0, 0},
      {"x.png,when=later", false, 0, 0, 0, 0},
      {"x.png,progress=-3", false, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    auto plan = ParseScreenshotPlan(c.value);
    ASSERT_EQ(plan.has_value(), c.ok) << c.value;
    if (!plan) continue;
    EXPECT_EQ(plan->pressId, c.press) << c.value;
    EXPECT_EQ(plan->progress, c.progress) << c.value;
    EXPECT_EQ(plan->visibleId, c.visible) << c.value;
    EXPECT_EQ(plan->delayMs, c.delay) << c.value;
  }
}

}  // namespace
