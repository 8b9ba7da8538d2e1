// The DNS-SD client against a responder of ours, on a private network.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>

#include "network/dnssd/dns_sd.h"
#include "tests/network/loopback_responder.h"
#include "tests/network/test_responder.h"
#include "tests/support/private_network.h"

namespace {

using test_support::TestResponder;
using test_support::TestService;

struct Seen {
  std::map<std::string, unsigned> present;  // instance -> interface
  std::vector<std::string> events;           // "+name@if" / "-name@if"
  std::string lastType, lastDomain;
  // resolve
  int resolves = 0;
  unsigned resolveInterface = 0;
  std::string host, fullname;
  uint16_t port = 0;
  std::vector<uint8_t> txt;
  // query
  std::vector<uint32_t> addresses;
};

void OnBrowse(DNSServiceRef, DNSServiceFlags flags, uint32_t interface, DNSServiceErrorType error, const char* name,
              const char* type, const char* domain, void* context) {
  auto* seen = static_cast<Seen*>(context);
  ASSERT_EQ(error, kDNSServiceErr_NoError);
  bool add = flags & kDNSServiceFlagsAdd;
  seen->events.push_back((add ? "+" : "-") + std::string(name) + "@" + std::to_string(interface));
  if (add) {
    seen->present[name] = interface;
  } else {
    seen->present.erase(name);
  }
  seen->lastType = type;
  seen->lastDomain = domain;
}

void OnResolve(DNSServiceRef, DNSServiceFlags, uint32_t interface, DNSServiceErrorType error, const char* fullname,
               const char* host, uint16_t port, uint16_t txtLen, const unsigned char* txt, void* context) {
  auto* seen = static_cast<Seen*>(context);
  ASSERT_EQ(error, kDNSServiceErr_NoError);
  ++seen->resolves;
  seen->resolveInterface = interface;
  seen->fullname = fullname;
  seen->host = host;
  seen->port = ntohs(port);
  seen->txt.assign(txt, txt + txtLen);
}

void OnQuery(DNSServiceRef, DNSServiceFlags flags, uint32_t, DNSServiceErrorType error, const char*, uint16_t rrtype,
             uint16_t, uint16_t rdlen, const void* rdata, uint32_t, void* context) {
  auto* seen = static_cast<Seen*>(context);
  ASSERT_EQ(error, kDNSServiceErr_NoError);
  if (rrtype == kDNSServiceType_A && rdlen == 4 && (flags & kDNSServiceFlagsAdd)) {
    uint32_t a;
    std::memcpy(&a, rdata, 4);
    seen->addresses.push_back(a);
  }
}

// Runs the operation and the responder until `done` holds or `ms` pass.
bool Pump(DNSServiceRef op, TestResponder* responder, const std::function<bool()>& done, int ms) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    pollfd fds[2] = {{DNSServiceRefSockFD(op), POLLIN, 0}, {responder ? responder->fd() : -1, POLLIN, 0}};
    poll(fds, 2, 20);
    if (fds[1].revents & POLLIN) responder->Serve();
    if (fds[0].revents & POLLIN) {
      EXPECT_EQ(DNSServiceProcessResult(op), kDNSServiceErr_NoError);
    }
  }
  return true;
}

class MdnsClient : public test_support::LoopbackResponderTest {
 protected:
  void TearDown() override {
    for (DNSServiceRef r : refs_) DNSServiceRefDeallocate(r);
  }
  DNSServiceRef Browse(const char* type, Seen& seen) {
    DNSServiceRef ref = nullptr;
    EXPECT_EQ(DNSServiceBrowse(&ref, 0, 0, type, "local", OnBrowse, &seen), kDNSServiceErr_NoError);
    refs_.push_back(ref);
    return ref;
  }
  TestService Service(const std::string& name) {
    TestService s;
    s.instance = name;
    s.address = inet_addr("127.0.0.1");
    return s;
  }
  // Browses the card type until an instance that lives one second is
  // seen, then stops the responder answering: nothing refreshes it.
  void SeeABriefInstance(Seen& seen, DNSServiceRef* ref) {
    TestService unit = Service("Brief");
    unit.ttl = 1;
    responder_.Add(unit);
    *ref = Browse("_netaudio-cmc._udp", seen);
    ASSERT_TRUE(Pump(*ref, &responder_, [&] { return seen.present.size() == 1; }, 3000));
    responder_.answerQueries = false;
  }
  std::vector<DNSServiceRef> refs_;
};

