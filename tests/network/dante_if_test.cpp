// The network transport against cards our responder advertises, on a
// private network. The responder runs in a child process: Open blocks in its
// discovery window, so nothing on the test's own thread could answer.
#include "transports/dante_if.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "platform/core/clock.h"
#include "platform/core/input_wait.h"
#include "platform/net/udp_socket.h"
#include "tests/app/working_dir.h"
#include "tests/network/test_responder.h"
#include "tests/support/private_network.h"

namespace {

using test_support::TestResponder;
using test_support::TestService;

// A card as discovery sees it: its control service and its media service,
// both under our manufacturer's subtype.
std::vector<TestService> Card(const std::string& name, bool withMedia = true, const char* address = "127.0.0.1") {
  TestService conmon;
  conmon.instance = name;
  conmon.type = "_netaudio-cmc._udp";
  conmon.subtypes = {"_Zelk"};
  conmon.host = name;
  conmon.address = inet_addr(address);
  conmon.txt = mdns::MakeTxt({"id=0011223344556677", "process=0"});
  std::vector<TestService> services{conmon};
  if (withMedia) {
    TestService media = conmon;
    media.type = "_netaudio-arc._udp";
    media.port = 4440;
    media.txt = mdns::MakeTxt({"arcp_vers=2.8.0", "router_vers=4.2.0"});
    services.push_back(media);
  }
  return services;
}

// The responder in a child process that answers until the test ends (the
// pipe closes) or ten seconds pass.
class ResponderProcess {
 public:
  explicit ResponderProcess(const std::vector<TestService>& services, const std::string& interface = "lo") {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(fds[1]);
      _exit(Serve(services, interface, fds[0]));
    }
    close(fds[0]);
    keepAlive_ = fds[1];
  }
  ~ResponderProcess() {
    if (keepAlive_ >= 0) close(keepAlive_);
    if (pid_ > 0) {
      int status = 0;
      waitpid(pid_, &status, 0);
    }
  }
 private:
  static int Serve(const std::vector<TestService>& services, const std::string& interface, int keepAlive) {
    unsigned index = test_support::InterfaceIndex(interface);
    TestResponder responder;
    if (!responder.Open({index})) return 2;
    for (const TestService& s : services) responder.Add(s);
    responder.Announce(index);
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < end) {
      pollfd fds[2] = {{responder.fd(), POLLIN, 0}, {keepAlive, POLLIN, 0}};
      poll(fds, 2, 50);
      if (fds[1].revents) break;
      if (fds[0].revents & POLLIN) responder.Serve();
    }
    return 0;
  }
  pid_t pid_ = -1;
  int keepAlive_ = -1;
};

// A UDP endpoint of the test on the loopback.
class Peer {
 public:
  Peer(const char* address, uint16_t port) : fd_(platform::net::UdpOpen()) {
    bound_ = platform::net::UdpBind(fd_, ntohl(inet_addr(address)), port) == 0;
  }
  ~Peer() { platform::net::UdpClose(fd_); }
  bool Bound() const { return bound_; }
  void SendToTransport(const std::vector<uint8_t>& bytes) {
    platform::net::UdpSendTo(fd_, bytes.data(), bytes.size(), INADDR_LOOPBACK, CDanteIF::kReceivePort);
  }
  // The next datagram within `ms`; false when none came.
  bool Next(std::vector<uint8_t>& bytes, int ms = 500) {
    pollfd p{fd_, POLLIN, 0};
    bytes.assign(2048, 0);
    int n = poll(&p, 1, ms) > 0 ? platform::net::UdpReceive(fd_, bytes.data(), bytes.size()) : -1;
    bytes.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return n >= 0;
  }

 private:
  int fd_;
  bool bound_ = false;
};

