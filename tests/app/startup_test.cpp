#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <regex>
#include <string>

#include "app/log.h"
#include "app/reflash_app.h"
#include "platform/core/clock.h"
#include "platform/core/power.h"
#include "platform/core/system_info.h"
#include "recording_host.h"
#include "tests/platform/fake_sysfs.h"
#include "working_dir.h"

namespace {

namespace ui = platform::ui;

const std::string kStamp = "2018-11-02 12:00:00 ";
const std::string kExiting = kStamp + "Exiting\n" + std::string(77, '*') + "\n";

class FakeSystemInfo final : public platform::SystemInfo {
 public:
  bool GetOsVersion(platform::OsVersion& out) override {
    if (!readable) {
      return false;
    }
    out = version;
    return true;
  }
  bool readable = true;
  platform::OsVersion version{6, 1, 76, platform::kPlatformWin32Nt, "6.1.76-1-amd64"};
};

// Counts its runs and writes a record when it is destroyed, as the window
// does when it closes its unit connection.
class FakeWindow final : public MainWindow {
 public:
  explicit FakeWindow(int& runs) : runs_(runs) {}
  ~FakeWindow() override { LogMessage("window destroyed\n"); }
  int DoModal() override {
    ++runs_;
    return 0;
  }

 private:
  int& runs_;
};

class StartupTest : public ::testing::Test {
 protected:
  // Runs the start-up sequence and returns how often the window ran.
  int Run() {
    int runs = 0;
    CReflashApp app;
    EXPECT_FALSE(app.InitInstance([&] { return std::make_unique<FakeWindow>(runs); }));
    EXPECT_EQ(app.WindowRan(), runs == 1);
    return runs;
  }

  // The log after the build banner, which is checked on its own.
  std::string LogAfterBanner() {
    std::string log = dir_.Log();
    size_t end = log.find('\n');
    return end == std::string::npos ? log : log.substr(end + 1);
  }

