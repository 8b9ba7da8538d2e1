#include "platform/core/power.h"

namespace platform {

template <>
PowerSource& DefaultService<PowerSource>() {
  static SysfsPowerSource power;
  return power;
}

}  // namespace platform
