// Start-up to a listed unit with one simulated Orvella(n) over MIDI (the
// default scenario: the unit's port pair beside a synthesizer and two
// virtual port pairs), on the system clock, since the probe window it is
// held against is real time.
//
// StartupToListedUnit: from the engine's construction through Open (driver
// first, then the MIDI probe of every usable port) to the first entry the
// unit list would show: the connection selected, its identity read and its
// description made, as the window's unit search does.
//
// StartupWholeProgram: the real program, `reflash --console --simulate`
// with no answer to its question, from exec to exit: start-up checks, log,
// unit search, the unit's details, Cancel. An upper bound on the same
// figure that includes process start and tear-down. The binary is
// $REFLASH_BIN, else app/reflash beside this benchmark's build folder.
//
// Both report `elapsed_ms` and `ratio` against the 500 ms probe window.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "app/log.h"
#include "protocol/orvella_remote.h"
#include "sim/scenarios/scenarios.h"
#include "tests/app/working_dir.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr double kProbeWindowMs = 500;

double WallMs() {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}


void Report(benchmark::State& state, double elapsedMs) {
  state.counters["elapsed_ms"] = elapsedMs;
  state.counters["probe_window_ms"] = kProbeWindowMs;
  state.counters["ratio"] = elapsedMs / kProbeWindowMs;
}

// Milliseconds to the first listed unit, or -1 when none was listed.
double TimeToListedUnit() {
  std::unique_ptr<sim::Scenario> scenario = sim::MakeScenario("");
  scenario->Install();

  const double start = WallMs();
  auto remote = std::make_unique<COrvellaRemote>();
  uint16_t connections = 0;
  if (remote->Open() != 0 || remote->GetNumberOfConnections(&connections) != 0 || connections == 0) return -1;
  if (remote->SelectConnection(0) != 0) return -1;
  uint8_t productId = 0;
  remote->GetProductID(&productId);
  char description[260] = {};
  uint8_t describedId = 0;
  if (productId != 96 || remote->GetConnectionDescription(0, description, sizeof description, &describedId) != 0) {
    return -1;
  }
  return WallMs() - start;
}

// Runs `measure` once an iteration in a folder of its own (where the log
// lands) and reports the mean; a negative result ends the benchmark with
// `failure`. Returns the last result.
template <class Measure>
double MeasureRuns(benchmark::State& state, Measure measure, const char* failure) {
  ScopedWorkingDir dir;
  double elapsed = 0;
  double total = 0;
  int runs = 0;
  for (auto _ : state) {
    elapsed = measure();
    if (elapsed < 0) {
      state.SkipWithError(failure);
      return elapsed;
    }
    total += elapsed;
    ++runs;
  }
  Report(state, total / runs);
  return elapsed;
}

void StartupToListedUnit(benchmark::State& state) {
  const double last = MeasureRuns(state, TimeToListedUnit, "no unit was listed");
  if (last >= 0) state.counters["last_ms"] = last;
}
BENCHMARK(StartupToListedUnit)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

fs::path ReflashBinary() {
  if (const char* bin = std::getenv("REFLASH_BIN"); bin && *bin) return bin;
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return self.parent_path().parent_path() / "app" / "reflash";
}

// Milliseconds from spawn to exit; -1 when it could not run or failed.
double TimeWholeProgram(const fs::path& binary) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::string path = binary.string();
  char console[] = "--console";
  char simulate[] = "--simulate";
  char* argv[] = {path.data(), console, simulate, nullptr};

  const double start = WallMs();
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  const double elapsed = WallMs() - start;
  // Without an answer the run ends cancelled (non-zero) but must not crash.
  if (!WIFEXITED(status)) return -1;
  return elapsed;
}

void StartupWholeProgram(benchmark::State& state) {
  const fs::path binary = ReflashBinary();
  if (!fs::exists(binary)) {
    state.SkipWithError("the reflash binary was not found (set REFLASH_BIN)");
    return;
  }
  MeasureRuns(state, [&] { return TimeWholeProgram(binary); }, "reflash did not run to its end");
}
BENCHMARK(StartupWholeProgram)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
