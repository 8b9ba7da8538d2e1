#include "platform/core/local_time.h"

namespace platform {

bool LocalCalendar(std::time_t t, std::tm* out) { return localtime_s(out, &t) == 0; }

}  // namespace platform
