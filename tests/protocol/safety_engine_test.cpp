// What the engine may take as the unit's answer: only register data that
// arrived after its request, from the unit now selected, over a link that
// has not been lost since.
#include "tests/protocol/engine_fixture.h"

namespace engine_test {
namespace {

class EngineSafetyTest : public EngineTest {
 protected:
  uint8_t Lost() {
    uint8_t lost = 0;
    remote->IsConnectionLost(&lost);
    return lost;
  }
};

TEST_F(EngineSafetyTest, AnotherUnitThatDoesNotAnswerIsNotTakenForThePreviousOne) {
  // The first unit's identity answer started at the same register; a
  // second unit that stays silent (or answers the wrong registers) must
  // not inherit it.
  struct Case {
    const char* name;
    bool silent;
    int answerOffset;
  };
  for (const Case c : {Case{"silent", true, 0}, Case{"wrong registers", false, 3}}) {
    SCOPED_TRACE(c.name);
    remote = std::make_unique<COrvellaRemote>();
    wiring.connections.clear();
    unit.regs[12] = 0x12;  // the first unit's serial number registers
    unit.regs[13] = 0x34;
    unit2.silent = c.silent;
    unit2.answerOffset = c.answerOffset;
    Connect(2);
    uint32_t first = 0;
    remote->GetSerialNumber(&first);
    uint8_t firstProduct = 0;
    remote->GetProductID(&firstProduct);
    ASSERT_EQ(firstProduct, 96);

    const size_t mark = wiring.written.size();
    EXPECT_EQ(remote->SelectConnection(1), 1);
    uint8_t product = 0;
    remote->GetProductID(&product);
    EXPECT_NE(product, 96);
    uint32_t serial = 0;
    remote->GetSerialNumber(&serial);
    EXPECT_NE(serial, first);
    EXPECT_EQ(Lost(), 1);
    // Nothing it did not say may read as "packet taken" either.
    uint8_t status = 0;
    remote->GetProgrammingStatus(&status);
    EXPECT_NE(status, 0);
    // Nor does the engine fall back to the first unit behind the caller's back.
    uint16_t selected = 0;
    remote->GetSelectedConnection(&selected);
    EXPECT_NE(selected, 0);
    for (size_t i = mark; i < wiring.written.size(); ++i) EXPECT_EQ(wiring.written[i].connection, 1);
  }
}

TEST_F(EngineSafetyTest, ALostLinkIsNeverAnAcceptedPacket) {
  // In transfer mode the engine does not detect silence itself, but a
  // failed Read still drops the link and clears the register copy; the
  // status read afterwards must not say "taken".
  Connect();
  remote->SetPollMode(kPollTransfer);
  const uint8_t packet[128] = {1, 2, 3};
  ASSERT_EQ(remote->WriteFirmwarePacket(packet, 128), 0);
  const uint32_t losses = remote->GetLossCount();
  wiring.failRead = true;
  uint8_t status = 0;
  remote->GetProgrammingStatus(&status);
  EXPECT_EQ(status & TXERR, TXERR);
  EXPECT_EQ(Lost(), 1);
  EXPECT_EQ(remote->GetLossCount(), losses + 1);
}

TEST_F(EngineSafetyTest, ReconnectIsBoundedAndReturnsToTheSameUnit) {
  struct Case {
    const char* name;
    bool unitAnswers;
    int result;
  };
  for (const Case c : {Case{"unit answers again", true, 0}, Case{"unit gone", false, 1}}) {
    SCOPED_TRACE(c.name);
    remote = std::make_unique<COrvellaRemote>();
    wiring.connections.clear();
    unit2.silent = false;
    Connect(2);
    ASSERT_EQ(remote->SelectConnection(1), 0);
    remote->SetPollMode(kPollTransfer);
    wiring.failRead = true;
    remote->Poll();
    ASSERT_EQ(Lost(), 1);
    wiring.failRead = false;
    unit2.silent = !c.unitAnswers;
    const uint32_t start = platform::TickCount();
    EXPECT_EQ(remote->Reconnect(3000), c.result);
    EXPECT_LT(platform::TickCount() - start, 10000u);  // a few seconds, never for ever
    EXPECT_EQ(Lost(), c.unitAnswers ? 0 : 1);
    uint16_t selected = 0xFFFF;
    remote->GetSelectedConnection(&selected);
    if (c.unitAnswers) {
      EXPECT_EQ(selected, 1);
    }
  }
}

}  // namespace
}  // namespace engine_test
