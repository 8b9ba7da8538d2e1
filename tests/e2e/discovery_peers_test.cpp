// The real program finds a ZI-RERAR card that an independent multicast DNS
// responder advertises, on a private network, and programs it: avahi-daemon
// on a bridge (it skips loopback), python3-zeroconf on loopback, and the
// network simulator's own responder. Each has been up a few seconds, so its
// announcements are over and the program must ask, as on a real network.
// The network simulator serves the card's UDP side; at the end it reports a
// digest of the card's flash, which must be the image's.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/network_run.h"
#include "tests/support/card_peers.h"
#include "tests/support/network_simulator.h"
#include "tests/support/private_network.h"

namespace {

#if defined(REFLASH_TEST_SIM_NETWORK) && defined(REFLASH_TEST_NETWORK_DIR)

using e2e::Finished;
using e2e::Has;
using test_support::AvahiCardPeer;
using test_support::NetworkSimulator;
using test_support::PeerProcess;

constexpr const char* kPython = "/usr/bin/python3";
// What the program must see before it starts: a peer past its announcements.
constexpr auto kPeerUp = std::chrono::seconds(4);

class PeerCardRun : public e2e::CardImageRun {
 protected:
  PeerCardRun() : CardImageRun(0x5EED1234u) {}

  std::unique_ptr<NetworkSimulator> Simulator(std::vector<std::string> args) {
    auto sim = CardImageRun::Simulator(std::move(args));
    EXPECT_TRUE(sim->Ready()) << sim->Output();
    return sim;
  }

  // The program lists the card, programs the image, and the card holds it.
  void ProgramAndCheck(NetworkSimulator& sim) {
    Finished r = box_.Wait(box_.Start("--console --yes ZSLOT FILE=" + path_.string(),
                                      e2e::kOwnDnsSd),
                           120000);
    EXPECT_EQ(r.status, 0) << r.out << r.err << r.log;
    EXPECT_FALSE(Has(r.log, "Unable to locate an Orvella(n)!")) << r.log;
    EXPECT_TRUE(Has(r.log, "Found Orvella(n). Number Of Connections: 1\n")) << r.log;
    EXPECT_TRUE(Has(r.log, "EEPROM Programming Success")) << r.log;
    const std::string report = sim.Stop();
    EXPECT_TRUE(Has(report, FlashReportOfImage())) << report;
  }
};

TEST_F(PeerCardRun, AvahiDaemonOnABridgeAdvertisesTheCard) {
  if (access(test_support::kAvahiDaemon, X_OK) != 0) GTEST_SKIP() << "skipped: avahi-daemon is not installed";
  std::string why;
  if (!test_support::PrepareAvahiNetwork(&why)) GTEST_SKIP() << "skipped: no bridge for avahi-daemon (" << why << ")";
  auto sim = Simulator({"--no-advertise", std::string("--address=") + test_support::kAvahiCardAddress});
  AvahiCardPeer avahi(box_.Dir() / "avahi");
  ASSERT_TRUE(avahi.Established(20000)) << avahi.Output();
  std::this_thread::sleep_for(kPeerUp);
  ProgramAndCheck(*sim);
}

TEST_F(PeerCardRun, Python3ZeroconfAdvertisesTheCardUnderTheSubtypeWithoutUnderscore) {
  if (std::system((std::string(kPython) + " -c 'import zeroconf' 2>/dev/null").c_str()) != 0) {
    GTEST_SKIP() << "skipped: python3-zeroconf is not installed for " << kPython;
  }
  auto sim = Simulator({"--no-advertise"});
  PeerProcess zeroconf({kPython, REFLASH_TEST_NETWORK_DIR "/zeroconf_peer.py", "card", "120"}, box_.Dir() / "peer.txt");
  ASSERT_TRUE(zeroconf.WaitFor("ready\n", 20000)) << zeroconf.Output();
  std::this_thread::sleep_for(kPeerUp);
  ProgramAndCheck(*sim);
}

TEST_F(PeerCardRun, TheSimulatorsOwnResponderAdvertisesTheCard) {
  auto sim = Simulator({});
  std::this_thread::sleep_for(kPeerUp);
  ProgramAndCheck(*sim);
}

#endif

}  // namespace
