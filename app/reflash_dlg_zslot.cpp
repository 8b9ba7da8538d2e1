// The option card's run: unlike the unit's own PROM, the card's memory is
// erased, written and read back packet by packet under our control.
#include <cstring>
#include <string>

#include "app/log.h"
#include "app/reflash_dlg.h"
#include "app/resources/dialog_templates.h"
#include "platform/core/message_pump.h"
#include "protocol/orvella_remote.h"

using platform::ui::Icon;

namespace {

constexpr uint32_t kPacketBytes = COrvellaRemote::kPacketSize;
constexpr uint32_t kEraseLimitMs = 12000;
constexpr uint8_t kRegStatus = 9;
constexpr uint8_t kCompleteBit = 0x80;

}  // namespace

bool CReflashDlg::ProgramZSlotEEPROM() {
  const uint32_t count = static_cast<uint32_t>((uint64_t{m_Images.m_nImageSize} + 127) / kPacketBytes);
  const uint8_t* image = m_Images.m_pImage;
  auto fail = [this](const std::string& text, bool log) {
    if (log) LogMessage("%s", text.c_str());
    ShowRunMessage(text, resources::kMainCaption, Icon::None);
    return false;
  };
  auto failWithFlags = [&](const char* what, uint8_t status) {
    std::string text = what;
    AppendStatusFlags(text, status);
    return fail(text, true);
  };
  // A pass over every packet: the status line and log name it, the window
  // stays alive between packets. The bar counts both passes as one run, so
  // it does not fall back to 0 half-way, and its time left is the run's.
  auto beginPass = [&](const char* verb) {
    m_window->SetText(resources::IDC_STATUS, std::string(verb) + " ZSlot Firmware...");
    LogMessage("%s %d Packets", verb, static_cast<int>(count));
  };
  auto showPacket = [&](uint32_t done) {
    SetProgressPos(static_cast<int>(done));
    platform::PumpOneMessage();
  };

  // Several records here carry no line end and run on into the next one.
  LogMessage("ProgramZSlotEEPROM");
  m_window->SetText(resources::IDC_STATUS, "Erasing ZSlot Firmware...");
  LogMessage("Erasing ZSlot Firmware");
  SetProgressRange(0, kEraseBarTenths);
  SetProgressPos(0);

  LogMessage("SelectZSlotFirmware %d", m_options.m_bCardMode ? 1 : 0);
  if (m_pRemote->SelectZSlotFirmware(m_options.m_bCardMode) != 0) {
    return fail("ProgramEEPROM: SelectZSlotFirmware Failed!\n", true);
  }
  if (m_pRemote->WaitForResponse(4) != 0) {
    LogMessage("ProgramEEPROM: WaitForResponse Failed!");
    return fail("ProgramEEPROM: WaitForResponse Failed!\n", false);
  }

  LogMessage("Start Erase");
  m_pRemote->StartErase();
  uint8_t status = WaitForStatus(kEraseLimitMs, PGMERR | TXERR, true, true);
  if (status != 0) return failWithFlags("Wait for Erase EEPROM Failed!\n", status);

  LogMessage("Erase Complete");
  SetProgressRange(0, static_cast<int>(2 * count));
  beginPass("Programming");
  for (uint32_t i = 0; i < count; ++i) {
    showPacket(i);
    if (m_pRemote->WriteFirmwarePacket(image + size_t{i} * kPacketBytes, kPacketBytes) != 0) {
      return fail("WriteFirmwarePacket Failed!", false);
    }
    status = WaitForCompletion(1000);
    if (status != 0) return failWithFlags("Wait for Write Firmware Packet Failed!\n", status);
  }

  beginPass("Verifying");
  for (uint32_t i = 0; i < count; ++i) {
    showPacket(count + i);
    if (m_pRemote->RequestVerifyPacket() != 0) return fail("RequestVerifyPacket Failed!", false);
    // Only a clean "packet ready" counts; PIP alongside it means the card
    // is still busy and its buffer cannot be trusted.
    status = WaitForStatus(1000, PGMERR | TXERR | PAKRDY, false, false);
    if (status != PAKRDY) return failWithFlags("Wait for Verify Packet Failed!\n", status);
    uint8_t readBack[kPacketBytes];
    std::memset(readBack, 0, sizeof readBack);
    if (m_pRemote->ReadVerifyPacket(readBack, kPacketBytes) != 0) return fail("ReadVerifyPacket Failed!", false);
    // The zero fill after the image end is compared too.
    if (std::memcmp(readBack, image + size_t{i} * kPacketBytes, kPacketBytes) != 0) {
      return fail("Firmware Verify Failed!", false);
    }
  }

  LogMessage("Verify Complete");
  uint8_t reg9 = 0;
  m_pRemote->ReadRegister(kRegStatus, &reg9);
  m_pRemote->WriteRegister(kRegStatus, reg9 | kCompleteBit);
  if (m_pRemote->SetProgrammingComplete() != 0) return fail("SetProgrammingComplete Failed!", true);

  LogMessage("EEPROM Programming Success");
  return true;
}