  ScopedWorkingDir dir_;
  platform::VirtualClock clock_;
  platform::Override<platform::Clock> useClock_{clock_};
  RecordingHost host_;
  platform::Override<ui::Host> useHost_{host_};
  FakeSystemInfo system_;
  platform::Override<platform::SystemInfo> useSystem_{system_};
  FakePowerSupplies supplies_;
  platform::SysfsPowerSource power_{supplies_.root()};
  platform::Override<platform::PowerSource> usePower_{power_};
};

TEST_F(StartupTest, LogsTheBuildBannerFirst) {
  Run();
  std::string log = dir_.Log();
  std::smatch m;
  ASSERT_TRUE(std::regex_search(log, m, std::regex("^(.{20})Orvella\\(n\\) Update Built: (.*)\n")));
  EXPECT_EQ(m[1], kStamp);
  EXPECT_TRUE(std::regex_match(m[2].str(), std::regex("[A-Z][a-z]{2} [ 1-3][0-9] [0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}")))
      << m[2];
  EXPECT_EQ(m[2].str(), BuildStamp());
}

TEST_F(StartupTest, PowerRules) {
  struct Case {
    const char* name;
    std::function<void(FakePowerSupplies&)> build;
    bool runs;
  };
  const Case cases[] = {
      {"no supply at all (255)", [](FakePowerSupplies&) {}, true},
      {"mains online", [](FakePowerSupplies& s) { s.Add("AC", {{"type", "Mains"}, {"online", "1"}}); }, true},
      {"mains online beside a discharging battery",
       [](FakePowerSupplies& s) {
         s.Add("AC", {{"type", "Mains"}, {"online", "1"}});
         s.Add("BAT0", {{"type", "Battery"}, {"present", "1"}, {"status", "Discharging"}});
       },
       true},
      {"USB supply online",
       [](FakePowerSupplies& s) {
         s.Add("usb", {{"type", "USB"}, {"online", "1"}});
         s.Add("BAT0", {{"type", "Battery"}, {"status", "Discharging"}});
       },
       true},
  };
  for (const Case& c : cases) {
    FakePowerSupplies supplies;
    c.build(supplies);
    platform::SysfsPowerSource power(supplies.root());
    platform::Override<platform::PowerSource> usePower(power);
    EXPECT_EQ(Run(), 1) << c.name;
    EXPECT_TRUE(host_.messages.empty()) << c.name;
    host_.messages.clear();
  }
  // Nothing between the banner and "Exiting" in any of the runs.
  std::string log = dir_.Log();
  EXPECT_EQ(log.find("Terminating"), std::string::npos);
  EXPECT_EQ(log.find("FAILED"), std::string::npos);
}

TEST_F(StartupTest, OnBatteryTheRunEnds) {
  supplies_.Add("AC", {{"type", "Mains"}, {"online", "0"}});
  supplies_.Add("BAT0", {{"type", "Battery"}, {"present", "1"}, {"status", "Discharging"}});
  EXPECT_EQ(Run(), 0);
  // The reason is logged, but no "Exiting" record.
  EXPECT_EQ(LogAfterBanner(), kStamp + "Terminating: On Battery Power\n");
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(host_.messages[0].text, "This computer must be connected to AC power to update firmware.");
  EXPECT_EQ(host_.messages[0].caption, "On Battery Power");
  EXPECT_EQ(host_.messages[0].icon, ui::Icon::Error);
  EXPECT_EQ(host_.messages[0].buttons, ui::Buttons::Ok);
}

// A power source that cannot say, with the system's error code. How each
// system's own source fails is the platform tests' concern.
class UnreadablePower final : public platform::PowerSource {
 public:
  bool GetAcLineStatus(uint8_t&, uint32_t& error) override {
    error = 21;
    return false;
  }
};

TEST_F(StartupTest, UnreadablePowerStatusIsLoggedAndTheRunGoesOn) {
  UnreadablePower unreadable;
  platform::Override<platform::PowerSource> usePower(unreadable);
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(LogAfterBanner(), kStamp + "GetSystemPowerStatus FAILED! [00000015]\n" + kExiting + kStamp +
                                  "window destroyed\n");
  EXPECT_TRUE(host_.messages.empty());
}

TEST_F(StartupTest, UnsupportedSystemEndsTheRun) {
  system_.version.platformId = platform::kPlatformWin32Windows;
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(LogAfterBanner(), kStamp + "Terminating: Unsupported Operating System.\n");
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(host_.messages[0].text, "Orvella(n) Firmware Update does not support this operating system.");
  EXPECT_EQ(host_.messages[0].caption, std::nullopt);
  EXPECT_EQ(host_.messages[0].icon, ui::Icon::Warning);
}

TEST_F(StartupTest, UnreadableVersionEndsTheRunWithoutReason) {
  system_.readable = false;
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(LogAfterBanner(), "");
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(host_.messages[0].text, "GetVersionEx Failed!");
  EXPECT_EQ(host_.messages[0].caption, std::nullopt);
  EXPECT_EQ(host_.messages[0].icon, ui::Icon::Warning);
}

TEST_F(StartupTest, ExitingClosesTheLogBeforeTheWindowIsDestroyed) {
  EXPECT_EQ(Run(), 1);
  // The destroyed window's record comes after the asterisks, from a log
  // that was closed and opened again.
  EXPECT_EQ(LogAfterBanner(), kExiting + kStamp + "window destroyed\n");
}

TEST_F(StartupTest, VersionRecordShowsKernelNumbersAndRelease) {
  LogOsVersionRecord();
  EXPECT_EQ(dir_.Log(), kStamp + "VER_PLATFORM_WIN32_NT 6.1 Build 76 6.1.76-1-amd64\n");
  system_.readable = false;
  LogOsVersionRecord();
  EXPECT_EQ(dir_.Log(), kStamp + "VER_PLATFORM_WIN32_NT 6.1 Build 76 6.1.76-1-amd64\n");
}

}  // namespace
