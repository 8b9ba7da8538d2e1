// The option card's run: erase, program and read back packet by packet.
#include <gtest/gtest.h>

#include "sim/scenarios/scenarios.h"
#include "tests/app/update_fixture.h"

namespace {

using namespace workflow_test;
using platform::ui::Icon;

constexpr const char* kCardImage = "ZTDNT0102NC.BIN";

sim::UnitConfig WithCard() {
  sim::UnitConfig config;
  config.card.id = 21;
  config.card.serial = 0x1526D4D2;
  return config;
}

// Selects the card entry, drops `image` on it and presses Update.
void CardUpdate(Rig& rig, const std::vector<uint8_t>& image, int entry = 1) {
  const std::string path = rig.WriteImage(kCardImage, image);
  rig.host.ScriptFor(kMainDialog).Select(kUnitList, entry).Drop({path}).Press(kUpdate);
}

std::vector<uint8_t> PaddedToPackets(std::vector<uint8_t> image) {
  image.resize((image.size() + 127) / 128 * 128, 0);
  return image;
}

bool Contains(const std::string& log, const std::string& text) { return log.find(text) != std::string::npos; }

TEST(ZSlotRun, CardIsErasedWrittenAndReadBack) {
  Rig rig(WithCard());
  const std::vector<uint8_t> image = Pattern(78000);
  CardUpdate(rig, image);
  ASSERT_EQ(rig.Run(), RunOutcome::UpdateSucceeded);

  EXPECT_EQ(rig.Sent(codec::kDataPacket), 610);
  EXPECT_EQ(rig.Sent(codec::kNextVerifyPacket), 610);
  EXPECT_EQ(rig.unit.CardFlash(), PaddedToPackets(image));
  EXPECT_TRUE(rig.unit.Prom(0).empty() && rig.unit.Prom(1).empty());
  // One bar for writing and reading back, one step per packet: it does
  // not fall back to 0 when the verify pass begins.
  ASSERT_EQ(rig.tap.barAtPacket.size(), 610u);
  ASSERT_EQ(rig.tap.barAtVerify.size(), 610u);
  for (int i : {0, 1, 305, 609}) {
    EXPECT_EQ(rig.tap.barAtPacket[i], i);
    EXPECT_EQ(rig.tap.barAtVerify[i], 610 + i);
  }
  EXPECT_EQ(rig.host.Last(kMainDialog)->Find(resources::IDC_PROGRESS)->high, 1220);
  // Bit 7 of register 9 is set before completion, so command 8 ends it.
  EXPECT_EQ(rig.Sent(codec::kCompleteBankSet), 1);
  EXPECT_EQ(rig.Sent(codec::kCompleteBankClear), 0);
  EXPECT_EQ(rig.unit.CardCompleteCount(), 1);
  EXPECT_EQ(rig.Sent(codec::kCancel), 0);
  EXPECT_TRUE(rig.Visible(resources::IDC_CONGRATULATIONS));

  // Several records carry no line end and run on into the next stamp.
  const std::string log = rig.dir.Log();
  for (const char* record : {"ProgramZSlotEEPROM2", "Erasing ZSlot Firmware2", "SelectZSlotFirmware 12",
                             "Start Erase2", "Erase Complete2", "Programming 610 Packets2",
                             "Verifying 610 Packets2", "Verify Complete2", "EEPROM Programming Success"}) {
    EXPECT_TRUE(Contains(log, record)) << record;
  }
  EXPECT_FALSE(rig.host.FindMessage("Failed"));
}

TEST(ZSlotRun, WithZSlotTheUnitEntryTakesTheCardImage) {
  // ZSLOT makes every entry stand for the card, so the card image fits the
  // unit's entry too (without it the image would be refused).
  Rig rig(WithCard());
  CardUpdate(rig, Pattern(1000), /*entry=*/0);
  EXPECT_EQ(rig.Run("ZSLOT"), RunOutcome::UpdateSucceeded);
  const std::string log = rig.dir.Log();
  EXPECT_TRUE(Contains(log, "ProgramZSlotEEPROM"));
  EXPECT_TRUE(Contains(log, "SelectZSlotFirmware 1"));
  EXPECT_FALSE(Contains(log, "ProgramEEPROM\n"));
  EXPECT_EQ(rig.Sent(codec::kErase), 1);
  // A card entry shows no switch warning, a unit entry may; either way
  // the unit's bank commands are never sent.
  EXPECT_EQ(rig.Sent(codec::kSelectBank1) + rig.Sent(codec::kSelectBank2), 0);
}

TEST(ZSlotRun, NoSwitchWarningForACardEntry) {
  sim::UnitConfig config = WithCard();
  config.promSwitchAtProm2 = false;
  Rig rig(config);
  CardUpdate(rig, Pattern(300));
  EXPECT_EQ(rig.Run(), RunOutcome::UpdateSucceeded);
  EXPECT_EQ(rig.host.FindMessage("PROM select switches"), nullptr);
}

TEST(ZSlotRun, LinksWithoutACardEndpointFailAtTheCardTarget) {
  Rig rig(WithCard());
  rig.wiring.supportsCardTarget = false;  // as over MIDI and the host driver
  CardUpdate(rig, Pattern(300));
  EXPECT_EQ(rig.Run(), RunOutcome::UpdateFailed);
  EXPECT_TRUE(rig.ReportedFailure("ProgramEEPROM: SelectZSlotFirmware Failed!\n", "ZI-RERAR Firmware Update Failed!"));
  EXPECT_EQ(rig.Sent(codec::kErase), 0);
  EXPECT_EQ(rig.Sent(codec::kDataPacket), 0);
}

TEST(ZSlotRun, FailuresStopAtOnceWithoutCompletion) {
  // 1000 bytes: 8 packets, the last one 104 image bytes and 24 zero bytes.
  const std::vector<uint8_t> image = Pattern(1000);
  struct Case {
    const char* name;
    std::function<void(Rig&)> arrange;
    const char* text;
    bool logged;
  };
  const Case cases[] = {
      {"erase never ends", [](Rig& r) { r.unit.faults().stallInState = sim::kStateErasing; },
       "Wait for Erase EEPROM Failed!\n\nTIMEOUT\n", true},
      {"packet refused", [](Rig& r) { r.unit.faults().pgmErrAtPacket = 2; },
       "Wait for Write Firmware Packet Failed!\n\nPGMERR\n", true},
      {"packet not acknowledged", [](Rig& r) { r.unit.faults().dropAckAtPacket = 2; },
       "Wait for Write Firmware Packet Failed!\n\nTIMEOUT\n", true},
      {"verify answer with PIP",
       [](Rig& r) {
         r.tap.onFrame = [&r](uint8_t code, int nth) {
           if (code == codec::kNextVerifyPacket && nth == 4) r.tap.Inject(RegisterFrame(9, {0x01}));
         };
       },
       "Wait for Verify Packet Failed!\n\nPIP\n\nPAKRDY\n", true},
      {"verify answer missing", [](Rig& r) { r.unit.faults().verifyMissingAt = 0; },
       "Wait for Verify Packet Failed!\n\nTIMEOUT\n", true},
      {"verify byte differs", [](Rig& r) { r.unit.faults().verifyByteChangedAt = 5; }, "Firmware Verify Failed!",
       false},
      {"non-zero byte after the image end",
       [&image](Rig& r) {
         r.unit.faults().verifyMissingAt = 7;
         r.tap.onFrame = [&r, &image](uint8_t code, int nth) {
           if (code != codec::kNextVerifyPacket || nth != 7) return;
           std::vector<uint8_t> last(image.begin() + 896, image.end());
           last.resize(128, 0);
           last[120] = 0x5A;
           r.tap.Inject(RegisterFrame(128, last));
         };
       },
       "Firmware Verify Failed!", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig(WithCard());
    c.arrange(rig);
    CardUpdate(rig, image);
    EXPECT_EQ(rig.Run(), RunOutcome::UpdateFailed);
    const std::vector<std::string> texts = rig.MessageTexts();
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[texts.size() - 2], c.text);
    EXPECT_EQ(rig.host.Messages()[texts.size() - 2].caption, "Orvella(n) Firmware Update");
    EXPECT_EQ(rig.host.Messages()[texts.size() - 2].icon, Icon::None);
    EXPECT_EQ(texts.back(), "ZI-RERAR Firmware Update Failed!");
    EXPECT_EQ(rig.host.Messages().back().caption, "EEPROM Programming Failure");
    const std::string log = rig.dir.Log();
    EXPECT_EQ(Contains(log, c.text), c.logged);
    EXPECT_TRUE(Contains(log, "ZI-RERAR Firmware Update Failed!\n"));
    EXPECT_EQ(rig.unit.CardCompleteCount(), 0);
    EXPECT_EQ(rig.Sent(codec::kCancel), 0);
    EXPECT_TRUE(rig.Visible(kUpdate));
  }
}

TEST(ZSlotRun, SlowEraseWithinTwelveSecondsIsWaitedFor) {
  sim::UnitConfig config = WithCard();
  config.timing.cardEraseMs = 11500;
  Rig rig(config);
  CardUpdate(rig, Pattern(200));
  EXPECT_EQ(rig.Run(), RunOutcome::UpdateSucceeded);
  EXPECT_EQ(rig.unit.CardFlash(), PaddedToPackets(Pattern(200)));
}

// Over the simulated MIDI ports, as a user would meet it: MIDI cannot
// address the card's own endpoint, so the run stops at the card target.
TEST(ZSlotRun, OverMidiTheCardRunStopsAtTheCardTarget) {
  ScopedWorkingDir dir;
  platform::VirtualClock clock;
  platform::Override<platform::Clock> useClock{clock};
  test_support::ScriptedHost host;
  std::unique_ptr<sim::Scenario> scenario = sim::MakeScenario("two-units-card");
  ASSERT_NE(scenario, nullptr);
  scenario->Install();
  host.ScriptFor(kMainDialog).Select(kUnitList, 1).Press(kUpdate);
  CReflashDlg dlg("");
  dlg.DoModal();
  EXPECT_EQ(dlg.Outcome(), RunOutcome::UpdateFailed);
  EXPECT_NE(host.FindMessage("ProgramEEPROM: SelectZSlotFirmware Failed!\n"), nullptr);
  EXPECT_NE(host.FindMessage("ZI-RERAR Firmware Update Failed!"), nullptr);
  EXPECT_TRUE(scenario->Units()[0]->CardFlash().empty());
}

}  // namespace
