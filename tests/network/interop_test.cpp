// Our DNS-SD client and our test responder against a multicast DNS
// implementation nobody here wrote: python3-zeroconf, in the private network.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <unistd.h>
#include <string>

#include "network/dnssd/dns_sd.h"
#include "tests/network/test_responder.h"
#include "tests/support/private_network.h"

namespace {

const char* const kPython = "/usr/bin/python3";

std::string PeerCommand(const std::string& args) {
  return std::string(kPython) + " " + REFLASH_TEST_NETWORK_DIR + "/zeroconf_peer.py " + args;
}

bool ZeroconfAvailable() { return std::system((std::string(kPython) + " -c 'import zeroconf' 2>/dev/null").c_str()) == 0; }

// Reads one line from the peer, waiting at most `ms`; "" on time-out or end.
std::string ReadLine(FILE* peer, int ms, const std::function<void()>& meanwhile = {}) {
  std::string line;
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) {
    pollfd p{fileno(peer), POLLIN, 0};
    if (meanwhile) meanwhile();
    if (poll(&p, 1, 20) <= 0) continue;
    char c;
    ssize_t n = read(fileno(peer), &c, 1);
    if (n <= 0) return line;
    if (c == '\n') return line;
    line += c;
  }
  return line;
}

struct Found {
  std::map<std::string, int> adds;
  std::set<std::string> present;
  std::string host;
  uint16_t port = 0;
  std::vector<uint8_t> txt;
  uint32_t address = 0;
  unsigned interface = 0;
};

bool RunUntil(DNSServiceRef op, const std::function<bool()>& done, int ms) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done() && std::chrono::steady_clock::now() < end) {
    pollfd p{DNSServiceRefSockFD(op), POLLIN, 0};
    if (poll(&p, 1, 20) > 0) DNSServiceProcessResult(op);
  }
  return done();
}

class Interop : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_PRIVATE_NETWORK();
    if (!ZeroconfAvailable()) GTEST_SKIP() << "skipped: python3-zeroconf is not installed for " << kPython;
  }
};

TEST_F(Interop, WeBrowseResolveAndQueryWhatZeroconfRegisters) {
  FILE* peer = popen(PeerCommand("register 6").c_str(), "r");
  ASSERT_NE(peer, nullptr);
  ASSERT_EQ(ReadLine(peer, 10000), "ready");
  Found f;

  DNSServiceRef browse = nullptr;
  ASSERT_EQ(DNSServiceBrowse(
                &browse, 0, 0, "_netaudio-cmc._udp.,Zelk", "local",
                [](DNSServiceRef, DNSServiceFlags flags, uint32_t, DNSServiceErrorType, const char* name, const char*,
                   const char*, void* c) {
                  auto* f = static_cast<Found*>(c);
                  if (flags & kDNSServiceFlagsAdd) {
                    ++f->adds[name];
                    f->present.insert(name);
                  } else {
                    f->present.erase(name);
                  }
                },
                &f),
            kDNSServiceErr_NoError);
  EXPECT_TRUE(RunUntil(browse, [&] { return f.present.count("Peer Unit") == 1; }, 4000));

  DNSServiceRef resolve = nullptr;
  ASSERT_EQ(DNSServiceResolve(
                &resolve, 0, 0, "Peer Unit", "_netaudio-arc._udp.", "local",
                [](DNSServiceRef, DNSServiceFlags, uint32_t interface, DNSServiceErrorType, const char*,
                   const char* host, uint16_t port, uint16_t len, const unsigned char* txt, void* c) {
                  auto* f = static_cast<Found*>(c);
                  f->host = host;
                  f->port = ntohs(port);
                  f->txt.assign(txt, txt + len);
                  f->interface = interface;
                },
                &f),
            kDNSServiceErr_NoError);
  EXPECT_TRUE(RunUntil(resolve, [&] { return f.port != 0; }, 4000));
  EXPECT_EQ(f.host, "peer-unit.local.");
  EXPECT_EQ(f.port, 4440);
  uint8_t len = 0;
  const void* v = TXTRecordGetValuePtr(static_cast<uint16_t>(f.txt.size()), f.txt.data(), "arcp_vers", &len);
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(std::string(static_cast<const char*>(v), len), "2.8.1");
  EXPECT_GT(f.txt.size(), 200u);
  DNSServiceRefDeallocate(resolve);

  DNSServiceRef query = nullptr;
  ASSERT_EQ(DNSServiceQueryRecord(
                &query, kDNSServiceFlagsLongLivedQuery | kDNSServiceFlagsForceMulticast, 0, "peer-unit.local.",
                kDNSServiceType_A, kDNSServiceClass_IN,
                [](DNSServiceRef, DNSServiceFlags flags, uint32_t, DNSServiceErrorType, const char*, uint16_t,
                   uint16_t, uint16_t rdlen, const void* rdata, uint32_t, void* c) {
                  if ((flags & kDNSServiceFlagsAdd) && rdlen == 4) std::memcpy(&static_cast<Found*>(c)->address, rdata, 4);
                },
                &f),
            kDNSServiceErr_NoError);
  EXPECT_TRUE(RunUntil(query, [&] { return f.address != 0; }, 4000));
  EXPECT_EQ(f.address, inet_addr("127.0.0.1"));
  DNSServiceRefDeallocate(query);

  // The peer leaves: its goodbye ends the instance.
  EXPECT_TRUE(RunUntil(browse, [&] { return f.present.empty(); }, 12000));
  EXPECT_EQ(f.adds["Peer Unit"], 1);
  DNSServiceRefDeallocate(browse);
  pclose(peer);
}

TEST_F(Interop, ZeroconfBrowsesAndResolvesOurResponder) {
  test_support::TestResponder responder;
  ASSERT_TRUE(responder.Open({test_support::InterfaceIndex("lo")}));
  test_support::TestService unit;
  unit.instance = "Our Unit";
  unit.type = "_netaudio-arc._udp";
  unit.host = "our-unit";
  unit.port = 4441;
  unit.address = inet_addr("127.0.0.1");
  unit.txt = mdns::MakeTxt({"arcp_vers=2.8.1", "mf=Zelk"});
  responder.Add(unit);
  FILE* peer = popen(PeerCommand("browse _netaudio-arc._udp.local. 8").c_str(), "r");
  ASSERT_NE(peer, nullptr);
  std::string line = ReadLine(peer, 12000, [&] { responder.Serve(); });
  pclose(peer);
  EXPECT_EQ(line, "found Our Unit 4441 127.0.0.1 arcp_vers=2.8.1,mf=Zelk");
  EXPECT_GT(responder.queriesSeen, 0);
}

}  // namespace
