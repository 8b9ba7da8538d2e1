#pragma once
// A dialog drawn as readable text: the caption, each combo box with its
// entries (the selected one marked), one "Label: value" line per visible
// row, then the visible notices and buttons.
#include <string>
#include <utility>
#include <vector>

#include "platform/console/memory_dialog.h"

namespace platform::console {

std::string RenderWindow(const DialogState& state);

// The visible "Label: value" rows: label without its colon, value text.
std::vector<std::pair<std::string, std::string>> WindowRows(const DialogState& state);

// A message box as a "caption: text" block with the buttons offered.
std::string RenderMessageBox(const ui::MessageBoxRequest& request);

}  // namespace platform::console
