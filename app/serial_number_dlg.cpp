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

std::string CGetSerialNumberDlg::NoticeText(const std::string& kind, uint32_t current) {
  const std::string ask = "  To proceed, you must enter the serial number printed on the back of your " + kind + ".";
  if (current == 0 || current == 0xFFFFFFFF) return "The Serial Number on your " + kind + " is blank." + ask;
  return "Your " + kind + " holds the Serial Number " + FormatSerialNumber(current) + "." + ask;
}

bool CGetSerialNumberDlg::OnInitDialog() {
  m_window->SetText(resources::IDC_SERIAL_ENTRY, m_szEntryName);
  m_window->SetFont(resources::IDC_SERIAL_ENTRY, platform::ui::FontKind::Bold);
  m_window->SetText(resources::IDC_SERIAL_NOTICE, NoticeText(m_szDeviceKind, m_dwCurrentSerial));
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
  Refuse("A serial number has 10 characters; more were typed.");
}

void CGetSerialNumberDlg::OnOK() {
  // No model replacement here, unlike the "SN=" option: the number must be
  // entered as printed.
  const std::string text = m_window->GetText(kEdit).substr(0, kReadLimit);
  const std::string problem = SerialNumberProblem(text);
  if (!problem.empty()) {
    Refuse(problem);
    return;
  }
  m_dwSerialNumber = PackSerialNumber(text);
  m_window->EndDialog(kOk);
}

void CGetSerialNumberDlg::Refuse(const std::string& reason) {
  platform::ui::MessageBoxRequest request;
  request.text = "Invalid Serial Number!\n\n" + reason;
  request.caption = resources::kMainCaption;
  request.icon = platform::ui::Icon::Exclamation;
  m_window->MessageBox(request);
}
