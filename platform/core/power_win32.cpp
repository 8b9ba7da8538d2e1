#include <windows.h>

#include "platform/core/power.h"
#include "platform/core/real_backend.h"

namespace platform {
namespace {

// GetSystemPowerStatus: its ACLineStatus uses the same three values.
class Win32PowerSource final : public PowerSource {
 public:
  bool GetAcLineStatus(uint8_t& acLineStatus, uint32_t& error) override {
    SYSTEM_POWER_STATUS status{};
    if (!GetSystemPowerStatus(&status)) {
      error = GetLastError();
      return false;
    }
    acLineStatus = status.ACLineStatus;
    return true;
  }
};

}  // namespace

PLATFORM_REAL_BACKEND(PowerSource, Win32PowerSource)

}  // namespace platform
