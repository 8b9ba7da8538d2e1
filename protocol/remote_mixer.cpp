// Mixer and clock settings in registers 2..27 and the status words. The
// updater itself uses none of them; they complete the remote interface.
#include "platform/core/clock.h"
#include "platform/core/message_pump.h"
#include "protocol/codec.h"
#include "protocol/orvella_remote.h"
#include "protocol/product_ids.h"

int COrvellaRemote::WriteImageBit(uint16_t reg, uint8_t mask, bool on, bool shortWrite) {
  if (on)
    m_RegisterImage[reg] |= mask;
  else
    m_RegisterImage[reg] &= static_cast<uint8_t>(~mask);
  if (shortWrite) return SendShortMessage(codec::kWrite, static_cast<uint8_t>(reg), m_RegisterImage[reg], false);
  return WriteRegisterValue(reg, m_RegisterImage[reg]);
}

static uint8_t Bit(uint8_t value, int bit) { return (value >> bit) & 1; }

int COrvellaRemote::SetReg2Selection(uint16_t which, uint8_t value) {
  uint8_t r = m_RegisterImage[2];
  if (IsVinto()) {
    static const uint8_t kLowCode[8] = {7, 6, 5, 4, 0, 10, 9, 8};
    if (which == 0) {
      r = static_cast<uint8_t>((r & 0xF0) | (value < 8 ? kLowCode[value] : 0));
    } else if (which == 1) {
      r = static_cast<uint8_t>((r & 0x0F) | ((value >= 1 && value <= 7 ? value : 0) << 4));
    }
  } else if (which <= 7) {
    if (value == 1)
      r |= static_cast<uint8_t>(1u << which);
    else
      r &= static_cast<uint8_t>(~(1u << which));
  } else {
    r = value == 1 ? 0xFF : 0x00;
  }
  return WriteRegisterValue(2, r);
}

int COrvellaRemote::GetReg2Selection(uint16_t which, uint8_t* value) {
  if (m_bDisconnected) return 1;
  const uint8_t r = m_RegisterImage[2];
  if (IsVinto()) {
    if (which == 0) {
      switch (r & 0x0F) {
        case 7: *value = 0; break;
        case 6: *value = 1; break;
        case 0: *value = 4; break;
        case 4: *value = 3; break;
        case 8: *value = 7; break;
        case 9: *value = 6; break;
        case 10: *value = 5; break;
        default: *value = 2; break;
      }
    } else if (which == 1) {
      *value = (r & 0x80) ? 2 : static_cast<uint8_t>(r >> 4);
    }
    return 0;
  }
  if (which > 7) return 2;
  *value = Bit(r, which);
  return 0;
}

namespace {
// Clock-source codes of register 3 bits 0..2 per model; -1: no such choice.
const int kSourceVinto[] = {5, 4, 2, 7, 0};
const int kSourceOrvellaN[] = {0, 1, 2, -1, 4, 5, 6, 7};
const int kSourceOther[] = {5, 4, 3, 6, 2, 1, 0};
}  // namespace

int COrvellaRemote::SetReg3Source(uint8_t choice) {
  if (m_RegisterImage[16] == kCardVeZer || (m_RegisterImage[19] & 1)) return 1;
  int code = -1;
  if (IsVinto()) {
    if (choice < 5) code = kSourceVinto[choice];
  } else if (ProductId() == kProductOrvellaN) {
    if (choice < 8) code = kSourceOrvellaN[choice];
  } else if (choice < 7) {
    code = kSourceOther[choice];
  }
  if (code < 0) return 2;
  m_RegisterImage[3] = static_cast<uint8_t>((m_RegisterImage[3] & ~7) | code);
  return WriteRegisterValue(3, m_RegisterImage[3]);
}

int COrvellaRemote::GetReg3Source(uint8_t* choice) {
  const int code = m_RegisterImage[3] & 7;
  const int* table = kSourceOther;
  int size = 7;
  if (IsVinto()) {
    table = kSourceVinto;
    size = 5;
  } else if (ProductId() == kProductOrvellaN) {
    table = kSourceOrvellaN;
    size = 8;
  }
  for (int i = 0; i < size; ++i)
    if (table[i] == code) {
      *choice = static_cast<uint8_t>(i);
      return 0;
    }
  return 0;  // a code without entry writes nothing
}

int COrvellaRemote::SetReg3Flag(bool on) {
  if (m_RegisterImage[16] == kCardVeZer || (m_RegisterImage[19] & 1)) return 1;
  return WriteImageBit(3, 0x08, on, false);
}

int COrvellaRemote::GetReg3Flag(uint8_t* out) { return Report(out, Bit(m_RegisterImage[3], 3)); }

