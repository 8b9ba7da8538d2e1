// Firmware transfer: the engine sends and reports; the application runs the
// sequences and the waits.
#include <algorithm>
#include <cstring>

#include "platform/core/log.h"
#include "protocol/codec.h"
#include "protocol/orvella_remote.h"
#include "protocol/product_ids.h"

int COrvellaRemote::GetProgrammingStatus(uint8_t* status) {
  Poll();
  *status = m_RegisterImage[9];
  return 0;
}

int COrvellaRemote::GetProgrammingProgress(uint8_t* state, uint8_t* progress, uint8_t* aux) {
  Poll();
  if (state) *state = m_RegisterImage[56];
  if (progress) *progress = m_RegisterImage[58];
  if (aux) *aux = m_RegisterImage[57];
  return 0;
}

int COrvellaRemote::SelectAlternateBank() {
  const int active = (m_RegisterImage[9] & ACTIVE_BANK) ? 2 : 1;
  LogMessage("COrvellaRemote::SelectAlternateBank: Active Bank is %d, Selecting Bank %d\n", active, 3 - active);
  return SendCommand(active == 2 ? codec::kSelectBank1 : codec::kSelectBank2);
}

int COrvellaRemote::SelectBank(uint8_t bank) {
  if (bank == 0) SendCommand(codec::kSelectBank1);
  else if (bank == 1) SendCommand(codec::kSelectBank2);
  return 0;
}

void COrvellaRemote::SendAcknowledgedCommand(uint8_t k) {
  SetPollMode(kPollTransfer);
  // Busy until the unit reports register 9 for this command.
  m_RegisterImage[9] = PIP;
  ExpectOneAnswer(9);
  SendCommand(codec::kPrepare);
  SendCommand(k);
}

int COrvellaRemote::StartErase() {
  SendAcknowledgedCommand(codec::kErase);
  return 0;
}

int COrvellaRemote::WriteFirmwarePacket(const uint8_t* data, int length) {
  if (!data || length < 0 || length > static_cast<int>(codec::kMaxPacketData)) return 2;
  SendAcknowledgedCommand(codec::kPacketFollows);
  if (IsOrvellaN()) {
    const uint8_t crc = codec::PacketCrc8(data, static_cast<size_t>(length));
    SendShortMessage(codec::kWrite, 52, crc, false);
  }
  if (!m_pMidiIF) return 1;
  uint8_t frame[codec::kMaxDataFrame];
  const size_t n = codec::BuildDataPacket(frame, data, static_cast<uint8_t>(length));
  return m_pMidiIF->Write(frame, static_cast<int>(n));
}

int COrvellaRemote::RequestVerifyPacket() {
  std::memset(m_VerifyBuffer, 0, sizeof m_VerifyBuffer);
  m_RegisterImage[9] &= static_cast<uint8_t>(~PAKRDY);
  SetPollMode(kPollVerify);
  ExpectOneAnswer(128);
  return SendCommand(codec::kNextVerifyPacket);
}

int COrvellaRemote::ReadVerifyPacket(uint8_t* out, int length) {
  if (!out || length < 0) return 2;
  std::memcpy(out, m_VerifyBuffer, std::min(static_cast<size_t>(length), sizeof m_VerifyBuffer));
  return 0;
}

int COrvellaRemote::SetProgrammingComplete() {
  SendCommand((m_RegisterImage[9] & ACTIVE_BANK) ? codec::kCompleteBankSet : codec::kCompleteBankClear);
  SetPollMode(kPollIdle);
  return 0;
}

int COrvellaRemote::CancelProgramming() {
  SetPollMode(kPollIdentity);
  return SendCommand(codec::kCancel);
}

int COrvellaRemote::SelectZSlotFirmware(bool on) {
  if (CardId() == kCardZiRerar) return m_pMidiIF ? m_pMidiIF->SetCardTarget(on) : 1;
  if (on)
    m_RegisterImage[5] |= 0x10;
  else
    m_RegisterImage[5] &= static_cast<uint8_t>(~0x10);
  return WriteRegisterValue(5, m_RegisterImage[5]);
}

int COrvellaRemote::SetFirmwareSize(uint32_t bytes) {
  if (!IsOrvellaN()) return 0;
  for (uint16_t i = 0; i < 4; ++i)
    SendShortMessage(codec::kWrite, static_cast<uint8_t>(48 + i), static_cast<uint8_t>(bytes >> (8 * i)), false);
  return 0;
}
