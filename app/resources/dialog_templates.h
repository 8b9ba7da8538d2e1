#pragma once
// The program's dialog templates and string table as data. Every host builds
// its windows from these; the window logic refers to controls by these ids.
#include <string>

#include "platform/ui/ui_host.h"

namespace resources {

// The main window's caption; the messages the window shows carry it too.
constexpr const char* kMainCaption = "Orvella(n) Firmware Update";

// Dialog template ids.
constexpr int kAboutDialog = 100;
constexpr int kMainDialog = 102;
constexpr int kSerialDialog = 105;

// String table id of the about entry of the window's system menu.
constexpr int kAboutMenuString = 101;
// System-menu command id of the about entry.
constexpr int kAboutCommand = 16;

// Control ids of the main window (dialog 102).
enum MainControl : int {
  IDOK_CLOSE = 1,  // "Close"
  IDCANCEL_BUTTON = 2,
  IDC_MODEL = 1001,  // unit list
  IDC_SERIAL = 1002,
  IDC_PCB_REV = 1003,
  IDC_FW_VERSION = 1004,
  IDC_FW_DATE = 1005,
  IDC_NEW_FW_VERSION = 1006,
  IDC_NEW_FW_DATE = 1007,
  IDC_PROGRESS = 1008,
  IDC_UPDATE = 1009,
  IDC_NOTICE1 = 1010,
  IDC_NOTICE2 = 1011,
  IDC_NOTICE3 = 1012,
  IDC_DONT_INTERRUPT = 1013,
  IDC_STATUS = 1014,
  IDC_CONGRATULATIONS = 1015,
  IDC_PROM = 1016,
  IDC_PROM_LABEL = 1017,
  IDC_SERIAL_LABEL = 1018,
  IDC_MFG_DATE_LABEL = 1019,
  IDC_MFG_DATE = 1020,
  IDC_PCB_REV_LABEL = 1021,
};

// Control ids of the serial-number dialog (dialog 105).
enum SerialControl : int {
  IDC_SERIAL_EDIT = 1002,
  IDC_SERIAL_ENTRY = 1003,   // the list entry the number is for
  IDC_SERIAL_NOTICE = 1004,  // what the device holds now and what to enter
};

// Control ids of the about box (dialog 100).
enum AboutControl : int {
  IDC_ABOUT_VERSION = 1001,
};

const platform::ui::DialogTemplate& MainDialogTemplate();
const platform::ui::DialogTemplate& SerialDialogTemplate();
const platform::ui::DialogTemplate& AboutDialogTemplate();

// The string table; an unknown id gives an empty text.
std::string LoadString(int id);

}  // namespace resources
