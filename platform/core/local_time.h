#pragma once
// The one part of the system clock that differs between the operating
// systems: breaking a time down into the local time zone's calendar.
#include <ctime>

namespace platform {

// Local calendar time of `t`; false when the system cannot give it.
bool LocalCalendar(std::time_t t, std::tm* out);

}  // namespace platform
