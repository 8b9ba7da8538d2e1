#pragma once
#include <cstdint>

#include "platform/core/service.h"

namespace platform {

struct LocalTime {
  int year = 1970;  // four digits
  int month = 1;    // 1..12
  int day = 1;      // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

// Time as the program sees it. Every time limit is a difference of two
// TickCount readings in unsigned 32-bit arithmetic, so wrap-around is safe.
class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds since an arbitrary start; wraps after 49.7 days.
  virtual uint32_t TickCount() = 0;
  // Blocks the caller for about `ms` milliseconds (0 yields).
  virtual void Sleep(uint32_t ms) = 0;
  // The wall-clock date and time in the local time zone.
  virtual LocalTime Now() = 0;
  // Converts seconds since 1970 (UTC) to local calendar time.
  virtual LocalTime ToLocal(int64_t unixSeconds) = 0;
  // Wall-clock time as microseconds since 1970-01-01 UTC (the system's
  // unless a test clock says otherwise).
  virtual int64_t UnixMicroseconds();
  // The MIDI service's millisecond clock (the same time base here).
  virtual uint32_t MidiTime() { return TickCount(); }
  // Called once for every message-pump pass; lets a virtual clock move
  // while a wait loop spins without sleeping.
  virtual void OnPump() {}
  // Blocks until the tick count has moved on by one: the shortest honest
  // wait for a loop that watches something only the clock will change.
  virtual void WaitForNextTick() = 0;
  // Blocks until the tick count has moved on by `ticks` (at least one): one
  // wake-up, however long the wait.
  virtual void WaitTicks(uint32_t ticks);
  // Called by a wait loop after a pump pass that dispatched nothing: the
  // loop has nothing to do until the next tick, or until `quietMs` ticks
  // have passed when nothing it watches can change before then.
  virtual void IdleAfterPump(uint32_t quietMs);
};

// steady_clock and the system's local time zone.
class SystemClock final : public Clock {
 public:
  uint32_t TickCount() override;
  void Sleep(uint32_t ms) override;
  LocalTime Now() override;
  LocalTime ToLocal(int64_t unixSeconds) override;
  void WaitForNextTick() override;
  void WaitTicks(uint32_t ticks) override;
};

// Test and simulation time: moves only when code sleeps, pumps a message
// or reads the tick count (by `readStep` ms), so busy loops still end and a
// 12 s time-out costs microseconds. Local time is UTC of a fixed epoch plus
// the elapsed virtual time.
class VirtualClock final : public Clock {
 public:
  explicit VirtualClock(uint32_t start = 1000, uint32_t readStep = 0, uint32_t pumpStep = 1);
  uint32_t TickCount() override;
  void Sleep(uint32_t ms) override;
  LocalTime Now() override;
  LocalTime ToLocal(int64_t unixSeconds) override;
  // The epoch plus the elapsed virtual time.
  int64_t UnixMicroseconds() override;
  void OnPump() override;
  // One millisecond on, as Sleep(0) does.
  void WaitForNextTick() override;
  // The pump step has moved the time already.
  void IdleAfterPump(uint32_t) override {}

  // Moves time on by `ms` (tests use it to stand in for real waiting).
  void Advance(uint32_t ms) { now_ += ms; }
  uint32_t Peek() const { return now_; }
  // Seconds since 1970 that tick `start` corresponds to (default 2018-11-02 12:00:00 UTC).
  void SetEpoch(int64_t unixSeconds) { epoch_ = unixSeconds; }

 private:
  uint32_t start_;
  uint32_t now_;
  uint32_t readStep_;
  uint32_t pumpStep_;
  int64_t epoch_ = 1541160000;
};

// Shorthands for the service in force.
inline uint32_t TickCount() { return Use<Clock>().TickCount(); }
inline void Sleep(uint32_t ms) { Use<Clock>().Sleep(ms); }

}  // namespace platform
