#include "platform/core/paced_clock.h"

namespace platform {

PacedClock::PacedClock(Clock& real, uint32_t start)
    : real_(real), start_(start), now_(start), startMicros_(real.UnixMicroseconds()) {}

void PacedClock::Pass(uint32_t ms) {
  real_.WaitTicks(ms);
  now_ += ms;
}

int64_t PacedClock::UnixMicroseconds() {
  return startMicros_ + static_cast<int64_t>(static_cast<uint32_t>(now_ - start_)) * 1000;
}

LocalTime PacedClock::Now() {
  const int64_t micros = UnixMicroseconds();
  const int64_t seconds = micros >= 0 ? micros / 1000000 : (micros - 999999) / 1000000;
  LocalTime t = real_.ToLocal(seconds);
  t.millisecond = static_cast<int>((micros - seconds * 1000000) / 1000);
  return t;
}

}  // namespace platform
