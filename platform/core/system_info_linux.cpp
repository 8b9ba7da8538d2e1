#include "platform/core/system_info.h"

#include <sys/utsname.h>

#include "platform/core/real_backend.h"

namespace platform {

PLATFORM_REAL_BACKEND(SystemInfo, UnameSystemInfo)

OsVersion ParseKernelRelease(const std::string& release) {
  OsVersion v;
  v.platformId = kPlatformWin32Nt;
  v.servicePack = release;
  uint32_t* fields[] = {&v.major, &v.minor, &v.build};
  size_t pos = 0;
  for (uint32_t* field : fields) {
    size_t start = pos;
    uint64_t value = 0;
    while (pos < release.size() && release[pos] >= '0' && release[pos] <= '9') {
      value = value * 10 + static_cast<uint64_t>(release[pos] - '0');
      if (value > UINT32_MAX) {
        value = UINT32_MAX;  // absurd numbers saturate rather than wrap
      }
      ++pos;
    }
    if (pos == start) {
      break;  // no digits: this and the later numbers stay 0
    }
    *field = static_cast<uint32_t>(value);
    if (pos >= release.size() || release[pos] != '.') {
      break;
    }
    ++pos;
  }
  return v;
}

bool UnameSystemInfo::GetOsVersion(OsVersion& out) {
  struct utsname names {};
  if (uname(&names) != 0) {
    return false;
  }
  out = ParseKernelRelease(names.release);
  return true;
}

}  // namespace platform
