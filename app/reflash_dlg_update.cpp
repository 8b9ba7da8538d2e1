// The Update button's run and the unit's own PROM programming: the image
// goes down in acknowledged 128-byte packets, then the unit erases,
// programs and verifies by itself while the window shows its progress.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/image_checks.h"
#include "app/log.h"
#include "app/reflash_dlg.h"
#include "app/resources/dialog_templates.h"
#include "platform/core/clock.h"
#include "platform/core/message_pump.h"
#include "platform/core/outside_text.h"
#include "platform/session/abort_signals.h"
#include "platform/session/write_session.h"
#include "protocol/card_updater.h"
#include "protocol/orvella_remote.h"
#include "protocol/product_ids.h"

using platform::ui::Answer;
using platform::ui::Buttons;
using platform::ui::Icon;
using platform::ui::MessageBoxRequest;

namespace {

constexpr int kStatusLine = resources::IDC_STATUS;
constexpr int kPollTimer = 1;
constexpr unsigned kPollTimerMs = 16;
constexpr uint32_t kPacketBytes = COrvellaRemote::kPacketSize;

constexpr uint8_t kRegPromSwitches = 5;
constexpr uint8_t kPromSwitchAtProm2 = 0x20;
constexpr uint8_t kRegModuleTarget = 53;
constexpr uint8_t kModuleTargetValue = 5;

constexpr const char* kFailureCaption = "EEPROM Programming Failure";

// Register 56 while the unit programs itself: 7 is its own verify failing.
constexpr uint8_t kStateVerifyError = 7;

}  // namespace

// The window's progress bar as the VE-ZER updater sees it.
class CReflashDlg::BarProgress final : public CZTUSBProgress {
 public:
  explicit BarProgress(CReflashDlg& dlg) : dlg_(dlg) {}
  void SetRange(int low, int high) override { dlg_.SetProgressRange(low, high); }
  void SetPos(int pos) override { dlg_.SetProgressPos(pos); }

 private:
  CReflashDlg& dlg_;
};

void CReflashDlg::ShowRunMessage(const std::string& text, const char* caption, Icon icon) {
  // A run ended by a signal has nobody to press OK; its log tells the story.
  if (platform::AbortRequested()) return;
  MessageBoxRequest request;
  request.text = text;
  request.caption = caption ? std::optional<std::string>(caption) : std::nullopt;
  request.buttons = Buttons::Ok;
  request.icon = icon;
  if (m_window) {
    m_window->MessageBox(request);
  } else {
    platform::Use<platform::ui::Host>().MessageBox(request);
  }
}

void CReflashDlg::AppendStatusFlags(std::string& text, uint8_t flags) {
  if (flags & PIP) text += "\nPIP\n";
  if (flags & PGMERR) text += "\nPGMERR\n";
  if (flags & TXERR) text += "\nTXERR\n";
  if (flags & PAKRDY) text += "\nPAKRDY\n";
  if (flags & TIMEOUT) text += "\nTIMEOUT\n";
}

uint8_t CReflashDlg::WaitForCompletion(uint32_t limitMs) { return WaitForStatus(limitMs, PGMERR | TXERR, true, false); }

uint8_t CReflashDlg::WaitForStatus(uint32_t limitMs, uint8_t endFlags, bool endOnZero, bool eraseProgress) {
  if (m_pRemote->WaitForResponse(1) != 0) {
    LogMessage("CReflashDlg::WaitForCompletion: WaitForResponse FAILED!\n");
    return TIMEOUT;
  }
  const uint32_t start = platform::TickCount();
  const uint32_t losses = m_pRemote->GetLossCount();
  for (;;) {
    const uint32_t elapsed = platform::TickCount() - start;
    if (platform::AbortRequested()) return ABORTED;
    if (elapsed > limitMs) return TIMEOUT;
    if (eraseProgress && m_window) {
      SetProgressPos(static_cast<int>(std::min<uint32_t>(elapsed / 100, uint32_t{kEraseBarTenths})));
    }
    uint8_t status = 0;
    m_pRemote->GetProgrammingStatus(&status);
    // A dropped link clears the register copy, and a cleared register 9
    // would read as "packet taken"; a link dropped and opened again since
    // the wait began has lost whatever the unit said meanwhile.
    uint8_t lost = 0;
    m_pRemote->IsConnectionLost(&lost);
    if (lost || m_pRemote->GetLossCount() != losses) return TIMEOUT;
    status &= 0x3F;
    if (status & endFlags) return status;
    if (endOnZero && status == 0) return 0;
    platform::PumpOrIdle();
  }
}