TEST_F(MdnsClient, BrowseReportsAnInstanceAndItsGoodbye) {
  TestService unit = Service("Unit One");
  responder_.Add(unit);
  Seen seen;
  DNSServiceRef ref = Browse("_netaudio-cmc._udp.", seen);
  ASSERT_TRUE(Pump(ref, &responder_, [&] { return seen.present.count("Unit One") == 1; }, 3000));
  EXPECT_EQ(seen.present["Unit One"], lo_);
  EXPECT_EQ(seen.lastType, "_netaudio-cmc._udp.");
  EXPECT_EQ(seen.lastDomain, "local.");

  responder_.Goodbye(unit, lo_);
  ASSERT_TRUE(Pump(ref, &responder_, [&] { return seen.present.empty(); }, 3000));
  EXPECT_EQ(seen.events, (std::vector<std::string>{"+Unit One@" + std::to_string(lo_), "-Unit One@" + std::to_string(lo_)}));
}

TEST_F(MdnsClient, SubtypeBrowseAsksForTheSubtypeAndSeesOnlyItsMembers) {
  TestService ours = Service("Ours");
  ours.subtypes = {"_Zelk"};
  TestService other = Service("Other");
  other.subtypes = {"_Else"};
  responder_.Add(ours);
  responder_.Add(other);
  Seen seen;
  DNSServiceRef ref = Browse("_netaudio-cmc._udp.,Zelk", seen);
  ASSERT_TRUE(Pump(ref, &responder_, [&] { return !seen.present.empty(); }, 3000));
  Pump(ref, &responder_, [] { return false; }, 300);
  EXPECT_EQ(seen.present.size(), 1u);
  EXPECT_EQ(seen.present.count("Ours"), 1u);
  EXPECT_EQ(seen.lastType, "_netaudio-cmc._udp.");
}

TEST_F(MdnsClient, ResolveGivesHostPortAndALongTxtRecord) {
  TestService unit = Service("Unit.With\\Odd Name");
  unit.type = "_netaudio-arc._udp";
  std::string big(290, 'x');
  unit.txt = mdns::MakeTxt({"arcp_vers=2.8.1", "router_vers=4.1.0", big.substr(0, 200), big.substr(0, 90)});
  ASSERT_GE(unit.txt.size(), 300u);
  responder_.Add(unit);
  Seen seen;
  DNSServiceRef ref = nullptr;
  ASSERT_EQ(DNSServiceResolve(&ref, 0, 0, unit.instance.c_str(), "_netaudio-arc._udp.", "local", OnResolve, &seen),
            kDNSServiceErr_NoError);
  refs_.push_back(ref);
  ASSERT_TRUE(Pump(ref, &responder_, [&] { return seen.resolves > 0; }, 3000));
  EXPECT_EQ(seen.host, "unit1.local.");
  EXPECT_EQ(seen.port, 8700);
  EXPECT_EQ(seen.txt, unit.txt);
  EXPECT_EQ(seen.resolveInterface, lo_);
  EXPECT_EQ(seen.fullname, "Unit\\.With\\\\Odd\\032Name._netaudio-arc._udp.local.");
  uint8_t len = 0;
  const void* v = TXTRecordGetValuePtr(static_cast<uint16_t>(seen.txt.size()), seen.txt.data(), "router_vers", &len);
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(std::string(static_cast<const char*>(v), len), "4.1.0");
}

