#include "app/serial_number.h"

#include <cctype>
#include <cstdio>

#include "protocol/serial_packing.h"

namespace {

int DigitValue(char c, int base) {
  int v = -1;
  if (c >= '0' && c <= '9') {
    v = c - '0';
  } else if (c >= 'a' && c <= 'f') {
    v = c - 'a' + 10;
  } else if (c >= 'A' && c <= 'F') {
    v = c - 'A' + 10;
  }
  return v < base ? v : -1;
}

// Reads the field of `length` characters at `start` as a number in `base`,
// stopping at the first character that is not a digit. A field that lies
// beyond the text, or starts with a non-digit, reads as 0.
uint32_t ReadField(const std::string& text, size_t start, size_t length, int base) {
  uint32_t value = 0;
  for (size_t i = start; i < start + length && i < text.size(); ++i) {
    int digit = DigitValue(text[i], base);
    if (digit < 0) {
      break;
    }
    value = value * static_cast<uint32_t>(base) + static_cast<uint32_t>(digit);
  }
  return value;
}

uint32_t Model(uint32_t serial) { return serial >> 24; }
uint32_t Year(uint32_t serial) { return (((serial >> 18) & 0x03) << 4) | ((serial >> 20) & 0x0F); }
uint32_t Week(uint32_t serial) { return (serial >> 12) & 0x3F; }
uint32_t Unit(uint32_t serial) { return serial & 0x0FFF; }
bool KnownModel(uint32_t model) { return model == 0x15 || model == 0x26 || model == 0x32 || model == 0x60; }

}  // namespace

uint32_t PackSerialNumber(const std::string& text) {
  uint32_t model = ReadField(text, 0, 2, 16);
  uint32_t year = ReadField(text, 2, 2, 10);
  uint32_t week = ReadField(text, 4, 2, 10);
  uint32_t unit = ReadField(text, 6, 4, 10);
  return serial_packing::Pack(model, year, week, unit);
}

std::string FormatSerialNumber(uint32_t serial) {
  char text[64];  // room for any long, so the compiler can prove no truncation
  std::snprintf(text, sizeof text, "%02lx%02ld%02ld%04ld", static_cast<unsigned long>(Model(serial)),
                static_cast<long>(Year(serial)), static_cast<long>(Week(serial)), static_cast<long>(Unit(serial)));
  return text;
}

bool IsValidSerialNumber(uint32_t serial) {
  uint32_t model = Model(serial);
  bool knownModel = KnownModel(model);
  uint32_t year = Year(serial);
  uint32_t week = Week(serial);
  uint32_t unit = Unit(serial);
  return knownModel && year >= 1 && year <= 63 && week >= 1 && week <= 53 && unit >= 1 && unit <= 4095;
}

bool PrintsBackAs(uint32_t serial, const std::string& text) {
  const std::string printed = FormatSerialNumber(serial);
  if (printed.size() != text.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(printed[i])) != std::tolower(static_cast<unsigned char>(text[i])))
      return false;
  }
  return true;
}

std::string SerialNumberProblem(const std::string& text) {
  char line[160];
  if (text.size() != 10) {
    std::snprintf(line, sizeof line, "A serial number has 10 characters; this one has %zu.", text.size());
    return line;
  }
  if (DigitValue(text[0], 16) < 0 || DigitValue(text[1], 16) < 0)
    return "The first two characters, the model, must be hexadecimal digits.";
  for (size_t i = 2; i < text.size(); ++i) {
    if (DigitValue(text[i], 10) < 0) return "Characters 3 to 10 (year, week and unit number) must be digits.";
  }
  // Each field as typed, before packing can cut it to its bits.
  const uint32_t model = ReadField(text, 0, 2, 16);
  const uint32_t year = ReadField(text, 2, 2, 10);
  const uint32_t week = ReadField(text, 4, 2, 10);
  const uint32_t unit = ReadField(text, 6, 4, 10);
  if (!KnownModel(model)) {
    std::snprintf(line, sizeof line, "The model %.2s is not one of 15, 26, 32 or 60.", text.c_str());
    return line;
  }
  if (year < 1 || year > 63) {
    std::snprintf(line, sizeof line, "The year (characters 3 and 4) must be 01 to 63, not %.2s.", text.c_str() + 2);
    return line;
  }
  if (week < 1 || week > 53) {
    std::snprintf(line, sizeof line, "The week (characters 5 and 6) must be 01 to 53, not %.2s.", text.c_str() + 4);
    return line;
  }
  if (unit < 1 || unit > 4095) {
    std::snprintf(line, sizeof line, "The unit number (characters 7 to 10) must be 0001 to 4095, not %.4s.",
                  text.c_str() + 6);
    return line;
  }
  const uint32_t serial = PackSerialNumber(text);
  if (!IsValidSerialNumber(serial) || !PrintsBackAs(serial, text)) {
    const std::string printed = FormatSerialNumber(serial);
    std::snprintf(line, sizeof line, "It would be stored as %s, which is not the number typed.", printed.c_str());
    return line;
  }
  return {};
}
