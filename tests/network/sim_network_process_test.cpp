// The network simulator as a separate process on a private network: our
// DNS-SD client finds its card, the card's unit answers over UDP, a stray
// datagram arrives from another address on request, and SIGTERM ends it
// with a report of the card's flash.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <string>

#include "network/dnssd/dns_sd.h"
#include "protocol/codec.h"
#include "tests/support/private_network.h"

namespace {

// The simulator as a child with its output on a pipe.
class Simulator {
 public:
  explicit Simulator(const std::vector<std::string>& args) {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(fds[1], 1);
      close(fds[0]);
      close(fds[1]);
      std::vector<char*> argv{const_cast<char*>(REFLASH_TEST_SIM_NETWORK)};
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(fds[1]);
    out_ = fds[0];
  }
  ~Simulator() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) close(out_);
  }
  // Reads output until it holds `text` (at most `ms`).
  bool WaitFor(const std::string& text, int ms = 10000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (output.find(text) == std::string::npos) {
      if (std::chrono::steady_clock::now() >= end) return false;
      pollfd p{out_, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      char buffer[512];
      ssize_t n = read(out_, buffer, sizeof buffer);
      if (n <= 0) return false;
      output.append(buffer, static_cast<size_t>(n));
    }
    return true;
  }
  // SIGTERM, then the exit status.
  int Stop() {
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    WaitFor("exit\n", 1000);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string output;

 private:
  pid_t pid_ = -1;
  int out_ = -1;
};

struct Found {
  std::string name;
  uint32_t interface = 0;
  std::string host, arcp, gone;
  uint32_t address = 0;
};

void OnBrowse(DNSServiceRef, DNSServiceFlags flags, uint32_t interface, DNSServiceErrorType, const char* name,
              const char*, const char*, void* context) {
  auto* found = static_cast<Found*>(context);
  if (flags & kDNSServiceFlagsAdd) {
    found->name = name;
    found->interface = interface;
  } else {
    found->gone = name;
  }
}

void OnResolve(DNSServiceRef, DNSServiceFlags, uint32_t, DNSServiceErrorType, const char*, const char* host, uint16_t,
               uint16_t txtLen, const unsigned char* txt, void* context) {
  auto* found = static_cast<Found*>(context);
  found->host = host;
  uint8_t n = 0;
  const void* v = TXTRecordGetValuePtr(txtLen, txt, "arcp_vers", &n);
  if (v) found->arcp.assign(static_cast<const char*>(v), n);
}

void OnQuery(DNSServiceRef, DNSServiceFlags, uint32_t, DNSServiceErrorType, const char*, uint16_t, uint16_t,
             uint16_t rdlen, const void* rdata, uint32_t, void* context) {
  if (rdlen == 4) std::memcpy(&static_cast<Found*>(context)->address, rdata, 4);
}

bool RunUntil(DNSServiceRef op, const std::function<bool()>& done) {
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    pollfd p{DNSServiceRefSockFD(op), POLLIN, 0};
    if (poll(&p, 1, 20) > 0) DNSServiceProcessResult(op);
  }
  return true;
}

// One datagram within 2 s, with its sender.
std::vector<uint8_t> Receive(int s, uint32_t* from) {
  pollfd p{s, POLLIN, 0};
  if (poll(&p, 1, 2000) <= 0) return {};
  uint8_t buffer[2048];
  sockaddr_in a{};
  socklen_t len = sizeof a;
  ssize_t n = recvfrom(s, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&a), &len);
  *from = ntohl(a.sin_addr.s_addr);
  return n > 0 ? std::vector<uint8_t>(buffer, buffer + n) : std::vector<uint8_t>{};
}

