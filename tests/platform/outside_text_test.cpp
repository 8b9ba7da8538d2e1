// Outside text as the log and the screen get it.
#include "platform/core/outside_text.h"

#include <gtest/gtest.h>

namespace {

TEST(OutsideText, ControlCharactersAndBrokenBytesAreEscapedTextStays) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"A\n2099-01-01 EEPROM Success\n", "A\\n2099-01-01 EEPROM Success\\n"},  // a forged log record
      {"red\x1b[31m\r\tx", "red\\x1b[31m\\r\\tx"},
      {std::string("nul\0del\x7f", 8), "nul\\x00del\\x7f"},
      {"C:\\Images\\ZTDNT0102NC.BIN", "C:\\Images\\ZTDNT0102NC.BIN"},  // Windows paths read as they are
      {"Z\xc3\xbcrich \xe2\x82\xac \xf0\x9f\x8e\xb9", "Z\xc3\xbcrich \xe2\x82\xac \xf0\x9f\x8e\xb9"},
      {"csi \xc2\x9b" "2J", "csi \\xc2\\x9b2J"},          // a C1 control, well-formed or not
      {"raw \x9b" "2J", "raw \\x9b2J"},
      {"cut \xe2\x82", "cut \\xe2\\x82"},                 // a sequence the text ends in
      {"long \xc0\xaf \xed\xa0\x80", "long \\xc0\\xaf \\xed\\xa0\\x80"},  // overlong, surrogate
      {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EscapeOutsideText(c.in), c.out) << c.out;
    // Text escaped once is escaped for good: a second pass changes nothing.
    EXPECT_EQ(EscapeOutsideText(c.out), c.out) << c.out;
  }
}

}  // namespace
