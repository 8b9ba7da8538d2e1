// The main job as the window runs it: the built-in main-unit image through
// OnStartUpdate and ProgramEEPROM into a simulated unit.
//
// MainJobInProcess: the default scenario's unit on the unpaced in-process
// link. Reports packets per second of real time and host CPU time per
// packet over the download (first to last data packet), so image
// expansion and the unit's own programming phase (virtual time) do not
// count.
//
// MainJobMidiPaced: a 64 KiB external image over the simulated MIDI link at
// wire rate (31,250 baud), on the virtual clock. Reports the download time
// the window logged against the wire-rate limit for the same traffic: per
// packet 176 bytes out (three 8-byte messages and the 152-byte data frame)
// and the 10-byte register-9 answer in, at 0.32 ms a byte.
//
// MainJobMidiPacedRealTime: a 4 KiB image the same way on the system clock.
// Reports the share of the real time between the first and the last data
// packet that the process had the processor (`cpu_share`): the window's
// waits and the transport's block until the next tick instead of spinning.
#include <benchmark/benchmark.h>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/log.h"
#include "app/reflash_dlg.h"
#include "app/resources/dialog_templates.h"
#include "bench/bench_clock.h"
#include "platform/core/clock.h"
#include "protocol/transport_factory.h"
#include "sim/links/inprocess_link.h"
#include "sim/scenarios/scenarios.h"
#include "sim/unit/unit_model.h"
#include "tests/app/working_dir.h"
#include "tests/support/scripted_host.h"

namespace {

namespace fs = std::filesystem;

using bench::CpuSeconds;
using bench::WallSeconds;

// Times the download between the first and the last data packet, as the
// unit takes them (a paced link hands frames over in pieces, so the bytes
// alone do not say where a packet begins).
class PacketTimer final : public sim::BytePeer {
 public:
  explicit PacketTimer(sim::UnitModel& unit) : unit_(unit) {}
  void FromHost(const uint8_t* data, size_t n, bool toCard) override {
    unit_.FromHost(data, n, toCard);
    const int taken = unit_.PacketsAccepted() - packetsBefore_;
    if (taken == packets) return;
    if (packets == 0) {
      firstWall = WallSeconds();
      firstCpu = CpuSeconds();
    }
    packets = taken;
    lastWall = WallSeconds();
    lastCpu = CpuSeconds();
  }
  size_t ToHost(uint8_t* out, size_t max) override { return unit_.ToHost(out, max); }

  int packets = 0;
  double firstWall = 0, lastWall = 0, firstCpu = 0, lastCpu = 0;

