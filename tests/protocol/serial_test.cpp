// Writing, confirming and committing serial numbers.
#include "sim/unit/unit_model.h"
#include "tests/protocol/engine_fixture.h"

namespace engine_test {
namespace {

class SerialTest : public EngineTest {
 protected:
  std::vector<Request> Writes(bool toCard = false) {
    std::vector<Request> out;
    for (const auto& w : wiring.written) {
      const Request r = Decode(w.bytes);
      if (r.code == codec::kWrite && w.toCard == toCard) out.push_back(r);
    }
    return out;
  }
};

TEST_F(SerialTest, UnitSerialIsWrittenConfirmedAndCommitted) {
  sim::UnitConfig config;
  config.serial = sim::kBlankSerial;
  sim::UnitModel model(config);
  Attach(model);
  EXPECT_EQ(remote->WriteSerialNumber(0x6026D4D2), 0);
  const auto writes = Writes();
  ASSERT_EQ(writes.size(), 4u);
  const uint16_t regs[4] = {12, 13, 14, 15};
  const uint8_t values[4] = {0x2D, 0x12, 0xD2, 0x04};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(writes[i].first, regs[i]);
    EXPECT_EQ(writes[i].span, values[i]);
  }
  const auto frames = Written();
  ASSERT_GE(frames.size(), 2u);
  EXPECT_EQ(frames[frames.size() - 2], Frame({0x61, 0x4D, 0x38}));
  EXPECT_EQ(frames.back(), Frame({0x52, 0x57, 0x64}));
  EXPECT_EQ(remote->GetPollMode(), kPollTransfer);
  uint8_t status = 0;
  remote->ReadRegister(9, &status);
  EXPECT_EQ(status, PIP);
  // The unit clears register 9 when its commit is done.
  const uint32_t start = clock.Peek();
  while ((status & 0x3F) != 0 && clock.Peek() - start < 2000) {
    remote->GetProgrammingStatus(&status);
    platform::Sleep(5);
  }
  EXPECT_EQ(status & 0x3F, 0);
  EXPECT_EQ(model.CommittedUnitSerial(), 0x6026D4D2u);
  EXPECT_NE(NewLog().find("Writing Serial Number...\n"), std::string::npos);
  EXPECT_TRUE(host.Messages().empty());
}

struct FailureCase {
  const char* name;
  uint32_t serial;
  bool neverMatches;
  bool silent;
  const char* box;
  const char* log;
};

TEST_F(SerialTest, UnitSerialFailuresShowTheirOwnMessage) {
  const FailureCase cases[] = {
      {"model mismatch", 0x2626D4D2, false, false, "WriteSerialNumber: SerialNumber Model does not match PID!",
       nullptr},
      {"never reported", 0x6026D4D2, true, false, "WriteSerialNumber Timeout!",
       "WriteSerialNumber: Timeout! (MAX_SN_RETIRES)\n"},
      {"silent unit", 0x6026D4D2, false, true, "WriteSerialNumber WaitForResponse Failed!",
       "WriteSerialNumber: WaitForResponse Failed!\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test_support::ScriptedHost boxes;
    sim::UnitConfig config;
    config.serial = sim::kBlankSerial;
    sim::UnitModel model(config);
    SoloLink link(model);
    COrvellaRemote& r = link.remote;
    ASSERT_EQ(r.Open(), 0);
    ASSERT_EQ(r.SelectConnection(0), 0);
    link.wiring.ClearWritten();
    model.faults().serialNeverMatches = c.neverMatches;
    model.faults().silent = c.silent;

    const uint32_t start = clock.Peek();
    EXPECT_EQ(r.WriteSerialNumber(c.serial), 1);
    ASSERT_EQ(boxes.Messages().size(), 1u);
    EXPECT_EQ(boxes.Messages()[0].text, c.box);
    EXPECT_EQ(boxes.Messages()[0].caption, std::optional<std::string>("COrvellaRemote"));
    EXPECT_EQ(boxes.Messages()[0].icon, platform::ui::Icon::Warning);
    if (!c.log) {
      EXPECT_TRUE(link.wiring.written.empty());
    } else {
      EXPECT_NE(NewLog().find(c.log), std::string::npos);
      for (const auto& frame : link.wiring.Frames()) EXPECT_NE(frame, Frame({0x52, 0x57, 0x64}));
    }
    if (c.neverMatches) {
      EXPECT_GT(clock.Peek() - start, 12800u);
    }
    if (c.silent) {
      // A unit that does not answer gets no register at all, rather than
      // four registers without their commit.
      for (const auto& frame : link.wiring.written) EXPECT_NE(Decode(frame.bytes).code, codec::kWrite);
    }
  }
}

TEST_F(SerialTest, AnIndexTheLinkRefusesLeavesTheUnitPolledAndWritable) {
  // A module entry's index (bit 15) means nothing to a MIDI link: the unit
  // stays selected, and its serial number write goes through whole.
  sim::UnitConfig config;
  config.serial = sim::kBlankSerial;
  config.hasModule = true;
  sim::UnitModel model(config);
  Attach(model);
  EXPECT_NE(remote->SelectConnection(0x8000), 0);
  EXPECT_EQ(remote->SelectConnection(0), 0);
  remote->SetPollMode(kPollIdentity);
  EXPECT_EQ(remote->WaitForResponse(4), 0);
  EXPECT_EQ(remote->WriteSerialNumber(0x6026D4D2), 0);
  EXPECT_EQ(Writes().size(), 4u);
  EXPECT_EQ(Written().back(), Frame({0x52, 0x57, 0x64}));  // the commit
  EXPECT_TRUE(host.Messages().empty());
}

TEST_F(SerialTest, CardSerialGoesToTheCardEndpoint) {
  sim::UnitConfig config;
  config.card.id = 21;
  sim::UnitModel model(config);
  Attach(model);
  // Card 21, year 19, week 7, number 0x345.
  const uint32_t card = (21u << 24) | ((19u & 0x0F) << 20) | ((19u >> 4) << 18) | (7u << 12) | 0x345;
  EXPECT_EQ(remote->WriteZSlotSerialNumber(card), 0);
  const auto writes = Writes(true);
  ASSERT_EQ(writes.size(), 4u);
  EXPECT_EQ(writes[0].first, 28);
  EXPECT_EQ(writes[0].span, 7);
  EXPECT_EQ(writes[1].span, 0x13);
  EXPECT_EQ(writes[2].span, 0x45);
  EXPECT_EQ(writes[3].span, 0x03);
  EXPECT_EQ(Written().back(), Frame({0x52, 0x57, 0x64}));
  EXPECT_TRUE(wiring.written.back().toCard);
  EXPECT_NE(NewLog().find("WriteZSlotSerialNumber: 1519070837\n"), std::string::npos);
  // The identity poll asked for the card registers meanwhile.
  bool askedCard = false;
  for (const auto& r : model.Received())
    if (r.code == codec::kRead && r.bytes.size() == 8 && Decode(r.bytes).first == 28) askedCard = true;
  EXPECT_TRUE(askedCard);
  uint32_t back = 0;
  remote->GetZSlotSerialNumber(&back);
  EXPECT_EQ(back, card);
}

TEST_F(SerialTest, CardSerialModelMismatch) {
  sim::UnitConfig config;
  config.card.id = 21;
  sim::UnitModel model(config);
  Attach(model);
  EXPECT_EQ(remote->WriteZSlotSerialNumber(0x60000000u | (7u << 12) | 1), 1);
  EXPECT_NE(host.FindMessage("WriteZSlotSerialNumber: SerialNumber Model does not match PID!"), nullptr);
  EXPECT_TRUE(Written().empty());
}

}  // namespace
}  // namespace engine_test
