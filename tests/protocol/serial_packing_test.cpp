// The one packing of serial numbers that the engine, the window and the
// unit model share.
#include "protocol/serial_packing.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(SerialPacking, FieldsRegistersAndBackAgree) {
  struct Case {
    uint32_t model, year, week, number;
    uint32_t packed;
    uint8_t regs[4];
  };
  const Case cases[] = {
      {0x60, 18, 45, 1234, 0x6026D4D2, {45, 18, 0xD2, 0x04}},
      {0x32, 63, 53, 4095, 0x32FF5FFF, {53, 63, 0xFF, 0x0F}},  // every year bit, largest number
      {0x15, 0, 1, 0, 0x15001000, {1, 0, 0, 0}},
      {0x26, 19, 7, 0x345, 0x26347345, {7, 19, 0x45, 0x03}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.packed);
    const uint32_t packed = serial_packing::Pack(c.model, c.year, c.week, c.number);
    EXPECT_EQ(packed, c.packed);
    EXPECT_EQ(serial_packing::YearOf(packed), c.year);
    EXPECT_EQ(serial_packing::WeekOf(packed), c.week);
    EXPECT_EQ(serial_packing::NumberOf(packed), c.number);
    uint8_t regs[4] = {};
    serial_packing::ToRegisters(packed, regs);
    EXPECT_EQ(std::vector<uint8_t>(regs, regs + 4), std::vector<uint8_t>(c.regs, c.regs + 4));
    EXPECT_EQ(serial_packing::FromRegisters(regs, static_cast<uint8_t>(c.model)), packed);
  }
}

TEST(SerialPacking, AWeekPast63SpillsIntoTheYearAsTheDevicesDo) {
  // Week 65 = 0x41: its bit 6 lands on the year's bit 4.
  const uint32_t packed = serial_packing::Pack(0x60, 2, 65, 1);
  EXPECT_EQ(packed, 0x60241001u);
  EXPECT_EQ(serial_packing::WeekOf(packed), 1);
  EXPECT_EQ(serial_packing::YearOf(packed), 18);
}

}  // namespace