TEST(SimNetworkProcess, AdvertisesItsCardServesItsUnitInjectsOnRequestAndReportsAtExit) {
  REQUIRE_PRIVATE_NETWORK();
  Simulator sim({"--lifetime=30", "--inject-after=1"});
  ASSERT_TRUE(sim.WaitFor("ready\n")) << sim.output;
  EXPECT_NE(sim.output.find("card 1 Orvella-ZI-RERAR-1 at 127.0.0.1"), std::string::npos);

  Found found;
  DNSServiceRef browse = nullptr;
  ASSERT_EQ(DNSServiceBrowse(&browse, 0, 0, "_netaudio-cmc._udp.,Zelk", "local", OnBrowse, &found), 0);
  EXPECT_TRUE(RunUntil(browse, [&] { return !found.name.empty(); }));
  EXPECT_EQ(found.name, "Orvella-ZI-RERAR-1");
  DNSServiceRef resolve = nullptr;
  ASSERT_EQ(DNSServiceResolve(&resolve, 0, found.interface, found.name.c_str(), "_netaudio-arc._udp.", "local",
                              OnResolve, &found),
            0);
  EXPECT_TRUE(RunUntil(resolve, [&] { return !found.host.empty(); }));
  DNSServiceRefDeallocate(resolve);
  EXPECT_EQ(found.host, "zi-rerar-1.local.");
  EXPECT_EQ(found.arcp, "2.7.1");
  DNSServiceRef query = nullptr;
  ASSERT_EQ(DNSServiceQueryRecord(&query, 0x500, 0, found.host.c_str(), 1, 1, OnQuery, &found), 0);
  EXPECT_TRUE(RunUntil(query, [&] { return found.address != 0; }));
  DNSServiceRefDeallocate(query);
  EXPECT_EQ(found.address, inet_addr("127.0.0.1"));

  int s = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in host{};
  host.sin_family = AF_INET;
  host.sin_port = htons(5646);
  ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&host), sizeof host), 0);
  uint8_t read[codec::kShortLength];
  codec::BuildShort(read, codec::kRead, 16, 0);
  sockaddr_in unit{};
  unit.sin_family = AF_INET;
  unit.sin_port = htons(5645);
  unit.sin_addr.s_addr = inet_addr("127.0.0.1");
  sendto(s, read, sizeof read, 0, reinterpret_cast<sockaddr*>(&unit), sizeof unit);
  uint32_t from = 0;
  uint8_t expected[16];
  const uint8_t cardId = 21;
  const size_t n = codec::BuildRegisterData(expected, 16, &cardId, 1);
  // The reply and the injected datagram, in either order.
  std::vector<uint8_t> first = Receive(s, &from), second;
  uint32_t secondFrom = 0;
  second = Receive(s, &secondFrom);
  if (from != 0x7F000001) {
    std::swap(first, second);
    std::swap(from, secondFrom);
  }
  EXPECT_EQ(from, 0x7F000001u);
  EXPECT_EQ(first, std::vector<uint8_t>(expected, expected + n));
  EXPECT_EQ(secondFrom, 0x7F000002u);
  EXPECT_FALSE(second.empty());
  close(s);

  EXPECT_EQ(sim.Stop(), 0);
  EXPECT_NE(sim.output.find("card 1 flash=0 digest=cbf29ce484222325 received=1 sent=1 dropped=0"), std::string::npos)
      << sim.output;
  // Its goodbye takes the card off the browse at once.
  EXPECT_TRUE(RunUntil(browse, [&] { return found.gone == found.name; }));
  DNSServiceRefDeallocate(browse);
}

TEST(SimNetworkProcess, RefusesABadOptionAndStopsByItselfAtTheEndOfItsLifetime) {
  REQUIRE_PRIVATE_NETWORK();
  Simulator bad({"--drop-every=x"});
  EXPECT_FALSE(bad.WaitFor("ready\n", 3000));
  EXPECT_EQ(bad.Stop(), 2);
  Simulator brief({"--lifetime=1"});
  ASSERT_TRUE(brief.WaitFor("ready\n"));
  EXPECT_TRUE(brief.WaitFor("exit\n", 5000)) << brief.output;
}

}  // namespace