TEST_F(MdnsClient, ResolveAsksAgainWhenTheFirstQuestionGoesUnanswered) {
  TestService unit = Service("Late");
  responder_.Add(unit);
  responder_.answerQueries = false;
  Seen seen;
  DNSServiceRef ref = nullptr;
  ASSERT_EQ(DNSServiceResolve(&ref, 0, 0, "Late", "_netaudio-cmc._udp", "local.", OnResolve, &seen),
            kDNSServiceErr_NoError);
  refs_.push_back(ref);
  // The first question is heard and ignored; the second, about a second
  // later, is answered. The caller here only processes a readable socket.
  ASSERT_TRUE(Pump(ref, &responder_, [&] { return responder_.queriesSeen >= 1; }, 1000));
  responder_.answerQueries = true;
  ASSERT_TRUE(Pump(ref, &responder_, [&] { return seen.resolves > 0; }, 3000));
  EXPECT_EQ(seen.resolves, 1);
  EXPECT_GE(responder_.queriesSeen, 2);
}

TEST_F(MdnsClient, AddressQueryTakesTheAddressRecord) {
  TestService unit = Service("Unit");
  unit.host = "zi-rerar-0a";
  unit.address = inet_addr("10.0.0.42");
  responder_.Add(unit);
  Seen seen;
  DNSServiceRef ref = nullptr;
  ASSERT_EQ(DNSServiceQueryRecord(&ref, kDNSServiceFlagsLongLivedQuery | kDNSServiceFlagsForceMulticast, 0,
                                  "zi-rerar-0a.local.", kDNSServiceType_A, kDNSServiceClass_IN, OnQuery, &seen),
            kDNSServiceErr_NoError);
  refs_.push_back(ref);
  ASSERT_TRUE(Pump(ref, &responder_, [&] { return !seen.addresses.empty(); }, 3000));
  EXPECT_EQ(seen.addresses.front(), inet_addr("10.0.0.42"));
}

TEST_F(MdnsClient, TwentyInstancesAtOnceAreAllReportedAndListedAsKnownAnswers) {
  for (int i = 0; i < 20; ++i) responder_.Add(Service("Unit " + std::to_string(i)));
  Seen seen;
  DNSServiceRef ref = Browse("_netaudio-cmc._udp", seen);
  ASSERT_TRUE(Pump(ref, &responder_, [&] { return seen.present.size() == 20; }, 3000));
  // The next question lists all twenty, so the responder need not repeat them.
  responder_.answerQueries = false;
  int before = responder_.queriesSeen;
  ASSERT_TRUE(Pump(ref, &responder_, [&] { return responder_.queriesSeen > before; }, 3000));
  EXPECT_EQ(responder_.lastKnownAnswers.size(), 20u);
  EXPECT_EQ(seen.events.size(), 20u);
}

TEST_F(MdnsClient, HostileDatagramsAreIgnoredAndTheNextGoodOneCounts) {
  Seen seen;
  DNSServiceRef ref = Browse("_netaudio-cmc._udp", seen);
  std::vector<std::vector<uint8_t>> hostile = {
      {},
      {0x00},
      {0, 0, 0x84, 0, 0, 0, 0, 1, 0, 0, 0, 0},                       // claims an answer, has none
      {0, 0, 0x84, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0xC0, 0x0C},           // name pointing at itself
      {0, 0, 0x84, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0x3F, 'a'},            // label past the end
  };
  // A PTR whose data length claims more than the datagram holds.
  mdns::MessageWriter w(mdns::kFlagResponse);
  w.AddPtr(mdns::Section::Answer, test_support::TypeName(Service("x")), 120,
           test_support::InstanceName(Service("Liar")));
  std::vector<uint8_t> lying = w.Finish();
  size_t rdataLength = mdns::NameWireLength(test_support::InstanceName(Service("Liar")));
  lying[lying.size() - rdataLength - 2] = 0x40;  // the data length's high byte
  hostile.push_back(lying);
  for (const auto& d : hostile) responder_.SendRaw(d, lo_);
  Pump(ref, &responder_, [] { return false; }, 300);
  EXPECT_TRUE(seen.events.empty());

  responder_.Add(Service("Honest"));
  responder_.Announce(lo_);
  ASSERT_TRUE(Pump(ref, &responder_, [&] { return seen.present.count("Honest") == 1; }, 3000));
}

