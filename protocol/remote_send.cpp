#include "protocol/codec.h"
#include "protocol/orvella_remote.h"
#include "protocol/product_ids.h"

int COrvellaRemote::SendShortMessage(uint8_t code, uint8_t reg, uint8_t value, bool bit8) {
  if (!m_pMidiIF) return 1;
  uint8_t frame[codec::kShortLength];
  codec::BuildShort(frame, code, static_cast<uint16_t>(reg | (bit8 ? 0x100 : 0)), value);
  return m_pMidiIF->Write(frame, sizeof frame);
}

int COrvellaRemote::SendLongRead(uint16_t first, uint16_t span) {
  if (!m_pMidiIF) return 1;
  uint8_t frame[codec::kLongReadLength];
  codec::BuildLongRead(frame, first, span);
  return m_pMidiIF->Write(frame, sizeof frame);
}

int COrvellaRemote::SendLongWrite(uint16_t reg, uint8_t value) {
  if (!m_pMidiIF) return 1;
  uint8_t frame[codec::kLongWriteLength];
  codec::BuildLongWrite(frame, reg, value);
  return m_pMidiIF->Write(frame, sizeof frame);
}

int COrvellaRemote::SendCommand(uint8_t k) {
  if (!m_pMidiIF) return 1;
  uint8_t frame[codec::kCommandLength];
  codec::BuildCommand(frame, k);
  return m_pMidiIF->Write(frame, sizeof frame);
}

int COrvellaRemote::WriteRegisterValue(uint16_t reg, uint8_t value) {
  if (reg <= 0xFF) return SendShortMessage(codec::kWrite, static_cast<uint8_t>(reg), value, false);
  if (IsVinto() || ProductId() == kProductOrvellaN) return SendLongWrite(reg, value);
  return SendShortMessage(codec::kWrite, static_cast<uint8_t>(reg & 0xFF), value, true);
}

int COrvellaRemote::RequestRegisterStatus(uint16_t first, uint16_t last) {
  const uint16_t span = static_cast<uint16_t>(last - first);
  if (first <= 0xFF) return SendShortMessage(codec::kRead, static_cast<uint8_t>(first), static_cast<uint8_t>(span), false);
  if (m_bExtendedAddressing) return SendLongRead(first, span);
  return SendShortMessage(codec::kRead, static_cast<uint8_t>(first & 0xFF), static_cast<uint8_t>(span), true);
}
