// Waiting for answers: WaitForResponse and the verified register read.
#include "tests/protocol/engine_fixture.h"

namespace engine_test {
namespace {

class WaitTest : public EngineTest {
 protected:
  void SetUp() override { Connect(); }
};

TEST_F(WaitTest, TimesOutAfterHalfASecondAndLogs) {
  unit.silent = true;
  const uint32_t start = clock.Peek();
  EXPECT_EQ(remote->WaitForResponse(1), 1);
  const uint32_t waited = clock.Peek() - start;
  EXPECT_GT(waited, 500u);
  EXPECT_LT(waited, 520u);
  EXPECT_NE(NewLog().find("COrvellaRemote::WaitForResponse TIMEOUT 5"), std::string::npos);
}

TEST_F(WaitTest, ReturnsOnceEnoughMessagesArrived) {
  unit.Inject(RegisterData(9, {0}));
  unit.Inject(RegisterData(10, {0}));
  const uint32_t start = clock.Peek();
  EXPECT_EQ(remote->WaitForResponse(2), 0);
  // Both were there at the first poll: no sleep after it.
  EXPECT_LT(clock.Peek() - start, 5u);
}

TEST_F(WaitTest, TransferAndVerifyModesReturnAtOnceWithoutPolling) {
  unit.silent = true;
  for (uint8_t mode : {kPollTransfer, kPollVerify}) {
    remote->SetPollMode(mode);
    const int reads = unit.toHostCalls;
    const uint32_t start = clock.Peek();
    EXPECT_EQ(remote->WaitForResponse(4), 0);
    EXPECT_EQ(unit.toHostCalls, reads);
    EXPECT_EQ(clock.Peek(), start);
  }
}

TEST_F(WaitTest, VerifiedReadRetriesUntilTheRightStartArrives) {
  unit.answerOffset = 1;  // the unit always names the wrong first register
  EXPECT_EQ(remote->RequestRegisterStatusVerified(1, 24), 1);
  EXPECT_EQ(unit.Reads().size(), 6u);
  const std::string log = NewLog();
  EXPECT_NE(log.find("RequestRegisterStatusVerified: RETRY! Last 0002 First 0001\n"), std::string::npos);
  EXPECT_NE(log.find("RequestRegisterStatusVerified: Last 0002 != First 0001\n"), std::string::npos);

  unit.answerOffset = 0;
  unit.received.clear();
  EXPECT_EQ(remote->RequestRegisterStatusVerified(1, 24), 0);
  EXPECT_EQ(unit.Reads().size(), 1u);
}

TEST_F(WaitTest, VerifiedReadFailsAtOnceWhenTheSendFails) {
  wiring.failWrite = true;
  EXPECT_EQ(remote->RequestRegisterStatusVerified(0x100, 0x120), 1);
  EXPECT_NE(NewLog().find("RequestRegisterStatusVerified: RequestRegisterStatus FAILED! 0100 0120\n"),
            std::string::npos);
}

struct Nested {
  COrvellaRemote* remote;
  sim::LinkWiring* wiring;
  int result = -1;
  size_t writesBefore = 0, writesAfter = 0;
};

TEST_F(WaitTest, NestedVerifiedReadFailsWithoutSending) {
  // The notification runs inside Poll inside the outer wait, as a dialog
  // handler dispatched by the wait loop would.
  Nested nested{remote.get(), &wiring};
  remote->SetRegisterNotification(
      24, 24,
      [](void* c, uint32_t) {
        auto* n = static_cast<Nested*>(c);
        if (n->result != -1) return;
        n->writesBefore = n->wiring->written.size();
        n->result = n->remote->RequestRegisterStatusVerified(1, 24);
        n->writesAfter = n->wiring->written.size();
      },
      &nested, 0);
  EXPECT_EQ(remote->RequestRegisterStatusVerified(1, 24), 0);
  EXPECT_EQ(nested.result, 1);
  EXPECT_EQ(nested.writesAfter, nested.writesBefore);
  // The flag is released afterwards.
  EXPECT_EQ(remote->RequestRegisterStatusVerified(1, 24), 0);
}

}  // namespace
}  // namespace engine_test
