#pragma once
// The serial-number dialog (template 105): asks for the 10-digit number
// printed on the device. Written once against the UI host seam.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/ui/ui_host.h"

class CGetSerialNumberDlg : public platform::ui::DialogEvents {
 public:
  // Dialog results.
  enum Result { kOk = 1, kCancel = 2 };

  // Runs the dialog modally over `parent` (may be null); returns kOk or
  // kCancel. On kOk m_dwSerialNumber holds the valid number entered.
  int DoModal(platform::ui::DialogWindow* parent);

  bool OnInitDialog() override;
  void OnCommand(int id) override;
  // Typing past the tenth digit: the entry is refused and the field emptied.
  void OnTextLimit(int id) override;

  // On entry the number to show (0 shows an empty field); on OK the number entered.
  uint32_t m_dwSerialNumber = 0;
  // What the dialog is for: the list entry's text (shown on top), what the
  // number belongs to ("Orvella(n)", "ZI-RERAR card"), and the number that
  // device holds now (0: none, which the notice calls blank).
  std::string m_szEntryName;
  std::string m_szDeviceKind = "Orvella(n)";
  uint32_t m_dwCurrentSerial = 0;

  // The notice above the field for a device of `kind` holding `current`.
  static std::string NoticeText(const std::string& kind, uint32_t current);

 private:
  void OnOK();
  // "Invalid Serial Number!" with the rule that failed; the dialog stays open.
  void Refuse(const std::string& reason);

  std::unique_ptr<platform::ui::DialogWindow> m_window;
};
