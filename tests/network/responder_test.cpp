// The simulator's multicast DNS responder answers as real ones do: late for
// shared records, at most once a second per record and interface, with the
// service's records in the additional section, and by unicast to a question
// that asks for it or comes from a one-shot querier.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <optional>

#include "network/dnssd/dns_message.h"
#include "network/dnssd/dns_writer.h"
#include "tests/network/loopback_responder.h"
#include "tests/network/test_responder.h"
#include "tests/support/private_network.h"

namespace {

using Clock = std::chrono::steady_clock;
using test_support::TestResponder;
using test_support::TestService;

// A plain UDP socket of the test: port 0 for a one-shot querier, or 5353
// bound to 127.0.0.1 so that unicast sent to 127.0.0.1:5353 reaches it
// rather than the responder's own socket.
class Querier {
 public:
  explicit Querier(uint16_t port) : fd_(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0)) {
    int on = 1;
    unsigned char ttl = 255;
    setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    setsockopt(fd_, SOL_SOCKET, SO_REUSEPORT, &on, sizeof on);
    setsockopt(fd_, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = inet_addr("127.0.0.1");
    bound_ = bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  }
  ~Querier() { close(fd_); }
  bool bound() const { return bound_; }
  int fd() const { return fd_; }

  void Ask(const mdns::Name& name, uint16_t type, bool unicast, uint16_t id = 0) {
    mdns::MessageWriter w;
    w.AddQuestion(name, type, unicast);
    std::vector<uint8_t> d = w.Finish();
    d[0] = static_cast<uint8_t>(id >> 8);
    d[1] = static_cast<uint8_t>(id);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(5353);
    to.sin_addr.s_addr = inet_addr("224.0.0.251");
    sendto(fd_, d.data(), d.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
  }

 private:
  int fd_;
  bool bound_ = false;
};

class Responder : public test_support::LoopbackResponderTest {
 protected:
  void SetUp() override {
    LoopbackResponderTest::SetUp();
    if (!Ready()) return;
    ASSERT_EQ(listener_.Open(mdns::DefaultEndpoint(), lo_), 0);
    unit_.instance = "Unit";
    unit_.subtypes = {"_Zelk"};
    unit_.address = inet_addr("127.0.0.1");
    responder_.Add(unit_);
  }

  // The next response `fd` receives within `ms`, serving the responder
  // meanwhile; `afterMs` is when it came.
  std::optional<mdns::Message> Next(int fd, int ms, int64_t* afterMs = nullptr) {
    const auto start = Clock::now();
    while (Clock::now() - start < std::chrono::milliseconds(ms)) {
      pollfd p[2] = {{fd, POLLIN, 0}, {responder_.fd(), POLLIN, 0}};
      poll(p, 2, 5);
      responder_.Serve();
      uint8_t buffer[9000];
      const long n = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
      mdns::Message m;
      if (n > 0 && mdns::ParseMessage(buffer, static_cast<size_t>(n), m) && m.IsResponse()) {
        if (afterMs) *afterMs = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        return m;
      }
    }
    return std::nullopt;
  }

  static size_t Count(const mdns::Message& m, mdns::Section section, uint16_t type) {
    size_t n = 0;
    for (const mdns::Record& r : m.records) n += r.section == section && r.type == type;
    return n;
  }

  mdns::MdnsSocket listener_;  // hears the group as any querier does
  TestService unit_;
};

TEST_F(Responder, AnswersTheGroupLateWithTheServiceInTheAdditionalSectionAndNotTwiceWithinASecond) {
  Querier q(5353);
  ASSERT_TRUE(q.bound());
  q.Ask(test_support::TypeName(unit_), mdns::kTypePtr, false);
  int64_t after = 0;
  std::optional<mdns::Message> m = Next(listener_.fd(), 1000, &after);
  ASSERT_TRUE(m);
  EXPECT_GE(after, 20);
  EXPECT_EQ(Count(*m, mdns::Section::Answer, mdns::kTypePtr), 1u);
  EXPECT_EQ(Count(*m, mdns::Section::Additional, mdns::kTypeSrv), 1u);
  EXPECT_EQ(Count(*m, mdns::Section::Additional, mdns::kTypeTxt), 1u);
  EXPECT_EQ(Count(*m, mdns::Section::Additional, mdns::kTypeA), 1u);

  // Asked again at once, and for the SRV record the answer just carried:
  // nothing within the second.
  q.Ask(test_support::TypeName(unit_), mdns::kTypePtr, false);
  q.Ask(test_support::InstanceName(unit_), mdns::kTypeSrv, false);
  EXPECT_FALSE(Next(listener_.fd(), 1000));
  // A second after the answer, the question is answered again.
  q.Ask(test_support::TypeName(unit_), mdns::kTypePtr, false);
  EXPECT_TRUE(Next(listener_.fd(), 1000));
}

TEST_F(Responder, AQuestionAskingForUnicastAndAOneShotQueryAreAnsweredByUnicast) {
  Querier qu(5353);
  ASSERT_TRUE(qu.bound());
  qu.Ask(test_support::InstanceName(unit_), mdns::kTypeSrv, true);
  std::optional<mdns::Message> m = Next(qu.fd(), 1000);
  ASSERT_TRUE(m);
  EXPECT_EQ(Count(*m, mdns::Section::Answer, mdns::kTypeSrv), 1u);
  EXPECT_FALSE(Next(listener_.fd(), 200)) << "a QU answer went to the group";

  // The records were just announced to the group; a one-shot querier still
  // gets them at once, with its id, its question and a short TTL.
  responder_.Announce(lo_);
  ASSERT_TRUE(Next(listener_.fd(), 200));
  Querier once(0);
  ASSERT_TRUE(once.bound());
  once.Ask(test_support::TypeName(unit_), mdns::kTypePtr, false, 0x4D2A);
  int64_t after = 0;
  m = Next(once.fd(), 1000, &after);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->id, 0x4D2A);
  ASSERT_EQ(m->questions.size(), 1u);
  EXPECT_EQ(Count(*m, mdns::Section::Answer, mdns::kTypePtr), 1u);
  for (const mdns::Record& r : m->records) {
    EXPECT_LE(r.ttl, 10u);
    EXPECT_FALSE(r.cacheFlush);
  }
}

}  // namespace
