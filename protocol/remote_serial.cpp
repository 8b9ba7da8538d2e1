// Serial numbers: unit registers 12..15, option card registers 28..31.
#include "platform/core/log.h"
#include "platform/ui/ui_host.h"
#include "protocol/codec.h"
#include "protocol/orvella_remote.h"

namespace {

uint8_t WeekOf(uint32_t serial) { return static_cast<uint8_t>((serial >> 12) & 0x3F); }
uint8_t YearByteOf(uint32_t serial) { return static_cast<uint8_t>(((serial >> 14) & 0x30) | ((serial >> 20) & 0x0F)); }

}  // namespace

void COrvellaRemote::ShowSerialFailure(const char* text) {
  platform::ui::ShowMessage(text, std::string("COrvellaRemote"), platform::ui::Buttons::Ok,
                            platform::ui::Icon::Warning);
}

uint32_t COrvellaRemote::PackSerial(uint8_t id, uint16_t weekReg) {
  const uint8_t week = m_RegisterImage[weekReg];
  if (week == 0 || week == 0xFF) return 0xFFFFFFFF;
  const uint8_t year = m_RegisterImage[weekReg + 1];
  const uint32_t number = (m_RegisterImage[weekReg + 2] + 256u * m_RegisterImage[weekReg + 3]) & 0x0FFF;
  return (static_cast<uint32_t>(id) << 24) | (static_cast<uint32_t>(year & 0x0F) << 20) |
         (static_cast<uint32_t>(year & 0x30) << 14) | (static_cast<uint32_t>(week) << 12) | number;
}

int COrvellaRemote::GetSerialNumber(uint32_t* serial) {
  *serial = PackSerial(ProductId(), 12);
  return 0;
}

int COrvellaRemote::GetZSlotSerialNumber(uint32_t* serial) {
  *serial = PackSerial(CardId(), 28);
  return *serial == 0xFFFFFFFF ? 1 : 0;
}

int COrvellaRemote::WriteSerialNumber(uint32_t serial) {
  SetPollMode(kPollIdentity);
  if ((serial >> 24) != ProductId()) {
    ShowSerialFailure("WriteSerialNumber: SerialNumber Model does not match PID!");
    return 1;
  }
  LogMessage("Writing Serial Number...\n");
  WriteRegisterValue(12, WeekOf(serial));
  WriteRegisterValue(13, YearByteOf(serial));
  WriteRegisterValue(14, static_cast<uint8_t>(serial & 0xFF));
  WriteRegisterValue(15, static_cast<uint8_t>((serial >> 8) & 0x0F));

  for (int round = 0; round < MAX_SN_RETIRES; ++round) {
    if (WaitForResponse(4) != 0) {
      LogMessage("WriteSerialNumber: WaitForResponse Failed!\n");
      ShowSerialFailure("WriteSerialNumber WaitForResponse Failed!");
      return 1;
    }
    uint32_t readBack = 0;
    GetSerialNumber(&readBack);
    if (readBack == serial) {
      SetPollMode(kPollTransfer);
      m_RegisterImage[9] = PIP;
      SendCommand(codec::kPrepare);
      SendCommand(codec::kCommitSerial);
      return 0;
    }
  }
  LogMessage("WriteSerialNumber: Timeout! (MAX_SN_RETIRES)\n");
  ShowSerialFailure("WriteSerialNumber Timeout!");
  return 1;
}

int COrvellaRemote::WriteZSlotSerialNumber(uint32_t serial) {
  m_bCardSerialWrite = true;
  SetPollMode(kPollIdentity);
  if ((serial >> 24) != CardId()) {
    ShowSerialFailure("WriteZSlotSerialNumber: SerialNumber Model does not match PID!");
    m_bCardSerialWrite = false;
    return 1;
  }
  if (m_pMidiIF) m_pMidiIF->SetCardTarget(true);
  const uint8_t week = WeekOf(serial);
  const uint8_t year = YearByteOf(serial);
  LogMessage("WriteZSlotSerialNumber: %02lx%02ld%02ld%04ld\n", static_cast<unsigned long>(CardId()),
             static_cast<long>(year), static_cast<long>(week), static_cast<long>(serial & 0xFFF));
  WriteRegisterValue(28, week);
  WriteRegisterValue(29, year);
  WriteRegisterValue(30, static_cast<uint8_t>(serial & 0xFF));
  WriteRegisterValue(31, static_cast<uint8_t>((serial >> 8) & 0x0F));

  for (int round = 0; round < MAX_SN_RETIRES; ++round) {
    if (WaitForResponse(4) != 0) {
      LogMessage("WriteZSlotSerialNumber: WaitForResponse Failed!\n");
      ShowSerialFailure("WriteZSlotSerialNumber WaitForResponse Failed!");
      m_bCardSerialWrite = false;
      return 1;
    }
    uint32_t value = 0;
    GetZSlotSerialNumber(&value);
    LogMessage("WriteZSlotSerialNumber: GetZSlotSerialNumber %02lx%02ld%02ld%04ld\n",
               static_cast<unsigned long>(value >> 24),
               static_cast<long>((((value >> 18) & 3) << 4) | ((value >> 20) & 0x0F)),
               static_cast<long>((value >> 12) & 0x3F), static_cast<long>(value & 0xFFF));
    if (value == serial) {
      SetPollMode(kPollTransfer);
      m_RegisterImage[9] = PIP;
      SendCommand(codec::kPrepare);
      SendCommand(codec::kCommitSerial);
      m_bCardSerialWrite = false;
      if (m_pMidiIF) m_pMidiIF->SetCardTarget(false);
      return 0;
    }
  }
  LogMessage("WriteZSlotSerialNumber: Timeout! (MAX_SN_RETIRES)\n");
  ShowSerialFailure("WriteZSlotSerialNumber Timeout!");
  m_bCardSerialWrite = false;
  return 1;
}
