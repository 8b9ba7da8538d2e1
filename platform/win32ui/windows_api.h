#pragma once
// The system's headers for the window host, without the macros that would
// rename names of ours (the seam's CreateDialog and MessageBox, the string
// table's LoadString). Every file of the host includes this one first.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#undef CreateDialog
#undef MessageBox
#undef LoadString

namespace platform::win32ui {

// The system's predefined cursors and icons (IDC_WAIT, IDI_APPLICATION)
// for the wide calls, whatever the character set the build chose.
inline LPCWSTR SystemResource(LPCSTR id) { return reinterpret_cast<LPCWSTR>(id); }

}  // namespace platform::win32ui
