// The rules behind the detail fields: manufacture date from a serial
// number, firmware version text, PCB revision letter, card names.
#include <gtest/gtest.h>

#include "app/entry_details.h"
#include "protocol/serial_packing.h"

namespace {

uint32_t SerialOf(uint32_t model, uint32_t year, uint32_t week, uint32_t number) {
  return serial_packing::Pack(model, year, week, number);
}

TEST(WindowFields, ManufactureDateCountsWeeksFromTheFirstOfJanuary) {
  struct Case {
    uint32_t year, week;
    const char* shown;
  };
  const Case cases[] = {
      {18, 1, "Jan 01, 2018"},  {18, 18, "Apr 30, 2018"}, {18, 53, "Dec 31, 2018"},
      {18, 0, ""},              {18, 54, ""},             {18, 63, ""},
      {20, 9, "Feb 26, 2020"},  // February counts 28 days in a leap year too
      {20, 10, "Mar 05, 2020"}, {49, 5, "Jan 29, 2049"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ManufactureDate(SerialOf(0x60, c.year, c.week, 1)), c.shown)
        << "year " << c.year << " week " << c.week;
  }
}

TEST(WindowFields, FirmwareVersionTextAndPresence) {
  struct Case {
    uint8_t major, minor;
    const char* shown;
  };
  const Case cases[] = {
      {1, 10, "1.10"}, {1, 2, "1.2"}, {0, 1, "0.1"}, {10, 0, "10.0"},
      {63, 0, "Not Present"}, {63, 7, "Not Present"}, {0, 0, "Not Present"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FirmwareVersionText(c.major, c.minor), c.shown) << int(c.major) << "." << int(c.minor);
  }
}

TEST(WindowFields, PcbRevisionLettersAndCardNames) {
  EXPECT_EQ(PcbRevisionText(0), "NC");
  EXPECT_EQ(PcbRevisionText(1), "A");
  EXPECT_EQ(PcbRevisionText(2), "B");
  EXPECT_EQ(PcbRevisionText(15), "O");
  EXPECT_STREQ(CardName(19), "ZT-MADI");
  EXPECT_STREQ(CardName(21), "ZI-RERAR");
  EXPECT_STREQ(CardName(24), "ZT-HD");
  EXPECT_STREQ(CardName(25), "ZT-FW");
  EXPECT_STREQ(CardName(50), "VE-ZER");
  EXPECT_STREQ(CardName(20), "Unknown");
}

}  // namespace
