// The real program updating a ZI-RERAR card over the network: the network
// simulator runs as a child on a private network, advertises one card and
// answers for the card and its unit over UDP; at the end it reports a digest
// of the card's flash, which must be the image's.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/network_run.h"

namespace {

#ifdef REFLASH_TEST_SIM_NETWORK

namespace fs = std::filesystem;
using e2e::Finished;
using e2e::Has;
using test_support::NetworkSimulator;

const std::string kCardFailed = "ZI-RERAR Firmware Update Failed!";

class NetworkCardRun : public e2e::CardImageRun {
 protected:
  NetworkCardRun() : CardImageRun(0x2F6E2B1Du) {}

  Finished Update(NetworkSimulator& sim) { return Reflash(sim, "--console --yes ZSLOT FILE=" + path_.string()); }

  pid_t Start(NetworkSimulator& sim, const std::string& args) {
    EXPECT_TRUE(sim.Ready()) << sim.Output();
    return box_.Start(args, e2e::kOwnDnsSd);
  }
  Finished Reflash(NetworkSimulator& sim, const std::string& args) { return box_.Wait(Start(sim, args), 120000); }

  static bool ClaimsSuccess(const Finished& r) {
    return Has(r.log, "EEPROM Programming Success") || Has(r.out + r.err, "Congratulations");
  }

