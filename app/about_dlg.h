#pragma once
// The about box (dialog template 100), opened from the window's system menu.
// It has no behaviour of its own: OK or Cancel closes it.
#include <memory>

#include "platform/ui/ui_host.h"

class CAboutDlg : public platform::ui::DialogEvents {
 public:
  // Runs the box modally over `parent`; returns the button that closed it.
  int DoModal(platform::ui::DialogWindow* parent);

  // Shows the program's version, the same line as --version.
  bool OnInitDialog() override;
  void OnCommand(int id) override;

 private:
  std::unique_ptr<platform::ui::DialogWindow> m_window;
};
