#include "platform/ui/ui_host.h"

namespace platform::ui {

Answer ShowMessage(const std::string& text, std::optional<std::string> caption, Buttons buttons, Icon icon,
                   int defaultButton) {
  MessageBoxRequest request{text, std::move(caption), buttons, icon, defaultButton};
  return Use<Host>().MessageBox(request);
}

}  // namespace platform::ui
