#include <chrono>
#include <ctime>
#include <thread>

#include "platform/core/clock.h"

namespace platform {
namespace {

LocalTime FromTm(const std::tm& tm, int ms) {
  LocalTime t;
  t.year = tm.tm_year + 1900;
  t.month = tm.tm_mon + 1;
  t.day = tm.tm_mday;
  t.hour = tm.tm_hour;
  t.minute = tm.tm_min;
  t.second = tm.tm_sec;
  t.millisecond = ms;
  return t;
}

}  // namespace

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
  using namespace std::chrono;
  const auto now = steady_clock::now();
  const auto next = time_point_cast<milliseconds>(now) + milliseconds(1);
  std::this_thread::sleep_until(next > now ? next : now + milliseconds(1));
}

LocalTime SystemClock::Now() {
  auto now = std::chrono::system_clock::now();
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::time_t t = std::chrono::system_clock::to_time_t(now);
  std::tm tm{};
  localtime_r(&t, &tm);
  return FromTm(tm, static_cast<int>(ms));
}

LocalTime SystemClock::ToLocal(int64_t unixSeconds) {
  std::time_t t = static_cast<std::time_t>(unixSeconds);
  std::tm tm{};
  localtime_r(&t, &tm);
  return FromTm(tm, 0);
}

int64_t SystemClock::UnixMicroseconds() {
  auto since = std::chrono::system_clock::now().time_since_epoch();
  return std::chrono::duration_cast<std::chrono::microseconds>(since).count();
}

}  // namespace platform
