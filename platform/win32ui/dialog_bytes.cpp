#include "platform/win32ui/dialog_bytes.h"

#include "platform/win32ui/windows_api.h"

#include <string>

#include "platform/core/wide_text_win32.h"

namespace platform::win32ui {
namespace {

class Writer {
 public:
  void Word(uint16_t value) {
    bytes_.push_back(static_cast<uint8_t>(value));
    bytes_.push_back(static_cast<uint8_t>(value >> 8));
  }
  void Dword(uint32_t value) {
    Word(static_cast<uint16_t>(value));
    Word(static_cast<uint16_t>(value >> 16));
  }
  void Short(int value) { Word(static_cast<uint16_t>(static_cast<int16_t>(value))); }
  void Byte(uint8_t value) { bytes_.push_back(value); }
  // A zero-terminated UTF-16 string.
  void Text(const std::wstring& text) {
    for (wchar_t c : text) Word(static_cast<uint16_t>(c));
    Word(0);
  }
  // A predefined class or resource named by its ordinal.
  void Ordinal(uint16_t atom) {
    Word(0xFFFF);
    Word(atom);
  }
  void AlignDword() {
    while (bytes_.size() % 4 != 0) bytes_.push_back(0);
  }
  std::vector<uint8_t> Take() { return std::move(bytes_); }

 private:
  std::vector<uint8_t> bytes_;
};

uint32_t AlignStyle(ui::Align align) {
  switch (align) {
    case ui::Align::Right:
      return SS_RIGHT;
    case ui::Align::Center:
      return SS_CENTER;
    case ui::Align::Left:
      break;
  }
  return SS_LEFT;
}

}  // namespace

uint32_t ControlStyle(const ui::ControlTemplate& control) {
  const uint32_t child = WS_CHILD;
  switch (control.kind) {
    case ui::ControlKind::Label:
      // Outside text (device names) is shown as it is: no '&' mnemonics.
      return child | AlignStyle(control.align) | SS_NOPREFIX;
    case ui::ControlKind::Icon:
      return child | SS_ICON;
    case ui::ControlKind::ComboBox:
      return child | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
    case ui::ControlKind::Button:
      return child | WS_TABSTOP | BS_PUSHBUTTON;
    case ui::ControlKind::DefaultButton:
      return child | WS_TABSTOP | BS_DEFPUSHBUTTON;
    case ui::ControlKind::ProgressBar:
      return child | PBS_SMOOTH;
    case ui::ControlKind::Edit:
      return child | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL | (control.digitsOnly ? ES_NUMBER : 0);
  }
  return child;
}

uint32_t DialogStyle(const ui::DialogTemplate& tmpl, bool topLevel) {
  uint32_t style = WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT | DS_CENTER;
  if (tmpl.systemMenu) style |= WS_SYSMENU;
  if (topLevel) style |= WS_MINIMIZEBOX;
  return style;
}

std::vector<uint8_t> DialogTemplateBytes(const ui::DialogTemplate& tmpl, bool topLevel) {
  Writer w;
  w.Word(1);       // dlgVer
  w.Word(0xFFFF);  // signature: the extended form
  w.Dword(0);      // helpID
  w.Dword(0);      // exStyle
  w.Dword(DialogStyle(tmpl, topLevel));
  w.Word(static_cast<uint16_t>(tmpl.controls.size()));
  w.Short(0);  // x, y: DS_CENTER places it
  w.Short(0);
  w.Short(tmpl.width);
  w.Short(tmpl.height);
  w.Word(0);  // no menu
  w.Word(0);  // the system's dialog class
  w.Text(win32::Wide(tmpl.caption));
  w.Word(static_cast<uint16_t>(tmpl.fontPoints));
  w.Word(FW_NORMAL);
  w.Byte(FALSE);  // italic
  w.Byte(DEFAULT_CHARSET);
  w.Text(win32::Wide(tmpl.fontName));

  for (const ui::ControlTemplate& c : tmpl.controls) {
    w.AlignDword();
    w.Dword(0);  // helpID
    w.Dword(0);  // exStyle
    w.Dword(ControlStyle(c) | (c.visible ? WS_VISIBLE : 0));
    w.Short(c.x);
    w.Short(c.y);
    w.Short(c.width);
    w.Short(c.height);
    w.Dword(c.id == ui::kNoId ? 0xFFFFu : static_cast<uint32_t>(c.id));
    switch (c.kind) {
      case ui::ControlKind::Label:
      case ui::ControlKind::Icon:
        w.Ordinal(kStaticAtom);
        break;
      case ui::ControlKind::ComboBox:
        w.Ordinal(kComboBoxAtom);
        break;
      case ui::ControlKind::Button:
      case ui::ControlKind::DefaultButton:
        w.Ordinal(kButtonAtom);
        break;
      case ui::ControlKind::ProgressBar:
        w.Text(kProgressClass);
        break;
      case ui::ControlKind::Edit:
        w.Ordinal(kEditAtom);
        break;
    }
    w.Text(win32::Wide(c.text));
    w.Word(0);  // no creation data
  }
  return w.Take();
}

}  // namespace platform::win32ui
