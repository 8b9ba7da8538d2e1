#pragma once
// Packed serial numbers: model (bits 31..24), year (low four bits in 23..20,
// high two in 19..18), week (17..12), unit number (11..0); text form
// "%02lx%02ld%02ld%04ld".
#include <cstdint>
#include <string>

uint32_t PackSerialNumber(const std::string& text);
std::string FormatSerialNumber(uint32_t serial);
bool IsValidSerialNumber(uint32_t serial);
