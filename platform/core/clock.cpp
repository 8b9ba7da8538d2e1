#include "platform/core/clock.h"

#include <chrono>

#include "platform/core/input_wait.h"
#include "platform/core/message_pump.h"

namespace platform {

void Clock::IdleAfterPump(uint32_t quietMs) {
  // A link with a descriptor wakes the wait the moment its input comes;
  // without one, only the clock can tell when to look again.
  if (Use<InputWait>().Wait(quietMs > 0 ? quietMs : kLongestIdleMs)) return;
  WaitTicks(quietMs);
}

void Clock::WaitTicks(uint32_t ticks) {
  if (ticks > 1) Sleep(ticks - 1);
  WaitForNextTick();
}

int64_t Clock::UnixMicroseconds() {
  auto since = std::chrono::system_clock::now().time_since_epoch();
  return std::chrono::duration_cast<std::chrono::microseconds>(since).count();
}

VirtualClock::VirtualClock(uint32_t start, uint32_t readStep, uint32_t pumpStep)
    : start_(start), now_(start), readStep_(readStep), pumpStep_(pumpStep) {}

uint32_t VirtualClock::TickCount() {
  uint32_t t = now_;
  now_ += readStep_;
  return t;
}

void VirtualClock::Sleep(uint32_t ms) { now_ += ms == 0 ? 1 : ms; }

int64_t VirtualClock::UnixMicroseconds() {
  return epoch_ * 1000000 + static_cast<int64_t>(static_cast<uint32_t>(now_ - start_)) * 1000;
}

void VirtualClock::OnPump() { now_ += pumpStep_; }

void VirtualClock::WaitForNextTick() { now_ += 1; }

LocalTime VirtualClock::Now() {
  uint32_t elapsed = now_ - start_;
  LocalTime t = ToLocal(epoch_ + elapsed / 1000);
  t.millisecond = static_cast<int>(elapsed % 1000);
  return t;
}

LocalTime VirtualClock::ToLocal(int64_t unixSeconds) {
  // UTC by the calendar arithmetic of <chrono>: the same on every system.
  using namespace std::chrono;
  const sys_seconds at{seconds(unixSeconds)};
  const sys_days day = floor<days>(at);
  const year_month_day date{day};
  const hh_mm_ss<seconds> time{at - day};
  LocalTime t;
  t.year = static_cast<int>(date.year());
  t.month = static_cast<int>(static_cast<unsigned>(date.month()));
  t.day = static_cast<int>(static_cast<unsigned>(date.day()));
  t.hour = static_cast<int>(time.hours().count());
  t.minute = static_cast<int>(time.minutes().count());
  t.second = static_cast<int>(time.seconds().count());
  return t;
}

}  // namespace platform
