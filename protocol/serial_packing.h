#pragma once
// A serial number packed in 32 bits, as the devices keep it: the model in
// bits 24..31, the year's low four bits in 20..23 and its high two in
// 18..19, the week in 12..17 and the unit number in 0..11. In the registers
// (12..15 for a unit, 28..31 for its card) the same number is four bytes:
// week, year, the number's low byte and its high four bits.
#include <cstdint>

namespace serial_packing {

// A week of 64 or more spills into the year's high bits, as the devices'
// own packing does.
constexpr uint32_t Pack(uint32_t model, uint32_t year, uint32_t week, uint32_t number) {
  return (model << 24) | ((year & 0x0F) << 20) | ((year & 0x30) << 14) | ((week & 0xFF) << 12) | (number & 0x0FFF);
}

constexpr uint8_t WeekOf(uint32_t serial) { return static_cast<uint8_t>((serial >> 12) & 0x3F); }
constexpr uint8_t YearOf(uint32_t serial) {
  return static_cast<uint8_t>(((serial >> 14) & 0x30) | ((serial >> 20) & 0x0F));
}
constexpr uint16_t NumberOf(uint32_t serial) { return static_cast<uint16_t>(serial & 0x0FFF); }

// The four register bytes of `serial`.
constexpr void ToRegisters(uint32_t serial, uint8_t regs[4]) {
  regs[0] = WeekOf(serial);
  regs[1] = YearOf(serial);
  regs[2] = static_cast<uint8_t>(serial & 0xFF);
  regs[3] = static_cast<uint8_t>((serial >> 8) & 0x0F);
}

// The number the four register bytes hold for a device of `model`.
constexpr uint32_t FromRegisters(const uint8_t regs[4], uint8_t model) {
  return Pack(model, regs[1], regs[0], regs[2] + 256u * regs[3]);
}

}  // namespace serial_packing