int COrvellaRemote::SetSampleRate(uint8_t index) {
  if (m_RegisterImage[16] == kCardVeZer) {
    if (!m_pZTUSB) return 1;
    if (index > 5) return 2;
    const int rc = CardSampleRate(index);
    if (rc != 0) return rc;
    m_RegisterImage[3] = static_cast<uint8_t>((m_RegisterImage[3] & ~0x70) | (index << 4));
    // Let the card's driver settle while the window stays alive.
    const uint32_t start = platform::TickCount();
    while (platform::TickCount() - start < 250) {
      platform::PumpOrIdle();
    }
    return 0;
  }
  if (m_RegisterImage[19] & 1) return 1;
  if (index > 5) return 2;
  m_RegisterImage[3] = static_cast<uint8_t>((m_RegisterImage[3] & ~0x70) | (index << 4));
  return WriteRegisterValue(3, m_RegisterImage[3]);
}

int COrvellaRemote::GetSampleRate(uint8_t* index) {
  if (m_RegisterImage[16] == kCardVeZer && m_pZTUSB) return CardGetSampleRate(index);
  *index = (m_RegisterImage[3] >> 4) & 7;
  return 0;
}

int COrvellaRemote::GetReg3Bit7(uint8_t* out) {
  return Report(out, (m_RegisterImage[3] & 7) == 5 ? 0 : Bit(m_RegisterImage[3], 7));
}

namespace {

// Register 4 keeps two choices of 0..3 as codes in two-bit fields; `codes`
// gives the field's bits (under `mask`) for each choice. False for a
// choice out of range, which leaves the register as it was.
bool PutChoice(uint8_t& reg, uint8_t choice, uint8_t mask, const uint8_t (&codes)[4]) {
  if (choice > 3) return false;
  reg = static_cast<uint8_t>((reg & ~mask) | codes[choice]);
  return true;
}

constexpr uint8_t kCodes01[4] = {2, 1, 0, 3};
constexpr uint8_t kCodes23[4] = {8, 4, 0, 12};

}  // namespace

int COrvellaRemote::SetReg4Bits01(uint8_t choice) {
  if (!PutChoice(m_RegisterImage[4], choice, 0x03, kCodes01)) return 2;
  return WriteRegisterValue(4, m_RegisterImage[4]);
}

int COrvellaRemote::GetReg4Bits01(uint8_t* choice) {
  static const uint8_t kChoice[4] = {2, 1, 0, 3};
  return Report(choice, kChoice[m_RegisterImage[4] & 3]);
}

int COrvellaRemote::SetReg4Bits23(uint8_t choice) {
  if (!PutChoice(m_RegisterImage[4], choice, 0x0C, kCodes23)) return 2;
  return WriteRegisterValue(4, m_RegisterImage[4]);
}

int COrvellaRemote::GetReg4Bits23(uint8_t* choice) {
  static const uint8_t kChoice[4] = {2, 1, 0, 3};  // by code / 4: 0, 4, 8, 12
  return Report(choice, kChoice[(m_RegisterImage[4] >> 2) & 3]);
}

int COrvellaRemote::SetReg4Bit4(bool on) { return WriteImageBit(4, 0x10, on, true); }
int COrvellaRemote::SetReg4Bit5(bool on) { return WriteImageBit(4, 0x20, on, true); }
int COrvellaRemote::SetReg4Bit6(bool on) { return WriteImageBit(4, 0x40, on, true); }
int COrvellaRemote::SetReg4Bit7(bool on) { return WriteImageBit(4, 0x80, !on, true); }

int COrvellaRemote::GetReg4Bit4(uint8_t* out) { return Report(out, Bit(m_RegisterImage[4], 4)); }
int COrvellaRemote::GetReg4Bit5(uint8_t* out) { return Report(out, Bit(m_RegisterImage[4], 5)); }
int COrvellaRemote::GetReg4Bit6(uint8_t* out) { return Report(out, Bit(m_RegisterImage[4], 6)); }
int COrvellaRemote::GetReg4Bit7(uint8_t* out) { return Report(out, Bit(m_RegisterImage[4], 7) ? 0 : 1); }

