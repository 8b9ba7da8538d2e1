// Our DNS-SD client on the private network's loopback (made by the bench,
// as the tests make it), against the tests' responder in this process.
//
// BrowseToFirstAdd: from DNSServiceBrowse to the first Add reply, the caller
// waiting on the operation's socket as the discovery library does. Each run
// browses a service type nothing in the process has heard of, so the
// process's record cache cannot answer; the responder answers the one-shot
// query at once by unicast (its group answer comes 20-120 ms later, as a
// real responder's does), so this is the client's own share. The limit is
// the network transport's discovery window, 1 s.
//
// CpuPerDatagram: announcements of 20 instances (PTR, SRV, TXT, A each),
// alternating with their goodbyes, read and handled by a browse; the
// thread CPU time inside DNSServiceProcessResult per datagram.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <poll.h>
#include <time.h>

#include <chrono>
#include <string>

#include "network/dnssd/dns_sd.h"
#include "tests/network/test_responder.h"
#include "tests/support/private_network.h"

namespace {

using test_support::TestResponder;
using test_support::TestService;

double ThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

TestService Unit(int i) {
  TestService s;
  s.instance = "Unit " + std::to_string(i);
  s.host = "unit-" + std::to_string(i);
  s.address = inet_addr("127.0.0.1");
  return s;
}

struct Counter {
  int adds = 0;
  int replies = 0;
};

void OnBrowse(DNSServiceRef, DNSServiceFlags flags, uint32_t, DNSServiceErrorType, const char*, const char*,
              const char*, void* context) {
  auto* c = static_cast<Counter*>(context);
  ++c->replies;
  if (flags & kDNSServiceFlagsAdd) ++c->adds;
}

bool Ready(benchmark::State& state) {
  std::string why;
  if (!test_support::EnterPrivateNetwork(&why)) {
    state.SkipWithError(("no private network namespace: " + why).c_str());
    return false;
  }
  return true;
}

void BrowseToFirstAdd(benchmark::State& state) {
  if (!Ready(state)) return;
  TestResponder responder;
  if (!responder.Open({test_support::InterfaceIndex("lo")})) {
    state.SkipWithError("responder cannot open");
    return;
  }
  double totalMs = 0;
  int runs = 0;
  for (auto _ : state) {
    TestService unit = Unit(runs);
    unit.type = "_bench" + std::to_string(runs) + "._udp";
    responder.Add(unit);
    Counter counter;
    auto start = std::chrono::steady_clock::now();
    DNSServiceRef ref = nullptr;
    if (DNSServiceBrowse(&ref, 0, 0, unit.type.c_str(), "local", OnBrowse, &counter) != 0) {
      state.SkipWithError("browse failed");
      return;
    }
    while (counter.adds == 0) {
      pollfd fds[2] = {{DNSServiceRefSockFD(ref), POLLIN, 0}, {responder.fd(), POLLIN, 0}};
      if (poll(fds, 2, 1000) <= 0) break;
      if (fds[1].revents & POLLIN) responder.Serve();
      if (fds[0].revents & POLLIN) DNSServiceProcessResult(ref);
    }
    totalMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    ++runs;
    DNSServiceRefDeallocate(ref);
    if (counter.adds == 0) {
      state.SkipWithError("no Add within a second");
      return;
    }
  }
  state.counters["elapsed_ms"] = totalMs / runs;
  state.counters["limit_ms"] = 1000;
  state.counters["ratio"] = totalMs / runs / 1000;
}
BENCHMARK(BrowseToFirstAdd)->Iterations(50)->Unit(benchmark::kMillisecond);

void CpuPerDatagram(benchmark::State& state) {
  if (!Ready(state)) return;
  TestResponder responder;
  unsigned lo = test_support::InterfaceIndex("lo");
  if (!responder.Open({lo})) {
    state.SkipWithError("responder cannot open");
    return;
  }
  responder.answerQueries = false;
  Counter counter;
  DNSServiceRef ref = nullptr;
  DNSServiceBrowse(&ref, 0, 0, "_netaudio-cmc._udp", "local", OnBrowse, &counter);
  double cpu = 0;
  long datagrams = 0;
  int round = 0;
  for (auto _ : state) {
    // One batch: 20 announcements or 20 goodbyes, then read them all.
    for (int i = 0; i < 20; ++i) responder.Announce(Unit(i), lo, round % 2 == 0 ? 120 : 0);
    ++round;
    int read = 0;
    while (read < 20) {
      pollfd p{DNSServiceRefSockFD(ref), POLLIN, 0};
      if (poll(&p, 1, 1000) <= 0) break;
      double before = ThreadCpuSeconds();
      DNSServiceProcessResult(ref);
      cpu += ThreadCpuSeconds() - before;
      ++read;
    }
    datagrams += read;
    responder.Serve();  // our own questions, heard by the responder too
  }
  DNSServiceRefDeallocate(ref);
  state.counters["datagrams"] = static_cast<double>(datagrams);
  state.counters["cpu_us_per_datagram"] = datagrams ? cpu * 1e6 / static_cast<double>(datagrams) : 0;
  state.counters["replies"] = counter.replies;
}
BENCHMARK(CpuPerDatagram)->Iterations(200)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
