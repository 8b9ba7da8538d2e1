#include <windows.h>

#include <chrono>
#include <ctime>
#include <thread>

#include "platform/core/clock.h"

namespace platform {

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
  using namespace std::chrono;
  const auto now = steady_clock::now();
  const auto next = time_point_cast<milliseconds>(now) + milliseconds(1);
  std::this_thread::sleep_until(next > now ? next : now + milliseconds(1));
}

LocalTime SystemClock::Now() {
  SYSTEMTIME st{};
  GetLocalTime(&st);
  LocalTime t;
  t.year = st.wYear;
  t.month = st.wMonth;
  t.day = st.wDay;
  t.hour = st.wHour;
  t.minute = st.wMinute;
  t.second = st.wSecond;
  t.millisecond = st.wMilliseconds;
  return t;
}

LocalTime SystemClock::ToLocal(int64_t unixSeconds) {
  const std::time_t t = static_cast<std::time_t>(unixSeconds);
  std::tm tm{};
  LocalTime out;
  if (localtime_s(&tm, &t) != 0) return out;
  out.year = tm.tm_year + 1900;
  out.month = tm.tm_mon + 1;
  out.day = tm.tm_mday;
  out.hour = tm.tm_hour;
  out.minute = tm.tm_min;
  out.second = tm.tm_sec;
  return out;
}

int64_t SystemClock::UnixMicroseconds() {
  auto since = std::chrono::system_clock::now().time_since_epoch();
  return std::chrono::duration_cast<std::chrono::microseconds>(since).count();
}

}  // namespace platform