TEST_F(MdnsClient, TheBlockingCallRunsTheTimersItself) {
  Seen seen;
  DNSServiceRef ref = nullptr;
  ASSERT_NO_FATAL_FAILURE(SeeABriefInstance(seen, &ref));
  auto start = std::chrono::steady_clock::now();
  while (!seen.present.empty() && std::chrono::steady_clock::now() - start < std::chrono::seconds(4)) {
    DNSServiceProcessResult(ref);  // waits when nothing is queued
    responder_.Serve();
  }
  EXPECT_TRUE(seen.present.empty());
}

TEST_F(MdnsClient, AnInstanceWhoseTimeRunsOutIsReportedGone) {
  Seen seen;
  DNSServiceRef ref = nullptr;
  ASSERT_NO_FATAL_FAILURE(SeeABriefInstance(seen, &ref));
  // Nothing refreshes it: its end of life wakes the waiting caller.
  EXPECT_TRUE(Pump(ref, &responder_, [&] { return seen.present.empty(); }, 4000));
  EXPECT_TRUE(seen.present.empty());
}

TEST_F(MdnsClient, ReconfirmForgetsTheInstanceUntilItAnswersAgain) {
  TestService unit = Service("Doubtful");
  responder_.Add(unit);
  Seen seen;
  DNSServiceRef ref = Browse("_netaudio-cmc._udp", seen);
  ASSERT_TRUE(Pump(ref, &responder_, [&] { return seen.present.size() == 1; }, 3000));
  char full[kDNSServiceMaxDomainName];
  ASSERT_EQ(DNSServiceConstructFullName(full, "Doubtful", "_netaudio-cmc._udp.", "local"), kDNSServiceErr_NoError);
  responder_.services().clear();  // gone for real
  EXPECT_EQ(DNSServiceReconfirmRecord(0, lo_, full, kDNSServiceType_PTR, kDNSServiceClass_IN, 0, nullptr),
            kDNSServiceErr_NoError);
  ASSERT_TRUE(Pump(ref, &responder_, [&] { return seen.present.empty(); }, 3000));
  responder_.Add(unit);  // back again
  responder_.Announce(lo_);
  ASSERT_TRUE(Pump(ref, &responder_, [&] { return seen.present.size() == 1; }, 3000));
}

TEST_F(MdnsClient, AReplyOnASecondInterfaceCarriesThatInterfacesIndex) {
  std::string why;
  if (!test_support::AddBridge("br0", "10.77.0.1/24", &why)) GTEST_SKIP() << "skipped: no bridge (" << why << ")";
  unsigned br = test_support::InterfaceIndex("br0");
  ASSERT_NE(br, 0u);
  TestResponder onBridge;
  ASSERT_TRUE(onBridge.Open({br}));
  TestService unit = Service("Bridged");
  unit.address = inet_addr("10.77.0.2");
  Seen seen;
  DNSServiceRef ref = Browse("_netaudio-cmc._udp", seen);
  onBridge.Add(unit);
  onBridge.Announce(br);
  ASSERT_TRUE(Pump(ref, &onBridge, [&] { return seen.present.size() == 1; }, 3000));
  EXPECT_EQ(seen.present["Bridged"], br);
}

// A unicast datagram from `from`:5353 to 127.0.0.1:5353.
void SendUnicastFrom(const char* from, const std::vector<uint8_t>& datagram) {
  int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  int on = 1;
  setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  setsockopt(s, SOL_SOCKET, SO_REUSEPORT, &on, sizeof on);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(5353);
  a.sin_addr.s_addr = inet_addr(from);
  ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0) << from;
  a.sin_addr.s_addr = inet_addr("127.0.0.1");
  sendto(s, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
  close(s);
}

