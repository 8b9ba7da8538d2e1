// Mixer register operations: what they write and what they refuse.
#include "tests/protocol/engine_fixture.h"

namespace engine_test {
namespace {

class MixerTest : public EngineTest {
 protected:
  void SetUp() override { Connect(); }
  void Become(uint8_t product, uint8_t major = 1) {
    remote->WriteRegister(1, product);
    remote->WriteRegister(10, major);
    wiring.ClearWritten();
  }
  std::vector<Request> Writes() {
    std::vector<Request> out;
    for (const auto& f : Written())
      if (Decode(f).code == codec::kWrite) out.push_back(Decode(f));
    return out;
  }
};

TEST_F(MixerTest, LevelMuteAndTrimWriteOnlyChanges) {
  Become(38);
  EXPECT_EQ(remote->SetLevel(0, 2, 0x40), 0);
  ASSERT_EQ(Writes().size(), 1u);
  EXPECT_EQ(Writes()[0].first, 136);
  EXPECT_EQ(Writes()[0].span, 0x40);
  wiring.ClearWritten();
  remote->SetLevel(0, 2, 0x40);
  EXPECT_TRUE(Written().empty());

  remote->SetMute(0, 2, true);
  remote->SetMute(0, 2, true);
  remote->SetLevel(0, 2, 0x30);  // stored, not sent while muted
  remote->SetMute(0, 2, false);
  const auto w = Writes();
  ASSERT_EQ(w.size(), 2u);
  EXPECT_EQ(w[0].span, 0xFF);
  EXPECT_EQ(w[1].span, 0x30);

  wiring.ClearWritten();
  remote->SetLevel(1, 0, 0xFF);  // 0xFF means muted on the wire
  EXPECT_EQ(Writes().back().first, 130);
  EXPECT_EQ(Writes().back().span, 0xFE);
  remote->SetTrim(3, 1, 5);
  EXPECT_EQ(Writes().back().first, 256 + 2 + 32 + 1);

  struct Bounds {
    uint8_t type, channel;
    int set, get;
  } cases[] = {{18, 0, 2, 2}, {0, 32, 2, 2}, {2, 4, 2, 0}, {17, 3, 0, 0}, {1, 31, 0, 0}};
  for (const auto& c : cases) {
    uint8_t v;
    EXPECT_EQ(remote->SetTrim(c.type, c.channel, 9), c.set);
    EXPECT_EQ(remote->GetTrim(c.type, c.channel, &v), c.get);
  }
}

TEST_F(MixerTest, SampleRateRules) {
  Become(96);
  EXPECT_EQ(remote->SetSampleRate(6), 2);
  EXPECT_EQ(remote->SetSampleRate(3), 0);
  uint8_t index = 0;
  remote->GetSampleRate(&index);
  EXPECT_EQ(index, 3);
  EXPECT_EQ(Writes().back().first, 3);
  remote->WriteRegister(19, 1);
  EXPECT_EQ(remote->SetSampleRate(2), 1);
  // A VE-ZER card without its USB updater cannot change the rate.
  remote->WriteRegister(19, 0);
  remote->WriteRegister(16, 50);
  EXPECT_EQ(remote->SetSampleRate(2), 1);
  EXPECT_EQ(remote->GetCardUpdater(), nullptr);
}

TEST_F(MixerTest, ClockSourceRoundTripsPerModel) {
  for (uint8_t product : {uint8_t(96), uint8_t(49), uint8_t(38)}) {
    Become(product);
    const int choices = product == 49 ? 5 : 7;
    for (uint8_t choice = 0; choice < choices; ++choice) {
      if (product == 96 && choice == 3) continue;
      ASSERT_EQ(remote->SetReg3Source(choice), 0);
      uint8_t back = 99;
      remote->GetReg3Source(&back);
      EXPECT_EQ(back, choice) << int(product);
    }
    EXPECT_EQ(remote->SetReg3Source(8), 2);
  }
  Become(96);
  EXPECT_EQ(remote->SetReg3Source(3), 2);
  remote->WriteRegister(16, 50);
  EXPECT_EQ(remote->SetReg3Source(1), 1);
  EXPECT_EQ(remote->SetReg3Flag(true), 1);
}

TEST_F(MixerTest, ExtendedRegistersNeedTheVintoWithFirmwareSix) {
  int16_t gain = 0;
  EXPECT_EQ(remote->SetMatrixGain(0, 0, 0), 1);
  EXPECT_EQ(remote->GetOutputGain(0, &gain), 1);
  ScriptedUnit vinto;
  vinto.regs[1] = 49;
  vinto.regs[10] = 6;
  SoloLink link(vinto);
  COrvellaRemote& r = link.remote;
  ASSERT_EQ(r.Open(), 0);
  ASSERT_EQ(r.SelectConnection(0), 0);
  EXPECT_EQ(r.GetPollMode(), kPollSlowCard);
  // Selection read the high blocks with long requests.
  bool longRead = false;
  for (const auto& q : vinto.received) longRead |= q.size() == 11 && q[4] == 0x6F;
  EXPECT_TRUE(longRead);

  EXPECT_EQ(r.SetMatrixGain(1, 2, 200), 0);
  uint8_t v = 1;
  r.ReadRegister(1024 + 32 + 2, &v);
  EXPECT_EQ(v, 0);
  EXPECT_EQ(link.wiring.written.back().bytes.size(), codec::kLongWriteLength);
  r.SetMatrixGain(1, 2, -2000);
  r.GetMatrixGain(1, 2, &gain);
  EXPECT_EQ(gain, -960);
  EXPECT_EQ(r.SetMatrixGain(32, 0, 0), 1);
  r.SetOutputGain(3, -47);  // toward zero: 24 + 9
  r.ReadRegister(515, &v);
  EXPECT_EQ(v, 33);
  r.GetOutputGain(3, &gain);
  EXPECT_EQ(gain, -45);
  EXPECT_EQ(r.SetRouteBitA(2, 9, true), 0);
  r.ReadRegister(256 + 8 + 1, &v);
  EXPECT_EQ(v, 0x02);
  uint8_t bit = 0;
  r.GetRouteBitA(2, 9, &bit);
  EXPECT_EQ(bit, 1);
  EXPECT_EQ(r.SetRouteBitB(32, true), 1);
}

TEST_F(MixerTest, MeterStaysInsideTheImage) {
  remote->WriteRegister(130, 0x00);
  remote->WriteRegister(131, 0xC0);  // clip, low 15 bits 0x4000
  int level = 0;
  uint8_t clip = 0;
  EXPECT_EQ(remote->GetMeter(true, 1, &level, &clip), 0);
  EXPECT_EQ(clip, 1);
  EXPECT_EQ(level, 0x7FFFF);
  EXPECT_EQ(remote->GetMeter(true, 959, &level, &clip), 0);  // registers 2046, 2047
  EXPECT_EQ(remote->GetMeter(true, 960, &level, &clip), 2);
  EXPECT_EQ(remote->GetMeter(false, 0xFFFF, &level, &clip), 2);
}

TEST_F(MixerTest, RegisterWritesAboveTheShortRange) {
  Become(38);
  remote->WriteRegister(300, 0x12);  // short form with bit 8
  EXPECT_EQ(Written().back(), Frame({0x01, 0x30 | 0x00, 0x24 | 1}));
  Become(96);
  remote->WriteRegister(300, 0x12);  // long form
  EXPECT_EQ(Written().back().size(), codec::kLongWriteLength);
}

TEST_F(MixerTest, DateCompatTable) {
  struct Row {
    uint8_t r10, r11;
    uint16_t date;
  } rows[] = {{0, 0, 0xC101}, {5, 0, 0xCB0E}, {6 | 0x40, 0, 0xE409}, {6, 0, 0xE31A}};
  for (const auto& row : rows) {
    remote->WriteRegister(10, row.r10);
    remote->WriteRegister(11, row.r11);
    uint16_t date = 0;
    remote->GetFirmwareDateCompat(&date);
    EXPECT_EQ(date, row.date);
  }
}

}  // namespace
}  // namespace engine_test
