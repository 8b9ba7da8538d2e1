#include "app/serial_number.h"

#include <gtest/gtest.h>

namespace {

TEST(SerialNumberTest, PacksFormatsAndValidates) {
  struct Case {
    const char* text;
    uint32_t packed;
    bool valid;
  };
  const Case cases[] = {
      {"6018451234", 0x6026D4D2, true},
      {"1518451234", 0x1526D4D2, true},   // ZI-RERAR
      {"3218451234", 0x3226D4D2, true},   // VE-ZER
      {"2618451234", 0x2626D4D2, true},   // Orvella 16
      {"6063534095", 0x60FF5FFF, true},   // every field at its largest
      {"6001010001", 0x60101001, true},   // and at its smallest
      {"6000451234", 0x6002D4D2, false},  // year 0
      {"6018001234", 0x602404D2, false},  // week 0
      {"6018540001", 0x60276001, false},  // week 54
      {"6018450000", 0x6026D000, false},  // unit 0
      {"1218451234", 0x1226D4D2, false},  // model 0x12
      {"2118451234", 0x2126D4D2, false},  // model 0x21
  };
  for (const Case& c : cases) {
    uint32_t packed = PackSerialNumber(c.text);
    EXPECT_EQ(packed, c.packed) << c.text;
    EXPECT_EQ(IsValidSerialNumber(packed), c.valid) << c.text;
    EXPECT_EQ(FormatSerialNumber(packed), c.text) << c.text;
  }
}

TEST(SerialNumberTest, OnlyANumberThatPrintsBackAsTypedIsTheTypedNumber) {
  // Packing masks without checking, so an overlarge field lands in its
  // neighbour and yields another valid number; PrintsBackAs catches it.
  struct Case {
    const char* text;
    const char* printed;  // what the packed number reads as
    bool asTyped;
  };
  const Case cases[] = {
      {"6018451234", "6018451234", true},  {"6a18451234", "6a18451234", true},
      {"6A18451234", "6a18451234", true},   // the model's hex digits in either case
      {"6005651234", "6021011234", false},  // week 65 sets the high year bits
      {"6018459999", "6018451807", false},  // unit 9999 keeps its low twelve bits
      {"6070451234", "6006451234", false},  // year 70 loses bit 6
      {"6018644095", "6018004095", false},  // week 64 lands on the year bit already set
  };
  for (const Case& c : cases) {
    const uint32_t packed = PackSerialNumber(c.text);
    EXPECT_EQ(FormatSerialNumber(packed), c.printed) << c.text;
    EXPECT_EQ(PrintsBackAs(packed, c.text), c.asTyped) << c.text;
  }
  EXPECT_FALSE(PrintsBackAs(0x6026D4D2, "601845123"));
  EXPECT_FALSE(PrintsBackAs(0x6026D4D2, "60184512345"));
}

TEST(SerialNumberTest, SplitYearFieldIsReassembled) {
  EXPECT_EQ(FormatSerialNumber(0x601C5234), "6049050564");
  EXPECT_EQ(PackSerialNumber("6049050564"), 0x601C5234u);
}

TEST(SerialNumberTest, FieldsStopAtTheFirstNonDigit) {
  struct Case {
    const char* text;
    uint32_t packed;
  };
  const Case cases[] = {
      {"", 0},
      {"60", 0x60000000},                   // shorter text: empty fields are 0
      {"60184", 0x60244000},                // week "4": the text ends inside it
      {"6a18451234", 0x6A26D4D2},           // lower- or upper-case hex model
      {"6A18451234", 0x6A26D4D2},
      {"6g18451234", 0x0626D4D2},           // model reading stops at 'g'
      {"601x451234", 0x6012D4D2},           // year reading stops at 'x'
      {"6018451234999", 0x6026D4D2},        // characters after the tenth are not read
      {"60 18 45 12", 0x6000802D},          // a blank ends the field it sits in
      {"0x18451234", 0x0026D4D2},           // no "0x" prefix: 'x' ends the model
      {"-118451234", 0x0026D4D2},           // nor a sign
      {"6099999999", 0x603E370F},           // out-of-range fields are masked
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PackSerialNumber(c.text), c.packed) << c.text;
  }
}

TEST(SerialNumberTest, NoSerialNumberValuesAreInvalid) {
  EXPECT_FALSE(IsValidSerialNumber(0));
  EXPECT_FALSE(IsValidSerialNumber(0xFFFFFFFF));
  EXPECT_EQ(FormatSerialNumber(0xFFFFFFFF), "ff63634095");
}

}  // namespace