TEST(MdnsClientAlone, AUnicastAnswerCountsOnlyFromASenderOnTheLink) {
  // No responder here: the client's is the only socket a unicast datagram
  // to port 5353 can reach. 192.0.2.1 is this machine's, but on no subnet
  // the client asks on.
  REQUIRE_PRIVATE_NETWORK();
  ASSERT_EQ(std::system("ip addr add 192.0.2.1/32 dev lo"), 0);
  Seen seen;
  DNSServiceRef ref = nullptr;
  ASSERT_EQ(DNSServiceBrowse(&ref, 0, 0, "_netaudio-cmc._udp", "local", OnBrowse, &seen), kDNSServiceErr_NoError);
  TestService far;
  far.instance = "Far";
  mdns::MessageWriter w(mdns::kFlagResponse | 0x0400);
  w.AddPtr(mdns::Section::Answer, test_support::TypeName(far), 120, test_support::InstanceName(far));
  SendUnicastFrom("192.0.2.1", w.Finish());
  Pump(ref, nullptr, [] { return false; }, 300);
  EXPECT_TRUE(seen.present.empty());
  SendUnicastFrom("127.0.0.2", w.Finish());
  EXPECT_TRUE(Pump(ref, nullptr, [&] { return seen.present.count("Far") == 1; }, 1000));
  DNSServiceRefDeallocate(ref);
}

TEST_F(MdnsClient, ReleasingAnOperationFromItsOwnReplyIsSafe) {
  for (int i = 0; i < 3; ++i) responder_.Add(Service("U" + std::to_string(i)));
  struct Ctx {
    DNSServiceRef ref = nullptr;
    int calls = 0;
  } ctx;
  ASSERT_EQ(DNSServiceBrowse(
                &ctx.ref, 0, 0, "_netaudio-cmc._udp", "local",
                [](DNSServiceRef ref, DNSServiceFlags, uint32_t, DNSServiceErrorType, const char*, const char*,
                   const char*, void* c) {
                  ++static_cast<Ctx*>(c)->calls;
                  DNSServiceRefDeallocate(ref);
                },
                &ctx),
            kDNSServiceErr_NoError);
  responder_.Announce(lo_);
  pollfd p{DNSServiceRefSockFD(ctx.ref), POLLIN, 0};
  while (ctx.calls == 0 && poll(&p, 1, 2000) > 0) DNSServiceProcessResult(ctx.ref);
  EXPECT_EQ(ctx.calls, 1);  // no reply after the release, and no use after free (ASan)
}

TEST_F(MdnsClient, WhatABrowseHeardAnswersALaterResolveAndAddressQueryWithoutAQuestion) {
  TestService unit = Service("Cached");
  unit.host = "cached-1";
  unit.address = inet_addr("10.0.0.7");
  responder_.Add(unit);
  Seen seen;
  DNSServiceRef browse = nullptr;
  ASSERT_EQ(DNSServiceBrowse(&browse, 0, 0, "_netaudio-cmc._udp", "local", OnBrowse, &seen), kDNSServiceErr_NoError);
  ASSERT_TRUE(Pump(browse, &responder_, [&] { return seen.present.size() == 1; }, 3000));
  // The browse is gone; what it heard stays with the process.
  DNSServiceRefDeallocate(browse);
  responder_.Serve();
  const int asked = responder_.queriesSeen;

  DNSServiceRef resolve = nullptr;
  ASSERT_EQ(DNSServiceResolve(&resolve, 0, 0, "Cached", "_netaudio-cmc._udp", "local", OnResolve, &seen),
            kDNSServiceErr_NoError);
  refs_.push_back(resolve);
  ASSERT_TRUE(Pump(resolve, nullptr, [&] { return seen.resolves > 0; }, 500));
  EXPECT_EQ(seen.host, "cached-1.local.");
  DNSServiceRef query = nullptr;
  ASSERT_EQ(DNSServiceQueryRecord(&query, 0, 0, "cached-1.local.", kDNSServiceType_A, kDNSServiceClass_IN, OnQuery,
                                  &seen),
            kDNSServiceErr_NoError);
  refs_.push_back(query);
  ASSERT_TRUE(Pump(query, nullptr, [&] { return !seen.addresses.empty(); }, 500));
  EXPECT_EQ(seen.addresses.front(), inet_addr("10.0.0.7"));
  responder_.Serve();
  EXPECT_EQ(responder_.queriesSeen, asked) << "a question went out for what the cache held";
}

