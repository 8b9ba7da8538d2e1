// The receive path: bytes from the link -> queue -> frames -> register image.
#include <algorithm>
#include <iterator>

#include "tests/protocol/engine_fixture.h"

namespace engine_test {
namespace {

class ReceiveTest : public EngineTest {
 protected:
  void SetUp() override { Connect(); }
  uint8_t Reg(uint16_t r) {
    uint8_t v = 0;
    remote->ReadRegister(r, &v);
    return v;
  }
  // Register 9 := value as a well-formed message.
  static Bytes Reg9(uint8_t value) { return RegisterData(9, {value}); }
};

TEST_F(ReceiveTest, OneRegisterMessageSetsRegisterAndCountsOnce) {
  remote->WriteRegister(9, 0x55);
  const uint32_t before = remote->GetResponseCount();
  unit.Inject(Frame({0x70, 0x24, 0x00, 0x00, 0x00}));
  remote->Poll();
  EXPECT_EQ(Reg(9), 0x00);
  EXPECT_EQ(remote->GetResponseCount(), before + 1);
}

struct CutCase {
  const char* name;
  std::vector<Bytes> chunks;  // one Poll per chunk
  uint8_t expected;           // register 9 afterwards (starts 0x55)
  uint32_t counted;           // register-data headers decoded
};

TEST_F(ReceiveTest, FrameCutter) {
  const Bytes good = Reg9(0x11);
  const Bytes head(good.begin(), good.begin() + 5), tail(good.begin() + 5, good.end());
  Bytes noisy = {0x12, 0x7F, 0xF7, 0x00};
  noisy.insert(noisy.end(), good.begin(), good.end());
  Bytes unterminated(good.begin(), good.end() - 1);
  unterminated.insert(unterminated.end(), good.begin(), good.end());
  Bytes foreign = good;
  foreign[3] = 0x55;
  const Bytes otherCode = Frame({0x60 | 0, 0x24, 0x00, 0x00, 0x00});  // code 12
  Bytes tooShort = Frame({0x70, 0x24, 0x00, 0x00});                     // data byte missing
  Bytes junkOnly(300, 0x42);

  const std::vector<CutCase> cases = {
      {"whole", {good}, 0x11, 1},
      {"noise before the start byte", {noisy}, 0x11, 1},
      {"split over two polls", {head, tail}, 0x11, 1},
      {"frame without end byte spoils the next", {unterminated}, 0x55, 1},
      {"other manufacturer", {foreign}, 0x55, 0},
      {"other command code", {otherCode}, 0x55, 0},
      {"too short for its count", {tooShort}, 0x55, 1},
      {"noise without any start byte, then a frame", {junkOnly, good}, 0x11, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    remote->WriteRegister(9, 0x55);
    const uint32_t before = remote->GetResponseCount();
    for (const auto& chunk : c.chunks) {
      unit.Inject(chunk);
      remote->Poll();
    }
    EXPECT_EQ(Reg(9), c.expected);
    EXPECT_EQ(remote->GetResponseCount() - before, c.counted);
    // The cutter is back in step: a clean frame afterwards is taken.
    unit.Inject(Reg9(0x22));
    remote->Poll();
    EXPECT_EQ(Reg(9), 0x22);
  }
}

TEST_F(ReceiveTest, FrameThatNeverEndsDoesNotStallTheQueue) {
  Bytes endless(6000, 0x01);
  const uint8_t head[] = {0xF0, 0x00, 0x01, 0x54, 0x70};
  std::copy(std::begin(head), std::end(head), endless.begin());
  unit.Inject(endless);
  remote->Poll();
  unit.Inject(Reg9(0x33));
  remote->Poll();
  remote->Poll();
  EXPECT_EQ(Reg(9), 0x33);
}

TEST_F(ReceiveTest, OneByteTooLongIsRejectedExceptInTransferMode) {
  Bytes longer = Reg9(0x44);
  longer.push_back(0xF7);
  remote->WriteRegister(9, 0x55);
  uint32_t before = remote->GetResponseCount();
  EXPECT_EQ(remote->ParseMessage(longer.data(), int(longer.size())), 1);
  EXPECT_EQ(Reg(9), 0x55);
  EXPECT_EQ(remote->GetResponseCount(), before + 1);

  remote->SetPollMode(kPollTransfer);
  before = remote->GetResponseCount();
  remote->ParseMessage(longer.data(), int(longer.size()));
  EXPECT_EQ(Reg(9), 0x44);
  EXPECT_EQ(remote->GetResponseCount(), before + 1);
}

TEST_F(ReceiveTest, ParseRejectsMalformedInput) {
  const Bytes cases[] = {
      {},
      {0x00, 0xF0, 0x00, 0x01, 0x54, 0x70, 0x24, 0x00, 0x00, 0x00, 0xF7},  // zero byte before the start
      {0xF0, 0xF7},
      {0xF0, 0x00, 0x01, 0x54, 0x77, 0xF7},  // long form without its header
      {0xF0, 0x00, 0x01, 0x54, 0x70, 0x24, 0x00, 0x00, 0x00, 0x00},  // no end byte
  };
  for (const auto& c : cases) EXPECT_EQ(remote->ParseMessage(c.data(), int(c.size())), 1);
  Bytes huge(4096, 0x01);
  huge.back() = 0xF7;
  huge[0] = 0xF0;
  EXPECT_EQ(remote->ParseMessage(huge.data(), int(huge.size())), 1);
}

TEST_F(ReceiveTest, MessageReachingPastTheImageKeepsWhatFits) {
  int calls = 0;
  remote->SetRegisterNotification(
      2047, 2047, [](void* c, uint32_t) { ++*static_cast<int*>(c); }, &calls, 0);
  Bytes data(16);
  for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(0xA0 + i);
  const Bytes frame = RegisterData(2040, data);
  EXPECT_EQ(remote->ParseMessage(frame.data(), int(frame.size())), 0);
  for (uint16_t r = 2040; r < 2048; ++r) EXPECT_EQ(Reg(r), 0xA0 + (r - 2040));
  EXPECT_EQ(calls, 0);  // the store stopped before the notification
  // Below the end the notification fires.
  const Bytes inside = RegisterData(2040, Bytes(data.begin(), data.begin() + 8));
  remote->ParseMessage(inside.data(), int(inside.size()));
  EXPECT_EQ(calls, 1);
}

TEST_F(ReceiveTest, VerifyModeFillsVerifyBufferOnly) {
  Bytes packet(128), wide(256);
  for (int i = 0; i < 128; ++i) packet[i] = uint8_t(i * 3 + 1);
  for (int i = 0; i < 256; ++i) wide[i] = uint8_t(255 - i);
  remote->RequestVerifyPacket();
  uint8_t status = 0;
  remote->ReadRegister(9, &status);
  EXPECT_EQ(status & PAKRDY, 0);

  unit.Inject(RegisterData(128, packet));
  remote->Poll();
  Bytes got(128);
  remote->ReadVerifyPacket(got.data(), 128);
  EXPECT_EQ(got, packet);
  EXPECT_EQ(Reg(128), 0);
  EXPECT_EQ(Reg(255), 0);
  EXPECT_EQ(Reg(9) & PAKRDY, PAKRDY);

  // A block past register 255 fills the buffer and goes no further.
  remote->RequestVerifyPacket();
  const Bytes frame = RegisterData(128, wide);
  remote->ParseMessage(frame.data(), int(frame.size()));
  remote->ReadVerifyPacket(got.data(), 128);
  EXPECT_EQ(got, Bytes(wide.begin(), wide.begin() + 128));
  EXPECT_EQ(Reg(256), 0);
}

TEST_F(ReceiveTest, ChannelCachesFollowRegisterDataOnOtherModels) {
  unit.regs[1] = 38;
  remote->WriteRegister(1, 38);
  unit.Inject(RegisterData(64, {0xF8}));
  unit.Inject(RegisterData(136, {0x40, 0x3F | 0xC0}));  // type 0 channel 2: level, trim
  unit.Inject(RegisterData(256 + 2 * 3 + 32 * 1, {0xFF}));  // type 5 channel 1 muted
  remote->Poll();
  uint8_t v = 0;
  remote->GetChannelCacheA(8, &v);
  EXPECT_EQ(v, 0x0F);
  remote->GetChannelCacheB(8, &v);
  EXPECT_EQ(v, 1);
  remote->GetLevel(0, 2, &v);
  EXPECT_EQ(v, 0x40);
  remote->GetTrim(0, 2, &v);
  EXPECT_EQ(v, 0x3F);
  remote->GetMute(5, 1, &v);
  EXPECT_EQ(v, 1);
}

}  // namespace
}  // namespace engine_test
