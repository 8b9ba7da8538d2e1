// The desktop window's display check.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/qt/qt_host.h"
#include "platform/qt/qt_screenshot.h"

namespace {

// A stale local display must not reach Qt, which would end the process.
TEST(Display, LocalX11DisplayNeedsItsSocket) {
  struct Saved {
    const char* name;
    std::string value;
    bool set;
  } saved[] = {{"QT_QPA_PLATFORM", "", false}, {"WAYLAND_DISPLAY", "", false}, {"DISPLAY", "", false}};
  for (Saved& s : saved) {
    if (const char* v = std::getenv(s.name)) s = {s.name, v, true};
    unsetenv(s.name);
  }
  EXPECT_FALSE(platform::qt::DisplayAvailable());
  setenv("DISPLAY", ":987", 1);
  EXPECT_FALSE(platform::qt::DisplayAvailable());
  setenv("DISPLAY", "remotehost:10.0", 1);
  EXPECT_TRUE(platform::qt::DisplayAvailable());
  unsetenv("DISPLAY");
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  EXPECT_TRUE(platform::qt::DisplayAvailable());
  for (const Saved& s : saved) {
    if (s.set)
      setenv(s.name, s.value.c_str(), 1);
    else
      unsetenv(s.name);
  }
}

}  // namespace
