#include <chrono>
#include <ctime>
#include <thread>

#include "platform/core/clock.h"
#include "platform/core/local_time.h"
#include "platform/core/real_backend.h"

namespace platform {
namespace {

// The calendar of `t` in the local time zone; the epoch when the system
// cannot tell.
LocalTime Calendar(std::time_t t, int millisecond) {
  std::tm tm{};
  LocalTime out;
  if (!LocalCalendar(t, &tm)) return out;
  out.year = tm.tm_year + 1900;
  out.month = tm.tm_mon + 1;
  out.day = tm.tm_mday;
  out.hour = tm.tm_hour;
  out.minute = tm.tm_min;
  out.second = tm.tm_sec;
  out.millisecond = millisecond;
  return out;
}

}  // namespace

PLATFORM_REAL_BACKEND(Clock, SystemClock)

uint32_t SystemClock::TickCount() {
  auto since = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

void SystemClock::Sleep(uint32_t ms) {
  if (ms == 0) {
    std::this_thread::yield();
  } else {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  }
}

void SystemClock::WaitForNextTick() {
  // TickCount truncates steady_clock to whole milliseconds, so the next
  // tick starts on the next whole millisecond of the same clock.
  WaitTicks(1);
}

void SystemClock::WaitTicks(uint32_t ticks) {
  // Straight to the tick edge: a sleep and then a wait for the next edge
  // would wake the process twice.
  using namespace std::chrono;
  const auto now = steady_clock::now();
  const auto edge = time_point_cast<milliseconds>(now) + milliseconds(ticks > 0 ? ticks : 1);
  std::this_thread::sleep_until(edge > now ? edge : now + milliseconds(1));
}

LocalTime SystemClock::Now() {
  const auto now = std::chrono::system_clock::now();
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  return Calendar(std::chrono::system_clock::to_time_t(now), static_cast<int>(ms));
}

LocalTime SystemClock::ToLocal(int64_t unixSeconds) { return Calendar(static_cast<std::time_t>(unixSeconds), 0); }

}  // namespace platform
