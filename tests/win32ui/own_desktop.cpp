// Every window of the test program, and of the programs it starts, lives on
// a desktop of the program's own. Under Wine a desktop's window is made by
// the first process that needs one, with that process's X display; the
// default desktop of a Wine server shared with other tests may have been
// made by a process without one, where no window can be made. A process
// starts on a desktop (it cannot move there once running), so the program
// starts itself again on a new one, before main(), and ends with its
// copy's exit status.
#include "own_desktop.h"

#include <cstdlib>

namespace win32_test {
namespace {

constexpr const wchar_t* kVariable = L"REFLASH_TEST_DESKTOP";

std::wstring Variable() {
  wchar_t value[128] = {};
  const DWORD n = GetEnvironmentVariableW(kVariable, value, 128);
  return n > 0 && n < 128 ? std::wstring(value, n) : std::wstring();
}

struct OwnDesktop {
  OwnDesktop() {
    name = Variable();
    if (!name.empty()) return;  // the copy, on its desktop already
    const std::wstring wanted = L"reflash-tests-" + std::to_wstring(GetCurrentProcessId());
    // Under Wine a desktop with a size is drawn as one window of its own,
    // whose windows Wine manages itself; without a window manager on the
    // X server a window of its own would wait for one each time it hides.
    const wchar_t* sizes = L"Software\\Wine\\Explorer\\Desktops";
    const wchar_t size[] = L"1024x768";
    RegSetKeyValueW(HKEY_CURRENT_USER, sizes, wanted.c_str(), REG_SZ, size, sizeof size);
    HDESK desktop = CreateDesktopW(wanted.c_str(), nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    if (!desktop) return;  // stay on the default desktop
    SetEnvironmentVariableW(kVariable, wanted.c_str());
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring line = GetCommandLineW();
    STARTUPINFOW start{};
    start.cb = sizeof start;
    std::wstring desktopName = wanted;
    start.lpDesktop = desktopName.data();
    PROCESS_INFORMATION copy{};
    if (!CreateProcessW(exe, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start, &copy)) {
      SetEnvironmentVariableW(kVariable, nullptr);
      return;
    }
    WaitForSingleObject(copy.hProcess, INFINITE);
    DWORD status = 1;
    GetExitCodeProcess(copy.hProcess, &status);
    RegDeleteKeyValueW(HKEY_CURRENT_USER, sizes, wanted.c_str());
    std::exit(static_cast<int>(status));
  }
  std::wstring name;
};

const OwnDesktop& Desktop() {
  static const OwnDesktop desktop;
  return desktop;
}
[[maybe_unused]] const OwnDesktop& made = Desktop();

}  // namespace

const std::wstring& DesktopName() { return Desktop().name; }

}  // namespace win32_test
