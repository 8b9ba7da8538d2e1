#pragma once
// What the start-up checks need to know about the operating system.
#include <cstdint>
#include <string>

#include "platform/core/service.h"

namespace platform {

// The platform ids of the version record; only the NT-family branch is
// supported by the program.
constexpr uint32_t kPlatformWin32s = 0;
constexpr uint32_t kPlatformWin32Windows = 1;
constexpr uint32_t kPlatformWin32Nt = 2;

struct OsVersion {
  uint32_t major = 0;
  uint32_t minor = 0;
  uint32_t build = 0;
  uint32_t platformId = 0;
  std::string servicePack;  // free text shown in the version record
};

class SystemInfo {
 public:
  virtual ~SystemInfo() = default;
  // Reads the version of the running system into `out`. Called once at
  // start-up and once when the window logs the version record. Returns
  // false, leaving `out` untouched, when the system will not say.
  virtual bool GetOsVersion(OsVersion& out) = 0;
};

// uname(2). A Linux kernel counts as the supported branch (kPlatformWin32Nt);
// major, minor and build are the kernel's major, minor and patch numbers and
// the text is the full release string, e.g. 6.1.0 "6.1.0-18-amd64".
class UnameSystemInfo final : public SystemInfo {
 public:
  bool GetOsVersion(OsVersion& out) override;
};

// Splits a kernel release text "6.1.76-1-amd64" into its leading numbers;
// missing numbers are 0.
OsVersion ParseKernelRelease(const std::string& release);

}  // namespace platform
