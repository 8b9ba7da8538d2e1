// The real program updating a ZI-RERAR card over the network: the network
// simulator runs as a child on a private network, advertises one card and
// answers for the card and its unit over UDP; at the end it reports a digest
// of the card's flash, which must be the image's.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "platform/files/digest.h"
#include "tests/e2e/run_process.h"
#include "tests/support/private_network.h"

namespace {

namespace fs = std::filesystem;
using e2e::Finished;
using e2e::Has;
using e2e::Sandbox;

constexpr size_t kImageSize = 78000;
constexpr size_t kPacket = 128;
const std::string kCardFailed = "ZI-RERAR Firmware Update Failed!";

// The simulator, its output in a file of the sandbox.
class NetworkSimulator {
 public:
  NetworkSimulator(Sandbox& box, const std::vector<std::string>& args) : box_(box) {
    pid_ = fork();
    if (pid_ == 0) {
      const std::string out = (box.Dir() / "sim.txt").string();
      if (!std::freopen(out.c_str(), "w", stdout)) _exit(126);
      std::vector<char*> argv{const_cast<char*>(REFLASH_TEST_SIM_NETWORK)};
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
  }
  ~NetworkSimulator() { Stop(); }
  bool Ready() { return pid_ > 0 && box_.WaitForText("sim.txt", "ready\n", 20000); }
  // Ends it (SIGTERM) and returns its whole output with the final report.
  std::string Stop() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
      pid_ = -1;
    }
    return e2e::ReadFile(box_.Dir() / "sim.txt");
  }

 private:
  Sandbox& box_;
  pid_t pid_ = -1;
};

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

  Finished Update(NetworkSimulator& sim) {
    EXPECT_TRUE(sim.Ready()) << e2e::ReadFile(box_.Dir() / "sim.txt");
    return box_.Wait(box_.Start("--console --yes ZSLOT FILE=" + path_.string()), 120000);
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
  NetworkSimulator sim(box_, {"--cards", "1", "--lifetime", "120"});
  Finished r = Update(sim);
  EXPECT_EQ(r.status, 0) << r.out << r.err << r.log;
  EXPECT_TRUE(Has(r.log, "Verify Complete")) << r.log;
  EXPECT_TRUE(Has(r.log, "EEPROM Programming Success")) << r.log;
  const std::string report = sim.Stop();
  EXPECT_TRUE(Has(report, FlashReportOfImage())) << report;
}

TEST_F(NetworkCardRun, AStrangersDatagramMidTransferChangesNothing) {
  // 127.0.0.2 claims a programming error while packets are in flight; only
  // the card's own address is listened to.
  NetworkSimulator sim(box_, {"--cards", "1", "--lifetime", "120", "--inject-after", "300"});
  Finished r = Update(sim);
  const std::string report = sim.Stop();
  EXPECT_TRUE(Has(report, "injected ")) << report;
  EXPECT_EQ(r.status, 0) << r.out << r.err << r.log;
  EXPECT_TRUE(Has(report, FlashReportOfImage())) << report;
}

TEST_F(NetworkCardRun, ALossyLinkFailsTheRunAndNeverClaimsSuccess) {
  // The card protocol never resends, so a lost datagram must end the run
  // as a failure, not pass for a verified card.
  NetworkSimulator sim(box_, {"--cards", "1", "--lifetime", "120", "--drop-every", "50"});
  Finished r = Update(sim);
  const std::string report = sim.Stop();
  EXPECT_NE(r.status, 0) << r.out << r.err << r.log;
  EXPECT_FALSE(ClaimsSuccess(r)) << r.log;
  EXPECT_TRUE(Has(r.out + r.err, kCardFailed)) << r.out << r.err;
  EXPECT_TRUE(Has(report, "dropped=")) << report;
}

}  // namespace