// Wall-clock time running `factor` times faster than real time, so a
// resolve limit of seconds passes in a fraction of one.
class FastClock final : public platform::Clock {
 public:
  explicit FastClock(int factor) : factor_(factor), start_(std::chrono::steady_clock::now()) {}
  uint32_t TickCount() override { return static_cast<uint32_t>(Elapsed() / 1000); }
  void Sleep(uint32_t ms) override { usleep(ms * 1000 / factor_); }
  platform::LocalTime Now() override { return {}; }
  platform::LocalTime ToLocal(int64_t) override { return {}; }
  int64_t UnixMicroseconds() override { return 1541160000LL * 1000000 + Elapsed(); }
  void WaitForNextTick() override { usleep(1000 / factor_); }

 private:
  int64_t Elapsed() {
    auto us = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start_);
    return us.count() * factor_;
  }
  int factor_;
  std::chrono::steady_clock::time_point start_;
};

// Opens `t` on a clock four times as fast as real time: Open's result, and
// in `ms` the real milliseconds it took.
int OpenOnFastClock(CDanteIF& t, int64_t* ms) {
  FastClock clock(4);
  platform::Override<platform::Clock> useClock(clock);
  const auto start = std::chrono::steady_clock::now();
  const int result = t.Open();
  *ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
  return result;
}

class DanteIfTest : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_PRIVATE_NETWORK();
    setenv("REFLASH_DNSSD_LIBRARY", REFLASH_TEST_OWN_DNSSD, 1);
  }
  void TearDown() override { unsetenv("REFLASH_DNSSD_LIBRARY"); }

  static std::vector<TestService> Cards(std::initializer_list<std::vector<TestService>> cards) {
    std::vector<TestService> all;
    for (const auto& c : cards) all.insert(all.end(), c.begin(), c.end());
    return all;
  }
  static std::string Name(CDanteIF& t, uint16_t index, int size = 255) {
    std::vector<char> text(static_cast<size_t>(size), '#');
    EXPECT_EQ(t.GetConnectionName(index, text.data(), size), 0);
    return text.data();
  }

  ScopedWorkingDir log_;  // the log lands in a folder of the test's own
};

TEST(DanteIfClosed, WithoutTheLibraryOpenFailsAndHoldsNothing) {
  setenv("REFLASH_DNSSD_LIBRARY", "/nonexistent/dnssd.so", 1);
  {
    CDanteIF t;
    EXPECT_EQ(t.Close(), 0);  // never opened: harmless
    EXPECT_EQ(t.Open(), 1);
    EXPECT_FALSE(t.IsOpen());
    uint16_t index = 7;
    EXPECT_EQ(t.GetSelectedConnection(&index), 1);
    const uint8_t frame[3] = {0xF0, 0x01, 0xF7};
    EXPECT_EQ(t.Write(frame, 3), 1);
    EXPECT_EQ(t.Close(), 0);
    // No socket was left behind: the receive port is free.
    int probe = platform::net::UdpOpen();
    EXPECT_EQ(platform::net::UdpBind(probe, INADDR_ANY, CDanteIF::kReceivePort), 0);
    platform::net::UdpClose(probe);
  }
  unsetenv("REFLASH_DNSSD_LIBRARY");
}

TEST_F(DanteIfTest, NoCardOnTheNetworkFailsAfterTheDiscoveryWindow) {
  CDanteIF t;
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(t.Open(), 1);
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
  EXPECT_GE(ms, 1000);
  EXPECT_LT(ms, 3000);
  EXPECT_FALSE(t.IsOpen());
  uint16_t count = 9;
  t.GetNumberOfConnections(&count);
  EXPECT_EQ(count, 0);
}

TEST_F(DanteIfTest, ACardIsOneConnectionNamedByItsAddress) {
  ResponderProcess responder(Card("zirerar-1"));
  CDanteIF t;
  ASSERT_EQ(t.Open(), 0);
  EXPECT_TRUE(t.IsOpen());
  uint16_t count = 0, selected = 0;
  t.GetNumberOfConnections(&count);
  EXPECT_EQ(count, 1);  // both of its services, one connection
  ASSERT_EQ(t.GetSelectedConnection(&selected), 0);
  EXPECT_EQ(selected, 0xFFFF);
  EXPECT_EQ(t.GetConnectionAddress(0), inet_addr("127.0.0.1"));

  ASSERT_EQ(t.SelectConnection(0), 0);
  ASSERT_EQ(t.GetSelectedConnection(&selected), 0);
  EXPECT_EQ(selected, 0);
  EXPECT_EQ(Name(t, 0), "Dante (127.0.0.1)");
  EXPECT_EQ(Name(t, 5), "Dante (127.0.0.1)");  // always the selected one
  EXPECT_EQ(Name(t, 0, 8), "Dante (");          // bounded by the size
}

