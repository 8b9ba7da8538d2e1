// Firmware transfer against the unit model, run the way the update
// application runs it, plus the message-level rules of the operations.
#include "sim/unit/unit_model.h"
#include "tests/protocol/engine_fixture.h"

namespace engine_test {
namespace {

class ProgrammingTest : public EngineTest {
 protected:
  // The application's per-packet wait: taken, failed, or 1000 ms.
  int WaitForStatus(uint8_t want, uint32_t limitMs = 1000) {
    const uint32_t start = clock.Peek();
    uint8_t status = 0;
    while (clock.Peek() - start < limitMs) {
      remote->GetProgrammingStatus(&status);
      if ((status & 0x3F) == want) return 0;
      if (status & (PGMERR | TXERR)) return 2;
      platform::Sleep(1);
    }
    return 1;
  }
  static Bytes Image(size_t size) {
    Bytes image(size);
    uint32_t x = 12345;
    for (auto& b : image) b = uint8_t((x = x * 1103515245u + 12345u) >> 16);
    return image;
  }
};

TEST_F(ProgrammingTest, MainUnitImageEndsUpInThePromBank) {
  sim::UnitModel model;
  Attach(model);
  const Bytes image = Image(300 * 1024);

  remote->SetPollMode(kPollTransfer);
  EXPECT_EQ(remote->SelectZSlotFirmware(false), 0);
  remote->SetFirmwareSize(uint32_t(image.size()));
  remote->SelectBank(0);
  EXPECT_EQ(remote->WaitForResponse(1), 0);
  for (size_t off = 0; off < image.size(); off += 128) {
    ASSERT_EQ(remote->WriteFirmwarePacket(image.data() + off, 128), 0);
    ASSERT_EQ(WaitForStatus(0), 0) << "packet " << off / 128;
  }
  remote->SetPollMode(kPollProgress);
  uint8_t state = 0, progress = 0, aux = 0, last = 0;
  const uint32_t start = clock.Peek();
  while (state != 6 && clock.Peek() - start < 30000) {
    remote->GetProgrammingProgress(&state, &progress, &aux);
    EXPECT_GE(state, last);
    last = state;
    platform::Sleep(16);
  }
  EXPECT_EQ(state, 6);
  EXPECT_EQ(progress, 100);
  EXPECT_EQ(model.Prom(0), image);
  EXPECT_EQ(model.PacketsAccepted(), int(image.size() / 128));
  uint8_t lost = 1;
  remote->IsConnectionLost(&lost);
  EXPECT_EQ(lost, 0);
}

TEST_F(ProgrammingTest, PacketGoesOutAsFourMessagesWithItsCrc) {
  sim::UnitModel model;
  Attach(model);
  const Bytes zeros(128, 0);
  EXPECT_EQ(remote->WriteFirmwarePacket(zeros.data(), 128), 0);
  const auto frames = Written();
  ASSERT_EQ(frames.size(), 4u);
  EXPECT_EQ(frames[0], Frame({0x61, 0x4D, 0x38}));
  EXPECT_EQ(frames[1], Frame({0x25, 0x6E, 0x22}));
  EXPECT_EQ(frames[2], Frame({0x01, 0x51, 0x16}));
  EXPECT_EQ(frames[3].size(), 152u);
  EXPECT_EQ(remote->GetPollMode(), kPollTransfer);
  uint8_t status = 0;
  remote->ReadRegister(9, &status);
  EXPECT_EQ(status, PIP);
}

TEST_F(ProgrammingTest, OtherModelsGetNoCrcAndNoSize) {
  ScriptedUnit u;
  u.regs[1] = 38;
  wiring.Add(&u, "Sim Port 1");
  ASSERT_EQ(remote->Open(), 0);
  ASSERT_EQ(remote->SelectConnection(0), 0);
  wiring.ClearWritten();
  const Bytes data(100, 0x5A);
  remote->WriteFirmwarePacket(data.data(), 100);
  EXPECT_EQ(Written().size(), 3u);
  wiring.ClearWritten();
  remote->SetFirmwareSize(74565);
  EXPECT_TRUE(Written().empty());
  EXPECT_EQ(remote->WriteFirmwarePacket(data.data(), 129), 2);
  EXPECT_TRUE(Written().empty());
}

TEST_F(ProgrammingTest, SizeBanksAndCompletion) {
  Connect();
  remote->SetFirmwareSize(74565);
  auto frames = Written();
  ASSERT_EQ(frames.size(), 4u);
  const uint8_t bytes[4] = {0x45, 0x23, 0x01, 0x00};
  for (int i = 0; i < 4; ++i) {
    const Request r = Decode(frames[i]);
    EXPECT_EQ(r.code, codec::kWrite);
    EXPECT_EQ(r.first, 48 + i);
    EXPECT_EQ(r.span, bytes[i]);
  }
  wiring.ClearWritten();
  EXPECT_EQ(remote->SelectBank(2), 0);
  EXPECT_TRUE(Written().empty());
  remote->SelectBank(1);
  EXPECT_EQ(Written().back(), Frame({0x3C, 0x23, 0x1A}));

  remote->WriteRegister(9, 0x80);
  EXPECT_EQ(remote->SelectAlternateBank(), 0);
  EXPECT_EQ(Written().back(), Frame({0x34, 0x66, 0x4A}));
  EXPECT_NE(NewLog().find("COrvellaRemote::SelectAlternateBank: Active Bank is 2, Selecting Bank 1\n"),
            std::string::npos);

  remote->SetPollMode(kPollTransfer);
  EXPECT_EQ(remote->SetProgrammingComplete(), 0);
  EXPECT_EQ(Written().back(), Frame({0x43, 0x5F, 0x0C}));
  EXPECT_EQ(remote->GetPollMode(), kPollIdle);
  remote->WriteRegister(9, 0x00);
  remote->SetProgrammingComplete();
  EXPECT_EQ(Written().back(), Frame({0x4B, 0x1A, 0x5C}));

  EXPECT_EQ(remote->CancelProgramming(), 0);
  EXPECT_EQ(Written().back(), Frame({0x5A, 0x12, 0x34}));
  EXPECT_EQ(remote->GetPollMode(), kPollIdentity);
}

TEST_F(ProgrammingTest, CardImageIsErasedWrittenAndVerified) {
  sim::UnitConfig config;
  config.card.id = 21;
  sim::UnitModel model(config);
  Attach(model);
  Bytes image = Image(40 * 128);

  remote->SetPollMode(kPollTransfer);
  EXPECT_EQ(remote->SelectZSlotFirmware(true), 0);
  EXPECT_EQ(remote->WaitForResponse(4), 0);
  remote->StartErase();
  ASSERT_EQ(WaitForStatus(0, 12000), 0);
  for (size_t off = 0; off < image.size(); off += 128) {
    ASSERT_EQ(remote->WriteFirmwarePacket(image.data() + off, 128), 0);
    ASSERT_EQ(WaitForStatus(0), 0);
  }
  for (size_t off = 0; off < image.size(); off += 128) {
    ASSERT_EQ(remote->RequestVerifyPacket(), 0);
    ASSERT_EQ(WaitForStatus(PAKRDY), 0) << "verify packet " << off / 128;
    Bytes back(128);
    remote->ReadVerifyPacket(back.data(), 128);
    ASSERT_EQ(back, Bytes(image.begin() + off, image.begin() + off + 128));
  }
  uint8_t r9 = 0;
  remote->ReadRegister(9, &r9);
  remote->WriteRegister(9, r9 | 0x80);
  wiring.ClearWritten();
  EXPECT_EQ(remote->SetProgrammingComplete(), 0);
  ASSERT_EQ(Written().size(), 1u);
  EXPECT_EQ(Written()[0], Frame({0x43, 0x5F, 0x0C}));
  EXPECT_TRUE(wiring.written[0].toCard);
  EXPECT_EQ(remote->GetPollMode(), kPollIdle);
  EXPECT_EQ(model.CardFlash(), image);
  EXPECT_EQ(model.CardCompleteCount(), 1);
}

TEST_F(ProgrammingTest, CardTargetUnsupportedByTheLinkFails) {
  sim::UnitConfig config;
  config.card.id = 21;
  sim::UnitModel model(config);
  wiring.supportsCardTarget = false;
  Attach(model);
  EXPECT_EQ(remote->SelectZSlotFirmware(true), 1);
}

TEST_F(ProgrammingTest, OtherCardsAreTargetedThroughRegisterFive) {
  Connect();
  remote->WriteRegister(5, 0x20);
  wiring.ClearWritten();
  EXPECT_EQ(remote->SelectZSlotFirmware(true), 0);
  uint8_t r5 = 0;
  remote->ReadRegister(5, &r5);
  EXPECT_EQ(r5, 0x30);
  const Request r = Decode(Written().back());
  EXPECT_EQ(r.first, 5);
  EXPECT_EQ(r.span, 0x30);
}

}  // namespace
}  // namespace engine_test
