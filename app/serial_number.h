#pragma once
// Packed serial numbers: model (bits 31..24), year (low four bits in 23..20,
// high two in 19..18), week (17..12), unit number (11..0); text form
// "%02lx%02ld%02ld%04ld".
#include <cstdint>
#include <string>

uint32_t PackSerialNumber(const std::string& text);
std::string FormatSerialNumber(uint32_t serial);
bool IsValidSerialNumber(uint32_t serial);
// True when `serial` prints back as exactly the ten characters of `text`
// (hexadecimal model digits compared without regard to case). Packing does
// not check its fields, so a week, year or unit number too large for its
// bits spills into its neighbour and would write some other number.
bool PrintsBackAs(uint32_t serial, const std::string& text);
// Why `text` is not a serial number as it is printed on a device, as one
// sentence for the user; empty when it is one. The rules are checked in
// the order a reader would: ten characters, the model as two hexadecimal
// digits and the rest decimal, a known model, year, week and unit number
// in range, and the packed number printing back as typed.
std::string SerialNumberProblem(const std::string& text);