TEST_F(DanteIfTest, WritesGoToTheUnitOrTheCardPort) {
  ResponderProcess responder(Card("zirerar-1"));
  Peer unit("127.0.0.1", CDanteIF::kUnitPort), card("127.0.0.1", CDanteIF::kCardPort);
  ASSERT_TRUE(unit.Bound() && card.Bound());
  CDanteIF t;
  ASSERT_EQ(t.Open(), 0);
  const uint8_t frame[4] = {0xF0, 0x00, 0x01, 0xF7};
  EXPECT_EQ(t.Write(frame, 4), 1);  // nothing selected yet
  ASSERT_EQ(t.SelectConnection(0), 0);

  std::vector<uint8_t> got;
  EXPECT_EQ(t.Write(frame, 0), 0);
  EXPECT_FALSE(unit.Next(got, 50));  // an empty write sends nothing

  ASSERT_EQ(t.Write(frame, 4), 0);
  ASSERT_TRUE(unit.Next(got));
  EXPECT_EQ(got, std::vector<uint8_t>(frame, frame + 4));
  ASSERT_EQ(t.SetCardTarget(true), 0);
  ASSERT_EQ(t.Write(frame, 3), 0);
  ASSERT_TRUE(card.Next(got));
  EXPECT_EQ(got.size(), 3u);
  ASSERT_EQ(t.SetCardTarget(false), 0);
  ASSERT_EQ(t.Write(frame, 2), 0);
  ASSERT_TRUE(unit.Next(got));
  EXPECT_EQ(got.size(), 2u);
  EXPECT_FALSE(card.Next(got, 50));
}

TEST_F(DanteIfTest, ReadTakesOneDatagramFromTheCardOnly) {
  ResponderProcess responder(Card("zirerar-1"));
  // The card answers from its own ports; another port of its address is
  // another program, or a forger.
  Peer card("127.0.0.1", CDanteIF::kUnitPort), stranger("127.0.0.2", 0), otherPort("127.0.0.1", 0);
  ASSERT_TRUE(card.Bound() && stranger.Bound() && otherPort.Bound());
  CDanteIF t;
  ASSERT_EQ(t.Open(), 0);
  ASSERT_EQ(t.SelectConnection(0), 0);

  std::vector<uint8_t> buffer(4095, 0xAA);
  int received = -1;
  ASSERT_EQ(t.Read(buffer.data(), 4095, &received), 0);
  EXPECT_EQ(received, 0);
  EXPECT_EQ(buffer, std::vector<uint8_t>(4095, 0));

  // A stranger's datagram is dropped; the card's behind it still arrives.
  stranger.SendToTransport({0xF0, 0x66, 0xF7});
  stranger.SendToTransport({});  // and cannot close the link either
  otherPort.SendToTransport({0xF0, 0x67, 0xF7});
  otherPort.SendToTransport({});
  card.SendToTransport({0xF0, 0x01, 0x02, 0xF7});
  card.SendToTransport({0xF0, 0x03, 0xF7});
  usleep(20000);
  ASSERT_EQ(t.Read(buffer.data(), 4095, &received), 0);
  ASSERT_EQ(received, 4);
  EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + 4), (std::vector<uint8_t>{0xF0, 0x01, 0x02, 0xF7}));
  EXPECT_EQ(t.ForeignDatagrams(), 4u);
  ASSERT_EQ(t.Read(buffer.data(), 4095, &received), 0);
  EXPECT_EQ(received, 3);
  EXPECT_EQ(buffer[3], 0);  // the rest of the buffer is cleared

  // A read with no room leaves a waiting datagram where it is.
  card.SendToTransport({0xF0, 0x04, 0xF7});
  usleep(20000);
  ASSERT_EQ(t.Read(buffer.data(), 0, &received), 0);
  EXPECT_EQ(received, 0);
  ASSERT_EQ(t.Read(buffer.data(), 4095, &received), 0);
  EXPECT_EQ(received, 3);
  EXPECT_TRUE(t.IsOpen());

  // An empty datagram from the card ends the link.
  card.SendToTransport({});
  usleep(20000);
  EXPECT_EQ(t.Read(buffer.data(), 4095, &received), 1);
  EXPECT_FALSE(t.IsOpen());
  uint16_t selected = 0;
  EXPECT_EQ(t.GetSelectedConnection(&selected), 1);
  EXPECT_EQ(t.Close(), 0);
  EXPECT_EQ(t.Close(), 0);
  uint16_t count = 0;
  t.GetNumberOfConnections(&count);
  EXPECT_EQ(count, 1);  // the list outlives Close
}

