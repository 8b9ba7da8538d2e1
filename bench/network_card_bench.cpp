// A ZI-RERAR card update over loopback UDP: the real program against the
// network simulator, both in a private network namespace made by the bench.
//
// NetworkCardUpdate: `reflash --console --yes ZSLOT FILE=<78,000-byte card
// image> --trace=FILE`; from the wire trace, the time from the first data
// packet sent to the last answer received, per packet (each packet is
// written and acknowledged, then requested back and compared). The limit
// is the round-trip bound: two round trips a packet, one for the write and
// one for the verify, with the round trip of a 152-byte datagram between
// two loopback sockets measured here. Reports `ms_per_packet`,
// `rtt_us`, `bound_ms_per_packet` and `ratio`, and `cpu_share`: the
// program's CPU time over its whole run (discovery window included) against
// the run's real time, which stays low only when its waits block.
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench/bench_program.h"
#include "platform/net/udp_socket.h"
#include "tests/support/network_simulator.h"
#include "tests/support/private_network.h"

namespace {

namespace fs = std::filesystem;

constexpr size_t kImageSize = 78000;
constexpr int kPackets = 610;  // 78,000 bytes in 128-byte packets
constexpr size_t kDataFrame = 152;

// Mean round trip of a 152-byte datagram between two loopback sockets, µs.
double LoopbackRoundTripUs() {
  const int a = platform::net::UdpOpen(), b = platform::net::UdpOpen();
  platform::net::UdpBind(a, INADDR_LOOPBACK, 47001);
  platform::net::UdpBind(b, INADDR_LOOPBACK, 47002);
  uint8_t frame[kDataFrame] = {0xF0};
  constexpr int kRounds = 2000;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kRounds; ++i) {
    platform::net::UdpSendTo(a, frame, sizeof frame, INADDR_LOOPBACK, 47002);
    pollfd pb{b, POLLIN, 0};
    poll(&pb, 1, 100);
    platform::net::UdpReceive(b, frame, sizeof frame);
    platform::net::UdpSendTo(b, frame, sizeof frame, INADDR_LOOPBACK, 47001);
    pollfd pa{a, POLLIN, 0};
    poll(&pa, 1, 100);
    platform::net::UdpReceive(a, frame, sizeof frame);
  }
  const double us = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
  platform::net::UdpClose(a);
  platform::net::UdpClose(b);
  return us / kRounds;
}

// Milliseconds from the first data frame sent to the last answer, per the
// trace's lines "<ms> <out|in> <connection> <bytes>"; -1 when it holds none.
double TransferMs(const fs::path& trace) {
  std::ifstream in(trace);
  std::string line;
  long first = -1, last = -1;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    long ms = 0;
    std::string direction, connection;
    words >> ms >> direction >> connection;
    size_t bytes = 0;
    for (std::string b; words >> b;) ++bytes;
    if (direction == "out" && bytes == kDataFrame && first < 0) first = ms;
    if (direction == "in" && first >= 0) last = ms;
  }
  return first < 0 || last < first ? -1 : static_cast<double>(last - first);
}

void NetworkCardUpdate(benchmark::State& state) {
  fs::path binary;
  if (!bench::EnterWithProgram(state, &binary)) return;
  fs::path dir;
  if (!bench::ScratchFolder(state, "reflash-netbench", &dir)) return;
  const fs::path image = dir / "ZTDNT0102NC.BIN";
  {
    std::ofstream out(image, std::ios::binary);
    for (size_t i = 0; i < kImageSize; ++i) out.put(static_cast<char>(i * 7 + 3));
  }
  const double rttUs = LoopbackRoundTripUs();
  double totalMs = 0;
  double cpuSeconds = 0, wallSeconds = 0;
  int runs = 0;
  for (auto _ : state) {
    test_support::NetworkSimulator sim(REFLASH_BENCH_SIM_NETWORK, {"--cards=1", "--lifetime=120"}, dir / "sim.txt");
    if (!sim.Ready()) {
      state.SkipWithError("the network simulator did not start");
      break;
    }
    fs::remove(dir / "trace.txt");
    const std::string command = "cd '" + dir.string() + "' && '" + binary.string() +
                                "' --console --yes ZSLOT FILE='" + image.string() +
                                "' --trace=trace.txt >out.txt 2>err.txt </dev/null";
    rusage before{}, after{};
    getrusage(RUSAGE_CHILDREN, &before);
    const auto started = std::chrono::steady_clock::now();
    const int raw = std::system(command.c_str());
    wallSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    getrusage(RUSAGE_CHILDREN, &after);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    cpuSeconds += seconds(after.ru_utime) - seconds(before.ru_utime) + seconds(after.ru_stime) -
                  seconds(before.ru_stime);
    sim.Stop();
    const double ms = TransferMs(dir / "trace.txt");
    if (!WIFEXITED(raw) || WEXITSTATUS(raw) != 0 || ms < 0) {
      state.SkipWithError("the card update did not complete");
      break;
    }
    totalMs += ms;
    ++runs;
  }
  std::error_code ignored;
  fs::remove_all(dir, ignored);
  if (runs == 0) return;
  const double perPacket = totalMs / runs / kPackets;
  const double bound = 2 * rttUs / 1000;
  state.counters["ms_per_packet"] = perPacket;
  state.counters["rtt_us"] = rttUs;
  state.counters["bound_ms_per_packet"] = bound;
  state.counters["ratio"] = perPacket / bound;
  state.counters["cpu_share"] = wallSeconds > 0 ? cpuSeconds / wallSeconds : 0;
}

BENCHMARK(NetworkCardUpdate)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
