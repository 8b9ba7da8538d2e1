#pragma once
// The serial-number dialog (template 105): asks for the 10-digit number
// printed on the device. Written once against the UI host seam.
#include <cstdint>
#include <memory>

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

 private:
  void OnOK();
  // "Invalid Serial Number!"; the dialog stays open.
  void Refuse();

  std::unique_ptr<platform::ui::DialogWindow> m_window;
};