TEST_F(DanteIfTest, IdleWaitsWakeOnTheReceiveSocketWhileOpen) {
  ResponderProcess responder(Card("zirerar-1"));
  Peer card("127.0.0.1", CDanteIF::kUnitPort);
  ASSERT_TRUE(card.Bound());
  platform::InputWait& wait = platform::Use<platform::InputWait>();
  CDanteIF t;
  ASSERT_EQ(t.Open(), 0);
  ASSERT_EQ(t.SelectConnection(0), 0);
  card.SendToTransport({0xF0, 0x01, 0xF7});
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(wait.Wait(5000));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  // The answer is there already: the next wait does not wait either.
  const auto again = std::chrono::steady_clock::now();
  EXPECT_TRUE(wait.Wait(5000));
  EXPECT_LT(std::chrono::steady_clock::now() - again, std::chrono::seconds(2));
  std::vector<uint8_t> buffer(4095);
  int received = 0;
  ASSERT_EQ(t.Read(buffer.data(), 4095, &received), 0);
  EXPECT_EQ(received, 3);
  t.Close();
  EXPECT_FALSE(wait.Wait(5000));  // nothing watched once closed
}

TEST_F(DanteIfTest, CardsOnThisComputerKeepTheirOwnLoopbackAddresses) {
  // A third card claims the first one's address: selecting it would
  // program the first card, so it is not listed.
  ResponderProcess responder(Cards({Card("zirerar-1"), Card("zirerar-2", true, "127.0.1.2"),
                                    Card("zirerar-3", true, "127.0.0.1")}));
  CDanteIF t;
  ASSERT_EQ(t.Open(), 0);
  uint16_t count = 0, selected = 0;
  t.GetNumberOfConnections(&count);
  ASSERT_EQ(count, 2);
  EXPECT_NE(t.GetConnectionAddress(0), t.GetConnectionAddress(1));
  const uint32_t second = t.GetConnectionAddress(0) == inet_addr("127.0.0.1") ? 1 : 0;
  EXPECT_EQ(t.GetConnectionAddress(static_cast<uint16_t>(second)), inet_addr("127.0.1.2"));
  ASSERT_EQ(t.SelectConnection(1), 0);
  EXPECT_EQ(t.SelectConnection(2), 1);
  ASSERT_EQ(t.GetSelectedConnection(&selected), 0);
  EXPECT_EQ(selected, 1);  // the refused index changed nothing
  EXPECT_NE(log_.Log().find("has the address of zirerar-"), std::string::npos) << log_.Log();
}

