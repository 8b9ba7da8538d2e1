// A main-unit image over the simulated MIDI link with wire-rate pacing, the
// way the update runs it: stop-and-wait, one 128-byte packet at a time.
// Reports the time the transfer took against the wire-rate limit for the
// same bytes: per packet 176 bytes out (three 8-byte messages and the
// 152-byte data frame) plus the 10-byte register-9 answer in, at 0.32 ms a
// byte. A ratio of 1 would be a wire that never rests.
//
// MidiLinkVirtual runs on the virtual clock: the ratio then measures the
// engine's and the unit model's waiting (poll steps, sleeps), not this
// computer. MidiLinkRealTime runs a small image on the system clock as a
// check that the two agree.
#include <benchmark/benchmark.h>
#include <time.h>

#include <chrono>
#include <memory>
#include <vector>

#include "platform/core/clock.h"
#include "platform/core/message_pump.h"
#include "protocol/orvella_remote.h"
#include "sim/links/sim_midi_service.h"
#include "sim/unit/unit_model.h"
#include "transports/builtin_transports.h"
#include "bench/bench_clock.h"

namespace {

using bench::CpuSeconds;
using bench::WallSeconds;

constexpr double kByteMs = 0.32;
constexpr double kPacketWireBytes = 176 + 10;

// The simulated link's fixed latency, each way (a USB MIDI interface's).
constexpr uint32_t kLatencyMs = 1;

struct Cost {
  double wall = 0;  // seconds of real time over the packet loop
  double cpu = 0;   // seconds of process CPU time over the same
};

// Returns the milliseconds the transfer took on the clock in force, or -1.
double SendImage(size_t bytes, Cost* cost = nullptr) {
  sim::SimMidiService midi({true, kLatencyMs});
  platform::Override<platform::MidiService> guard(midi);
  platform::Override<platform::WakeHint> hint(midi);
  BuiltInTransports transports;
  platform::Override<TransportFactory> useTransports(transports);
  sim::UnitModel unit;
  midi.AddUnitPorts("Sim MIDI 1", &unit);
  COrvellaRemote remote;
  remote.SetInterfaceMask(kMaskMidi);
  if (remote.Open() != 0 || remote.SelectConnection(0) != 0) return -1;
  std::vector<uint8_t> image(bytes);
  for (size_t i = 0; i < bytes; ++i) image[i] = static_cast<uint8_t>(i * 7 + 3);

  const uint32_t start = platform::TickCount();
  const double wall0 = WallSeconds(), cpu0 = CpuSeconds();
  remote.SetPollMode(kPollTransfer);
  remote.SelectZSlotFirmware(false);
  remote.SetFirmwareSize(static_cast<uint32_t>(bytes));
  remote.SelectBank(0);
  if (remote.WaitForResponse(1) != 0) return -1;
  for (size_t off = 0; off < bytes; off += 128) {
    if (remote.WriteFirmwarePacket(image.data() + off, 128) != 0) return -1;
    const uint32_t waitStart = platform::TickCount();
    uint8_t status = PIP;
    for (;;) {
      remote.GetProgrammingStatus(&status);
      if ((status & 0x3F) == 0) break;
      if ((status & (PGMERR | TXERR)) || platform::TickCount() - waitStart > 1000) return -1;
      // Idle as the window's waits do: until the wire can next have
      // something to show.
      platform::PumpOrIdle();
    }
  }
  if (cost) {
    cost->wall = WallSeconds() - wall0;
    cost->cpu = CpuSeconds() - cpu0;
  }
  return static_cast<double>(platform::TickCount() - start);
}

// Stop-and-wait cannot hide the link's latency: each packet's answer
// comes back one round trip after the data frame has left, so the limit
// is the wire time plus that round trip (`wire_only_ratio` leaves it out).
void Report(benchmark::State& state, double elapsed, size_t bytes) {
  const double packets = static_cast<double>(bytes / 128);
  const double wire = packets * kPacketWireBytes * kByteMs;
  const double limit = wire + packets * 2 * kLatencyMs;
  state.counters["elapsed_ms"] = elapsed;
  state.counters["wire_limit_ms"] = limit;
  state.counters["ratio"] = elapsed / limit;
  state.counters["wire_only_ratio"] = elapsed / wire;
}

void MidiLinkVirtual(benchmark::State& state) {
  const size_t bytes = 64 * 1024;
  double elapsed = 0;
  for (auto _ : state) {
    platform::VirtualClock clock{1000, 0, 1};
    platform::Override<platform::Clock> guard(clock);
    elapsed = SendImage(bytes);
    if (elapsed < 0) state.SkipWithError("transfer failed");
  }
  Report(state, elapsed, bytes);
}
BENCHMARK(MidiLinkVirtual)->Unit(benchmark::kMillisecond)->Iterations(1);

// Also reports the share of the packet loop's real time the process had
// the processor (`cpu_share`): a paced transfer that waits by blocking
// rather than spinning keeps it near zero.
void MidiLinkRealTime(benchmark::State& state) {
  const size_t bytes = 4 * 1024;
  double elapsed = 0;
  Cost cost;
  for (auto _ : state) {
    elapsed = SendImage(bytes, &cost);
    if (elapsed < 0) state.SkipWithError("transfer failed");
  }
  const double share = cost.wall > 0 ? cost.cpu / cost.wall : 0;
  Report(state, elapsed, bytes);
  state.counters["cpu_share"] = share;
}
BENCHMARK(MidiLinkRealTime)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