bool CReflashDlg::LogAbortedWait(const char* step) {
  LogMessage("%s: aborted by %s\n", step, platform::SignalName(platform::AbortSignal()));
  return false;
}

void CReflashDlg::OnTimer(int timerId) {
  if (timerId == kPollTimer && m_pRemote) m_pRemote->Poll();
}

void CReflashDlg::OnStartUpdate() {
  if (!m_pRemote || !m_window) return;  // Update is offered only with a unit shown
  BusyScope busy(*this);
  // The template's "Programming..." would show before anything is
  // programmed, even before the question: each run names its own phase.
  m_window->SetText(kStatusLine, "");
  m_progress = {};
  SetDialogState(kStateBusy);
  m_pRemote->SetPollMode(kPollTransfer);

  if (!m_Images.m_bExternalFile && !BuiltInImagesUsable()) {
    // The built-in images are stand-ins; a real unit gets only a file.
    const char* text =
        "No built-in firmware image is available for this device.\n\n"
        "Name a firmware file with FILE= on the command line, or drop one onto this window.";
    LogMessage("OnStartUpdate: No built-in firmware image is available for this device\n");
    ShowRunMessage(text, resources::kMainCaption, Icon::Exclamation);
    m_outcome = RunOutcome::UpdateFailed;
    SetDialogState(kStateReady);
    return;
  }

  if (!m_Images.LoadFirmwareImage(m_window.get()) || !ImageFitsTarget()) {
    m_Images.FreeImage();
    m_outcome = RunOutcome::UpdateFailed;
    SetDialogState(kStateReady);
    return;
  }

  m_szBusyWhat = "The firmware of the " + m_entry.DeviceName() + " is being updated.";
  m_window->SetTimer(kPollTimer, kPollTimerMs);

  if (m_entry.ChecksPromSwitches()) {
    uint8_t switches = 0;
    m_pRemote->ReadRegister(kRegPromSwitches, &switches);
    if (!(switches & kPromSwitchAtProm2) && m_options.m_nPromSelect == 1) {
      MessageBoxRequest warning;
      warning.text =
          "The PROM select switches on your Orvella(n) are set to PROM1.\n\n"
          "This program only updates PROM2.  The PROM select switches\n"
          "must MANUALLY be moved to PROM2 (SW3 OFF, SW4 ON) before the\n"
          "new firmware will become active.";
      warning.caption = "PROM select switch warning";
      warning.icon = Icon::Exclamation;
      m_window->MessageBox(warning);
    }
  }

  char question[512];
  std::snprintf(question, sizeof question, "About to program the %s with Firmware Version %d.%d\n",
                m_entry.DeviceName().c_str(), m_Images.m_nImageMajor, m_Images.m_nImageMinor);
  LogMessage("%s", question);
  // How long the user commits to: a main image over MIDI takes most of half
  // an hour.
  uint16_t link = 0;
  m_pRemote->GetInterfaceType(&link);
  const uint32_t estimate = m_Images.m_nImageDeviceId == kCardVeZer
                                ? 0
                                : EstimateTransferSeconds(link, m_Images.m_nImageSize);
  std::string confirmText = question;
  if (estimate != 0) {
    confirmText += "\nThe transfer will take " + DurationText(estimate) + " at the speed of the link.\n";
    // The log says what the question says.
    LogMessage("Transfer estimate: %s\n", DurationText(estimate).c_str());
  }
  MessageBoxRequest confirm;
  confirm.text = confirmText;
  confirm.caption = m_Images.m_bExternalFile ? EscapeOutsideText(m_Images.m_szImageName)
                                             : std::string("Firmware Update Confirmation");
  confirm.buttons = Buttons::OkCancel;
  confirm.icon = Icon::Exclamation;
  confirm.defaultButton = 1;
  const Answer answer = m_window->MessageBox(confirm);

  m_window->KillTimer(kPollTimer);

  bool succeeded = false;
  if (answer == Answer::Ok && !platform::AbortRequested()) {
    UpdateSummary summary;
    summary.device = m_entry.DeviceName();
    summary.serial = m_window->GetText(resources::IDC_SERIAL);
    summary.oldVersion = m_window->GetText(resources::IDC_FW_VERSION);
    summary.newVersion = m_window->GetText(resources::IDC_NEW_FW_VERSION);
    if (m_entry.ShowsPromBank()) {
      summary.bank = m_options.m_nPromSelect == 2 ? "both PROMs" : m_options.m_nPromSelect == 0 ? "PROM1" : "PROM2";
    }
    summary.image = EscapeOutsideText(m_Images.m_szImageName);
    summary.imageBytes = m_Images.m_nImageSize;
    const uint32_t started = platform::TickCount();

    platform::Use<platform::ui::Host>().SetWaitCursor(true);
    {
      platform::WriteSession writing("Updating the firmware of " + m_entry.DeviceName());
      succeeded = RunProgramming();
    }
    platform::Use<platform::ui::Host>().SetWaitCursor(false);
    m_outcome = succeeded           ? RunOutcome::UpdateSucceeded
                : m_bSentNotConfirmed ? RunOutcome::SentNotConfirmed
                                      : RunOutcome::UpdateFailed;

    summary.durationMs = platform::TickCount() - started;
    // A signal that came after the last write changes nothing of what the
    // device now holds: the run reports what happened.
    summary.result = succeeded ? "succeeded" : m_bSentNotConfirmed ? "sent, not confirmed" : "failed";
    if (!succeeded && platform::AbortRequested()) {
      summary.result = std::string("aborted by ") + platform::SignalName(platform::AbortSignal());
    }
    const std::string line = SummaryLine(summary);
    LogMessage("%s\n", line.c_str());
    if (m_run.report) m_run.report->Updated(summary);
  } else if (m_outcome != RunOutcome::UpdateSucceeded) {
    // Changing one's mind about another entry undoes no earlier success.
    m_outcome = RunOutcome::UpdateCancelled;
  }

  m_Images.FreeImage();
  m_szBusyWhat.clear();
  if (succeeded) {
    m_nDoneEntry = m_nShownEntry;
    m_window->SetText(resources::IDC_CONGRATULATIONS, CongratulationsText());
  }
  SetDialogState(succeeded ? kStateDone : kStateReady);
  if (platform::AbortRequested()) EndAbortedRun();
}

