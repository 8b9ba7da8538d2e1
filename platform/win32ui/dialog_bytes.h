#pragma once
// A dialog template of ours as the system's in-memory extended dialog
// template (DLGTEMPLATEEX and its DLGITEMTEMPLATEEX items), for
// CreateDialogIndirectParam. Positions and sizes stay in dialog units, the
// font is the template's own, so the system lays the dialog out itself.
#include <cstdint>
#include <vector>

#include "platform/ui/ui_host.h"

namespace platform::win32ui {

// Class atoms of the system's predefined control classes, as a template
// names them; the progress bar is named by its class name instead.
constexpr uint16_t kButtonAtom = 0x0080;
constexpr uint16_t kEditAtom = 0x0081;
constexpr uint16_t kStaticAtom = 0x0082;
constexpr uint16_t kComboBoxAtom = 0x0085;
constexpr const wchar_t* kProgressClass = L"msctls_progress32";

// The window styles one control of `kind` is made with (visibility aside).
uint32_t ControlStyle(const ui::ControlTemplate& control);

// The dialog's own style: a modal frame with a caption, centred, with the
// template's font; the main window (`topLevel`) can also be minimised.
uint32_t DialogStyle(const ui::DialogTemplate& tmpl, bool topLevel);

// The whole template, DWORD-aligned as the system requires. Texts are UTF-8
// in, UTF-16 out; a control without an id gets 0xFFFF (-1) as the
// resource compiler gives static text.
std::vector<uint8_t> DialogTemplateBytes(const ui::DialogTemplate& tmpl, bool topLevel);

}  // namespace platform::win32ui
