// Cold-start discovery: the real program, started afresh, until it lists
// the card, against an independent responder and against the network
// simulator's own, in a private network namespace made by the bench
// (skipped without root). Each responder has been up a few seconds, so its
// announcements are over and the program must ask, as on a real network;
// between runs the bench waits 1.5 s, so no run profits from the answers
// the last one drew (a responder repeats a record at most once a second).
//
// ColdDiscoveryAvahi: avahi-daemon on a bridge advertises the card, the
// network simulator serves its UDP side (--no-advertise).
// ColdDiscoverySimulator: the network simulator advertises the card too.
//
// From exec of `reflash --console` (its question left unanswered) to the
// moment its log lists the card ("Found Orvella(n) connected via"), looked
// at every 2 ms. The limit is the network transport's 1 s discovery window.
// Reports `elapsed_ms`, `limit_ms`, `ratio` and `found` (runs that listed it).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "bench/bench_program.h"
#include "tests/support/card_peers.h"
#include "tests/support/network_simulator.h"
#include "tests/support/private_network.h"
#include "tests/support/text_files.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr auto kPeerUp = std::chrono::seconds(4);
constexpr auto kQuietBetweenRuns = std::chrono::milliseconds(1500);
constexpr const char* kListed = "Found Orvella(n) connected via";

// One cold run in `dir`: milliseconds until the card is listed, or -1.
double TimeToListedCard(const fs::path& binary, const fs::path& dir) {
  const fs::path log = dir / "OrvellaReflash.log";
  fs::remove(log);
  const auto start = Clock::now();
  const pid_t child = fork();
  if (child == 0) {
    if (chdir(dir.c_str()) != 0) _exit(126);
    const int quiet = open("/dev/null", O_RDWR);
    dup2(quiet, 0);
    dup2(quiet, 1);
    dup2(quiet, 2);
    execl(binary.c_str(), binary.c_str(), "--console", static_cast<char*>(nullptr));
    _exit(127);
  }
  double ms = -1;
  bool exited = false;
  while (!exited && Clock::now() - start < std::chrono::seconds(20)) {
    int status = 0;
    exited = waitpid(child, &status, WNOHANG) == child;
    if (ms < 0 && test_support::ReadFile(log).find(kListed) != std::string::npos) {
      ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    }
    if (!exited) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  // The next run starts only once this one has gone (it holds port 5646).
  if (!exited) {
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
  }
  return ms;
}

void ColdDiscovery(benchmark::State& state, bool avahi) {
  fs::path binary;
  if (!bench::EnterWithProgram(state, &binary)) return;
  std::string why;
  if (avahi && access(test_support::kAvahiDaemon, X_OK) != 0) {
    state.SkipWithError("avahi-daemon is not installed");
    return;
  }
  static bool avahiNetwork = false;
  if (avahi && !avahiNetwork && !(avahiNetwork = test_support::PrepareAvahiNetwork(&why))) {
    state.SkipWithError(("no bridge for avahi-daemon: " + why).c_str());
    return;
  }
  fs::path dir;
  if (!bench::ScratchFolder(state, "reflash-discbench", &dir)) return;
  std::vector<std::string> args{"--cards=1", "--lifetime=600"};
  if (avahi) {
    args.push_back("--no-advertise");
    args.push_back(std::string("--address=") + test_support::kAvahiCardAddress);
  }
  auto sim = std::make_unique<test_support::NetworkSimulator>(REFLASH_BENCH_SIM_NETWORK, args, dir / "sim.txt");
  std::unique_ptr<test_support::AvahiCardPeer> peer;
  if (avahi) peer = std::make_unique<test_support::AvahiCardPeer>(dir / "avahi");
  if (!sim->Ready() || (peer && !peer->Established(20000))) {
    state.SkipWithError("the card's peers did not start");
    return;
  }
  std::this_thread::sleep_for(kPeerUp);
  double totalMs = 0;
  int runs = 0, found = 0;
  for (auto _ : state) {
    std::this_thread::sleep_for(kQuietBetweenRuns);
    const double ms = TimeToListedCard(binary, dir);
    ++runs;
    if (ms < 0) continue;
    totalMs += ms;
    ++found;
  }
  peer.reset();
  sim.reset();
  std::error_code ignored;
  fs::remove_all(dir, ignored);
  if (found == 0) {
    state.SkipWithError("the card was never listed");
    return;
  }
  state.counters["elapsed_ms"] = totalMs / found;
  state.counters["limit_ms"] = 1000;
  state.counters["ratio"] = totalMs / found / 1000;
  state.counters["found"] = static_cast<double>(found) / runs;
}

void ColdDiscoveryAvahi(benchmark::State& state) { ColdDiscovery(state, true); }
void ColdDiscoverySimulator(benchmark::State& state) { ColdDiscovery(state, false); }
// The simulator first: it advertises on every interface, and the avahi-daemon
// runs add the bridge.
BENCHMARK(ColdDiscoverySimulator)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(ColdDiscoveryAvahi)->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
