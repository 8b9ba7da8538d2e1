// The network inside the process: the UDP service hands datagrams to the
// simulated cards and their replies back with the card as sender, pumps
// time-driven replies while the caller waits, and the DNS-SD library the
// binding loads answers from the same cards.
#include <gtest/gtest.h>

#include <cstring>

#include "network/dnssd_binding.h"
#include "platform/core/clock.h"
#include "platform/net/udp_socket.h"
#include "protocol/codec.h"
#include "sim/network/card_unit.h"
#include "sim/network/sim_network.h"

namespace {

using platform::UdpService;

class InProcessNetwork : public ::testing::Test {
 protected:
  InProcessNetwork() : clock_(1000, 0, 1), clockGuard_(clock_), unit_(sim::ZiRerarUnit(0)) {
    card_ = &net_.AddCard(&unit_);
    net_.Install();
  }
  UdpService& Udp() { return platform::Use<UdpService>(); }
  // A host socket bound to port 5646, as the transport makes it.
  int HostSocket() {
    int s = Udp().Open(nullptr);
    EXPECT_EQ(Udp().Bind(s, 0, sim::kHostPort, nullptr), 0);
    return s;
  }
  void Send(int s, const uint8_t* frame, size_t n, uint16_t port = sim::kUnitPort) {
    EXPECT_EQ(Udp().SendTo(s, frame, n, sim::SimCardAddress(0), port, nullptr), static_cast<int>(n));
  }
  void Command(int s, uint8_t k, uint16_t port) {
    uint8_t f[codec::kCommandLength];
    codec::BuildCommand(f, k);
    Send(s, f, sizeof f, port);
  }

  platform::VirtualClock clock_;
  platform::Override<platform::Clock> clockGuard_;
  sim::UnitModel unit_;
  sim::SimNetwork net_;
  sim::CardEndpoints::Card* card_ = nullptr;
};

TEST_F(InProcessNetwork, AReadReachesTheUnitAndItsAnswerComesBackFromTheCard) {
  int host = HostSocket();
  uint8_t read[codec::kShortLength];
  codec::BuildShort(read, codec::kRead, 16, 0);
  Send(host, read, sizeof read);
  std::vector<int> readable;
  ASSERT_EQ(Udp().WaitReadable({host}, 0, readable, nullptr), 1);
  uint8_t buffer[4095];
  uint32_t from = 0;
  uint16_t fromPort = 0;
  int n = Udp().Receive(host, buffer, sizeof buffer, &from, &fromPort, nullptr);
  uint8_t expected[16];
  const uint8_t id = 21;
  const size_t length = codec::BuildRegisterData(expected, 16, &id, 1);
  EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + n), std::vector<uint8_t>(expected, expected + length));
  EXPECT_EQ(from, sim::SimCardAddress(0));
  EXPECT_EQ(fromPort, sim::kUnitPort);
  EXPECT_EQ(card_->counts.received, 1);
  // Nothing more is queued.
  int error = 0;
  EXPECT_EQ(Udp().Receive(host, buffer, sizeof buffer, &from, &fromPort, &error), -1);
  EXPECT_EQ(error, EAGAIN);
  Udp().Close(host);
}

TEST_F(InProcessNetwork, SendsElsewhereAreLostPort5646IsTakenOnceAndClosingReleasesIt) {
  int host = HostSocket();
  int second = Udp().Open(nullptr);
  int error = 0;
  EXPECT_EQ(Udp().Bind(second, 0, sim::kHostPort, &error), -1);
  EXPECT_EQ(error, EADDRINUSE);
  uint8_t read[codec::kShortLength];
  codec::BuildShort(read, codec::kRead, 16, 0);
  EXPECT_EQ(Udp().SendTo(second, read, sizeof read, 0x08080808, sim::kUnitPort, nullptr), 8);
  EXPECT_EQ(Udp().SendTo(second, read, sizeof read, sim::SimCardAddress(0), 9999, nullptr), 8);
  std::vector<int> readable;
  EXPECT_EQ(Udp().WaitReadable({host}, 5, readable, nullptr), 0);
  EXPECT_EQ(card_->counts.received, 0);
  Udp().Close(host);
  EXPECT_EQ(Udp().Bind(second, 0, sim::kHostPort, nullptr), 0);
  Udp().Close(second);
  EXPECT_EQ(net_.Udp().OpenSockets(), 0u);
}