TEST_F(DanteIfTest, FromAnotherInterfaceThisComputersAddressesAreRefused) {
  // A record heard on a network cannot name this computer: datagrams to it
  // would reach whatever listens here, not a card.
  std::string why;
  if (!test_support::AddBridge("brcard", "10.76.0.1/24", &why)) GTEST_SKIP() << "skipped: no bridge (" << why << ")";
  ResponderProcess responder(Cards({Card("loop", true, "127.0.1.5"), Card("self", true, "10.76.0.1"),
                                    Card("far", true, "10.76.0.20"), Card("all", true, "10.76.0.255")}),
                             "brcard");
  CDanteIF t;
  ASSERT_EQ(t.Open(), 0);
  uint16_t count = 0;
  t.GetNumberOfConnections(&count);
  ASSERT_EQ(count, 1);
  EXPECT_EQ(t.GetConnectionAddress(0), inet_addr("10.76.0.20"));
  const std::string log = log_.Log();
  for (const char* line : {"loop at 127.0.1.5 refused: a loopback address from a record heard on another interface\n",
                           "self at 10.76.0.1 refused: this computer's own address\n",
                           "all at 10.76.0.255 refused: the broadcast address of a local network\n"}) {
    EXPECT_NE(log.find(std::string("CDanteIF::ResolveDeviceAddress: ") + line), std::string::npos) << line << log;
  }
}

TEST_F(DanteIfTest, CardsBeyondSixteenAreIgnoredAndLogged) {
  std::vector<TestService> all;
  for (int i = 1; i <= 17; ++i) {
    const std::string address = "127.0.1." + std::to_string(i);
    auto card = Card("zirerar-" + std::to_string(i), true, address.c_str());
    all.insert(all.end(), card.begin(), card.end());
  }
  ResponderProcess responder(all);
  CDanteIF t;
  ASSERT_EQ(t.Open(), 0);
  uint16_t count = 0;
  t.GetNumberOfConnections(&count);
  EXPECT_EQ(count, 16);
  EXPECT_NE(log_.Log().find("CDanteIF::Open: more than 16 devices, "), std::string::npos) << log_.Log();
}

TEST_F(DanteIfTest, ACardWhoseAddressNeverComesIsDroppedInTime) {
  // The ghost has no media service, so its address cannot be resolved.
  ResponderProcess responder(Cards({Card("ghost", false), Card("zirerar-1")}));
  CDanteIF t;
  int64_t ms = 0;
  ASSERT_EQ(OpenOnFastClock(t, &ms), 0);
  EXPECT_LT(ms, 2500);
  uint16_t count = 0;
  t.GetNumberOfConnections(&count);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(t.GetConnectionAddress(0), inet_addr("127.0.0.1"));
  EXPECT_NE(log_.Log().find("CDanteIF::ResolveDeviceAddress: ghost has no address, dropped\n"), std::string::npos)
      << log_.Log();
}

TEST_F(DanteIfTest, ManyCardsThatNeverResolveCannotHoldOpen) {
  std::vector<TestService> ghosts;
  for (int i = 1; i <= 10; ++i) {
    auto ghost = Card("ghost-" + std::to_string(i), false);
    ghosts.insert(ghosts.end(), ghost.begin(), ghost.end());
  }
  ResponderProcess responder(ghosts);
  CDanteIF t;
  int64_t ms = 0;
  EXPECT_EQ(OpenOnFastClock(t, &ms), 1);
  // The ghosts resolve side by side: at most the window and one resolve
  // limit, 3 s on this clock, 0.75 s of real time. One after the other they
  // would take 21 s, at least 5 s of real time, so the bound below still
  // tells the two apart on a build slowed by sanitizers and a loaded machine.
  EXPECT_LT(ms, 3500);
  EXPECT_FALSE(t.IsOpen());
}

TEST_F(DanteIfTest, AReceivePortInUseFailsOpenCleanly) {
  ResponderProcess responder(Card("zirerar-1"));
  Peer squatter("0.0.0.0", CDanteIF::kReceivePort);
  ASSERT_TRUE(squatter.Bound());
  CDanteIF t;
  EXPECT_EQ(t.Open(), 1);
  EXPECT_FALSE(t.IsOpen());
  EXPECT_NE(log_.Log().find("CDanteIF::Open: port 5646 cannot be bound"), std::string::npos) << log_.Log();
}

}  // namespace