std::string CReflashDlg::CongratulationsText() const {
  return "Congratulations!\n\nThe firmware has been successfully updated on " + m_entry.UpdatedText() +
         ".  To complete this process, you must POWER OFF the Orvella(n) using the main power switch on the front of "
         "the unit.";
}

// The image must be for the selected device, the run must write it there,
// and the image must pass its own checks; otherwise nothing is sent.
bool CReflashDlg::ImageFitsTarget() {
  const uint8_t imageId = m_Images.m_nImageDeviceId;
  std::string name = EscapeOutsideText(m_Images.m_szImageName);
  const size_t slash = name.find_last_of("/\\");
  if (slash != std::string::npos) name.erase(0, slash + 1);
  char text[768];
  if (imageId != m_entry.DeviceId()) {
    std::snprintf(text, sizeof text,
                  "The firmware image %.300s is for a %s, but the selected device is the %s (%.300s).",
                  name.c_str(), DeviceKindName(imageId).c_str(), DeviceKindName(m_entry.DeviceId()).c_str(),
                  m_entry.DeviceName().c_str());
    LogMessage("OnStartUpdate: Image %.300s is for device %d, selected device is %d: refused\n", name.c_str(), imageId,
               m_entry.DeviceId());
  } else if (const uint8_t target = m_entry.WriteTarget(imageId); target != imageId) {
    std::snprintf(text, sizeof text,
                  "The firmware image %.300s is for a %s, but this program can only write it to the %s, "
                  "which it is not for.",
                  name.c_str(), DeviceKindName(imageId).c_str(), DeviceKindName(target).c_str());
    LogMessage("OnStartUpdate: Image %.300s is for device %d, the run would write device %d: refused\n",
               name.c_str(), imageId, target);
  } else {
    const std::string reason = CheckImageContent(name, imageId, m_Images.m_pImage, m_Images.m_nImageSize);
    if (reason.empty()) return true;
    std::snprintf(text, sizeof text, "%s", reason.c_str());
    LogMessage("OnStartUpdate: %s Refused\n", reason.c_str());
  }
  ShowRunMessage(std::string(text) + "\n\nNothing has been programmed.", resources::kMainCaption, Icon::Exclamation);
  return false;
}

