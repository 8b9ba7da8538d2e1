#include "platform/core/power.h"
#include "platform/core/real_backend.h"

namespace platform {

PLATFORM_REAL_BACKEND(PowerSource, SysfsPowerSource)

}  // namespace platform