int COrvellaRemote::GetReg5Bit0(uint8_t* out) {
  if (m_bDisconnected) return 1;
  *out = Bit(m_RegisterImage[5], 0);
  return 0;
}
int COrvellaRemote::GetReg5Bit1(uint8_t* out) {
  if (m_bDisconnected) return 1;
  *out = Bit(m_RegisterImage[5], 1);
  return 0;
}
int COrvellaRemote::SetReg5Bit2(bool on) { return WriteImageBit(5, 0x04, on, true); }
int COrvellaRemote::GetReg5Bit2(uint8_t* out) {
  if (m_bDisconnected) return 1;
  *out = Bit(m_RegisterImage[5], 2);
  return 0;
}
int COrvellaRemote::SetReg5Bit3(bool on) { return WriteImageBit(5, 0x08, on, true); }
int COrvellaRemote::GetReg5Bit3(uint8_t* out) {
  if (CardId() == kCardZiRerar) return 1;
  *out = Bit(m_RegisterImage[5], 3);
  return 0;
}
int COrvellaRemote::GetReg5Bit5(uint8_t* out) { return Report(out, Bit(m_RegisterImage[5], 5)); }
int COrvellaRemote::GetReg6(uint8_t* out) { return Report(out, m_RegisterImage[6]); }
int COrvellaRemote::GetReg7Low(uint8_t* out) { return Report(out, m_RegisterImage[7] & 0x3F); }

int COrvellaRemote::SetReg19Bit4(bool on) { return WriteImageBit(19, 0x10, on, true); }
int COrvellaRemote::SetReg19Bit5(bool on) { return WriteImageBit(19, 0x20, on, true); }
int COrvellaRemote::GetReg19Bit4(uint8_t* out) { return Report(out, Bit(m_RegisterImage[19], 4)); }
int COrvellaRemote::GetReg19Bit5(uint8_t* out) { return Report(out, Bit(m_RegisterImage[19], 5)); }

int COrvellaRemote::Reserved78() { return 0; }

int COrvellaRemote::GetReg24Limited(uint8_t* out) {
  return Report(out, m_RegisterImage[24] <= 150 ? m_RegisterImage[24] : 0);
}
int COrvellaRemote::GetReg20Plus1(uint8_t* out) {
  return Report(out, m_RegisterImage[20] == 0xFF ? 0 : static_cast<uint8_t>(m_RegisterImage[20] + 1));
}
int COrvellaRemote::GetReg21Plus1(uint8_t* out) {
  return Report(out, m_RegisterImage[21] == 0xFF ? 0 : static_cast<uint8_t>(m_RegisterImage[21] + 1));
}
int COrvellaRemote::GetReg22Plus1(uint16_t* out) {
  const uint16_t word = static_cast<uint16_t>(m_RegisterImage[22] + 256 * m_RegisterImage[23]);
  *out = word == 0xFFFF ? 0 : static_cast<uint16_t>(word + 1);
  return 0;
}

int COrvellaRemote::SetReg27(uint8_t value) {
  m_RegisterImage[27] = FirmwareMajor() < 7 ? (value ? 1 : 0) : value;
  return SendShortMessage(codec::kWrite, 27, m_RegisterImage[27], false);
}

int COrvellaRemote::ReloadAllRegisters() {
  SendCommand(codec::kReloadAll);
  RequestRegisterStatusVerified(0, 127);
  RequestRegisterStatusVerified(256, 547);
  RequestRegisterStatusVerified(1024, 2047);
  return 0;
}

int COrvellaRemote::GetFirmwareDateCompat(uint16_t* date) {
  const uint8_t major = FirmwareMajor();
  if (major >= 7) return GetFirmwareDate(date);
  static const uint16_t kByMajor[6] = {0xC101, 0xC201, 0xC20F, 0xC21B, 0xC403, 0xCB0E};
  if (major < 6) {
    *date = kByMajor[major];
    return 0;
  }
  static const uint16_t kByMinor[3] = {0xE31A, 0xE409, 0xEC09};
  uint8_t minor = 0;
  GetFirmwareMinor(&minor);
  if (minor < 3) *date = kByMinor[minor];
  return 0;
}

int COrvellaRemote::GetReg125Bit7(uint8_t* out) {
  if (!m_bExtendedAddressing) return 1;
  *out = Bit(m_RegisterImage[125], 7);
  return 0;
}
bool COrvellaRemote::GetReg125Bit2() { return Bit(m_RegisterImage[125], 2) != 0; }
bool COrvellaRemote::GetReg124Bit7() { return Bit(m_RegisterImage[124], 7) != 0; }
bool COrvellaRemote::GetReg42Bit3() { return Bit(m_RegisterImage[42], 3) != 0; }

int COrvellaRemote::GetStreamRate(uint8_t which, uint32_t* hertz) {
  if (!m_bExtendedAddressing) return 1;
  static const uint32_t kRates[6] = {44100, 48000, 88200, 96000, 176400, 192000};
  const uint16_t word = static_cast<uint16_t>(m_RegisterImage[126] + 256 * m_RegisterImage[127]);
  *hertz = 0;
  if (which <= 4) {
    const unsigned code = (word >> (3 * which)) & 7;
    if (code < 6) *hertz = kRates[code];
  }
  return 0;
}
