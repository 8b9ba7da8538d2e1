#include "protocol/codec.h"

#include <cstring>

namespace codec {

namespace {

void PutHeader(uint8_t* out) {
  out[0] = kSysEx;
  out[1] = kManufacturer[0];
  out[2] = kManufacturer[1];
  out[3] = kManufacturer[2];
}

// The 7-bit stream shared by data packets and register data. Data packets
// always close with one more byte than the bits need (a whole zero byte when
// the bits end on a group boundary); register data uses exactly ceil(bits/7).
size_t PackStream(uint8_t* out, const uint8_t* data, size_t n, int headBits, uint8_t headValue, bool extraOnBoundary) {
  const size_t bits = static_cast<size_t>(headBits) + 8 * n;
  const size_t bytes = extraOnBoundary ? bits / 7 + 1 : (bits + 6) / 7;
  std::memset(out, 0, bytes);
  size_t pos = 0;  // bit position in the output stream
  auto putBit = [&](int bit) {
    if (bit) out[pos / 7] |= static_cast<uint8_t>(1u << (6 - pos % 7));
    ++pos;
  };
  for (int i = headBits - 1; i >= 0; --i) putBit((headValue >> i) & 1);
  for (size_t b = 0; b < n; ++b)
    for (int i = 7; i >= 0; --i) putBit((data[b] >> i) & 1);
  return bytes;
}

// Bytes 5..9 of the long forms: a 16-bit register and a 16-bit span.
void PutLongAddress(uint8_t* out, uint16_t first, uint16_t span) {
  out[5] = (first >> 9) & 0x7F;
  out[6] = (first >> 2) & 0x7F;
  out[7] = static_cast<uint8_t>(((first & 3) << 5) | ((span >> 11) & 0x1F));
  out[8] = (span >> 4) & 0x7F;
  out[9] = static_cast<uint8_t>((span & 0x0F) << 3);
}

bool NeedsLongForm(uint16_t start, uint16_t n) {
  return start > 511 || n > 256 || ((start >> 5) & 7) == 7;
}

}  // namespace

void BuildShort(uint8_t out[kShortLength], uint8_t code, uint16_t reg, uint8_t value) {
  PutHeader(out);
  out[4] = static_cast<uint8_t>(((code & 0x0F) << 3) | ((reg >> 5) & 7));
  out[5] = static_cast<uint8_t>(((reg & 0x1F) << 2) | (value >> 6));
  out[6] = static_cast<uint8_t>(((value & 0x3F) << 1) | ((reg >> 8) & 1));
  out[7] = kEndSysEx;
}

void BuildLongRead(uint8_t out[kLongReadLength], uint16_t first, uint16_t span) {
  PutHeader(out);
  out[4] = 0x6F;
  PutLongAddress(out, first, span);
  out[10] = kEndSysEx;
}

void BuildLongWrite(uint8_t out[kLongWriteLength], uint16_t reg, uint8_t value) {
  PutHeader(out);
  out[4] = 0x07;
  out[5] = (reg >> 9) & 0x7F;
  out[6] = (reg >> 2) & 0x7F;
  out[7] = static_cast<uint8_t>(((reg & 3) << 5) | (value >> 3));
  out[8] = static_cast<uint8_t>((value & 7) << 4);
  out[9] = kEndSysEx;
}

static uint8_t Complement(uint8_t k) {
  const uint8_t low = ~k & 0x0F;
  return static_cast<uint8_t>((low << 4) | low);
}

uint8_t CommandCheck(uint8_t k) {
  uint8_t x = 0xFF;
  const uint8_t bytes[2] = {k, Complement(k)};
  for (uint8_t b : bytes)
    for (int i = 0; i < 8; ++i) x = static_cast<uint8_t>(((x << 1) & 0xFF) ^ (((b >> i) & 1) ? 0x1D : 0));
  return x;
}

void BuildCommand(uint8_t out[kCommandLength], uint8_t k) {
  BuildShort(out, k, Complement(k), CommandCheck(k));
}

size_t BuildDataPacket(uint8_t* out, const uint8_t* data, uint8_t n) {
  if (n > kMaxPacketData) n = kMaxPacketData;
  PutHeader(out);
  const size_t used = PackBits7(out + 4, data, n, 4, 0x0F);
  out[4 + used] = kEndSysEx;
  return used + 5;
}

size_t RegisterDataLength(uint16_t start, uint16_t n) {
  const size_t header = NeedsLongForm(start, n) ? 10 : 7;
  return header + (8 * static_cast<size_t>(n) + 6) / 7 + 1;
}

size_t BuildRegisterData(uint8_t* out, uint16_t start, const uint8_t* data, uint16_t n) {
  PutHeader(out);
  const uint16_t span = static_cast<uint16_t>(n - 1);
  size_t header;
  if (NeedsLongForm(start, n)) {
    out[4] = 0x77;
    PutLongAddress(out, start, span);
    header = 10;
  } else {
    out[4] = static_cast<uint8_t>(0x70 | ((start >> 5) & 7));
    out[5] = static_cast<uint8_t>(((start & 0x1F) << 2) | ((span >> 6) & 3));
    out[6] = static_cast<uint8_t>(((span & 0x3F) << 1) | ((start >> 8) & 1));
    header = 7;
  }
  const size_t used = PackStream(out + header, data, n, 0, 0, false);
  out[header + used] = kEndSysEx;
  return header + used + 1;
}

void BuildProbe(uint8_t out[kShortLength], uint16_t device) {
  const uint16_t reg = static_cast<uint16_t>(64 + device);
  PutHeader(out);
  out[4] = static_cast<uint8_t>(0x68 | ((reg >> 5) & 7));
  out[5] = static_cast<uint8_t>((reg & 0x1F) << 2);
  out[6] = 0x00;
  out[7] = kEndSysEx;
}

uint8_t PacketCrc8(const uint8_t* data, size_t n) {
  uint8_t x = 0xFF;
  for (size_t b = 0; b < n; ++b)
    for (int i = 0; i < 8; ++i) {
      const int fb = (x >> 7) ^ ((data[b] >> i) & 1);
      x = static_cast<uint8_t>(((x << 1) & 0xFF) ^ (fb ? 0x1D : 0));
    }
  return x;
}

size_t PackBits7(uint8_t* out, const uint8_t* data, uint8_t n, int headBits, uint8_t headValue) {
  return PackStream(out, data, n, headBits, headValue, true);
}

bool ParseHeader(const uint8_t* f, size_t n, Header* out) {
  if (n < kShortLength) return false;
  Header h;
  h.code = (f[4] >> 3) & 0x0F;
  h.longForm = (f[4] & 7) == 7 && n != kShortLength;
  h.length = h.longForm ? 10 : 7;
  if (n < kLongWriteLength && h.longForm) return false;
  if (h.longForm) {
    // In a long write byte 9 is the closing F7; its bits fall below the value.
    h.first = static_cast<uint16_t>((f[5] << 9) | (f[6] << 2) | ((f[7] >> 5) & 3));
    h.span = static_cast<uint16_t>(((f[7] & 0x1F) << 11) | (f[8] << 4) | ((f[9] >> 3) & 0x0F));
  } else {
    h.first = static_cast<uint16_t>(((f[4] & 7) << 5) | ((f[5] >> 2) & 0x1F) | ((f[6] & 1) << 8));
    h.span = static_cast<uint16_t>(((f[5] & 3) << 6) | ((f[6] >> 1) & 0x3F));
  }
  *out = h;
  return true;
}

bool FromManufacturer(const uint8_t* f, size_t n) {
  return n >= 4 && std::memcmp(f + 1, kManufacturer, sizeof kManufacturer) == 0;
}

size_t UnpackBits7(uint8_t* out, size_t n, const uint8_t* in, size_t inSize) {
  const size_t used = (8 * n + 6) / 7;
  if (used > inSize) return 0;
  size_t pos = 0;
  for (size_t b = 0; b < n; ++b) {
    uint8_t v = 0;
    for (int i = 0; i < 8; ++i, ++pos) v = static_cast<uint8_t>((v << 1) | ((in[pos / 7] >> (6 - pos % 7)) & 1));
    out[b] = v;
  }
  return used;
}

}  // namespace codec
