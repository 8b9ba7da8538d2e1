// Poll: periodic requests per poll mode, loss and reconnection.
#include "tests/protocol/engine_fixture.h"

namespace engine_test {
namespace {

class PollTest : public EngineTest {
 protected:
  uint8_t Reg(uint16_t r) {
    uint8_t v = 0;
    remote->ReadRegister(r, &v);
    return v;
  }
  uint8_t Lost() {
    uint8_t v = 0;
    remote->IsConnectionLost(&v);
    return v;
  }
};

TEST_F(PollTest, IdentityPollAsksEveryFiftyMilliseconds) {
  Connect();
  remote->StartPolling();
  PollFor(100, 10);  // one second
  const auto reads = unit.Reads();
  EXPECT_GE(reads.size(), 16u);
  EXPECT_LE(reads.size(), 20u);
  for (const auto& r : reads) {
    EXPECT_EQ(r.first, 1);
    EXPECT_EQ(r.span, 23);
  }
  EXPECT_EQ(Lost(), 0);
}

TEST_F(PollTest, IdleModeAsksAnOrvellaNNothing) {
  Connect();
  remote->SetPollMode(kPollIdle);
  unit.Inject(RegisterData(9, {0}));
  PollFor(50, 20);
  EXPECT_TRUE(unit.Reads().empty());
}

TEST_F(PollTest, ProgressModeAsksForProgressRegisters) {
  Connect();
  remote->SetPollMode(kPollProgress);
  PollFor(10, 60);
  const auto reads = unit.Reads();
  ASSERT_FALSE(reads.empty());
  for (const auto& r : reads) {
    EXPECT_EQ(r.first, 56);
    EXPECT_EQ(r.span, 2);
  }
}

struct Range {
  uint16_t first, last;
  bool operator==(const Range&) const = default;
};

std::vector<Range> ExpectedRolling(bool high) {
  std::vector<Range> out;
  for (int step = 0; step < 40; ++step) {
    if (step % 2) {
      out.push_back({64, 127});
    } else if (step == 0 || step % 8 == 0) {
      out.push_back({1, 24});
    } else if (step == 2 || step == 12 || step == 22 || step == 34) {
      out.push_back({128, 191});
    } else if (step == 4 || step == 14 || step == 26 || step == 36) {
      out.push_back({192, 255});
    } else if (step == 6 || step == 18 || step == 28 || step == 38) {
      out.push_back(high ? Range{256, 319} : Range{128, 191});
    } else {
      out.push_back(high ? Range{320, 383} : Range{192, 255});
    }
  }
  out.push_back({32, 32});
  out.push_back({1, 24});  // the schedule starts again
  return out;
}

TEST_F(PollTest, RollingScheduleOfOtherModels) {
  for (uint8_t major : {1, 20}) {
    SCOPED_TRACE(int(major));
    ScriptedUnit u;
    u.regs[1] = 38;
    u.regs[10] = major;
    SoloLink link(u);
    COrvellaRemote& r = link.remote;
    ASSERT_EQ(r.Open(), 0);
    ASSERT_EQ(r.SelectConnection(0), 0);
    EXPECT_EQ(r.IsHighRegisterRange(), major > 16);
    u.received.clear();
    // The first turn waits for 100 ms of quiet; after that each answer
    // lets the next turn go out on the next Poll.
    clock.Advance(101);
    for (int i = 0; i < 41; ++i) {
      clock.Advance(1);
      r.Poll();
    }
    std::vector<Range> got;
    for (const auto& q : u.Reads()) got.push_back({q.first, uint16_t(q.first + q.span)});
    EXPECT_EQ(got, ExpectedRolling(major > 16));
  }
}

TEST_F(PollTest, SilenceInIdentityPollLosesTheConnection) {
  Connect();
  unit.regs[12] = 45;
  remote->StartPolling();
  PollFor(5, 60);
  EXPECT_EQ(Reg(12), 45);
  unit.silent = true;
  PollFor(19, 50);  // 950 ms of silence
  EXPECT_EQ(Lost(), 0);
  PollFor(2, 50);
  EXPECT_EQ(Lost(), 1);
  EXPECT_EQ(Reg(1), 0);
  EXPECT_EQ(Reg(12), 0);
  EXPECT_EQ(wiring.closes, 1);
}

TEST_F(PollTest, NoLossDuringTransfer) {
  Connect();
  remote->SetPollMode(kPollTransfer);
  unit.silent = true;
  PollFor(100, 100);  // ten seconds
  EXPECT_EQ(Lost(), 0);
  EXPECT_EQ(wiring.closes, 0);
  EXPECT_EQ(Reg(1), 96);
}

TEST_F(PollTest, ReadFailureClosesAndNextPollReconnectsSameUnit) {
  Connect(2);
  unit2.regs[1] = 38;
  unit2.regs[6] = 96;
  ASSERT_EQ(remote->SelectConnection(1), 0);
  remote->StartPolling();
  wiring.failRead = true;
  remote->Poll();
  EXPECT_EQ(Lost(), 1);
  EXPECT_EQ(Reg(1), 0);
  EXPECT_EQ(wiring.closes, 1);

  wiring.failRead = false;
  EXPECT_EQ(remote->Poll(), 0);
  EXPECT_EQ(wiring.opens, 2);
  EXPECT_EQ(Lost(), 0);
  EXPECT_EQ(Reg(1), 38);
  uint16_t selected = 0;
  remote->GetSelectedConnection(&selected);
  EXPECT_EQ(selected, 1);
}

TEST_F(PollTest, FailedReconnectionStillReturnsToTheSameUnit) {
  Connect(2);
  ASSERT_EQ(remote->SelectConnection(1), 0);
  remote->StartPolling();
  unit2.silent = true;
  PollFor(25, 50);
  ASSERT_EQ(Lost(), 1);
  // The reconnection's identity read fails: still lost, nothing asked.
  EXPECT_EQ(remote->Poll(), 1);
  PollFor(25, 50);  // silent again long enough to close once more
  unit2.silent = false;
  PollFor(3, 10);
  EXPECT_EQ(Lost(), 0);
  uint16_t selected = 0;
  remote->GetSelectedConnection(&selected);
  EXPECT_EQ(selected, 1);
}

TEST_F(PollTest, OpenFailureOnReconnectIsReported) {
  Connect();
  wiring.failRead = true;
  remote->Poll();
  wiring.failRead = false;
  wiring.failOpen = true;
  EXPECT_EQ(remote->Poll(), 1);
  wiring.failOpen = false;
  EXPECT_EQ(remote->Poll(), 0);
  EXPECT_EQ(Lost(), 0);
}

}  // namespace
}  // namespace engine_test