 private:
  sim::UnitModel& unit_;
  const int packetsBefore_ = unit_.PacketsAccepted();
};

void MainJobInProcess(benchmark::State& state) {
  const sim::UnitConfig config = sim::MakeScenario("")->Units().at(0)->config();
  for (auto _ : state) {
    ScopedWorkingDir dir;  // the log lands in a folder of its own
    platform::VirtualClock clock;
    platform::Override<platform::Clock> useClock(clock);
    test_support::ScriptedHost host;
    sim::UnitModel unit(config);
    PacketTimer timer(unit);
    sim::LinkWiring wiring;
    wiring.Add(&timer, "Bench Link");
    sim::InProcessTransports transports;
    transports.Serve(kTransportMidi, &wiring);
    platform::Override<TransportFactory> useTransports(transports);
    host.ScriptFor(resources::kMainDialog).Press(resources::IDC_UPDATE);

    CReflashDlg dlg("");
    dlg.DoModal();
    if (dlg.Outcome() != RunOutcome::UpdateSucceeded || timer.packets < 2) {
      state.SkipWithError("the main job failed");
      return;
    }
    const double wall = timer.lastWall - timer.firstWall;
    const double cpu = timer.lastCpu - timer.firstCpu;
    state.counters["packets"] = timer.packets;
    state.counters["packets_per_s"] = (timer.packets - 1) / wall;
    state.counters["cpu_us_per_packet"] = cpu * 1e6 / (timer.packets - 1);
  }
}
BENCHMARK(MainJobInProcess)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

// "Download took: hh:mm:ss.mmm" of the log, in milliseconds; -1 when absent.
double LoggedDownloadMs(const fs::path& log) {
  std::ifstream in(log);
  std::stringstream text;
  text << in.rdbuf();
  const std::string s = text.str();
  const size_t at = s.find("Download took: ");
  unsigned h = 0, m = 0, sec = 0, ms = 0;
  if (at == std::string::npos ||
      std::sscanf(s.c_str() + at, "Download took: %u:%u:%u.%u", &h, &m, &sec, &ms) != 4) {
    return -1;
  }
  return ((h * 60.0 + m) * 60.0 + sec) * 1000.0 + ms;
}

// Runs the paced update of a `bytes` image dropped on the window; the
// logged download time in ms, or -1 when the update failed.
// With `cost`, also the real and CPU seconds between the first and the
// last data packet.
struct Cost {
  double wall = 0, cpu = 0;
};

double RunPacedJob(size_t bytes, Cost* cost = nullptr) {
  ScopedWorkingDir dir;  // the log lands in a folder of its own
  test_support::ScriptedHost host;
  sim::ScenarioOptions options;
  options.pacing = true;
  // The default scenario's unit and ports, with the packet timer between.
  sim::Scenario scenario("paced", options);
  sim::UnitModel unit(sim::MakeScenario("")->Units().at(0)->config());
  PacketTimer timer(unit);
  scenario.Midi().AddUnitPorts("Orvella(n) MIDI 1", &timer);
  scenario.Install();

  const fs::path image = dir.path() / "NBT0110ANC.BIN";
  std::vector<char> content(bytes);
  for (size_t i = 0; i < bytes; ++i) content[i] = static_cast<char>(i * 13 + 5);
  std::ofstream(image, std::ios::binary).write(content.data(), static_cast<std::streamsize>(bytes));
  host.ScriptFor(resources::kMainDialog).Drop({image.string()}).Press(resources::IDC_UPDATE);

  CReflashDlg dlg("");
  dlg.DoModal();
  CloseLog();
  const double elapsed = LoggedDownloadMs(dir.path() / "OrvellaReflash.log");
  if (cost) {
    cost->wall = timer.lastWall - timer.firstWall;
    cost->cpu = timer.lastCpu - timer.firstCpu;
  }
  return dlg.Outcome() == RunOutcome::UpdateSucceeded ? elapsed : -1;
}

void ReportPaced(benchmark::State& state, double elapsed, size_t bytes) {
  const double limit = static_cast<double>(bytes / 128) * (176 + 10) * 0.32;
  state.counters["elapsed_ms"] = elapsed;
  state.counters["wire_limit_ms"] = limit;
  state.counters["ratio"] = elapsed / limit;
}

void MainJobMidiPaced(benchmark::State& state) {
  const size_t bytes = 64 * 1024;
  double elapsed = -1;
  for (auto _ : state) {
    platform::VirtualClock clock;
    platform::Override<platform::Clock> useClock(clock);
    elapsed = RunPacedJob(bytes);
    if (elapsed < 0) {
      state.SkipWithError("the paced job failed");
      return;
    }
  }
  ReportPaced(state, elapsed, bytes);
}
BENCHMARK(MainJobMidiPaced)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

void MainJobMidiPacedRealTime(benchmark::State& state) {
  const size_t bytes = 4 * 1024;
  double elapsed = -1;
  double share = 0;
  for (auto _ : state) {
    Cost cost;
    elapsed = RunPacedJob(bytes, &cost);
    share = cost.wall > 0 ? cost.cpu / cost.wall : 0;
    if (elapsed < 0) {
      state.SkipWithError("the paced job failed");
      return;
    }
  }
  ReportPaced(state, elapsed, bytes);
  state.counters["cpu_share"] = share;
}
BENCHMARK(MainJobMidiPacedRealTime)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