TEST_F(InProcessNetwork, TheEndOfTheCardsEraseArrivesWhileTheHostWaitsAndDropsFollowTheLink) {
  int host = HostSocket();
  Command(host, codec::kPrepare, sim::kCardPort);
  Command(host, codec::kErase, sim::kCardPort);
  std::vector<int> readable;
  const uint32_t start = clock_.Peek();
  ASSERT_EQ(Udp().WaitReadable({host}, 2000, readable, nullptr), 1);
  EXPECT_GE(clock_.Peek() - start, sim::UnitTiming().cardEraseMs);
  uint8_t buffer[64];
  int n = Udp().Receive(host, buffer, sizeof buffer, nullptr, nullptr, nullptr);
  uint8_t status = 0;
  ASSERT_GT(n, 7);
  EXPECT_EQ(buffer[5] >> 2, 9);  // register 9, the status
  ASSERT_EQ(codec::UnpackBits7(&status, 1, buffer + 7, static_cast<size_t>(n - 8)), 2u);
  EXPECT_EQ(status & sim::kStatusPip, 0);

  // With every second datagram lost, one of two reads goes unanswered.
  card_->faults.dropEvery = 2;
  uint8_t read[codec::kShortLength];
  codec::BuildShort(read, codec::kRead, 16, 0);
  int answers = 0;
  for (int i = 0; i < 2; ++i) {
    Send(host, read, sizeof read);
    while (Udp().WaitReadable({host}, 10, readable, nullptr) == 1) {
      Udp().Receive(host, buffer, sizeof buffer, nullptr, nullptr, nullptr);
      ++answers;
    }
  }
  EXPECT_LT(answers, 2);
  EXPECT_GT(card_->counts.dropped, 0);
  Udp().Close(host);
}

struct Heard {
  std::vector<std::string> names;
  std::string host, arcp;
  uint16_t port = 0;
  uint32_t interface = 0;
  std::vector<uint8_t> address;
};

void OnBrowse(DNSServiceRef, DNSServiceFlags flags, uint32_t interface, DNSServiceErrorType, const char* name,
              const char* type, const char*, void* context) {
  auto* heard = static_cast<Heard*>(context);
  EXPECT_TRUE(flags & kDNSServiceFlagsAdd);
  EXPECT_STREQ(type, "_netaudio-cmc._udp.");
  heard->names.push_back(name);
  heard->interface = interface;
}

void OnResolve(DNSServiceRef, DNSServiceFlags, uint32_t, DNSServiceErrorType, const char*, const char* host,
               uint16_t port, uint16_t txtLen, const unsigned char* txt, void* context) {
  auto* heard = static_cast<Heard*>(context);
  heard->host = host;
  heard->port = static_cast<uint16_t>(port >> 8 | port << 8);
  uint8_t n = 0;
  const void* v = DnsSd().TXTGetValuePtr(txtLen, txt, "arcp_vers", &n);
  if (v) heard->arcp.assign(static_cast<const char*>(v), n);
}

void OnQuery(DNSServiceRef, DNSServiceFlags, uint32_t, DNSServiceErrorType, const char*, uint16_t, uint16_t,
             uint16_t rdlen, const void* rdata, uint32_t, void* context) {
  auto* p = static_cast<const uint8_t*>(rdata);
  static_cast<Heard*>(context)->address.assign(p, p + rdlen);
}

