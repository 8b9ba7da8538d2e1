// Channel state: the caches filled from register data, level/mute/trim
// cells, meters, matrix and output gains, routing bits.
#include "protocol/codec.h"
#include "protocol/orvella_remote.h"

namespace {
constexpr int kTypes = 18;
constexpr size_t CellIndex(unsigned type, unsigned channel) { return type + kTypes * channel; }
}  // namespace

void COrvellaRemote::UpdateChannelCaches(uint16_t reg, uint8_t value) {
  if (reg < 64) return;
  if (reg < 128) {
    m_ChannelCacheA[reg - 64] = value >> 4;
    m_ChannelCacheB[reg - 64] = (value >> 3) & 1;
    return;
  }
  unsigned type, channel;
  bool level;
  if (reg < 256) {
    const unsigned t = reg - 128u;
    channel = t / 4;
    type = (t % 4) / 2;
    level = t % 2 == 0;
  } else {
    const unsigned u = reg & 0xFFu;
    channel = u / 32;
    type = (u % 32) / 2 + 2;
    level = u % 2 == 0;
  }
  const size_t cell = CellIndex(type, channel);
  if (!level) {
    m_CellTrim[cell] = value & 0x3F;
  } else if (value == 0xFF) {
    m_CellMute[cell] = 1;
  } else {
    m_CellMute[cell] = 0;
    m_CellLevel[cell] = value;
  }
}

int COrvellaRemote::GetChannelCacheA(uint8_t channel, uint8_t* out) {
  *out = m_ChannelCacheA[(channel - 8) & 63];
  return 0;
}

int COrvellaRemote::GetChannelCacheB(uint8_t channel, uint8_t* out) {
  *out = m_ChannelCacheB[(channel - 8) & 63];
  return 0;
}

int COrvellaRemote::CellBoundsForSet(uint8_t type, uint8_t channel) {
  if (type > 17 || channel > 31 || (type > 1 && channel > 3)) return 2;
  return 0;
}

uint16_t COrvellaRemote::CellLevelRegister(uint8_t type, uint8_t channel) {
  if (type < 2) return static_cast<uint16_t>(128 + 2 * type + 4 * channel);
  return static_cast<uint16_t>(256 + 2 * (type - 2) + 32 * channel);
}

int COrvellaRemote::SetLevel(uint8_t type, uint8_t channel, uint8_t value) {
  if (CellBoundsForSet(type, channel)) return 2;
  if (value == 0xFF) value = 0xFE;  // 0xFF on the wire means muted
  const size_t cell = CellIndex(type, channel);
  if (m_CellLevel[cell] == value) return 0;
  m_CellLevel[cell] = value;
  if (!m_CellMute[cell]) return WriteRegisterValue(CellLevelRegister(type, channel), value);
  return 0;
}

int COrvellaRemote::GetLevel(uint8_t type, uint8_t channel, uint8_t* out) {
  return (type > 17 || channel > 31) ? 2 : Report(out, m_CellLevel[CellIndex(type, channel)]);
}

int COrvellaRemote::SetMute(uint8_t type, uint8_t channel, bool muted) {
  if (CellBoundsForSet(type, channel)) return 2;
  const size_t cell = CellIndex(type, channel);
  if ((m_CellMute[cell] != 0) == muted) return 0;
  m_CellMute[cell] = muted ? 1 : 0;
  return WriteRegisterValue(CellLevelRegister(type, channel), muted ? 0xFF : m_CellLevel[cell]);
}

int COrvellaRemote::GetMute(uint8_t type, uint8_t channel, uint8_t* out) {
  return (type > 17 || channel > 31) ? 2 : Report(out, m_CellMute[CellIndex(type, channel)]);
}

int COrvellaRemote::SetTrim(uint8_t type, uint8_t channel, uint8_t value) {
  if (CellBoundsForSet(type, channel)) return 2;
  const size_t cell = CellIndex(type, channel);
  if (m_CellTrim[cell] == value) return 0;
  m_CellTrim[cell] = value;
  return WriteRegisterValue(static_cast<uint16_t>(CellLevelRegister(type, channel) + 1), value);
}

int COrvellaRemote::GetTrim(uint8_t type, uint8_t channel, uint8_t* out) {
  return (type > 17 || channel > 31) ? 2 : Report(out, m_CellTrim[CellIndex(type, channel)]);
}

