// What the card run believes: one answer per request, success only once
// the card shows the transfer ended, and a unit's own verify error at once.
#include <gtest/gtest.h>

#include "tests/app/update_fixture.h"

namespace {

using namespace workflow_test;

sim::UnitConfig WithCard() {
  sim::UnitConfig config;
  config.card.id = 21;
  config.card.serial = 0x1526D4D2;
  return config;
}

void CardUpdate(Rig& rig, size_t bytes) {
  const std::string path = rig.WriteImage("ZTDNT0102NC.BIN", Pattern(bytes));
  rig.host.ScriptFor(kMainDialog).Select(kUnitList, 1).Drop({path}).Press(kUpdate);
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(CardRunAnswers, ASecondAnswerToOneRequestFailsTheRun) {
  const RigCase cases[] = {
      {"an acknowledgement comes twice", [](Rig& r) { r.unit.faults().duplicateAckAtPacket = 3; },
       "Wait for Write Firmware Packet Failed!\n\nduplicate reply\n"},
      {"a forged verify answer with the image's bytes follows the card's own",
       [](Rig& r) {
         r.unit.faults().corruptStoredByte = 5 * 128 + 7;
         r.unit.faults().forgedVerifyAt = 5;
       },
       "Wait for Verify Packet Failed!\n\nduplicate reply\n"},
      {"a forged acknowledgement comes first, the card's own later",
       [](Rig& r) {
         r.unit.faults().delayAckAtPacket = 3;
         r.unit.faults().ackDelayMs = 5;
         r.tap.InjectStatusAtPacket(3, 0x00);
       },
       "Wait for Write Firmware Packet Failed!\n\nduplicate reply\n"},
      {"a second erase report",
       [](Rig& r) {
         r.tap.onFrame = [&r](uint8_t code, int) {
           if (code == codec::kErase) r.tap.Inject(RegisterFrame(9, {0x01}));
         };
       },
       "Wait for Erase EEPROM Failed!\n\nduplicate reply\n"},
  };
  for (const RigCase& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig(WithCard());
    c.arrange(rig);
    CardUpdate(rig, 1000);
    EXPECT_EQ(rig.Run(), RunOutcome::UpdateFailed);
    EXPECT_TRUE(rig.ReportedFailure(c.text, "ZI-RERAR Firmware Update Failed!"));
    const std::string log = rig.dir.Log();
    // The cancel ends the card's transfer; it brings back nothing erased.
    EXPECT_EQ(rig.unit.CancelCount(), 1);
    EXPECT_TRUE(Contains(log, "The ZI-RERAR card holds a partial image: run the update again.")) << log;
    EXPECT_EQ(rig.unit.CardCompleteCount(), 0);
    EXPECT_FALSE(Contains(log, "EEPROM Programming Success"));
  }
}

TEST(CardRunAnswers, SuccessOnlyOnceTheCardShowsTheTransferEnded) {
  struct Case {
    const char* name;
    int lost;  // completion commands the link loses
    RunOutcome outcome;
    int sent;
  };
  for (const Case& c : {Case{"first completion lost, the second one confirmed", 1, RunOutcome::UpdateSucceeded, 2},
                        Case{"every completion lost", 100, RunOutcome::SentNotConfirmed, 3}}) {
    SCOPED_TRACE(c.name);
    Rig rig(WithCard());
    rig.tap.loseCode = codec::kCompleteBankSet;
    rig.tap.loseCount = c.lost;
    CardUpdate(rig, 1000);
    EXPECT_EQ(rig.Run(), c.outcome);
    EXPECT_EQ(rig.Sent(codec::kCompleteBankSet), c.sent);
    const std::string log = rig.dir.Log();
    EXPECT_TRUE(Contains(log, "SetProgrammingComplete: not confirmed by the card (attempt 1)")) << log;
    const bool confirmed = c.outcome == RunOutcome::UpdateSucceeded;
    EXPECT_EQ(rig.unit.CardCompleteCount(), confirmed ? 1 : 0);
    EXPECT_EQ(Contains(log, "EEPROM Programming Success"), confirmed);
    EXPECT_EQ(rig.Visible(resources::IDC_CONGRATULATIONS), confirmed);
    EXPECT_EQ(Contains(log, "SetProgrammingComplete: sent, not confirmed"), !confirmed) << log;
    if (!confirmed) {
      ASSERT_FALSE(rig.MessageTexts().empty());
      EXPECT_TRUE(Contains(rig.MessageTexts().back(), "sent, not confirmed"));
      EXPECT_TRUE(Contains(log, "bytes), took ")) << log;
      EXPECT_TRUE(Contains(log.substr(log.find("bytes), took ")), ", sent, not confirmed\n")) << log;
    }
  }
}

TEST(UnitRunProgress, AVerifyErrorTheUnitReportsEndsTheRunAtOnce) {
  Rig rig;
  rig.unit.faults().corruptStoredByte = 200;
  const std::string path = rig.WriteImage("NBT0110ANC.BIN", Pattern(10 * 128));
  rig.host.ScriptFor(kMainDialog).Drop({path}).Press(kUpdate);
  const uint32_t start = rig.clock.Peek();
  EXPECT_EQ(rig.Run(), RunOutcome::UpdateFailed);
  EXPECT_NE(rig.host.FindMessage("ProgramEEPROM: Unit reported a Verify Error!\n"), nullptr);
  const std::string log = rig.dir.Log();
  EXPECT_FALSE(Contains(log, "Unit stopped reporting progress")) << log;
  // Reported when the unit says so (about a second of self-programming),
  // not after two minutes of silence.
  EXPECT_LT(rig.clock.Peek() - start, 30000u);
}

}  // namespace
