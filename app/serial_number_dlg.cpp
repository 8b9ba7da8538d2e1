#include "app/serial_number_dlg.h"

#include <string>

#include "app/resources/dialog_templates.h"
#include "app/serial_number.h"

namespace {

constexpr int kEdit = resources::IDC_SERIAL_EDIT;
constexpr int kDigits = 10;
constexpr size_t kReadLimit = 40;  // the most the field is ever read for

}  // namespace

int CGetSerialNumberDlg::DoModal(platform::ui::DialogWindow* parent) {
  m_window = platform::Use<platform::ui::Host>().CreateDialog(resources::SerialDialogTemplate(), *this, parent);
  if (!m_window) return kCancel;
  const int result = m_window->RunModal();
  m_window.reset();
  return result == kOk ? kOk : kCancel;
}

bool CGetSerialNumberDlg::OnInitDialog() {
  if (m_dwSerialNumber != 0) m_window->SetText(kEdit, FormatSerialNumber(m_dwSerialNumber));
  m_window->SetTextLimit(kEdit, kDigits);
  return true;
}

void CGetSerialNumberDlg::OnCommand(int id) {
  if (id == kOk) {
    OnOK();
  } else if (id == kCancel) {
    m_window->EndDialog(kCancel);
  }
}

// Typing past the tenth character asks for the check at once. What was
// typed is then longer than any serial number, and the field holds only its
// first ten characters: refusing it, and emptying the field, keeps a slip
// of the finger from writing a number nobody typed.
void CGetSerialNumberDlg::OnTextLimit(int id) {
  if (id != kEdit) return;
  m_window->SetText(kEdit, std::string());
  Refuse();
}

void CGetSerialNumberDlg::OnOK() {
  std::string text = m_window->GetText(kEdit).substr(0, kReadLimit);
  if (text.size() == static_cast<size_t>(kDigits)) {
    // No model replacement here, unlike the "SN=" option: the number must
    // be entered as printed.
    const uint32_t serial = PackSerialNumber(text);
    if (IsValidSerialNumber(serial) && PrintsBackAs(serial, text)) {
      m_dwSerialNumber = serial;
      m_window->EndDialog(kOk);
      return;
    }
  }
  Refuse();
}

void CGetSerialNumberDlg::Refuse() {
  platform::ui::MessageBoxRequest request;
  request.text = "Invalid Serial Number!";
  request.caption = resources::kMainCaption;
  request.icon = platform::ui::Icon::Exclamation;
  m_window->MessageBox(request);
}
