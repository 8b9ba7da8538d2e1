// The option card's run: unlike the unit's own PROM, the card's memory is
// erased, written and read back packet by packet under our control.
#include <algorithm>
#include <cstring>
#include <string>

#include "app/log.h"
#include "app/reflash_dlg.h"
#include "app/resources/dialog_templates.h"
#include "platform/core/clock.h"
#include "platform/core/message_pump.h"
#include "platform/session/abort_signals.h"
#include "protocol/orvella_remote.h"

using platform::ui::Icon;

namespace {

constexpr uint32_t kPacketBytes = COrvellaRemote::kPacketSize;
constexpr uint32_t kEraseLimitMs = 12000;
constexpr uint8_t kRegStatus = 9;
constexpr uint8_t kCompleteBit = 0x80;
// The end of programming is sent again when the card's status does not
// show it, at most this often in all.
constexpr int kCompleteAttempts = 3;
constexpr uint32_t kStatusReadLimitMs = 1000;
// The last answer of a pass is watched for a repeat twice as long as the
// slowest answer of the pass took, within these bounds.
constexpr uint32_t kLateAnswerMinMs = 2;
constexpr uint32_t kLateAnswerMaxMs = 20;

}  // namespace

bool CReflashDlg::ProgramZSlotEEPROM() {
  const uint32_t count = static_cast<uint32_t>((uint64_t{m_Images.m_nImageSize} + 127) / kPacketBytes);
  const uint8_t* image = m_Images.m_pImage;
  bool erased = false;  // from the erase on, a run that stops leaves the card without a whole image
  auto fail = [&](const std::string& text, bool log) {
    if (log) LogMessage("%s", text.c_str());
    ShowRunMessage(text, resources::kMainCaption, Icon::None);
    if (erased) LeaveCardPartial(false);
    return false;
  };
  auto failWithFlags = [&](const char* what, uint8_t status) {
    if (status & ABORTED) return AbandonCardRun(what);
    std::string text = what;
    AppendStatusFlags(text, status);
    return fail(text, true);
  };
  // One answer per request: a second one, equal or not, means the network
  // repeated it or someone else answers for the card, and nothing it said
  // can be trusted. What has come since the wait ended is looked at first.
  // Slowest answer of the pass so far, in ms.
  uint32_t slowestMs = 0;
  auto lateGrace = [&] { return std::min(kLateAnswerMaxMs, std::max(kLateAnswerMinMs, 2 * slowestMs)); };
  auto secondAnswer = [&](const char* what, uint32_t graceMs = 0) {
    uint8_t ignored = 0;
    m_pRemote->GetProgrammingStatus(&ignored);
    // At the end of a pass nothing later would count a repeat that is
    // still on its way: give it a moment.
    const uint32_t start = platform::TickCount();
    while (platform::TickCount() - start < graceMs && m_pRemote->AnswersToRequest() <= 1) {
      platform::PumpOrIdle();
      m_pRemote->GetProgrammingStatus(&ignored);
    }
    if (m_pRemote->AnswersToRequest() <= 1) return false;
    std::string text = what;
    text += "\nduplicate reply\n";
    LogMessage("%s", text.c_str());
    ShowRunMessage(text, resources::kMainCaption, Icon::None);
    LeaveCardPartial(true);
    return true;
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

  LogMessage("SelectZSlotFirmware %d", m_entry.CardMode() ? 1 : 0);
  if (m_pRemote->SelectZSlotFirmware(m_entry.CardMode()) != 0) {
    return fail("ProgramEEPROM: SelectZSlotFirmware Failed!\n", true);
  }
  if (m_pRemote->WaitForResponse(4) != 0) {
    LogMessage("ProgramEEPROM: WaitForResponse Failed!");
    return fail("ProgramEEPROM: WaitForResponse Failed!\n", false);
  }
  if (platform::AbortRequested()) return false;  // nothing sent yet: the card is as it was

  LogMessage("Start Erase");
  m_pRemote->ForgetAnswers();
  m_pRemote->StartErase();
  erased = true;
  uint8_t status = WaitForStatus(kEraseLimitMs, PGMERR | TXERR, true, true);
  if (status != 0) return failWithFlags("Wait for Erase EEPROM Failed!\n", status);
  if (secondAnswer("Wait for Erase EEPROM Failed!\n")) return false;

  LogMessage("Erase Complete");
  SetProgressRange(0, static_cast<int>(2 * count));
  beginPass("Programming");
  for (uint32_t i = 0; i < count; ++i) {
    showPacket(i);
    if (platform::AbortRequested()) return AbandonCardRun("Wait for Write Firmware Packet Failed!\n");
    if (m_pRemote->WriteFirmwarePacket(image + size_t{i} * kPacketBytes, kPacketBytes) != 0) {
      return fail("WriteFirmwarePacket Failed!", false);
    }
    const uint32_t asked = platform::TickCount();
    status = WaitForCompletion(1000);
    slowestMs = std::max(slowestMs, platform::TickCount() - asked);
    if (status != 0) return failWithFlags("Wait for Write Firmware Packet Failed!\n", status);
    if (secondAnswer("Wait for Write Firmware Packet Failed!\n", i + 1 == count ? lateGrace() : 0)) return false;
  }

  beginPass("Verifying");
  for (uint32_t i = 0; i < count; ++i) {
    showPacket(count + i);
    if (platform::AbortRequested()) return AbandonCardRun("Wait for Verify Packet Failed!\n");
    if (m_pRemote->RequestVerifyPacket() != 0) return fail("RequestVerifyPacket Failed!", false);
    // Only a clean "packet ready" counts; PIP alongside it means the card
    // is still busy and its buffer cannot be trusted.
    const uint32_t asked = platform::TickCount();
    status = WaitForStatus(1000, PGMERR | TXERR | PAKRDY, false, false);
    slowestMs = std::max(slowestMs, platform::TickCount() - asked);
    if (status != PAKRDY) return failWithFlags("Wait for Verify Packet Failed!\n", status);
    // Checked before the compare: of two answers, either may be the one
    // held, and a forged one would hold the image's own bytes.
    if (secondAnswer("Wait for Verify Packet Failed!\n", i + 1 == count ? lateGrace() : 0)) return false;
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
  return CompleteCardProgramming();
}

// The completion command is the last datagram of the run, and nothing
// answers it: success is reported only once a read of the card's status
// shows the transfer ended (no busy, error or packet-ready bit). A card
// that never shows it was sent the command but did not confirm it.
bool CReflashDlg::CompleteCardProgramming() {
  constexpr uint8_t kOpenBits = PIP | PGMERR | TXERR | PAKRDY;
  // The card holds the whole image by now: a signal waits for the outcome
  // (a few seconds at most) rather than leaving it unknown.
  platform::MustFinish completion("the card's end of programming");
  for (int attempt = 1; attempt <= kCompleteAttempts; ++attempt) {
    if (m_pRemote->SetProgrammingComplete() != 0) {
      LogMessage("SetProgrammingComplete Failed!");
      ShowRunMessage("SetProgrammingComplete Failed!", resources::kMainCaption, Icon::None);
      return false;
    }
    m_pRemote->ExpectOneAnswer(kRegStatus);
    if (m_pRemote->RequestRegisterStatus(kRegStatus, kRegStatus) == 0) {
      const uint32_t start = platform::TickCount();
      uint8_t status = 0;
      while (m_pRemote->AnswersToRequest() == 0 && platform::TickCount() - start <= kStatusReadLimitMs &&
             !platform::AbortRequested()) {
        platform::PumpOrIdle();
        m_pRemote->GetProgrammingStatus(&status);
      }
      m_pRemote->GetProgrammingStatus(&status);
      if (m_pRemote->AnswersToRequest() > 1) {
        const char* text = "SetProgrammingComplete Failed!\n\nduplicate reply\n";
        LogMessage("%s", text);
        ShowRunMessage(text, resources::kMainCaption, Icon::None);
        return false;
      }
      if (m_pRemote->AnswersToRequest() == 1 && (status & kOpenBits) == 0) {
        LogMessage("EEPROM Programming Success");
        return true;
      }
    }
    if (platform::AbortRequested()) break;
    LogMessage("SetProgrammingComplete: not confirmed by the card (attempt %d)\n", attempt);
  }
  m_bSentNotConfirmed = true;
  const char* text =
      "The ZI-RERAR card did not confirm the end of programming: sent, not confirmed.\n\n"
      "Run the update again.";
  LogMessage("SetProgrammingComplete: sent, not confirmed\n");
  ShowRunMessage(text, resources::kMainCaption, Icon::Exclamation);
  return false;
}

// After the erase a stopped run leaves the card without a whole image.
// `cancel` sends the cancel command to the card's own port, which ends its
// transfer state; it brings back nothing erased, so the notice stands
// either way.
void CReflashDlg::LeaveCardPartial(bool cancel) {
  if (cancel) {
    LogMessage(m_pRemote->CancelProgramming() == 0 ? "CancelProgramming: cancel sent\n"
                                                   : "CancelProgramming: cancel could not be sent\n");
  }
  const char* notice = "The ZI-RERAR card holds a partial image: run the update again.";
  LogMessage("%s\n", notice);
  if (m_window) m_window->SetText(resources::IDC_STATUS, notice);
}

// A signal ended the card run: logged as what it is, not as a silent card.
bool CReflashDlg::AbandonCardRun(const char* step) {
  std::string name = step;
  const size_t end = name.find(" Failed!");
  if (end != std::string::npos) name.erase(end);
  LogMessage("%s: aborted by %s\n", name.c_str(), platform::SignalName(platform::AbortSignal()));
  LeaveCardPartial(true);
  return false;
}