TEST_F(MdnsClient, AColdResolveRightAfterAnAnnouncementNeedsNoSecondQuestion) {
  // Announced before anything here listened: the responder will not
  // multicast these records again within the second, so only the one-shot
  // query's unicast answer can come before the next question.
  TestService unit = Service("Fresh");
  responder_.Add(unit);
  responder_.Announce(lo_);
  Seen seen;
  DNSServiceRef ref = nullptr;
  ASSERT_EQ(DNSServiceResolve(&ref, 0, 0, "Fresh", "_netaudio-cmc._udp", "local", OnResolve, &seen),
            kDNSServiceErr_NoError);
  refs_.push_back(ref);
  ASSERT_TRUE(Pump(ref, &responder_, [&] { return seen.resolves > 0; }, 3000));
  EXPECT_EQ(responder_.queriesSeen, 2);  // the first question, to the group and as a one-shot
  EXPECT_EQ(seen.port, 8700);
}

TEST_F(MdnsClient, ASubtypeGivenWithoutUnderscoreIsAskedInBothFormsAndEachInstanceComesOnce) {
  TestService plain = Service("Plain");
  plain.subtypes = {"Zelk"};
  TestService underscored = Service("Underscored");
  underscored.subtypes = {"_Zelk"};
  TestService both = Service("Both");
  both.subtypes = {"Zelk", "_Zelk"};
  TestService other = Service("Other");
  other.subtypes = {"_Else"};
  for (const TestService& s : {plain, underscored, both, other}) responder_.Add(s);
  Seen seen;
  DNSServiceRef ref = Browse("_netaudio-cmc._udp,Zelk", seen);
  ASSERT_TRUE(Pump(ref, &responder_, [&] { return seen.present.size() == 3; }, 3000)) << ::testing::PrintToString(seen.events);
  Pump(ref, &responder_, [] { return false; }, 300);
  EXPECT_EQ(seen.events.size(), 3u);
  EXPECT_EQ(seen.present.count("Other"), 0u);
  std::erase_if(responder_.services(), [](const TestService& s) { return s.instance == "Both"; });
  responder_.Goodbye(both, lo_);
  ASSERT_TRUE(Pump(ref, &responder_, [&] { return seen.present.size() == 2; }, 3000));
  EXPECT_EQ(seen.events.back(), "-Both@" + std::to_string(lo_));
  EXPECT_EQ(seen.events.size(), 4u);

  // Given with its underscore, the label is asked for as it is.
  Seen exact;
  DNSServiceRef second = Browse("_netaudio-cmc._udp,_Zelk", exact);
  Pump(second, &responder_, [] { return false; }, 1500);
  EXPECT_EQ(exact.present.size(), 1u) << ::testing::PrintToString(exact.events);
  EXPECT_EQ(exact.present.count("Underscored"), 1u);
}

TEST_F(MdnsClient, TimersWakeTheCallerWithoutSendingAnythingButQuestions) {
  responder_.answerQueries = false;
  Seen seen;
  DNSServiceRef ref = Browse("_netaudio-cmc._udp", seen);
  const int before = responder_.queriesSeen;
  int read = 0;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(2500);
  while (std::chrono::steady_clock::now() < end) {
    pollfd fds[2] = {{DNSServiceRefSockFD(ref), POLLIN, 0}, {responder_.fd(), POLLIN, 0}};
    poll(fds, 2, 50);
    if (fds[0].revents & POLLIN) {
      EXPECT_EQ(DNSServiceProcessResult(ref), kDNSServiceErr_NoError);
    }
    read += responder_.Serve();
  }
  // Questions at 0, 1 and 2 s, each sent because the timer woke the caller;
  // no other datagram reached the group.
  EXPECT_GE(responder_.queriesSeen - before, 3);
  EXPECT_EQ(read, responder_.queriesSeen - before);
}

TEST_F(MdnsClient, AProcessThatNeverDeallocatesItsOperationsExitsNormally) {
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    Seen seen;
    DNSServiceRef ref = nullptr;
    if (DNSServiceBrowse(&ref, 0, 0, "_netaudio-cmc._udp", "local", OnBrowse, &seen) != 0) _exit(3);
    pollfd p{DNSServiceRefSockFD(ref), POLLIN, 0};
    if (poll(&p, 1, 200) > 0) DNSServiceProcessResult(ref);
    std::exit(0);  // static destructors run; the operation is still live
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status)) << "status " << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
