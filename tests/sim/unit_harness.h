#pragma once
// Talks to a UnitModel with codec frames on a virtual clock and decodes
// what comes back, without the engine.
#include <cstdint>
#include <vector>

#include "platform/core/clock.h"
#include "protocol/codec.h"
#include "sim/unit/unit_model.h"
#include "tests/support/frame_oracle.h"

namespace simtest {

struct RegisterMessage {
  uint16_t start = 0;
  uint16_t count = 0;
  bool longForm = false;
  size_t length = 0;  // whole frame
  std::vector<uint8_t> data;
};

class UnitHarness {
 public:
  explicit UnitHarness(const sim::UnitConfig& config = sim::UnitConfig())
      : clock_(1000, 0, 0), guard_(clock_), unit(config) {}

  void Send(const uint8_t* frame, size_t n, bool toCard = false) { unit.FromHost(frame, n, toCard); }
  void Read(uint16_t first, uint16_t last) {
    uint8_t f[codec::kShortLength];
    const uint16_t span = static_cast<uint16_t>(last - first);
    if (first > 511 || span > 255) {
      uint8_t l[codec::kLongReadLength];
      codec::BuildLongRead(l, first, span);
      Send(l, sizeof l);
      return;
    }
    codec::BuildShort(f, codec::kRead, first, static_cast<uint8_t>(span));
    Send(f, sizeof f);
  }
  void Write(uint16_t reg, uint8_t value, bool toCard = false) {
    if (reg > 511) {
      uint8_t l[codec::kLongWriteLength];
      codec::BuildLongWrite(l, reg, value);
      Send(l, sizeof l, toCard);
      return;
    }
    uint8_t f[codec::kShortLength];
    codec::BuildShort(f, codec::kWrite, reg, value);
    Send(f, sizeof f, toCard);
  }
  void Command(uint8_t k, bool toCard = false) {
    uint8_t f[codec::kCommandLength];
    codec::BuildCommand(f, k);
    Send(f, sizeof f, toCard);
  }
  // The probe a port search sends to `device`.
  void Probe(uint16_t device) {
    uint8_t f[codec::kShortLength];
    codec::BuildProbe(f, device);
    Send(f, sizeof f);
  }
  // One firmware packet as the engine sends it: 12, 4, register 52, data.
  void Packet(const uint8_t* data, uint8_t n, bool toCard = false, int crcDelta = 0) {
    Command(codec::kPrepare, toCard);
    Command(codec::kPacketFollows, toCard);
    Write(52, static_cast<uint8_t>(codec::PacketCrc8(data, n) + crcDelta), toCard);
    uint8_t f[codec::kMaxDataFrame];
    Send(f, codec::BuildDataPacket(f, data, n), toCard);
  }
  void Advance(uint32_t ms) { clock_.Advance(ms); }

  // Everything the unit sent since the last call, decoded.
  std::vector<RegisterMessage> Drain() {
    uint8_t buf[512];
    size_t n;
    while ((n = unit.ToHost(buf, sizeof buf)) > 0) raw_.insert(raw_.end(), buf, buf + n);
    std::vector<RegisterMessage> out;
    size_t i = 0;
    while (i < raw_.size()) {
      if (raw_[i] != codec::kSysEx) {
        ++i;
        continue;
      }
      size_t end = i;
      while (end < raw_.size() && raw_[end] != codec::kEndSysEx) ++end;
      if (end == raw_.size()) break;
      out.push_back(Decode(&raw_[i], end - i + 1));
      i = end + 1;
    }
    raw_.erase(raw_.begin(), raw_.begin() + static_cast<std::ptrdiff_t>(i));
    return out;
  }

  // Decodes one register-data frame from its bit layout; count 0 when the
  // frame is not one or its length is wrong.
  static RegisterMessage Decode(const uint8_t* f, size_t n) {
    RegisterMessage m;
    m.length = n;
    const frame_oracle::Fields h = frame_oracle::Read(f, n);
    if (!h.ok || n < 10 || h.code != codec::kRegisterData) return m;
    m.longForm = h.longForm;
    m.start = h.first;
    const size_t count = static_cast<size_t>(h.second) + 1;
    const size_t groups = (8 * count + 6) / 7;
    if (h.dataOffset + groups + 1 != n) return m;
    m.data = frame_oracle::Data(f, n, h.dataOffset, count);
    if (m.data.size() == count) m.count = static_cast<uint16_t>(count);
    return m;
  }

 private:
  platform::VirtualClock clock_;
  platform::Override<platform::Clock> guard_;
  std::vector<uint8_t> raw_;

 public:
  sim::UnitModel unit;
};

// Deterministic test image.
inline std::vector<uint8_t> TestImage(size_t n, uint8_t seed = 1) {
  std::vector<uint8_t> v(n);
  uint32_t x = seed * 2654435761u + 12345;
  for (auto& b : v) {
    x = x * 1103515245u + 12345;
    b = static_cast<uint8_t>(x >> 16);
  }
  return v;
}

}  // namespace simtest
