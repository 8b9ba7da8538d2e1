// Serial-number writing: the "SN=" option (one number for the first
// listed device, then the run ends) and the "GETSN" prompt (asked for every
// selected entry).
#include <cctype>
#include <string>

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
constexpr uint32_t kPrintedModel = 0x43;
constexpr uint32_t kOrvellaModel = 0x60;

}  // namespace

// The number must be exactly the printed form: two hexadecimal model digits
// and eight decimal ones. Packing alone would read "60184512345" or
// "6018451A34" as some other valid number and write it.
static bool IsPrintedSerialText(const std::string& text) {
  if (text.size() != 10) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (i < 2 ? !std::isxdigit(c) : !std::isdigit(c)) return false;
  }
  return true;
}

bool CReflashDlg::HandleSerialOption(const std::string& text) {
  uint32_t serial = IsPrintedSerialText(text) ? PackSerialNumber(text) : 0;
  std::string typed = text;
  if ((serial >> 24) == kPrintedModel) {
    serial = (serial & 0x00FFFFFF) | (kOrvellaModel << 24);
    typed.replace(0, 2, "60");
  }
  // Only a number that prints back as given is written: a spilled field
  // (week 64, unit 4096, ...) would put another number into the device.
  if (!IsValidSerialNumber(serial) || !PrintsBackAs(serial, typed)) {
    ShowRunMessage("Invalid Serial Number!", resources::kMainCaption, Icon::Warning);
    m_outcome = RunOutcome::SerialFailed;
    CloseWindow(0);
    return false;
  }
  m_options.m_dwCommandLineSerial = serial;
  return true;
}

// Both flows hand the number to the device the same way; only the texts
// of a failed commit differ.
bool CReflashDlg::WriteSerial(uint32_t serial, uint32_t commitLimitMs, const char* failureText) {
  const bool ok = [&] {
    platform::WriteSession writing("Writing the serial number of " + m_szDeviceName);
    // Registers, read-back and commit are one step: a signal waits for the
    // commit's answer, so the run never calls FAILED a number the unit holds.
    platform::MustFinish commit("the serial number write");
    const int written = m_options.m_bCardMode ? m_pRemote->WriteZSlotSerialNumber(serial)
                                              : m_pRemote->WriteSerialNumber(serial);
    if (written != 0) return false;  // the remote has shown its own message
    const uint8_t status = WaitForCompletion(commitLimitMs);
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
  LogMessage("Serial number %s for entry %d (%s): %s\n", number.c_str(), entry, m_szDeviceName.c_str(),
             ok ? "written" : "FAILED");
  if (m_run.report) m_run.report->SerialWritten(entry, m_szDeviceName, number, ok);
  return ok;
}

bool CReflashDlg::WriteCommandLineSerial() {
  const bool ok = WriteSerial(m_options.m_dwCommandLineSerial, 1000, "Wait for WriteSerialNumber Failed!\nSN=\n");
  m_outcome = ok ? RunOutcome::SerialWritten : RunOutcome::SerialFailed;
  CloseWindow(0);
  return ok;
}

bool CReflashDlg::WriteDialogSerial(uint32_t& serial) {
  m_pRemote->SetPollMode(kPollTransfer);
  CGetSerialNumberDlg dialog;
  dialog.m_dwSerialNumber = 0;
  if (dialog.DoModal(m_window.get()) != CGetSerialNumberDlg::kOk) {
    LogMessage("Invalid Serial Number. User Pressed Cancel.\n");
    // A number written for an earlier entry stays written and is reported.
    if (m_outcome != RunOutcome::SerialWritten) m_outcome = RunOutcome::UpdateCancelled;
    CloseWindow(0);
    return false;
  }

  m_pRemote->SetPollMode(kPollIdentity);
  // The text first: the status line never shows the template's placeholder.
  m_window->SetText(kStatusLine, "Writing Serial Number... Please wait...");
  SetDialogState(kStateBusy);
  if (!WriteSerial(dialog.m_dwSerialNumber, 3000, "Wait for WriteSerialNumber Failed!\nUser Dialog\n")) {
    m_outcome = RunOutcome::SerialFailed;
    CloseWindow(0);
    return false;
  }
  m_window->SetText(kStatusLine, "Writing Serial Number Complete...");
  SetDialogState(kStateReady);
  serial = dialog.m_dwSerialNumber;
  m_outcome = RunOutcome::SerialWritten;
  return true;
}
