// The unit model as a protocol peer: identity, reads and writes in every
// form, a main transfer to its end, the card's erase/program/verify and the
// serial commit, driven with codec frames on a virtual clock.
#include <gtest/gtest.h>

#include "tests/sim/unit_harness.h"

namespace {

using simtest::RegisterMessage;
using simtest::TestImage;
using simtest::UnitHarness;

// The engine's announcement of an image and its packets, each answered.
void SendImage(UnitHarness& h, const std::vector<uint8_t>& image, bool toCard = false) {
  if (!toCard)
    for (int i = 0; i < 4; ++i) h.Write(static_cast<uint16_t>(48 + i), static_cast<uint8_t>(image.size() >> (8 * i)));
  std::vector<uint8_t> padded(image);
  padded.resize((image.size() + 127) / 128 * 128, 0);
  for (size_t at = 0; at < padded.size(); at += 128) {
    h.Packet(&padded[at], 128, toCard);
    auto msgs = h.Drain();
    ASSERT_EQ(msgs.size(), 1u) << "packet at " << at;
    EXPECT_EQ(msgs[0].start, 9);
    EXPECT_EQ(msgs[0].length, 10u);
    EXPECT_EQ(msgs[0].data[0] & 0x3F, 0) << "packet at " << at;
  }
}

// Reads 56..58 every 20 ms until state 6; returns the states seen in order.
std::vector<int> WatchProgress(UnitHarness& h, uint32_t limitMs = 5000) {
  std::vector<int> states;
  int lastPercent = -1, lastState = -1;
  for (uint32_t t = 0; t <= limitMs; t += 20) {
    h.Read(56, 58);
    auto msgs = h.Drain();
    if (msgs.size() != 1 || msgs[0].count != 3) {
      ADD_FAILURE() << "no answer to the progress read";
      break;
    }
    const int state = msgs[0].data[0], percent = msgs[0].data[2];
    if (state == lastState) {
      EXPECT_GE(percent, lastPercent) << "state " << state;
    } else {
      states.push_back(state);
    }
    lastState = state;
    lastPercent = percent;
    if (state >= sim::kStateDone) break;
    h.Advance(20);
  }
  return states;
}

TEST(UnitModelIdentity, DefaultUnitIsAnOlderOrvellaN) {
  UnitHarness h;
  h.Read(1, 24);
  auto msgs = h.Drain();
  ASSERT_EQ(msgs.size(), 1u);
  const auto& r = msgs[0].data;
  ASSERT_EQ(msgs[0].count, 24);
  auto reg = [&](int n) { return r[n - 1]; };
  EXPECT_EQ(reg(1), 96);
  EXPECT_EQ(reg(10) & 0x3F, 1);                                  // major
  EXPECT_EQ(((reg(11) & 0x0F) << 2) + (reg(10) >> 6), 2);        // minor
  EXPECT_EQ(reg(11) >> 4, 2);                                    // PCB
  EXPECT_EQ(reg(7) + 256 * reg(8), sim::FirmwareDateWord(2018, 11, 2));
  EXPECT_EQ(reg(7) + 256 * reg(8), 0x2B22);
  EXPECT_EQ(reg(5) & 0x20, 0x20);
  EXPECT_EQ(reg(12), 0x2D);
  EXPECT_EQ(reg(13), 0x12);
  EXPECT_EQ(reg(14), 0xD2);
  EXPECT_EQ(reg(15), 0x04);
  EXPECT_EQ(reg(16), 0);
  EXPECT_EQ(h.unit.UnitSerial(), 0x6026D4D2u);
}

TEST(UnitModelIdentity, CardModuleAndBlankSerial) {
  sim::UnitConfig c;
  c.serial = sim::kBlankSerial;
  c.card = {21, 1, 3, 4, 0x1512A001};
  c.hasModule = true;
  UnitHarness h(c);
  EXPECT_EQ(h.unit.Register(12), 0xFF);
  EXPECT_EQ(h.unit.UnitSerial(), sim::kBlankSerial);
  EXPECT_EQ(h.unit.Register(16), 21);
  EXPECT_EQ(h.unit.Register(17), 1);
  EXPECT_EQ(h.unit.Register(20), 3);
  EXPECT_EQ(h.unit.Register(18), 4);
  EXPECT_EQ(h.unit.CardSerial(), 0x1512A001u);
  EXPECT_EQ(h.unit.Register(25), 2);
}

struct ReadCase {
  const char* name;
  uint16_t first, last;
  bool longForm;
  size_t length;
};

class UnitModelReads : public ::testing::TestWithParam<ReadCase> {};

TEST_P(UnitModelReads, AnsweredWithTheRegistersAsked) {
  const ReadCase& c = GetParam();
  UnitHarness h;
  for (int r = 0; r < 2048; ++r) h.unit.SetRegister(static_cast<uint16_t>(r), static_cast<uint8_t>(r * 7 + 3));
  h.Read(c.first, c.last);
  auto msgs = h.Drain();
  ASSERT_EQ(msgs.size(), 1u);
  EXPECT_EQ(msgs[0].start, c.first);
  EXPECT_EQ(msgs[0].count, c.last - c.first + 1);
  EXPECT_EQ(msgs[0].longForm, c.longForm);
  EXPECT_EQ(msgs[0].length, c.length);
  for (size_t i = 0; i < msgs[0].data.size(); ++i)
    EXPECT_EQ(msgs[0].data[i], static_cast<uint8_t>((c.first + i) * 7 + 3)) << c.name << " register " << c.first + i;
}

INSTANTIATE_TEST_SUITE_P(
    Forms, UnitModelReads,
    ::testing::Values(ReadCase{"identity", 1, 24, false, 7 + 28 + 1}, ReadCase{"status", 9, 9, false, 10},
                      ReadCase{"progress", 56, 58, false, 7 + 4 + 1}, ReadCase{"verifyWindow", 128, 255, false, 155},
                      ReadCase{"highShortWithBit8", 300, 310, false, 7 + 13 + 1},
                      ReadCase{"startWithLowBits111", 224, 230, true, 10 + 8 + 1},
                      ReadCase{"extended", 1024, 2047, true, 10 + 1171 + 1},
                      ReadCase{"whole", 0, 511, true, 10 + 586 + 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(UnitModelReads, ProbeIsAnsweredAsAReadOfItsRegister) {
  UnitHarness h;
  h.Probe(5);
  auto msgs = h.Drain();
  ASSERT_EQ(msgs.size(), 1u);
  EXPECT_EQ(msgs[0].start, 69);
  EXPECT_EQ(msgs[0].count, 1);
  EXPECT_EQ(msgs[0].length, 10u);
}

TEST(UnitModelReads, ReadsCutAtTheEndOfTheRegisterFile) {
  UnitHarness h;
  h.Read(2040, 2100);
  auto msgs = h.Drain();
  ASSERT_EQ(msgs.size(), 1u);
  EXPECT_EQ(msgs[0].count, 8);
  h.Read(3000, 3001);
  EXPECT_TRUE(h.Drain().empty());
}

TEST(UnitModelFraming, FramesSplitAcrossCallsAndNoiseBetweenThem) {
  UnitHarness h;
  uint8_t a[codec::kShortLength], b[codec::kShortLength];
  codec::BuildShort(a, codec::kRead, 1, 23);
  codec::BuildShort(b, codec::kRead, 9, 0);
  std::vector<uint8_t> stream = {0x12, 0x90, 0x40};  // noise and a stray status
  stream.insert(stream.end(), a, a + 8);
  stream.push_back(0xF8);  // a real-time byte may sit anywhere
  stream.insert(stream.end(), b, b + 4);
  stream.push_back(0xF8);
  stream.insert(stream.end(), b + 4, b + 8);
  for (uint8_t byte : stream) h.Send(&byte, 1);
  auto msgs = h.Drain();
  ASSERT_EQ(msgs.size(), 2u);
  EXPECT_EQ(msgs[0].start, 1);
  EXPECT_EQ(msgs[1].start, 9);
}

TEST(UnitModelFraming, BrokenAndForeignFramesAreIgnored) {
  UnitHarness h;
  uint8_t f[codec::kShortLength];
  codec::BuildShort(f, codec::kRead, 1, 23);
  f[2] = 0x02;  // another maker
  h.Send(f, sizeof f);
  codec::BuildShort(f, codec::kRead, 1, 23);
  const uint8_t cut[] = {0xF0, 0x00, 0x01, 0x54, 0x68, 0x80};  // status byte breaks it off
  h.Send(cut, sizeof cut);
  h.Send(f + 5, 3);
  EXPECT_TRUE(h.Drain().empty());
}

TEST(UnitModelFraming, RecordKeepsTheLatestFramesAndCountsThemAll) {
  UnitHarness h;
  const int extra = 10;
  for (size_t i = 0; i < sim::UnitModel::kFramesKept + extra; ++i) {
    const auto reg = static_cast<uint16_t>(i % 100);
    h.Read(reg, reg);
  }
  h.Command(codec::kReloadAll);
  EXPECT_EQ(h.unit.Received().size(), sim::UnitModel::kFramesKept);
  EXPECT_EQ(h.unit.CountReceived(codec::kRead), static_cast<int>(sim::UnitModel::kFramesKept) + extra);
  EXPECT_EQ(h.unit.CountReceived(codec::kReloadAll), 1);
  EXPECT_EQ(h.unit.Received().back().code, codec::kReloadAll);
}

TEST(UnitModelWrites, ShortLongAndBit8FormsLandInTheirRegisters) {
  UnitHarness h;
  h.Write(48, 0xA5);
  h.Write(700, 0x5A);  // long form
  uint8_t f[codec::kShortLength];
  codec::BuildShort(f, codec::kWrite, 256 + 44, 0x77);  // bit 8 set
  h.Send(f, sizeof f);
  codec::BuildShort(f, codec::kWrite, 230, 0x33);  // low bits 111 in a short write
  h.Send(f, sizeof f);
  EXPECT_EQ(h.unit.Register(48), 0xA5);
  EXPECT_EQ(h.unit.Register(700), 0x5A);
  EXPECT_EQ(h.unit.Register(300), 0x77);
  EXPECT_EQ(h.unit.Register(44), 0);
  EXPECT_EQ(h.unit.Register(230), 0x33);
  EXPECT_TRUE(h.Drain().empty()) << "writes are not answered";
}

TEST(UnitModelWrites, StatusAndSwitchBitsStayTheUnits) {
  UnitHarness h;
  h.Write(9, 0x8F);
  EXPECT_EQ(h.unit.Register(9), 0x80);
  h.Write(5, 0x10);
  EXPECT_EQ(h.unit.Register(5), 0x30);
  h.Write(56, 6);
  EXPECT_EQ(h.unit.Register(56), 0);
}

TEST(UnitModelCommands, DamagedCheckByteIsIgnored) {
  UnitHarness h;
  uint8_t f[codec::kCommandLength];
  codec::BuildCommand(f, codec::kSelectBank2);
  f[6] ^= 0x02;
  h.Send(f, sizeof f);
  EXPECT_EQ(h.unit.Register(9), 0);
  codec::BuildCommand(f, codec::kSelectBank2);
  h.Send(f, sizeof f);
  EXPECT_EQ(h.unit.Register(9), 0x80);
  h.Command(codec::kSelectBank1);
  EXPECT_EQ(h.unit.Register(9), 0x00);
}

TEST(UnitModelCommands, PacketWithoutAnnouncementIsNotTaken) {
  UnitHarness h;
  const auto data = TestImage(128);
  h.Command(codec::kPacketFollows);  // no command 12 first
  h.Write(52, codec::PacketCrc8(data.data(), 128));
  uint8_t f[codec::kMaxDataFrame];
  h.Send(f, codec::BuildDataPacket(f, data.data(), 128));
  EXPECT_TRUE(h.Drain().empty());
  EXPECT_EQ(h.unit.PacketsAccepted(), 0);
}

struct TransferCase {
  const char* name;
  size_t size;
  std::vector<uint8_t> bankCommands;
  bool prom1, prom2;
};

class UnitModelMainTransfer : public ::testing::TestWithParam<TransferCase> {};

TEST_P(UnitModelMainTransfer, ProgramsItselfAfterTheLastPacket) {
  const TransferCase& c = GetParam();
  UnitHarness h;
  const auto image = TestImage(c.size);
  for (uint8_t k : c.bankCommands) h.Command(k);
  SendImage(h, image);
  EXPECT_EQ(h.unit.Register(56), sim::kStateErasing);
  EXPECT_TRUE(h.unit.Prom(0).empty());
  const auto states = WatchProgress(h);
  EXPECT_EQ(states, (std::vector<int>{2, 3, 4, 5, 6}));
  EXPECT_EQ(h.unit.Register(58), 100);
  EXPECT_EQ(h.unit.Prom(0) == image, c.prom1);
  EXPECT_EQ(h.unit.Prom(1) == image, c.prom2);
  EXPECT_EQ(h.unit.Register(9) & 0x3F, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Banks, UnitModelMainTransfer,
    ::testing::Values(TransferCase{"prom2", 300, {codec::kSelectBank2}, false, true},
                      TransferCase{"prom1", 256, {codec::kSelectBank1}, true, false},
                      TransferCase{"both", 1, {codec::kSelectBank1, codec::kSelectBank2}, true, true},
                      TransferCase{"activeBankWhenNoneSelected", 129, {}, true, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(UnitModelMainTransfer, ProgressFollowsTheConfiguredTimes) {
  sim::UnitConfig c;
  c.timing.eraseMs = 1000;
  c.timing.programMs = 2000;
  c.timing.verifyMs = 1000;
  UnitHarness h(c);
  SendImage(h, TestImage(128));
  struct {
    uint32_t at;
    int state, percent;
  } checks[] = {{250, 2, 25}, {750, 3, 75}, {2000, 4, 50}, {3500, 5, 50}, {4000, 6, 100}};
  uint32_t now = 0;
  for (const auto& k : checks) {
    h.Advance(k.at - now);
    now = k.at;
    EXPECT_EQ(h.unit.Register(56), k.state) << "at " << k.at;
    EXPECT_EQ(h.unit.Register(58), k.percent) << "at " << k.at;
  }
}

TEST(UnitModelMainTransfer, CrcMismatchReportsTxErrAndStoresNothing) {
  UnitHarness h;
  const auto data = TestImage(128);
  h.Write(48, 128);
  h.Packet(data.data(), 128, false, 1);
  auto msgs = h.Drain();
  ASSERT_EQ(msgs.size(), 1u);
  EXPECT_EQ(msgs[0].start, 9);
  EXPECT_EQ(msgs[0].data[0] & 0x3F, sim::kStatusTxErr);
  EXPECT_EQ(h.unit.PacketsAccepted(), 0);
  // The host's retry after TXERR is taken.
  h.Packet(data.data(), 128);
  msgs = h.Drain();
  ASSERT_EQ(msgs.size(), 1u);
  EXPECT_EQ(msgs[0].data[0] & 0x3F, 0);
}

TEST(UnitModelMainTransfer, Register53RoutesToTheModule) {
  sim::UnitConfig c;
  c.hasModule = true;
  UnitHarness h(c);
  const auto image = TestImage(500, 7);
  h.Write(53, 5);
  SendImage(h, image);
  WatchProgress(h);
  EXPECT_EQ(h.unit.ModuleFlash(), image);
  EXPECT_TRUE(h.unit.Prom(0).empty());
  EXPECT_TRUE(h.unit.Prom(1).empty());
}

TEST(UnitModelMainTransfer, ModuleTransferWithoutModuleFails) {
  UnitHarness h;
  const auto data = TestImage(128);
  h.Write(53, 5);
  h.Write(48, 128);
  h.Packet(data.data(), 128);
  auto msgs = h.Drain();
  ASSERT_EQ(msgs.size(), 1u);
  EXPECT_EQ(msgs[0].data[0] & 0x3F, sim::kStatusPgmErr);
}

TEST(UnitModelMainTransfer, CancelDropsThePartialTransfer) {
  UnitHarness h;
  const auto image = TestImage(384);
  for (int i = 0; i < 4; ++i) h.Write(static_cast<uint16_t>(48 + i), static_cast<uint8_t>(384 >> (8 * i)));
  h.Command(codec::kSelectBank2);
  h.Packet(image.data(), 128);
  h.Command(codec::kCancel);
  EXPECT_EQ(h.unit.CancelCount(), 1);
  h.Drain();
  h.Command(codec::kSelectBank2);
  SendImage(h, image);
  WatchProgress(h);
  EXPECT_EQ(h.unit.Prom(1), image);
}

sim::UnitConfig CardUnit() {
  sim::UnitConfig c;
  c.card.id = 21;
  c.card.serial = 0x1512A001;
  return c;
}

TEST(UnitModelCard, EraseProgramVerifyComplete) {
  UnitHarness h(CardUnit());
  const auto image = TestImage(300, 3);
  std::vector<uint8_t> padded(image);
  padded.resize(384, 0);

  h.Command(codec::kPrepare, true);
  h.Command(codec::kErase, true);
  EXPECT_EQ(h.unit.Register(9) & 0x3F, sim::kStatusPip);
  EXPECT_TRUE(h.Drain().empty());
  h.Advance(h.unit.config().timing.cardEraseMs);
  auto msgs = h.Drain();
  ASSERT_EQ(msgs.size(), 1u) << "the end of the erase is reported unasked";
  EXPECT_EQ(msgs[0].start, 9);
  EXPECT_EQ(msgs[0].data[0] & 0x3F, 0);

  SendImage(h, image, true);
  EXPECT_EQ(h.unit.CardFlash(), padded);

  for (int i = 0; i < 3; ++i) {
    h.Command(codec::kNextVerifyPacket, true);
    msgs = h.Drain();
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_EQ(msgs[0].start, 128);
    EXPECT_EQ(msgs[0].count, 128);
    EXPECT_EQ(msgs[0].length, 155u);
    EXPECT_FALSE(msgs[0].longForm);
    EXPECT_TRUE(std::equal(msgs[0].data.begin(), msgs[0].data.end(), padded.begin() + 128 * i)) << "packet " << i;
    EXPECT_EQ(h.unit.Register(9) & sim::kStatusPakRdy, sim::kStatusPakRdy);
  }
  h.Write(9, 0x88, true);
  h.Command(codec::kCompleteBankSet, true);
  EXPECT_EQ(h.unit.CardCompleteCount(), 1);
  EXPECT_EQ(h.unit.Register(9), 0x80);
  EXPECT_TRUE(h.unit.Prom(0).empty());
}

TEST(UnitModelCard, Register5Bit4TargetsTheCardToo) {
  UnitHarness h(CardUnit());
  h.Write(5, 0x30);
  h.Command(codec::kPrepare);
  h.Command(codec::kErase);
  h.Advance(1000);
  h.Drain();
  const auto data = TestImage(128);
  h.Packet(data.data(), 128);
  h.Drain();
  EXPECT_EQ(h.unit.CardFlash(), data);
}

TEST(UnitModelCard, PacketsBeforeTheEraseEndsAreRefused) {
  UnitHarness h(CardUnit());
  const auto data = TestImage(128);
  h.Packet(data.data(), 128, true);
  auto msgs = h.Drain();
  ASSERT_EQ(msgs.size(), 1u);
  EXPECT_EQ(msgs[0].data[0] & 0x3F, sim::kStatusPgmErr);
  EXPECT_TRUE(h.unit.CardFlash().empty());
}

struct SerialCase {
  const char* name;
  uint16_t first;
  uint32_t serial;
  bool card;
};

class UnitModelSerial : public ::testing::TestWithParam<SerialCase> {};

TEST_P(UnitModelSerial, WrittenReadBackAndCommitted) {
  const SerialCase& c = GetParam();
  UnitHarness h(CardUnit());
  uint8_t regs[4];
  sim::UnitModel::PackSerial(regs, c.serial);
  for (int i = 0; i < 4; ++i) h.Write(static_cast<uint16_t>(c.first + i), regs[i], c.card);
  h.Read(c.first, static_cast<uint16_t>(c.first + 3));
  auto msgs = h.Drain();
  ASSERT_EQ(msgs.size(), 1u);
  EXPECT_EQ(sim::UnitModel::UnpackSerial(msgs[0].data.data(), static_cast<uint8_t>(c.serial >> 24)), c.serial);
  h.Command(codec::kPrepare, c.card);
  h.Command(codec::kCommitSerial, c.card);
  EXPECT_EQ(h.unit.Register(9) & 0x3F, sim::kStatusPip);
  EXPECT_EQ(h.unit.CommitCount(), 0);
  h.Advance(h.unit.config().timing.commitMs);
  msgs = h.Drain();
  ASSERT_EQ(msgs.size(), 1u);
  EXPECT_EQ(msgs[0].start, 9);
  EXPECT_EQ(msgs[0].data[0] & 0x3F, 0);
  EXPECT_EQ(h.unit.CommitCount(), 1);
  EXPECT_EQ(c.card ? h.unit.CommittedCardSerial() : h.unit.CommittedUnitSerial(), c.serial);
}

INSTANTIATE_TEST_SUITE_P(Targets, UnitModelSerial,
                         ::testing::Values(SerialCase{"unit", 12, 0x6026D4D2, false},
                                           SerialCase{"unitOtherYear", 12, 0x60C5A3FF, false},
                                           SerialCase{"card", 28, 0x1532B123, true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