  // An update against a simulator started with `args` that must end with
  // `status` (any failure when 0) and never claim success.
  struct Failed {
    Finished run;
    std::string report;  // the simulator's
  };
  Failed UpdateThatFails(std::vector<std::string> args, int status) {
    auto sim = Simulator(std::move(args));
    Failed f{Update(*sim), ""};
    f.report = sim->Stop();
    const Finished& r = f.run;
    if (status == 0) {
      EXPECT_NE(r.status, 0) << r.out << r.err << r.log;
    } else {
      EXPECT_EQ(r.status, status) << r.out << r.err << r.log;
    }
    EXPECT_FALSE(ClaimsSuccess(r)) << r.out << r.err << r.log;
    return f;
  }
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
  auto [r, report] = UpdateThatFails({"--drop-every=50"}, 0);
  EXPECT_TRUE(Has(r.out + r.err, kCardFailed)) << r.out << r.err;
  EXPECT_TRUE(Has(report, "dropped=")) << report;
}

TEST_F(NetworkCardRun, ARepeatedAcknowledgementFailsTheRunAndCancels) {
  auto [r, report] = UpdateThatFails({"--fault=duplicate-ack-at-packet=200"}, 1);
  EXPECT_TRUE(Has(r.log, "Wait for Write Firmware Packet Failed!\n\nduplicate reply\n")) << r.log;
  EXPECT_TRUE(Has(r.log, "The ZI-RERAR card holds a partial image: run the update again.")) << r.log;
  EXPECT_TRUE(Has(report, "cancels=1 completes=0")) << report;
}

TEST_F(NetworkCardRun, AForgedVerifyAnswerFromTheCardsAddressIsNeverTheOneBelieved) {
  // The card stored one byte wrong; right after its own answer comes one
  // from its address carrying the image's bytes. Whichever is compared,
  // two answers to one request fail the run.
  const Finished r = UpdateThatFails({"--fault=corrupt-stored-byte=40000", "--fault=forged-verify-at=312"}, 1).run;
  EXPECT_TRUE(Has(r.log, "duplicate reply") || Has(r.out + r.err, "Firmware Verify Failed!")) << r.log;
}

TEST_F(NetworkCardRun, ALostEndOfProgrammingIsSentAgainUntilTheCardShowsIt) {
  auto sim = Simulator({"--lose-completions=1"});
  Finished r = Update(*sim);
  const std::string report = sim->Stop();
  EXPECT_EQ(r.status, 0) << r.out << r.err << r.log;
  EXPECT_TRUE(Has(r.log, "SetProgrammingComplete: not confirmed by the card (attempt 1)")) << r.log;
  EXPECT_TRUE(Has(report, FlashReportOfImage())) << report;
  EXPECT_TRUE(Has(report, "completes=1")) << report;
}

TEST_F(NetworkCardRun, AnEndOfProgrammingTheCardNeverShowsIsSentNotConfirmed) {
  const Finished r = UpdateThatFails({"--lose-completions=100"}, 3).run;
  EXPECT_TRUE(Has(r.log, "SetProgrammingComplete: sent, not confirmed")) << r.log;
  EXPECT_TRUE(Has(r.out + r.err, "sent, not confirmed")) << r.out << r.err;
}

TEST_F(NetworkCardRun, AFloodFromAnotherPortOfTheCardsAddressIsDroppedAndLoggedOnce) {
  // Status reports claiming PGMERR and PAKRDY, and garbage, three with
  // every answer of the card.
  auto sim = Simulator({"--flood-per-reply=3"});
  Finished r = Update(*sim);
  const std::string report = sim->Stop();
  EXPECT_EQ(r.status, 0) << r.out << r.err << r.log;
  EXPECT_TRUE(Has(report, FlashReportOfImage())) << report;
  const std::string dropped = "datagrams not from the card's ports are dropped";
  const size_t first = r.log.find(dropped);
  EXPECT_NE(first, std::string::npos) << r.log;
  EXPECT_EQ(r.log.find(dropped, first + 1), std::string::npos) << r.log;
}

TEST_F(NetworkCardRun, ATerminatedRunCancelsAndSaysTheCardHoldsAPartialImage) {
  // The answer to packet 300 never comes: the signal lands while the run
  // waits for it, which must read as an abort, not as a silent card.
  auto sim = Simulator({"--fault=drop-ack-at-packet=300"});
  const pid_t pid = Start(*sim, "--console --yes ZSLOT FILE=" + path_.string());
  ASSERT_TRUE(box_.WaitForText("OrvellaReflash.log", "Programming 610 Packets", 60000));
  usleep(400 * 1000);
  kill(pid, SIGTERM);
  Finished r = box_.Wait(pid, 60000);
  const std::string report = sim->Stop();
  EXPECT_EQ(r.status, 143) << r.out << r.err << r.log;
  EXPECT_TRUE(Has(r.log, "Wait for Write Firmware Packet: aborted by SIGTERM")) << r.log;
  EXPECT_FALSE(Has(r.log, "Failed!\n\nTIMEOUT")) << r.log;
  EXPECT_TRUE(Has(r.log, "The ZI-RERAR card holds a partial image: run the update again.")) << r.log;
  EXPECT_TRUE(Has(report, "cancels=1 completes=0")) << report;
}

TEST_F(NetworkCardRun, AVerifyErrorOfTheUnitBehindTheCardIsReportedAtOnce) {
  const fs::path unitImage = box_.Dir() / "NBT0110ANC.BIN";
  std::ofstream(unitImage, std::ios::binary) << std::string(10 * kPacket, '\x5A');
  auto sim = Simulator({"--fault=corrupt-stored-byte=100"});
  const auto started = std::chrono::steady_clock::now();
  Finished r = Reflash(*sim, "--console --yes FILE=" + unitImage.string());
  const auto took = std::chrono::steady_clock::now() - started;
  sim->Stop();
  EXPECT_NE(r.status, 0) << r.out << r.err << r.log;
  EXPECT_TRUE(Has(r.log, "ProgramEEPROM: Unit reported a Verify Error!")) << r.log;
  EXPECT_FALSE(Has(r.log, "Unit stopped reporting progress")) << r.log;
  EXPECT_LT(took, std::chrono::seconds(60));
}

TEST_F(NetworkCardRun, ASerialCommitNobodyConfirmsIsSentNotConfirmed) {
  auto sim = Simulator({"--lose-serial-commits=1"});
  Finished r = Reflash(*sim, "SN=1518400099 ZSLOT --console");
  sim->Stop();
  EXPECT_EQ(r.status, 3) << r.out << r.err << r.log;
  EXPECT_TRUE(Has(r.log, "sent, not confirmed")) << r.log;
  EXPECT_TRUE(Has(r.log, ": FAILED")) << r.log;
}

#endif

}  // namespace
