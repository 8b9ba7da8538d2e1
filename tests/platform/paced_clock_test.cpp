// Simulated time that really passes: only waits move it, each by what it
// asked for, and the system's clock sleeps just as long.
#include "platform/core/paced_clock.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/core/message_pump.h"

namespace {

// Stands in for the system's clock: records every wait it is asked for.
class RecordingClock final : public platform::Clock {
 public:
  uint32_t TickCount() override { return real; }
  void Sleep(uint32_t ms) override { waits.push_back(ms); }
  platform::LocalTime Now() override { return ToLocal(0); }
  platform::LocalTime ToLocal(int64_t unixSeconds) override {
    platform::VirtualClock utc;
    return utc.ToLocal(unixSeconds);
  }
  int64_t UnixMicroseconds() override { return 1541160000LL * 1000000 + 999000; }  // 12:00:00.999
  void WaitForNextTick() override { waits.push_back(1); }
  void WaitTicks(uint32_t ticks) override { waits.push_back(ticks); }

  uint32_t real = 777;
  std::vector<uint32_t> waits;
};

TEST(PacedClock, OnlyWaitsMoveItAndEachReallyTakesItsTime) {
  RecordingClock system;
  platform::PacedClock clock(system);
  const uint32_t start = clock.TickCount();
  // Reading, pumping and the system's own time passing move nothing.
  system.real += 5000;
  clock.OnPump();
  EXPECT_EQ(clock.TickCount(), start);
  EXPECT_TRUE(system.waits.empty());

  clock.Sleep(5);
  clock.Sleep(0);  // still one tick, so a loop around it ends
  clock.WaitForNextTick();
  clock.WaitTicks(16);
  clock.WaitTicks(0);
  clock.IdleAfterPump(7);
  clock.IdleAfterPump(0);
  EXPECT_EQ(clock.TickCount() - start, 5u + 1 + 1 + 16 + 1 + 7 + 1);
  EXPECT_EQ(system.waits, (std::vector<uint32_t>{5, 1, 1, 16, 1, 7, 1}));
}

TEST(PacedClock, TheDateIsTheRealStartPlusTheTimePassed) {
  RecordingClock system;
  platform::PacedClock clock(system);
  platform::LocalTime t = clock.Now();
  EXPECT_EQ(t.hour, 12);
  EXPECT_EQ(t.second, 0);
  EXPECT_EQ(t.millisecond, 999);
  clock.Sleep(2);  // over the second
  t = clock.Now();
  EXPECT_EQ(t.second, 1);
  EXPECT_EQ(t.millisecond, 1);
  EXPECT_EQ(clock.UnixMicroseconds(), 1541160001LL * 1000000 + 1000);
}

TEST(PacedClock, AWaitLoopIdlesOnTimeAloneAndSeesTheSameTicksEveryRun) {
  // The pump's idle pass with a wake hint, as a wait loop runs it: the
  // times it reads depend on the waits alone.
  struct Hint final : platform::WakeHint {
    uint32_t QuietMs() override { return 40; }
  } hint;
  platform::Override<platform::WakeHint> useHint(hint);
  std::vector<uint32_t> seen[2];
  for (auto& ticks : seen) {
    RecordingClock system;
    platform::PacedClock clock(system);
    platform::Override<platform::Clock> useClock(clock);
    for (int i = 0; i < 4; ++i) {
      platform::PumpOrIdle();
      system.real += 3 + i;  // the machine is slower each time
      ticks.push_back(platform::TickCount());
    }
  }
  EXPECT_EQ(seen[0], seen[1]);
  // The idle pass waits the longest a window allows, not the hint's 40 ms.
  EXPECT_EQ(seen[0], (std::vector<uint32_t>{1016, 1032, 1048, 1064}));
}

}  // namespace