// The unit is left waiting in its transfer state after a failed run until
// it hears the cancel. A lost link has been closed by then, so the cancel
// would go nowhere: reconnect first, as the engine's poll does, for a
// few seconds at most.
void CReflashDlg::CancelAfterFailure() {
  uint8_t lost = 0;
  m_pRemote->IsConnectionLost(&lost);
  if (lost) {
    LogMessage("CancelProgramming: link lost, reconnecting\n");
    if (m_pRemote->Reconnect(kCancelReconnectMs) != 0) {
      LogMessage("CancelProgramming: unit did not answer, cancel not sent\n");
      return;
    }
  }
  if (m_pRemote->CancelProgramming() == 0) {
    LogMessage("CancelProgramming: cancel sent\n");
  } else {
    LogMessage("CancelProgramming: cancel could not be sent\n");
  }
}

// The image's product id, not the selected entry's, decides the run: a
// dropped card image programs the card whatever entry is selected.
bool CReflashDlg::RunProgramming() {
  switch (m_Images.m_nImageDeviceId) {
    case kCardVeZer: {
      // With no updater held (no VE-ZER card reached over MIDI) nothing can
      // be programmed; saying so beats returning to the ready state in silence.
      CCardUpdater* updater = m_pRemote->GetCardUpdater();
      BarProgress progress(*this);
      // The card's download cannot be stopped half-way without leaving it
      // without firmware.
      platform::MustFinish download("the VE-ZER download");
      m_window->SetText(kStatusLine, "Programming...");
      if (updater && updater->ProgramUsbFirmware(m_Images.m_pImage, m_Images.m_nImageSize, &progress)) return true;
      ShowRunMessage("VE-ZER Firmware Update Failed!", kFailureCaption, Icon::Exclamation);
      LogMessage("VE-ZER Firmware Update Failed!\n");
      return false;
    }
    case kCardZiRerar:
      m_bSentNotConfirmed = false;
      if (ProgramZSlotEEPROM()) return true;
      if (m_bSentNotConfirmed) return false;  // it has said so itself
      ShowRunMessage("ZI-RERAR Firmware Update Failed!", kFailureCaption, Icon::Exclamation);
      LogMessage("ZI-RERAR Firmware Update Failed!\n");
      return false;
    default:
      if (ProgramEEPROM()) return true;
      CancelAfterFailure();
      ShowRunMessage("Updating the Firmware on the Orvella(n) FAILED!", kFailureCaption, Icon::Exclamation);
      LogMessage("Updating the Firmware on the Orvella(n) FAILED!\n");
      return false;
  }
}