int COrvellaRemote::GetMeter(bool first, uint16_t index, int* level, uint8_t* clip) {
  // The meter index is not bounded by the unit's layout; one whose two
  // registers would fall outside the image is out of range.
  const uint32_t reg = (first ? 128u : 192u) + 2u * index;
  if (reg + 1 >= kImageSize) return 2;
  const uint16_t word = static_cast<uint16_t>(m_RegisterImage[reg] | (m_RegisterImage[reg + 1] << 8));
  if (clip) *clip = static_cast<uint8_t>(word >> 15);
  if (level) *level = (word & 0x7FFF) == 0x4000 ? 0x7FFFF : static_cast<int>((static_cast<uint32_t>(word) << 5) & 0x7FFFF);
  return 0;
}

int COrvellaRemote::SetMatrixGain(uint8_t in, uint8_t out, int16_t gain) {
  if (!m_bExtendedAddressing || in >= 32 || out >= 32) return 1;
  int g = gain;
  if (g > 120) g = 120;
  if (g < -960) g = -960;
  const uint16_t reg = static_cast<uint16_t>(1024 + 32 * in + out);
  m_RegisterImage[reg] = static_cast<uint8_t>(24 - g / 5);
  return WriteRegisterValue(reg, m_RegisterImage[reg]);
}

int COrvellaRemote::GetMatrixGain(uint8_t in, uint8_t out, int16_t* gain) {
  if (!m_bExtendedAddressing || in >= 32 || out >= 32) return 1;
  *gain = static_cast<int16_t>(120 - 5 * m_RegisterImage[1024 + 32 * in + out]);
  return 0;
}

int COrvellaRemote::SetOutputGain(uint8_t channel, int16_t gain) {
  if (!m_bExtendedAddressing || channel > 31) return 1;
  int g = gain;
  if (g > 0) g = 0;
  if (g < -960) g = -960;
  const uint16_t reg = static_cast<uint16_t>(512 + channel);
  m_RegisterImage[reg] = static_cast<uint8_t>(24 - g / 5);
  return WriteRegisterValue(reg, m_RegisterImage[reg]);
}

int COrvellaRemote::GetOutputGain(uint8_t channel, int16_t* gain) {
  if (!m_bExtendedAddressing || channel > 31) return 1;
  const uint8_t v = m_RegisterImage[512 + channel];
  *gain = static_cast<int16_t>(v > 23 ? 120 - 5 * v : 0);
  return 0;
}

namespace {
struct RouteBit {
  uint16_t reg;
  uint8_t mask;
};
RouteBit Route(uint16_t base, uint8_t a, uint8_t bit) {
  return {static_cast<uint16_t>(base + 4 * a + bit / 8), static_cast<uint8_t>(1u << (bit & 7))};
}
}  // namespace

int COrvellaRemote::SetRouteBit(uint16_t base, uint8_t a, uint8_t bit, bool on) {
  if (!m_bExtendedAddressing || a >= 32 || bit >= 32) return 1;
  const RouteBit r = Route(base, a, bit);
  return WriteImageBit(r.reg, r.mask, on, false);
}

int COrvellaRemote::GetRouteBit(uint16_t base, uint8_t a, uint8_t bit, uint8_t* out) {
  if (!m_bExtendedAddressing || a >= 32 || bit >= 32) return 1;
  const RouteBit r = Route(base, a, bit);
  *out = (m_RegisterImage[r.reg] & r.mask) ? 1 : 0;
  return 0;
}

int COrvellaRemote::SetRouteBitA(uint8_t a, uint8_t bit, bool on) { return SetRouteBit(256, a, bit, on); }
int COrvellaRemote::GetRouteBitA(uint8_t a, uint8_t bit, uint8_t* out) { return GetRouteBit(256, a, bit, out); }
int COrvellaRemote::SetRouteBitB(uint8_t bit, bool on) { return SetRouteBit(544, 0, bit, on); }
int COrvellaRemote::GetRouteBitB(uint8_t bit, uint8_t* out) { return GetRouteBit(544, 0, bit, out); }
int COrvellaRemote::SetRouteBitC(uint8_t a, uint8_t bit, bool on) { return SetRouteBit(384, a, bit, on); }
int COrvellaRemote::GetRouteBitC(uint8_t a, uint8_t bit, uint8_t* out) { return GetRouteBit(384, a, bit, out); }
