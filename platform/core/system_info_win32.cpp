#include <windows.h>

#include "platform/core/real_backend.h"
#include "platform/core/system_info.h"
#include "platform/core/wide_text_win32.h"

namespace platform {
namespace {

// The version record of the running system. GetVersionEx answers with the
// version the program's manifest claims, so the record comes from
// RtlGetVersion, which tells the truth.
class Win32SystemInfo final : public SystemInfo {
 public:
  bool GetOsVersion(OsVersion& out) override {
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    auto get = ntdll ? reinterpret_cast<RtlGetVersionFn>(
                           reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))
                     : nullptr;
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (get == nullptr || get(&info) != 0) return false;
    out.major = info.dwMajorVersion;
    out.minor = info.dwMinorVersion;
    out.build = info.dwBuildNumber;
    out.platformId = info.dwPlatformId;
    out.servicePack = win32::Narrow(info.szCSDVersion);
    return true;
  }
};

}  // namespace

PLATFORM_REAL_BACKEND(SystemInfo, Win32SystemInfo)

}  // namespace platform
