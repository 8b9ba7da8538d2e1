#include "platform/core/power.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>

#include "fake_sysfs.h"

namespace {

using Supplies = FakePowerSupplies;

TEST(PowerTest, AcLineStatusFromTheSupplies) {
  struct Case {
    const char* name;
    std::function<void(Supplies&)> build;
    uint8_t status;
  };
  const Case cases[] = {
      {"nothing", [](Supplies&) {}, platform::kAcUnknown},
      {"mains online", [](Supplies& s) { s.Add("AC", {{"type", "Mains"}, {"online", "1"}}); }, platform::kAcOnline},
      {"mains offline only", [](Supplies& s) { s.Add("AC", {{"type", "Mains"}, {"online", "0"}}); },
       platform::kAcUnknown},
      {"USB-C supply online", [](Supplies& s) { s.Add("ucsi", {{"type", "USB_C"}, {"online", "1"}}); },
       platform::kAcOnline},
      {"discharging battery",
       [](Supplies& s) {
         s.Add("AC", {{"type", "Mains"}, {"online", "0"}});
         s.Add("BAT0", {{"type", "Battery"}, {"present", "1"}, {"status", "Discharging"}});
       },
       platform::kAcOffline},
      {"battery without status or present files", [](Supplies& s) { s.Add("BAT0", {{"type", "Battery"}}); },
       platform::kAcOffline},
      {"battery slot empty", [](Supplies& s) { s.Add("BAT1", {{"type", "Battery"}, {"present", "0"}}); },
       platform::kAcUnknown},
      {"charging battery proves a charger",
       [](Supplies& s) { s.Add("BAT0", {{"type", "Battery"}, {"status", "Charging"}}); }, platform::kAcOnline},
      {"full battery", [](Supplies& s) { s.Add("BAT0", {{"type", "Battery"}, {"status", "Full"}}); },
       platform::kAcOnline},
      {"peripheral battery beside mains",
       [](Supplies& s) {
         s.Add("hid-mouse", {{"type", "Battery"}, {"status", "Discharging"}});
         s.Add("AC0", {{"type", "Mains"}, {"online", "1"}});
       },
       platform::kAcOnline},
      {"UPS only", [](Supplies& s) { s.Add("ups", {{"type", "UPS"}, {"online", "1"}}); }, platform::kAcUnknown},
  };
  for (const Case& c : cases) {
    Supplies supplies;
    c.build(supplies);
    platform::SysfsPowerSource power(supplies.root());
    uint8_t status = 77;
    uint32_t error = 0;
    ASSERT_TRUE(power.GetAcLineStatus(status, error)) << c.name;
    EXPECT_EQ(status, c.status) << c.name;
  }
}

TEST(PowerTest, MissingRootMeansNoSupply) {
  platform::SysfsPowerSource power("/nonexistent/power_supply");
  uint8_t status = 0;
  uint32_t error = 0;
  ASSERT_TRUE(power.GetAcLineStatus(status, error));
  EXPECT_EQ(status, platform::kAcUnknown);
}

TEST(PowerTest, UnreadableStatusFailsWithTheSystemError) {
  struct Case {
    const char* name;
    std::function<std::string(Supplies&)> build;  // returns the root to read
    uint32_t error;
  };
  const Case cases[] = {
      {"root is a file",
       [](Supplies& s) {
         std::string file = s.root() + "/not-a-folder";
         std::ofstream(file) << "x";
         return file;
       },
       ENOTDIR},
      {"type unreadable",
       [](Supplies& s) {
         std::filesystem::create_directories(s.root() + "/AC/type");
         return s.root();
       },
       EISDIR},
      {"type missing",
       [](Supplies& s) {
         s.Add("AC", {{"online", "1"}});
         return s.root();
       },
       ENOENT},
      {"online missing",
       [](Supplies& s) {
         s.Add("AC", {{"type", "Mains"}});
         return s.root();
       },
       ENOENT},
  };
  for (const Case& c : cases) {
    Supplies supplies;
    platform::SysfsPowerSource power(c.build(supplies));
    uint8_t status = 77;
    uint32_t error = 0;
    EXPECT_FALSE(power.GetAcLineStatus(status, error)) << c.name;
    EXPECT_EQ(error, c.error) << c.name;
  }
}

}  // namespace
