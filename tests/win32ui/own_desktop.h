#pragma once
// The desktop this test program's windows live on (own_desktop.cpp); empty
// when the system would not make one, and the default desktop is used.
#include <string>

#include "platform/win32ui/windows_api.h"

namespace win32_test {

const std::wstring& DesktopName();

}  // namespace win32_test
