#include "app/about_dlg.h"

#include "app/reflash_app.h"
#include "app/resources/dialog_templates.h"

int CAboutDlg::DoModal(platform::ui::DialogWindow* parent) {
  m_window = platform::Use<platform::ui::Host>().CreateDialog(resources::AboutDialogTemplate(), *this, parent);
  if (!m_window) return 2;
  const int result = m_window->RunModal();
  m_window.reset();
  return result;
}

bool CAboutDlg::OnInitDialog() {
  m_window->SetText(resources::IDC_ABOUT_VERSION, ProgramVersion());
  return true;
}

void CAboutDlg::OnCommand(int id) {
  if (id == 1 || id == 2) m_window->EndDialog(id);
}