// Delivers every reply the operation's socket announces.
int Drain(DNSServiceRef ref) {
  int replies = 0;
  while (platform::net::UdpPeek(DnsSd().RefSockFD(ref)) == 1) {
    EXPECT_EQ(DnsSd().ProcessResult(ref), kDNSServiceErr_NoError);
    ++replies;
  }
  return replies;
}

TEST_F(InProcessNetwork, TheBindingLoadsDnsSdThatFindsResolvesAndAddressesTheCards) {
  sim::UnitModel second(sim::ZiRerarUnit(1));
  net_.AddCard(&second);
  ASSERT_TRUE(LoadDnsSdBinding());
  Heard heard;
  DNSServiceRef browse = nullptr, other = nullptr, resolve = nullptr, query = nullptr;
  ASSERT_EQ(DnsSd().Browse(&browse, 0, 0, "_netaudio-cmc._udp.,Zelk", "local", OnBrowse, &heard), 0);
  ASSERT_EQ(DnsSd().Browse(&other, 0, 0, "_netaudio-cmc._udp.,Else", "local", OnBrowse, &heard), 0);
  EXPECT_EQ(Drain(browse), 2);
  EXPECT_EQ(Drain(other), 0);
  EXPECT_EQ(heard.names, (std::vector<std::string>{"Orvella-ZI-RERAR-1", "Orvella-ZI-RERAR-2"}));
  EXPECT_EQ(heard.interface, sim::kSimInterface);

  ASSERT_EQ(DnsSd().Resolve(&resolve, 0, heard.interface, "Orvella-ZI-RERAR-2", "_netaudio-arc._udp.", "local",
                            OnResolve, &heard),
            0);
  EXPECT_EQ(Drain(resolve), 1);
  EXPECT_EQ(heard.host, "zi-rerar-2.local.");
  EXPECT_EQ(heard.port, 4440);
  EXPECT_EQ(heard.arcp, "2.7.1");
  ASSERT_EQ(DnsSd().QueryRecord(&query, 0x500, 0, heard.host.c_str(), 1, 1, OnQuery, &heard), 0);
  EXPECT_EQ(Drain(query), 1);
  EXPECT_EQ(heard.address, (std::vector<uint8_t>{192, 168, 77, 11}));
  for (DNSServiceRef r : {browse, other, resolve, query}) DnsSd().RefDeallocate(r);
  EXPECT_EQ(sim::SimDnsSd::LiveOperations(), 0);
  UnloadDnsSdBinding();

  // Every other library still comes from the real loader.
  EXPECT_EQ(platform::Use<platform::DynamicLibraries>().Load("/nonexistent/library.so"), nullptr);
}

// The browse object ends a resolve from inside the resolve's own reply.
TEST_F(InProcessNetwork, AnOperationEndedInsideItsOwnReplyIsFreedAfterIt) {
  ASSERT_TRUE(LoadDnsSdBinding());
  struct Ending {
    DNSServiceRef ref = nullptr;
    int replies = 0;
  } ending;
  auto onResolve = [](DNSServiceRef ref, DNSServiceFlags, uint32_t, DNSServiceErrorType, const char*, const char*,
                      uint16_t, uint16_t, const unsigned char*, void* context) {
    auto* e = static_cast<Ending*>(context);
    ++e->replies;
    EXPECT_EQ(ref, e->ref);
    DnsSd().RefDeallocate(ref);
  };
  ASSERT_EQ(DnsSd().Resolve(&ending.ref, 0, 0, "orvella-zi-rerar-1", "_netaudio-cmc._udp", "local", onResolve,
                            &ending),
            0);
  EXPECT_EQ(DnsSd().ProcessResult(ending.ref), kDNSServiceErr_NoError);
  EXPECT_EQ(ending.replies, 1);
  EXPECT_EQ(sim::SimDnsSd::LiveOperations(), 0);
  UnloadDnsSdBinding();
}

}  // namespace
