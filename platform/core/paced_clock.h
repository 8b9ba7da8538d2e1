#pragma once
// Simulated time that really passes. Every wait moves this clock on by
// exactly what it asked for and sleeps that long on the system's clock;
// nothing else moves it. A simulated run in the console then keeps the pace
// a real one has for whoever watches it, while every time the program and
// the simulated units read (when a poll is due, how far a unit's own
// programming has come, the wire trace's time column, the progress
// estimates) is the same on every run and every system, however busy the
// machine or slow its console is. A window's event loop waits outside the
// clock, so a windowed run keeps the system's clock.
#include <cstdint>

#include "platform/core/clock.h"

namespace platform {

class PacedClock final : public Clock {
 public:
  // `real` does the sleeping and gives the date and time the run starts at.
  explicit PacedClock(Clock& real, uint32_t start = 1000);
  uint32_t TickCount() override { return now_; }
  // Sleep(0) still moves on one tick, so a loop around it ends.
  void Sleep(uint32_t ms) override { Pass(ms == 0 ? 1 : ms); }
  // The real date and time at construction plus the time passed since.
  LocalTime Now() override;
  LocalTime ToLocal(int64_t unixSeconds) override { return real_.ToLocal(unixSeconds); }
  int64_t UnixMicroseconds() override;
  void WaitForNextTick() override { Pass(1); }
  void WaitTicks(uint32_t ticks) override { Pass(ticks == 0 ? 1 : ticks); }
  // Simulated links change only when the program looks at them, so an idle
  // pass waits on time alone: the quiet time the links gave, or one tick.
  void IdleAfterPump(uint32_t quietMs) override { Pass(quietMs == 0 ? 1 : quietMs); }

 private:
  void Pass(uint32_t ms);

  Clock& real_;
  uint32_t start_;
  uint32_t now_;
  int64_t startMicros_;
};

}  // namespace platform
