// Each fault switch of the unit model does what its name says, seen from
// the wire.
#include <functional>

#include <gtest/gtest.h>

#include "tests/sim/unit_harness.h"

namespace {

using simtest::RegisterMessage;
using simtest::TestImage;
using simtest::UnitHarness;

const std::vector<uint8_t> kImage = TestImage(384, 9);  // three packets

sim::UnitConfig WithCard() {
  sim::UnitConfig c;
  c.card.id = 21;
  return c;
}

std::vector<RegisterMessage> SendPacket(UnitHarness& h, int i, bool toCard = false) {
  h.Packet(&kImage[128 * i], 128, toCard);
  return h.Drain();
}

void Announce(UnitHarness& h) {
  for (int i = 0; i < 4; ++i) h.Write(static_cast<uint16_t>(48 + i), static_cast<uint8_t>(kImage.size() >> (8 * i)));
  h.Command(codec::kSelectBank2);
}

// Sends all three packets and returns the number of acknowledgements seen.
int SendAll(UnitHarness& h, bool toCard = false) {
  if (!toCard) Announce(h);
  int acks = 0;
  for (int i = 0; i < 3; ++i) acks += static_cast<int>(SendPacket(h, i, toCard).size());
  return acks;
}

void EraseCard(UnitHarness& h) {
  h.Command(codec::kPrepare, true);
  h.Command(codec::kErase, true);
  h.Advance(1000);
  h.Drain();
}

std::vector<uint8_t> VerifyPacket(UnitHarness& h) {
  h.Command(codec::kNextVerifyPacket, true);
  auto msgs = h.Drain();
  if (msgs.size() != 1) return {};
  return msgs[0].data;
}

std::vector<uint8_t> Expected(int packet) {
  return std::vector<uint8_t>(kImage.begin() + 128 * packet, kImage.begin() + 128 * (packet + 1));
}

struct FaultCase {
  const char* name;
  std::function<void(sim::Faults&)> set;
  std::function<void(UnitHarness&)> check;
  sim::UnitConfig config = sim::UnitConfig();
};

class UnitModelFaults : public ::testing::TestWithParam<FaultCase> {};

TEST_P(UnitModelFaults, Behaves) {
  const FaultCase& c = GetParam();
  UnitHarness h(c.config);
  c.set(h.unit.faults());
  c.check(h);
}

const FaultCase kCases[] = {
    {"DropAckOfPacket1",
     [](sim::Faults& f) { f.dropAckAtPacket = 1; },
     [](UnitHarness& h) {
       Announce(h);
       EXPECT_EQ(SendPacket(h, 0).size(), 1u);
       EXPECT_TRUE(SendPacket(h, 1).empty());
       h.Advance(5000);
       EXPECT_TRUE(h.Drain().empty());
       EXPECT_EQ(SendPacket(h, 2).size(), 1u);
     }},
    {"DelayAckOfPacket1",
     [](sim::Faults& f) {
       f.delayAckAtPacket = 1;
       f.ackDelayMs = 300;
     },
     [](UnitHarness& h) {
       Announce(h);
       EXPECT_EQ(SendPacket(h, 0).size(), 1u);
       EXPECT_TRUE(SendPacket(h, 1).empty());
       h.Advance(299);
       EXPECT_TRUE(h.Drain().empty());
       h.Advance(1);
       auto msgs = h.Drain();
       ASSERT_EQ(msgs.size(), 1u);
       EXPECT_EQ(msgs[0].data[0] & 0x3F, 0);
     }},
    {"DelayEveryAck",
     [](sim::Faults& f) { f.ackDelayMs = 50; },
     [](UnitHarness& h) {
       Announce(h);
       for (int i = 0; i < 3; ++i) {
         EXPECT_TRUE(SendPacket(h, i).empty());
         h.Advance(50);
         EXPECT_EQ(h.Drain().size(), 1u) << i;
       }
     }},
    {"CorruptStoredByteFailsTheUnitsOwnVerify",
     [](sim::Faults& f) { f.corruptStoredByte = 200; },
     [](UnitHarness& h) {
       EXPECT_EQ(SendAll(h), 3);
       h.Advance(5000);
       EXPECT_EQ(h.unit.Register(56), sim::kStateVerifyFailed);
       EXPECT_EQ(h.unit.Register(9) & sim::kStatusPgmErr, sim::kStatusPgmErr);
       ASSERT_EQ(h.unit.Prom(1).size(), kImage.size());
       EXPECT_NE(h.unit.Prom(1)[200], kImage[200]);
       EXPECT_TRUE(std::equal(kImage.begin(), kImage.begin() + 200, h.unit.Prom(1).begin()));
     }},
    {"CorruptStoredByteShowsInCardVerify",
     [](sim::Faults& f) { f.corruptStoredByte = 200; },
     [](UnitHarness& h) {
       EraseCard(h);
       EXPECT_EQ(SendAll(h, true), 3);
       EXPECT_EQ(VerifyPacket(h), Expected(0));
       auto p1 = VerifyPacket(h);
       ASSERT_EQ(p1.size(), 128u);
       EXPECT_NE(p1[72], kImage[200]);
     },
     WithCard()},
    {"PgmErrAtPacket2",
     [](sim::Faults& f) { f.pgmErrAtPacket = 2; },
     [](UnitHarness& h) {
       Announce(h);
       SendPacket(h, 0);
       SendPacket(h, 1);
       auto msgs = SendPacket(h, 2);
       ASSERT_EQ(msgs.size(), 1u);
       EXPECT_EQ(msgs[0].data[0] & 0x3F, sim::kStatusPgmErr);
       h.Advance(5000);
       EXPECT_EQ(h.unit.Register(56), 0) << "an incomplete image is never programmed";
     }},
    {"TxErrAtPacket0",
     [](sim::Faults& f) { f.txErrAtPacket = 0; },
     [](UnitHarness& h) {
       Announce(h);
       auto msgs = SendPacket(h, 0);
       ASSERT_EQ(msgs.size(), 1u);
       EXPECT_EQ(msgs[0].data[0] & 0x3F, sim::kStatusTxErr);
     }},
    {"StallInErase",
     [](sim::Faults& f) { f.stallInState = sim::kStateErasing; },
     [](UnitHarness& h) {
       SendAll(h);
       h.Advance(600000);
       EXPECT_EQ(h.unit.Register(56), sim::kStateErasing);
       EXPECT_TRUE(h.unit.Prom(1).empty());
     }},
    {"StallInProgramming",
     [](sim::Faults& f) { f.stallInState = sim::kStateProgramming; },
     [](UnitHarness& h) {
       SendAll(h);
       h.Advance(600000);
       EXPECT_EQ(h.unit.Register(56), sim::kStateProgramming);
       EXPECT_EQ(h.unit.Register(58), 50);
     }},
    {"StallInCardErase",
     [](sim::Faults& f) { f.stallInState = sim::kStateErasing; },
     [](UnitHarness& h) {
       h.Command(codec::kPrepare, true);
       h.Command(codec::kErase, true);
       h.Advance(600000);
       EXPECT_TRUE(h.Drain().empty());
       EXPECT_EQ(h.unit.Register(9) & 0x3F, sim::kStatusPip);
     },
     WithCard()},
    {"SilentFromPacket1",
     [](sim::Faults& f) { f.silentFromPacket = 1; },
     [](UnitHarness& h) {
       Announce(h);
       EXPECT_EQ(SendPacket(h, 0).size(), 1u);
       EXPECT_TRUE(SendPacket(h, 1).empty());
       h.Read(1, 24);
       EXPECT_TRUE(h.Drain().empty());
     }},
    {"SilentNow",
     [](sim::Faults& f) { f.silent = true; },
     [](UnitHarness& h) {
       h.Read(1, 24);
       h.Probe(0);
       EXPECT_TRUE(h.Drain().empty());
     }},
    {"ReadsAnsweredFromTheWrongRegister",
     [](sim::Faults& f) { f.readAnswerOffset = 1; },
     [](UnitHarness& h) {
       h.Probe(2);
       auto msgs = h.Drain();
       ASSERT_EQ(msgs.size(), 1u);
       EXPECT_EQ(msgs[0].start, 67);
     }},
    {"VerifyPacketsOutOfOrder",
     [](sim::Faults& f) { f.verifyOutOfOrderAt = 0; },
     [](UnitHarness& h) {
       EraseCard(h);
       SendAll(h, true);
       EXPECT_EQ(VerifyPacket(h), Expected(1));
       EXPECT_EQ(VerifyPacket(h), Expected(0));
       EXPECT_EQ(VerifyPacket(h), Expected(2));
     },
     WithCard()},
    {"VerifyPacketByteChanged",
     [](sim::Faults& f) { f.verifyByteChangedAt = 1; },
     [](UnitHarness& h) {
       EraseCard(h);
       SendAll(h, true);
       EXPECT_EQ(VerifyPacket(h), Expected(0));
       auto p = VerifyPacket(h);
       ASSERT_EQ(p.size(), 128u);
       EXPECT_NE(p, Expected(1));
       EXPECT_TRUE(std::equal(p.begin() + 1, p.end(), Expected(1).begin() + 1));
       EXPECT_EQ(h.unit.CardFlash()[128], kImage[128]) << "the flash itself is sound";
     },
     WithCard()},
    {"VerifyPacketMissing",
     [](sim::Faults& f) { f.verifyMissingAt = 0; },
     [](UnitHarness& h) {
       EraseCard(h);
       SendAll(h, true);
       EXPECT_TRUE(VerifyPacket(h).empty());
       h.Advance(5000);
       EXPECT_TRUE(h.Drain().empty());
       EXPECT_EQ(VerifyPacket(h), Expected(1));
     },
     WithCard()},
    {"SerialReadBackNeverMatches",
     [](sim::Faults& f) { f.serialNeverMatches = true; },
     [](UnitHarness& h) {
       h.Write(12, 0x01);
       h.Write(28, 0x02);
       h.Read(12, 15);
       auto msgs = h.Drain();
       ASSERT_EQ(msgs.size(), 1u);
       EXPECT_EQ(msgs[0].data[0], 0x2D);
       EXPECT_EQ(h.unit.Register(28), 0xFF);
     },
     WithCard()},
    {"CommitNeverConfirmed",
     [](sim::Faults& f) { f.commitNeverConfirmed = true; },
     [](UnitHarness& h) {
       h.Command(codec::kPrepare);
       h.Command(codec::kCommitSerial);
       h.Advance(600000);
       EXPECT_TRUE(h.Drain().empty());
       EXPECT_EQ(h.unit.Register(9) & 0x3F, sim::kStatusPip);
       EXPECT_EQ(h.unit.CommitCount(), 0);
     }},
};

INSTANTIATE_TEST_SUITE_P(Switches, UnitModelFaults, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(UnitModelFaults, SwitchesCanBeThrownMidRun) {
  UnitHarness h;
  Announce(h);
  EXPECT_EQ(SendPacket(h, 0).size(), 1u);
  h.unit.faults().silent = true;
  EXPECT_TRUE(SendPacket(h, 1).empty());
  h.unit.faults().silent = false;
  h.Read(9, 9);
  EXPECT_EQ(h.Drain().size(), 1u) << "the link came back";
}

}  // namespace