bool CReflashDlg::ProgramEEPROM() {
  const uint32_t count = static_cast<uint32_t>((uint64_t{m_Images.m_nImageSize} + 127) / kPacketBytes);
  LogMessage("ProgramEEPROM\n");

  m_pRemote->SelectZSlotFirmware(false);
  if (m_entry.ModuleMode()) m_pRemote->WriteRegister(kRegModuleTarget, kModuleTargetValue);
  m_pRemote->SetFirmwareSize(m_Images.m_nImageSize);

  if (m_options.m_nPromSelect == 2) {
    LogMessage("SelectBank BOTH\n");
    m_pRemote->SelectBank(0);
    m_pRemote->SelectBank(1);
  } else {
    LogMessage("SelectBank %d\n", m_options.m_nPromSelect);
    m_pRemote->SelectBank(m_options.m_nPromSelect);
  }

  if (m_pRemote->WaitForResponse(1) != 0) {
    LogMessage("ProgramEEPROM: WaitForResponse Failed!\n");
    ShowRunMessage("ProgramEEPROM: WaitForResponse Failed!\n", resources::kMainCaption, Icon::None);
    return false;
  }

  m_window->SetText(kStatusLine, "Downloading...");
  LogMessage("Downloading\n");
  m_pRemote->ForgetAnswers();
  const uint32_t started = platform::TickCount();
  SetProgressRange(0, 100);
  int shown = 0;

  for (uint32_t i = 0; i < count; ++i) {
    if (platform::AbortRequested()) return false;
    const int percent = static_cast<int>(uint64_t{i} * 100 / count);
    if (percent != shown) {
      shown = percent;
      SetProgressPos(percent);
    }
    platform::PumpOneMessage();
    if (m_pRemote->WriteFirmwarePacket(m_Images.m_pImage + size_t{i} * kPacketBytes, kPacketBytes) != 0) {
      ShowRunMessage("WriteFirmwarePacket Failed!", resources::kMainCaption, Icon::None);
      return false;
    }
    const uint8_t status = WaitForCompletion(1000);
    if (status & ABORTED) return LogAbortedWait("Wait for Write Firmware Packet");
    if (status == 0 && m_pRemote->AnswersToRequest() > 1) {
      // One answer per packet: a second one is a repeat or another sender.
      LogMessage("Wait for Write Firmware Packet Failed!\n\nduplicate reply\n");
      ShowRunMessage("Wait for Write Firmware Packet Failed!\n\nduplicate reply\n", resources::kMainCaption, Icon::None);
      return false;
    }
    if (status != 0) {
      std::string text = "Wait for Write Firmware Packet Failed!\n";
      AppendStatusFlags(text, status);
      LogMessage("%s", text.c_str());
      ShowRunMessage(text, resources::kMainCaption, Icon::None);
      return false;
    }
  }

  SetProgressPos(100);  // every packet is in
  LogMessage("Download took: %s\n", FormatElapsed(platform::TickCount() - started).c_str());
  // The unit now erases and programs itself; a cancel from us now would
  // stop it half-way. Its own progress, bounded by the silence limit, is
  // watched to the end and reported as it is.
  platform::MustFinish completion("the unit's own programming");
  return WatchUnitProgramming();
}

std::string CReflashDlg::FormatElapsed(uint32_t ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%02u:%02u:%02u.%03u", ms / 3600000u, ms / 60000u % 60u, ms / 1000u % 60u,
                ms % 1000u);
  return text;
}

// The unit erases, programs and verifies by itself; we only show what it
// reports. A unit that stops reporting (a lost link zeroes the register
// copy, so the state never reaches 6) would otherwise hold the busy window
// for ever: no change for kProgressSilenceMs ends the run as failed.
bool CReflashDlg::WatchUnitProgramming() {
  m_pRemote->SetPollMode(kPollProgress);
  SetProgressRange(0, 100);
  uint8_t lastState = 0;
  uint8_t lastPercent = 0;
  uint8_t seenState = 0;
  uint8_t seenPercent = 0;
  uint32_t lastChange = platform::TickCount();

  for (;;) {
    uint8_t state = 0, percent = 0, aux = 0;
    m_pRemote->GetProgrammingProgress(&state, &percent, &aux);
    if (state == 6) break;
    if (platform::AbortRequested()) return LogAbortedWait("ProgramEEPROM");
    if (state == kStateVerifyError) {
      // The unit found its own copy wrong; waiting on would only end in
      // blaming it for silence.
      LogMessage("ProgramEEPROM: Unit reported a Verify Error!\n");
      ShowRunMessage("ProgramEEPROM: Unit reported a Verify Error!\n", resources::kMainCaption, Icon::None);
      return false;
    }
    if (state >= 2 && state <= 5) {
      if (state != lastState) {
        lastState = state;
        const char* status = state == 4 ? "Programming..." : state == 5 ? "Verifying..." : "Erasing...";
        const char* record = state == 4 ? "Programming\n" : state == 5 ? "Verifying\n" : "Erasing\n";
        m_window->SetText(kStatusLine, status);
        LogMessage("%s", record);
        // Each of the unit's steps counts its percent afresh, and so does
        // the time it has left.
        SetProgressRange(0, 100);
      }
      if (percent != lastPercent) {
        lastPercent = percent;
        SetProgressPos(percent);
      }
    }
    if (state != seenState || percent != seenPercent) {
      seenState = state;
      seenPercent = percent;
      lastChange = platform::TickCount();
    } else if (platform::TickCount() - lastChange > kProgressSilenceMs) {
      LogMessage("ProgramEEPROM: Unit stopped reporting progress!\n");
      ShowRunMessage("ProgramEEPROM: Unit stopped reporting progress!\n", resources::kMainCaption, Icon::None);
      return false;
    }
    platform::PumpOrIdle();
  }

  LogMessage("Programming Complete\n");
  return true;
}
