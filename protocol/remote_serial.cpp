// Serial numbers: unit registers 12..15, option card registers 28..31.
#include "platform/core/log.h"
#include "platform/ui/ui_host.h"
#include "protocol/codec.h"
#include "protocol/orvella_remote.h"
#include "protocol/serial_packing.h"

namespace {

constexpr uint16_t kUnitSerialRegs = 12;
constexpr uint16_t kCardSerialRegs = 28;

}  // namespace

void COrvellaRemote::ShowSerialFailure(const std::string& text) {
  platform::ui::ShowMessage(text, std::string("COrvellaRemote"), platform::ui::Buttons::Ok,
                            platform::ui::Icon::Warning);
}

uint32_t COrvellaRemote::PackSerial(uint8_t id, uint16_t weekReg) {
  const uint8_t week = m_RegisterImage[weekReg];
  if (week == 0 || week == 0xFF) return 0xFFFFFFFF;
  return serial_packing::FromRegisters(&m_RegisterImage[weekReg], id);
}

int COrvellaRemote::GetSerialNumber(uint32_t* serial) {
  *serial = PackSerial(ProductId(), kUnitSerialRegs);
  return 0;
}

int COrvellaRemote::GetZSlotSerialNumber(uint32_t* serial) {
  *serial = PackSerial(CardId(), kCardSerialRegs);
  return *serial == 0xFFFFFFFF ? 1 : 0;
}

int COrvellaRemote::WriteAndCommitSerial(const char* routine, uint16_t firstReg, uint32_t serial) {
  const std::string name(routine);
  // Nothing is written to a unit that does not answer: four registers
  // without their commit would be a number half given.
  if (WaitForResponse(1) != 0) {
    LogMessage("%s: WaitForResponse Failed!\n", routine);
    ShowSerialFailure(name + " WaitForResponse Failed!");
    return 1;
  }
  uint8_t before[4];
  for (uint16_t i = 0; i < 4; ++i) before[i] = m_RegisterImage[firstReg + i];
  auto restore = [&] {
    for (uint16_t i = 0; i < 4; ++i) WriteRegisterValue(firstReg + i, before[i]);
    LogMessage("%s: serial registers given back their previous values\n", routine);
  };

  uint8_t regs[4];
  serial_packing::ToRegisters(serial, regs);
  for (uint16_t i = 0; i < 4; ++i) WriteRegisterValue(firstReg + i, regs[i]);

  for (int round = 0; round < MAX_SN_RETIRES; ++round) {
    if (WaitForResponse(4) != 0) {
      LogMessage("%s: WaitForResponse Failed!\n", routine);
      restore();
      ShowSerialFailure(name + " WaitForResponse Failed!");
      return 1;
    }
    uint32_t value = 0;
    if (firstReg == kCardSerialRegs) {
      GetZSlotSerialNumber(&value);
      LogMessage("%s: GetZSlotSerialNumber %02lx%02ld%02ld%04ld\n", routine, static_cast<unsigned long>(value >> 24),
                 static_cast<long>(serial_packing::YearOf(value)), static_cast<long>(serial_packing::WeekOf(value)),
                 static_cast<long>(serial_packing::NumberOf(value)));
    } else {
      GetSerialNumber(&value);
    }
    if (value == serial) {
      SendAcknowledgedCommand(codec::kCommitSerial);
      return 0;
    }
  }
  LogMessage("%s: Timeout! (MAX_SN_RETIRES)\n", routine);
  restore();
  ShowSerialFailure(name + " Timeout!");
  return 1;
}

int COrvellaRemote::WriteSerialNumber(uint32_t serial) {
  SetPollMode(kPollIdentity);
  if ((serial >> 24) != ProductId()) {
    ShowSerialFailure("WriteSerialNumber: SerialNumber Model does not match PID!");
    return 1;
  }
  LogMessage("Writing Serial Number...\n");
  return WriteAndCommitSerial("WriteSerialNumber", kUnitSerialRegs, serial);
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
  LogMessage("WriteZSlotSerialNumber: %02lx%02ld%02ld%04ld\n", static_cast<unsigned long>(CardId()),
             static_cast<long>(serial_packing::YearOf(serial)), static_cast<long>(serial_packing::WeekOf(serial)),
             static_cast<long>(serial_packing::NumberOf(serial)));
  const int result = WriteAndCommitSerial("WriteZSlotSerialNumber", kCardSerialRegs, serial);
  m_bCardSerialWrite = false;
  // Only a completed write hands the serial traffic back to the unit.
  if (result == 0 && m_pMidiIF) m_pMidiIF->SetCardTarget(false);
  return result;
}
