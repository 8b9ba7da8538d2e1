#include "platform/core/clock.h"

#include <chrono>
#include <ctime>
#include <thread>

#include "platform/core/input_wait.h"
#include "platform/core/message_pump.h"

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

template <>
Clock& DefaultService<Clock>() {
  static SystemClock clock;
  return clock;
}

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

void SystemClock::WaitTicks(uint32_t ticks) {
  // Straight to the tick edge: a sleep and then a wait for the next edge
  // would wake the process twice.
  using namespace std::chrono;
  const auto now = steady_clock::now();
  const auto edge = time_point_cast<milliseconds>(now) + milliseconds(ticks > 0 ? ticks : 1);
  std::this_thread::sleep_until(edge > now ? edge : now + milliseconds(1));
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

int64_t Clock::UnixMicroseconds() {
  auto since = std::chrono::system_clock::now().time_since_epoch();
  return std::chrono::duration_cast<std::chrono::microseconds>(since).count();
}

int64_t SystemClock::UnixMicroseconds() {
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
  std::time_t t = static_cast<std::time_t>(unixSeconds);
  std::tm tm{};
  gmtime_r(&t, &tm);
  return FromTm(tm, 0);
}

}  // namespace platform
