#pragma once
// Reads a protocol frame's fields straight from its bit layout, so tests can
// check what the engine and the unit model send without borrowing the
// decoder under test. From byte 4 on, a frame is one stream of 7-bit groups,
// most significant bit first:
//   code (4 bits), then
//   short form:  register bits 7..0, value or span (8), register bit 8
//   long form (3 bits 111, frame over 8 bytes): 111, then from byte 5
//                first (16), span (16); a long write has its value (8) there
//   register data: after its header, the data as a fresh stream of 8-bit bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace frame_oracle {

// MSB-first reader over the low seven bits of each byte.
class Groups {
 public:
  Groups(const uint8_t* bytes, size_t count) : bytes_(bytes), end_(count * 7) {}
  bool Has(size_t bits) const { return pos_ + bits <= end_; }
  uint32_t Take(int bits) {
    uint32_t v = 0;
    for (int i = 0; i < bits; ++i, ++pos_) v = (v << 1) | ((bytes_[pos_ / 7] >> (6 - pos_ % 7)) & 1u);
    return v;
  }

 private:
  const uint8_t* bytes_;
  size_t end_;
  size_t pos_ = 0;
};

struct Fields {
  bool ok = false;  // long enough for its form
  uint8_t code = 0;
  bool longForm = false;
  uint16_t first = 0;     // register or start register (a command's complement byte)
  uint16_t second = 0;    // span, or the value of a write (a command's check byte)
  size_t dataOffset = 0;  // where register data begins
};

inline Fields Read(const uint8_t* f, size_t n) {
  Fields out;
  if (n < 8) return out;
  Groups head(f + 4, 1);
  out.code = static_cast<uint8_t>(head.Take(4));
  const bool pattern = head.Take(3) == 7;
  out.longForm = pattern && n > 8;
  if (out.longForm) {
    if (n < 10) return out;
    Groups g(f + 5, 5);
    out.first = static_cast<uint16_t>(g.Take(16));
    out.second = static_cast<uint16_t>(g.Take(out.code == 0 ? 8 : 16));
    out.dataOffset = 10;
  } else {
    Groups g(f + 4, 3);
    g.Take(4);
    const uint32_t low = g.Take(8);
    out.second = static_cast<uint16_t>(g.Take(8));
    out.first = static_cast<uint16_t>(low | (g.Take(1) << 8));
    out.dataOffset = 7;
  }
  out.ok = true;
  return out;
}

inline Fields Read(const std::vector<uint8_t>& f) { return Read(f.data(), f.size()); }

// The `count` data bytes of a register-data frame; empty when the frame
// holds fewer groups than they need before its closing byte.
inline std::vector<uint8_t> Data(const uint8_t* f, size_t n, size_t offset, size_t count) {
  if (n < offset + 1) return {};
  Groups g(f + offset, n - offset - 1);
  if (!g.Has(8 * count)) return {};
  std::vector<uint8_t> data(count);
  for (auto& b : data) b = static_cast<uint8_t>(g.Take(8));
  return data;
}

}  // namespace frame_oracle
