// Firmware packets over the driver link: the real driver transport over the
// simulated host driver, one unit on adapter 0, on the system clock. The
// packets go stop-and-wait as the update sends them (command 12, command 4,
// register 52, the data frame, then register 9 watched until the unit has
// taken the packet), with nothing but a message-pump pass between polls
// (the window's: it idles until the next tick when no message is pending).
//
// Reports packets per second of real time and host CPU microseconds per
// packet. The driver's Read, finding nothing, holds on until the
// millisecond MIDI clock moves, so every poll that drains the link ends on
// a tick edge: `tick_limit_packets_per_s` (one packet per millisecond tick)
// is the ceiling this design sets, and `ratio` is the measured rate over it.
//
// DriverLinkTicks runs the same transfer on a virtual clock that moves only
// when the transport waits for the next tick, so `ticks_per_packet` counts
// the tick edges each packet costs, whatever the machine's load.
#include <benchmark/benchmark.h>
#include <time.h>

#include <chrono>
#include <cstdint>
#include <vector>

#include "platform/core/clock.h"
#include "platform/core/message_pump.h"
#include "protocol/orvella_remote.h"
#include "sim/scenarios/scenarios.h"
#include "sim/unit/unit_model.h"
#include "bench/bench_clock.h"

namespace {

using bench::CpuSeconds;
using bench::WallSeconds;

struct Run {
  int packets = 0;
  double wall = 0;
  double cpu = 0;
  uint32_t ticks = 0;  // on the clock in force
};

// Sends `bytes` of image to the unit behind the driver; false when the
// link or the unit failed.
bool SendOverDriver(size_t bytes, Run* run) {
  sim::Scenario scenario("driver-bench", sim::ScenarioOptions{});
  scenario.AddDriverUnit(sim::UnitConfig());
  scenario.Install();

  COrvellaRemote remote;
  remote.SetInterfaceMask(kMaskDriver);
  if (remote.Open() != 0 || remote.SelectConnection(0) != 0) return false;

  std::vector<uint8_t> image(bytes);
  for (size_t i = 0; i < bytes; ++i) image[i] = static_cast<uint8_t>(i * 11 + 1);
  remote.SetPollMode(kPollTransfer);
  remote.SelectZSlotFirmware(false);
  remote.SetFirmwareSize(static_cast<uint32_t>(bytes));
  remote.SelectBank(0);

  const double wall0 = WallSeconds();
  const double cpu0 = CpuSeconds();
  const uint32_t tick0 = platform::TickCount();
  for (size_t off = 0; off < bytes; off += 128) {
    if (remote.WriteFirmwarePacket(image.data() + off, 128) != 0) return false;
    const uint32_t waitStart = platform::TickCount();
    for (;;) {
      uint8_t status = PIP;
      remote.GetProgrammingStatus(&status);
      status &= 0x3F;
      if (status == 0) break;
      if ((status & (PGMERR | TXERR)) || platform::TickCount() - waitStart > 1000) return false;
      platform::PumpOrIdle();
    }
    ++run->packets;
  }
  run->wall = WallSeconds() - wall0;
  run->cpu = CpuSeconds() - cpu0;
  run->ticks = platform::TickCount() - tick0;
  return scenario.Units().at(0)->PacketsAccepted() == run->packets;
}

void DriverLink(benchmark::State& state) {
  const size_t bytes = static_cast<size_t>(state.range(0)) * 1024;
  Run run;
  for (auto _ : state) {
    run = Run();
    if (!SendOverDriver(bytes, &run) || run.wall <= 0) {
      state.SkipWithError("transfer over the driver link failed");
      return;
    }
  }
  const double perSecond = run.packets / run.wall;
  state.counters["packets"] = run.packets;
  state.counters["packets_per_s"] = perSecond;
  state.counters["cpu_us_per_packet"] = run.cpu * 1e6 / run.packets;
  state.counters["cpu_share"] = run.cpu / run.wall;
  state.counters["tick_limit_packets_per_s"] = 1000;
  state.counters["ratio"] = perSecond / 1000.0;
}
BENCHMARK(DriverLink)->Arg(256)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

void DriverLinkTicks(benchmark::State& state) {
  const size_t bytes = static_cast<size_t>(state.range(0)) * 1024;
  Run run;
  for (auto _ : state) {
    // No step on reads or pumps: only the transport's wait for the next
    // tick (a zero sleep) moves this clock.
    platform::VirtualClock clock(1000, 0, 0);
    platform::Override<platform::Clock> useClock(clock);
    run = Run();
    if (!SendOverDriver(bytes, &run)) {
      state.SkipWithError("transfer over the driver link failed");
      return;
    }
  }
  const double perPacket = static_cast<double>(run.ticks) / run.packets;
  state.counters["packets"] = run.packets;
  state.counters["ticks_per_packet"] = perPacket;
  state.counters["packets_per_s_at_tick_rate"] = perPacket > 0 ? 1000.0 / perPacket : 0;
}
BENCHMARK(DriverLinkTicks)->Arg(256)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
