// The real program updating a ZI-RERAR card over the network: the network
// simulator runs as a child on a private network, advertises one card and
// answers for the card and its unit over UDP; at the end it reports a digest
// of the card's flash, which must be the image's.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/files/digest.h"
#include "tests/e2e/run_process.h"
#include "tests/support/network_simulator.h"
#include "tests/support/private_network.h"

namespace {

#ifdef REFLASH_TEST_SIM_NETWORK

namespace fs = std::filesystem;
using e2e::Finished;
using e2e::Has;
using e2e::Sandbox;
using test_support::NetworkSimulator;

constexpr size_t kImageSize = 78000;
constexpr size_t kPacket = 128;
const std::string kCardFailed = "ZI-RERAR Firmware Update Failed!";

class NetworkCardRun : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_PRIVATE_NETWORK();
    if (!std::getenv("REFLASH_BIN")) GTEST_SKIP() << "REFLASH_BIN is not set";
    image_.resize(kImageSize);
    uint32_t x = 0x2F6E2B1Du;  // any fixed content that is not all one byte
    for (uint8_t& b : image_) {
      x = x * 1103515245u + 12345u;
      b = static_cast<uint8_t>(x >> 16);
    }
    path_ = box_.Dir() / "ZTDNT0102NC.BIN";
    std::ofstream(path_, std::ios::binary).write(reinterpret_cast<const char*>(image_.data()), image_.size());
  }

  std::unique_ptr<NetworkSimulator> Simulator(std::vector<std::string> args) {
    args.insert(args.begin(), {"--cards=1", "--lifetime=120"});
    return std::make_unique<NetworkSimulator>(REFLASH_TEST_SIM_NETWORK, args, box_.Dir() / "sim.txt");
  }

  Finished Update(NetworkSimulator& sim) {
    EXPECT_TRUE(sim.Ready()) << sim.Output();
    return box_.Wait(box_.Start("--console --yes ZSLOT FILE=" + path_.string(),
                                "REFLASH_DNSSD_LIBRARY='" REFLASH_TEST_OWN_DNSSD "'"),
                     120000);
  }

  // The report line the simulator gives for a card holding our image: the
  // last packet is filled up with zeros, as it was sent.
  std::string FlashReportOfImage() const {
    std::vector<uint8_t> flash = image_;
    flash.resize((kImageSize + kPacket - 1) / kPacket * kPacket, 0);
    char line[96];
    std::snprintf(line, sizeof line, "card 1 flash=%zu digest=%016" PRIx64 " ", flash.size(),
                  platform::Digest(flash.data(), flash.size()));
    return line;
  }

  static bool ClaimsSuccess(const Finished& r) {
    return Has(r.log, "EEPROM Programming Success") || Has(r.out + r.err, "Congratulations");
  }

  Sandbox box_;
  std::vector<uint8_t> image_;
  fs::path path_;
};

TEST_F(NetworkCardRun, TheCardHoldsTheImageByteForByte) {
  auto sim = Simulator({});
  Finished r = Update(*sim);
  EXPECT_EQ(r.status, 0) << r.out << r.err << r.log;
  EXPECT_TRUE(Has(r.log, "Verify Complete")) << r.log;
  EXPECT_TRUE(Has(r.log, "EEPROM Programming Success")) << r.log;
  const std::string report = sim->Stop();
  EXPECT_TRUE(Has(report, FlashReportOfImage())) << report;
}

TEST_F(NetworkCardRun, AStrangersDatagramMidTransferChangesNothing) {
  // 127.0.0.2 claims a programming error while packets are in flight; only
  // the card's own address is listened to.
  auto sim = Simulator({"--inject-after=300"});
  Finished r = Update(*sim);
  const std::string report = sim->Stop();
  EXPECT_TRUE(Has(report, "injected ")) << report;
  EXPECT_EQ(r.status, 0) << r.out << r.err << r.log;
  EXPECT_TRUE(Has(report, FlashReportOfImage())) << report;
}

TEST_F(NetworkCardRun, ALossyLinkFailsTheRunAndNeverClaimsSuccess) {
  // The card protocol never resends, so a lost datagram must end the run
  // as a failure, not pass for a verified card.
  auto sim = Simulator({"--drop-every=50"});
  Finished r = Update(*sim);
  const std::string report = sim->Stop();
  EXPECT_NE(r.status, 0) << r.out << r.err << r.log;
  EXPECT_FALSE(ClaimsSuccess(r)) << r.log;
  EXPECT_TRUE(Has(r.out + r.err, kCardFailed)) << r.out << r.err;
  EXPECT_TRUE(Has(report, "dropped=")) << report;
}

#else

TEST(NetworkCardRun, NeedsTheNetworkSimulator) { GTEST_SKIP() << "this build has no network simulator"; }

#endif

}  // namespace
