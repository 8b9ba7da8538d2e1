#include "app/resources/dialog_templates.h"

namespace resources {
namespace {

using platform::ui::Align;
using platform::ui::ControlKind;
using platform::ui::ControlTemplate;
using platform::ui::DialogTemplate;
using platform::ui::kNoId;

ControlTemplate Label(int id, const char* text, int x, int y, int w, int h, Align align = Align::Left,
                      bool visible = true) {
  ControlTemplate c;
  c.id = id;
  c.kind = ControlKind::Label;
  c.text = text;
  c.x = x;
  c.y = y;
  c.width = w;
  c.height = h;
  c.align = align;
  c.visible = visible;
  return c;
}

ControlTemplate Control(int id, ControlKind kind, const char* text, int x, int y, int w, int h,
                        bool visible = true) {
  ControlTemplate c = Label(id, text, x, y, w, h, Align::Left, visible);
  c.kind = kind;
  return c;
}

// A dialog with a system menu and an 8-point font, sized in dialog units.
DialogTemplate Dialog(int id, const char* caption, const char* font, int width, int height) {
  DialogTemplate t;
  t.id = id;
  t.caption = caption;
  t.fontName = font;
  t.fontPoints = 8;
  t.width = width;
  t.height = height;
  t.systemMenu = true;
  return t;
}

DialogTemplate BuildMain() {
  DialogTemplate t = Dialog(kMainDialog, kMainCaption, "Tahoma", 330, 166);
  auto& c = t.controls;
  c.push_back(Label(kNoId, "Select Unit to Update:", 7, 9, 90, 8, Align::Right));
  c.push_back(Control(IDC_MODEL, ControlKind::ComboBox, "", 100, 7, 210, 160));
  // Captions right-aligned at x 7 (90 wide) or 175 (75 wide), each with its
  // value field beside it; the manufacture date's field sits one unit left.
  struct Field {
    int captionId;
    const char* caption;
    int valueId;
    int x, y, captionWidth, valueX;
  };
  const Field fields[] = {
      {IDC_SERIAL_LABEL, "Serial Number:", IDC_SERIAL, 7, 22, 90, 100},
      {IDC_MFG_DATE_LABEL, "Manufacture Date:", IDC_MFG_DATE, 7, 32, 90, 99},
      {IDC_PCB_REV_LABEL, "PCB Revision:", IDC_PCB_REV, 7, 42, 90, 100},
      {kNoId, "Current Firmware Version:", IDC_FW_VERSION, 7, 52, 90, 100},
      {kNoId, "Current Firmware Date:", IDC_FW_DATE, 7, 62, 90, 100},
      {kNoId, "New Firmware Version:", IDC_NEW_FW_VERSION, 175, 52, 75, 253},
      {kNoId, "New Firmware Date:", IDC_NEW_FW_DATE, 175, 62, 75, 253},
      {IDC_PROM_LABEL, "PROM to Program:", IDC_PROM, 7, 72, 90, 100},
  };
  for (const Field& f : fields) {
    c.push_back(Label(f.captionId, f.caption, f.x, f.y, f.captionWidth, 8, Align::Right));
    c.push_back(Label(f.valueId, "", f.valueX, f.y, 70, 8));
  }
  c.push_back(Label(IDC_NOTICE1, "This program will update the firmware on the selected device.", 7, 96, 316, 8));
  c.push_back(Label(IDC_NOTICE2,
                    "Once the firmware update process has begun DO NOT interrupt it or power off this computer "
                    "or the Orvella(n).",
                    7, 107, 316, 16));
  c.push_back(Label(IDC_NOTICE3, "", 7, 125, 316, 16));
  c.push_back(Label(IDC_DONT_INTERRUPT,
                    "Do NOT interrupt this process or power off this computer or the Orvella(n)!", 7, 108, 316, 8,
                    Align::Center, false));
  c.push_back(Label(IDC_STATUS, "Programming...", 7, 132, 316, 10, Align::Center, false));
  c.push_back(Label(IDC_CONGRATULATIONS,
                    "Congratulations!\n\nThe firmware has been successfully updated on the Orvella(n).  To "
                    "complete this process, you must POWER OFF the Orvella(n) using the main power switch on "
                    "the front of the unit.",
                    7, 90, 316, 45, Align::Center, false));
  c.push_back(Control(IDCANCEL_BUTTON, ControlKind::DefaultButton, "Cancel", 107, 145, 50, 14));
  c.push_back(Control(IDC_UPDATE, ControlKind::Button, "Update", 173, 145, 50, 14));
  c.push_back(Control(IDOK_CLOSE, ControlKind::Button, "Close", 139, 145, 50, 14));
  c.push_back(Control(IDC_PROGRESS, ControlKind::ProgressBar, "", 7, 145, 316, 14, false));
  return t;
}

DialogTemplate BuildSerial() {
  // The entry's name on top (two lines for a long network name), so the
  // number is typed for the device meant.
  DialogTemplate t = Dialog(kSerialDialog, "Enter Serial Number", "Tahoma", 220, 100);
  auto& c = t.controls;
  c.push_back(Label(IDC_SERIAL_ENTRY, "", 7, 7, 206, 16));
  c.push_back(Label(IDC_SERIAL_NOTICE,
                    "The Serial Number on your Orvella(n) is blank.  To proceed, you must enter the serial "
                    "number printed on the back of your Orvella(n).",
                    7, 25, 206, 24));
  c.push_back(Label(kNoId, "Serial Number:", 7, 58, 60, 8, Align::Right));
  ControlTemplate edit = Control(IDC_SERIAL_EDIT, ControlKind::Edit, "", 70, 56, 80, 12);
  edit.digitsOnly = true;
  c.push_back(edit);
  c.push_back(Control(1, ControlKind::DefaultButton, "OK", 56, 79, 50, 14));
  c.push_back(Control(2, ControlKind::Button, "Cancel", 114, 79, 50, 14));
  return t;
}

DialogTemplate BuildAbout() {
  DialogTemplate t = Dialog(kAboutDialog, "About Orvella(n) Update", "MS Sans Serif", 235, 55);
  auto& c = t.controls;
  c.push_back(Control(kNoId, ControlKind::Icon, "", 11, 17, 20, 20));
  // The build line is replaced by the program's version when the box
  // opens (two lines: it must not run under the OK button).
  c.push_back(Label(IDC_ABOUT_VERSION, "Orvella(n) Update Build 2018.11.02", 40, 10, 134, 16));
  c.push_back(Label(kNoId, "Copyright (C) 2018. All rights reserved.", 40, 30, 188, 8));
  c.push_back(Control(1, ControlKind::DefaultButton, "OK", 178, 7, 50, 14));
  return t;
}

}  // namespace

const DialogTemplate& MainDialogTemplate() {
  static const DialogTemplate t = BuildMain();
  return t;
}

const DialogTemplate& SerialDialogTemplate() {
  static const DialogTemplate t = BuildSerial();
  return t;
}

const DialogTemplate& AboutDialogTemplate() {
  static const DialogTemplate t = BuildAbout();
  return t;
}

std::string LoadString(int id) {
  switch (id) {
    case kAboutMenuString:
      return "&About Orvella(n) Firmware Update...";
    default:
      return {};
  }
}

}  // namespace resources
