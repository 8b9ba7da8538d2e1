// Discovery by the real program on a private network, against networks that
// hold more than one card: devices of the maker whose records never
// resolve, cards on this computer at their own loopback addresses, cards at
// addresses no card can have, names with control characters, and more
// cards than the unit list can hold.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/network_run.h"

namespace {

#ifdef REFLASH_TEST_SIM_NETWORK

namespace fs = std::filesystem;
using e2e::Count;
using e2e::Finished;
using e2e::Has;
using e2e::Sandbox;
using test_support::NetworkSimulator;

using e2e::kOwnDnsSd;

class NetworkDiscovery : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_NETWORK_RUN();
  }

  std::unique_ptr<NetworkSimulator> Simulator(std::vector<std::string> args) {
    auto sim = e2e::StartNetworkSimulator(box_, std::move(args));
    EXPECT_TRUE(sim->Ready()) << sim->Output();
    return sim;
  }

  // The program shows the list and ends without an update; how long it took.
  Finished ShowList(int64_t* ms = nullptr) {
    const auto start = std::chrono::steady_clock::now();
    Finished r = box_.Wait(box_.Start("--console", kOwnDnsSd), 60000);
    if (ms) {
      *ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    }
    return r;
  }

  Sandbox box_;
};

TEST_F(NetworkDiscovery, DevicesThatNeverResolveCannotHideOrDelayTheCard) {
  // Each of them once held Open for two seconds of its own.
  for (int devices : {20, 100}) {
    SCOPED_TRACE(devices);
    auto sim = Simulator({"--unresolvable=" + std::to_string(devices)});
    int64_t ms = 0;
    Finished r = ShowList(&ms);
    EXPECT_EQ(r.status, 0) << r.out << r.err << r.log;
    EXPECT_TRUE(Has(r.out, "[1] ZI-RERAR in Orvella(n) connected via Dante (127.0.0.1)")) << r.out;
    EXPECT_TRUE(Has(r.log, "Found Orvella(n). Number Of Connections: 1\n")) << r.log;
    // They were heard and dropped (a slow build hears some only after the window).
    EXPECT_GT(Count(r.log, "CDanteIF::ResolveDeviceAddress: Orvella-Unresolvable-"), 0) << r.log;
    EXPECT_LT(ms, 6000);
    sim->Stop();
    fs::remove(box_.Dir() / "OrvellaReflash.log");
  }
}

TEST_F(NetworkDiscovery, EachCardOnThisComputerIsProgrammedAtItsOwnAddress) {
  // Both cards are heard on the loopback; the second one's entries must
  // lead to it, not to the first.
  std::vector<uint8_t> image(3000);
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 7 + 3);
  const fs::path path = box_.Dir() / "ZTDNT0102NC.BIN";
  test_support::WriteImage(path, image);
  auto sim = Simulator({"--cards=2"});
  // Entries: unit 1, its card, unit 2, its card.
  Finished r = box_.Wait(box_.Start("--console --yes --select=3 ZSLOT FILE=" + path.string(), kOwnDnsSd), 120000);
  EXPECT_EQ(r.status, 0) << r.out << r.err << r.log;
  EXPECT_TRUE(Has(r.log, "connected via Dante (127.0.1.1)")) << r.log;
  const std::string report = sim->Stop();
  EXPECT_TRUE(Has(report, test_support::CardFlashReport(image, 128, 2))) << report;
  EXPECT_TRUE(Has(report, "card 1 flash=0 ")) << report;
}

TEST_F(NetworkDiscovery, AddressesNoCardCanHaveAreRefusedAndLoggedOnce) {
  // Heard on the loopback, where any host address stands for this
  // computer; these are no host's. The fifth card claims the first one's.
  auto sim = Simulator({"--address=127.0.0.1", "--address=224.0.0.5", "--address=0.1.2.3",
                        "--address=255.255.255.255", "--address=127.0.0.1"});
  Finished r = ShowList();
  EXPECT_EQ(r.status, 0) << r.out << r.err << r.log;
  EXPECT_TRUE(Has(r.log, "Found Orvella(n). Number Of Connections: 1\n")) << r.log;
  EXPECT_EQ(Count(r.log, "Orvella-ZI-RERAR-2 at 224.0.0.5 refused: a multicast address\n"), 1) << r.log;
  EXPECT_EQ(Count(r.log, "Orvella-ZI-RERAR-3 at 0.1.2.3 refused: "), 1) << r.log;
  EXPECT_EQ(Count(r.log, "Orvella-ZI-RERAR-4 at 255.255.255.255 refused: the limited broadcast"), 1) << r.log;
  EXPECT_EQ(Count(r.log, "has the address of Orvella-ZI-RERAR-"), 1) << r.log;
  const std::string report = sim->Stop();
  // Nothing was sent to the refused cards.
  for (int card : {2, 3, 4}) {
    const std::string untouched = "card " + std::to_string(card) + " flash=0 digest=cbf29ce484222325 received=0 ";
    EXPECT_TRUE(Has(report, untouched)) << report;
  }
}

TEST_F(NetworkDiscovery, NamesWithControlCharactersCannotForgeALogRecord) {
  auto sim = Simulator({"--unresolvable-name=A\\n2099-01-01 EEPROM Success\\n",
                        "--unresolvable-name=B\\x1b[2J\\x1b]0;x\\x07"});
  Finished r = ShowList();
  EXPECT_EQ(r.status, 0) << r.out << r.err << r.log;
  EXPECT_TRUE(Has(r.log, "ResolveDeviceAddress: A\\n2099-01-01 EEPROM Success\\n has no address")) << r.log;
  EXPECT_TRUE(Has(r.log, "ResolveDeviceAddress: B\\x1b[2J\\x1b]0;x\\x07 has no address")) << r.log;
  EXPECT_FALSE(Has(r.log, "\n2099-01-01 EEPROM Success")) << r.log;
  EXPECT_EQ(r.log.find('\x1b'), std::string::npos);
  EXPECT_EQ((r.out + r.err).find('\x1b'), std::string::npos);
}

TEST_F(NetworkDiscovery, TenCardsFillTheListAndTheRestAreCounted) {
  auto sim = Simulator({"--cards=10"});
  Finished r = ShowList();
  EXPECT_EQ(r.status, 0) << r.out << r.err << r.log;
  EXPECT_TRUE(Has(r.log, "Found Orvella(n). Number Of Connections: 10\n")) << r.log;
  const std::string notice = "4 more devices could not be listed: the list holds 16 entries.";
  EXPECT_TRUE(Has(r.log, notice + "\n")) << r.log;
  EXPECT_TRUE(Has(r.out, notice + "\n")) << r.out;
  EXPECT_TRUE(Has(r.out, "[15] ZI-RERAR in ")) << r.out;
  EXPECT_FALSE(Has(r.out, "[16] ")) << r.out;
}

#endif

}  // namespace
