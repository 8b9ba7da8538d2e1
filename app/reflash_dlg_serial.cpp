// Serial-number writing: the "SN=" option (one number for the first
// listed device, then the run ends) and the "GETSN" prompt (asked for every
// selected entry).
#include <string>

#include "app/image_checks.h"
#include "app/log.h"
#include "app/reflash_dlg.h"
#include "app/resources/dialog_templates.h"
#include "app/serial_number.h"
#include "app/serial_number_dlg.h"
#include "platform/session/write_session.h"
#include "protocol/orvella_remote.h"

using platform::ui::Icon;

namespace {

constexpr int kStatusLine = resources::IDC_STATUS;
// Numbers printed with this model code belong to an Orvella(n).
constexpr const char* kPrintedModel = "43";
constexpr const char* kOrvellaModel = "60";

}  // namespace

bool CReflashDlg::HandleSerialOption(const std::string& text) {
  // The printed model code 43 stands for an Orvella(n); the number is
  // checked, packed and printed back as 60.
  std::string typed = text;
  if (typed.compare(0, 2, kPrintedModel) == 0) typed.replace(0, 2, kOrvellaModel);
  // Only a number that prints back as given is written: a spilled field
  // (week 64, unit 4096, ...) would put another number into the device.
  const std::string problem = SerialNumberProblem(typed);
  if (!problem.empty()) {
    ShowRunMessage("Invalid Serial Number!\n\n" + problem, resources::kMainCaption, Icon::Warning);
    m_outcome = RunOutcome::SerialFailed;
    CloseWindow(0);
    return false;
  }
  m_options.m_dwCommandLineSerial = PackSerialNumber(typed);
  return true;
}

// Both flows hand the number to the device the same way; only the texts
// of a failed commit differ.
bool CReflashDlg::WriteSerial(uint32_t serial, uint32_t commitLimitMs, const char* failureText) {
  m_bSentNotConfirmed = false;
  const bool ok = [&] {
    platform::WriteSession writing("Writing the serial number of " + m_entry.DeviceName());
    // Registers, read-back and commit are one step: a signal waits for the
    // commit's answer, so the run never calls FAILED a number the unit holds.
    platform::MustFinish commit("the serial number write");
    m_pRemote->ForgetAnswers();
    const int written = m_entry.WriteSerialNumber(*m_pRemote, serial);
    if (written != 0) return false;  // the remote has shown its own message
    const uint8_t status = WaitForCompletion(commitLimitMs);
    if (status & ABORTED) return LogAbortedWait("Wait for WriteSerialNumber");
    uint8_t ignored = 0;
    m_pRemote->GetProgrammingStatus(&ignored);  // whatever came after the answer counts too
    if (m_pRemote->AnswersToRequest() > 1) {
      const std::string text = std::string(failureText) + "\nduplicate reply\n";
      LogMessage("%s", text.c_str());
      ShowRunMessage(text, resources::kMainCaption, Icon::None);
      return false;
    }
    uint16_t link = 0;
    m_pRemote->GetInterfaceType(&link);
    if (status == TIMEOUT && link == kTransportNetwork) {
      // The commit went out as a datagram and nothing confirmed it: the
      // number may or may not be kept.
      m_bSentNotConfirmed = true;
      const std::string text = std::string(failureText) + "\nsent, not confirmed\n";
      LogMessage("%s", text.c_str());
      ShowRunMessage(text, resources::kMainCaption, Icon::None);
      return false;
    }
    if (status != 0) {
      std::string text = failureText;
      AppendStatusFlags(text, status);
      LogMessage("%s", text.c_str());
      ShowRunMessage(text, resources::kMainCaption, Icon::None);
      return false;
    }
    return true;
  }();
  // A factory line keeps this record: which entry got which number.
  const int entry = m_window ? m_window->ComboSel(resources::IDC_MODEL) : -1;
  const std::string number = FormatSerialNumber(serial);
  LogMessage("Serial number %s for entry %d (%s): %s\n", number.c_str(), entry, m_entry.DeviceName().c_str(),
             ok ? "written" : "FAILED");
  if (m_run.report) m_run.report->SerialWritten(entry, m_entry.DeviceName(), number, ok);
  return ok;
}

bool CReflashDlg::WriteCommandLineSerial() {
  const bool ok = WriteSerial(m_options.m_dwCommandLineSerial, 1000, "Wait for WriteSerialNumber Failed!\nSN=\n");
  m_outcome = ok ? RunOutcome::SerialWritten
                 : m_bSentNotConfirmed ? RunOutcome::SentNotConfirmed : RunOutcome::SerialFailed;
  CloseWindow(0);
  return ok;
}

bool CReflashDlg::WriteDialogSerial(uint32_t& serial) {
  m_pRemote->SetPollMode(kPollTransfer);
  CGetSerialNumberDlg dialog;
  dialog.m_dwSerialNumber = 0;
  // The dialog names the entry and says what its device holds now. A
  // module's number is its unit's, which the module entry does not show.
  dialog.m_szEntryName = m_entry.DeviceName();
  dialog.m_szDeviceKind = m_entry.SerialOwner();
  dialog.m_dwCurrentSerial = m_entry.HeldSerialNumber(serial);
  SetDialogState(kStateReady);
  if (dialog.DoModal(m_window.get()) != CGetSerialNumberDlg::kOk) {
    LogMessage("Invalid Serial Number. User Pressed Cancel.\n");
    // A number written for an earlier entry stays written and is reported.
    if (m_outcome != RunOutcome::SerialWritten) m_outcome = RunOutcome::UpdateCancelled;
    CloseWindow(0);
    return false;
  }

  m_pRemote->SetPollMode(kPollIdentity);
  m_progress = {};
  m_szBusyWhat = "A serial number is being written to the " + m_entry.DeviceName() + ".";
  // The text first: the status line never shows the template's placeholder.
  m_window->SetText(kStatusLine, "Writing Serial Number... Please wait...");
  SetDialogState(kStateBusy);
  const bool written = WriteSerial(dialog.m_dwSerialNumber, 3000, "Wait for WriteSerialNumber Failed!\nUser Dialog\n");
  m_szBusyWhat.clear();
  if (!written) {
    m_outcome = m_bSentNotConfirmed ? RunOutcome::SentNotConfirmed : RunOutcome::SerialFailed;
    CloseWindow(0);
    return false;
  }
  m_window->SetText(kStatusLine, "Writing Serial Number Complete...");
  SetDialogState(kStateReady);
  serial = dialog.m_dwSerialNumber;
  m_outcome = RunOutcome::SerialWritten;
  return true;
}
