// The unit's PROM run: packets, progress, banks, the switch warning, the
// confirmation, failures of the acknowledgement wait and the bound on the
// unit's own programming phase.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/firmware_images.h"
#include "tests/app/update_fixture.h"

namespace {

using namespace workflow_test;
using platform::ui::Answer;
using platform::ui::Icon;

constexpr const char* kUnitImage = "NBT0110ANC.BIN";
const std::vector<uint8_t> kCancelFrame = {0xF0, 0x00, 0x01, 0x54, 0x5A, 0x12, 0x34, 0xF7};

// Drops `image` as the unit's firmware and presses Update.
void DropAndUpdate(Rig& rig, const std::vector<uint8_t>& image, const char* name = kUnitImage) {
  const std::string path = rig.WriteImage(name, image);
  rig.host.ScriptFor(kMainDialog).Drop({path}).Press(kUpdate);
}

bool Contains(const std::string& log, const std::string& text) { return log.find(text) != std::string::npos; }

TEST(UpdateRun, PacketsAreWholeAndZeroFilled) {
  struct Case {
    size_t size;
    int packets;
  };
  for (const Case c : {Case{1, 1}, Case{128, 1}, Case{129, 2}, Case{256, 2}}) {
    SCOPED_TRACE(c.size);
    Rig rig;
    const std::vector<uint8_t> image = Pattern(c.size);
    DropAndUpdate(rig, image);
    EXPECT_EQ(rig.Run(), RunOutcome::UpdateSucceeded);
    EXPECT_EQ(rig.Sent(codec::kDataPacket), c.packets);
    EXPECT_EQ(rig.unit.Prom(1), image);

    // The last packet is a full 128 bytes, the tail zero.
    std::vector<uint8_t> last(128, 0);
    const size_t from = (c.packets - 1) * 128u;
    std::copy(image.begin() + from, image.end(), last.begin());
    std::vector<uint8_t> expected(codec::kMaxDataFrame);
    expected.resize(codec::BuildDataPacket(expected.data(), last.data(), 128));
    std::vector<uint8_t> sentLast;
    for (const auto& w : rig.wiring.written) {
      if (CodeOf(w.bytes) == codec::kDataPacket) sentLast = w.bytes;
    }
    EXPECT_EQ(sentLast, expected);
  }
}

TEST(UpdateRun, DownloadBarCountsPercentOfPacketsAndNeverReaches100) {
  Rig rig;
  DropAndUpdate(rig, Pattern(200 * 128));
  ASSERT_EQ(rig.Run(), RunOutcome::UpdateSucceeded);
  const std::vector<int>& bar = rig.tap.barAtPacket;
  ASSERT_EQ(bar.size(), 200u);
  EXPECT_EQ(bar[0], 0);
  EXPECT_EQ(bar[1], 0);
  EXPECT_EQ(bar[2], 1);
  EXPECT_EQ(bar[3], 1);
  EXPECT_EQ(bar[4], 2);
  EXPECT_EQ(bar[198], 99);
  EXPECT_EQ(bar[199], 99);
  EXPECT_LT(*std::max_element(bar.begin(), bar.end()), 100);
}

TEST(UpdateRun, BankChoiceIsLoggedAndSelected) {
  struct Case {
    const char* options;
    const char* record;
    std::vector<uint8_t> banks;  // bank commands in the order sent
    std::vector<uint8_t> prom1, prom2;
  };
  const std::vector<uint8_t> image = Pattern(300);
  const Case cases[] = {
      {"PROM=1", "SelectBank 0\n", {codec::kSelectBank1}, image, {}},
      {"", "SelectBank 1\n", {codec::kSelectBank2}, {}, image},
      {"PROM=B", "SelectBank BOTH\n", {codec::kSelectBank1, codec::kSelectBank2}, image, image},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options);
    Rig rig;
    DropAndUpdate(rig, image);
    ASSERT_EQ(rig.Run(c.options), RunOutcome::UpdateSucceeded);
    EXPECT_TRUE(Contains(rig.dir.Log(), c.record));
    std::vector<uint8_t> banks;
    for (uint8_t code : rig.SentCodes()) {
      if (code == codec::kSelectBank1 || code == codec::kSelectBank2) banks.push_back(code);
    }
    EXPECT_EQ(banks, c.banks);
    EXPECT_EQ(rig.unit.Prom(0), c.prom1);
    EXPECT_EQ(rig.unit.Prom(1), c.prom2);
  }
}

TEST(UpdateRun, SwitchWarningOnlyWhenProm2IsChosenButSwitchesSayProm1) {
  struct Case {
    bool switchesAtProm2;
    const char* options;
    bool warned;
  };
  for (const Case c : {Case{false, "", true}, Case{false, "PROM=1", false}, Case{true, "", false},
                       Case{false, "PROM=B", false}}) {
    SCOPED_TRACE(c.options);
    sim::UnitConfig config;
    config.promSwitchAtProm2 = c.switchesAtProm2;
    Rig rig(config);
    DropAndUpdate(rig, Pattern(10));
    EXPECT_EQ(rig.Run(c.options), RunOutcome::UpdateSucceeded);
    const auto* warning = rig.host.FindMessage("The PROM select switches on your Orvella(n) are set to PROM1.");
    EXPECT_EQ(warning != nullptr, c.warned);
    if (warning) {
      EXPECT_EQ(warning->caption, "PROM select switch warning");
      EXPECT_EQ(warning->icon, Icon::Exclamation);
    }
  }
}

TEST(UpdateRun, ConfirmationNamesDeviceAndVersionAndCancelProgramsNothing) {
  Rig rig;
  rig.host.QueueAnswer(Answer::Cancel);
  const std::string path = rig.WriteImage(kUnitImage, Pattern(1000));
  rig.host.ScriptFor(kMainDialog).Drop({path}).Press(kUpdate).Do([&](test_support::MemoryDialog&) {
    // Back in the ready state, the image given back.
    EXPECT_TRUE(rig.Visible(kUpdate));
    EXPECT_FALSE(rig.Visible(kProgress));
    EXPECT_FALSE(rig.dlg->HoldsLoadedImage());
  });
  EXPECT_EQ(rig.Run(), RunOutcome::UpdateCancelled);

  const auto* question = rig.host.FindMessage("About to program the ");
  ASSERT_NE(question, nullptr);
  EXPECT_EQ(question->text,
            "About to program the Orvella(n) connected via Sim Link 1 with Firmware Version 1.10\n"
            "\nThe transfer will take about 10 seconds at the speed of the link.\n");
  EXPECT_EQ(question->caption, path);  // an external file names itself
  EXPECT_EQ(question->buttons, platform::ui::Buttons::OkCancel);
  EXPECT_EQ(question->defaultButton, 1);
  EXPECT_EQ(rig.Sent(codec::kDataPacket), 0);
  EXPECT_EQ(rig.Sent(codec::kSelectBank2), 0);
  EXPECT_EQ(rig.unit.CancelCount(), 0);
}

// The acknowledgement wait: what the unit answers after a packet, and the
// text the run shows for it.
TEST(UpdateRun, AcknowledgementFailuresCancelAndShowBothMessages) {
  // The text: the status flags the message names.
  const RigCase cases[] = {
      {"no answer", [](Rig& r) { r.unit.faults().dropAckAtPacket = 3; }, "\nTIMEOUT\n"},
      {"stuck busy",
       [](Rig& r) {
         r.unit.faults().dropAckAtPacket = 3;
         r.tap.InjectStatusAtPacket(3, 0x01);
       },
       "\nTIMEOUT\n"},
      {"busy with error",
       [](Rig& r) {
         r.unit.faults().dropAckAtPacket = 3;
         r.tap.InjectStatusAtPacket(3, 0x03);
       },
       "\nPIP\n\nPGMERR\n"},
      {"program error", [](Rig& r) { r.unit.faults().pgmErrAtPacket = 3; }, "\nPGMERR\n"},
      {"transfer error", [](Rig& r) { r.unit.faults().txErrAtPacket = 3; }, "\nTXERR\n"},
  };
  for (const RigCase& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig;
    c.arrange(rig);
    DropAndUpdate(rig, Pattern(10 * 128));
    EXPECT_EQ(rig.Run(), RunOutcome::UpdateFailed);

    const std::string text = std::string("Wait for Write Firmware Packet Failed!\n") + c.text;
    ASSERT_GE(rig.MessageTexts().size(), 3u);
    EXPECT_TRUE(rig.ReportedFailure(text, "Updating the Firmware on the Orvella(n) FAILED!"));
    EXPECT_EQ(rig.host.Messages().back().caption, "EEPROM Programming Failure");
    EXPECT_EQ(rig.host.Messages().back().icon, Icon::Exclamation);
    EXPECT_EQ(rig.Sent(codec::kDataPacket), 4);

    EXPECT_TRUE(Contains(rig.dir.Log(), "Updating the Firmware on the Orvella(n) FAILED!\n"));
    // The cancel command goes out exactly as the unit knows it.
    ASSERT_FALSE(rig.wiring.written.empty());
    EXPECT_EQ(rig.wiring.written.back().bytes, kCancelFrame);
    EXPECT_EQ(rig.unit.CancelCount(), 1);
    EXPECT_TRUE(rig.Visible(kUpdate));  // ready again
  }
}

TEST(UpdateRun, StuckStatusTimesOutAfterOneSecondNotBefore) {
  Rig rig;
  rig.unit.faults().dropAckAtPacket = 0;
  uint32_t sentAt = 0;
  rig.tap.onFrame = [&](uint8_t code, int) {
    if (code == codec::kDataPacket) sentAt = rig.clock.Peek();
    if (code == codec::kCancel) {
      EXPECT_GT(rig.clock.Peek() - sentAt, 1000u);
    }
  };
  DropAndUpdate(rig, Pattern(200));
  EXPECT_EQ(rig.Run(), RunOutcome::UpdateFailed);
  EXPECT_EQ(rig.unit.CancelCount(), 1);
}

TEST(UpdateRun, DownloadTimeIsLoggedToTheMillisecond) {
  struct Case {
    uint32_t ms;
    const char* text;
  };
  for (const Case c : {Case{3725042, "01:02:05.042"}, Case{0, "00:00:00.000"}, Case{59999, "00:00:59.999"},
                       Case{360000000, "100:00:00.000"}}) {
    EXPECT_EQ(CReflashDlg::FormatElapsed(c.ms), c.text);
  }
}

TEST(UpdateRun, UnitThatStopsReportingProgressFailsAfterTheBound) {
  constexpr uint32_t kSilenceMs = 120000;  // two minutes without a change of state or percent
  for (uint8_t stall : {uint8_t{sim::kStateErasing}, uint8_t{sim::kStateProgramming}, uint8_t{sim::kStateVerifying}}) {
    SCOPED_TRACE(static_cast<int>(stall));
    Rig rig;
    rig.unit.faults().stallInState = stall;
    uint32_t lastPacketAt = 0;
    rig.tap.onFrame = [&](uint8_t code, int) {
      if (code == codec::kDataPacket) lastPacketAt = rig.clock.Peek();
      if (code == codec::kCancel) {
        EXPECT_GT(rig.clock.Peek() - lastPacketAt, kSilenceMs);
        EXPECT_LT(rig.clock.Peek() - lastPacketAt, kSilenceMs + 5000);
      }
    };
    DropAndUpdate(rig, Pattern(1000));
    EXPECT_EQ(rig.Run(), RunOutcome::UpdateFailed);
    EXPECT_TRUE(rig.ReportedFailure("ProgramEEPROM: Unit stopped reporting progress!\n",
                                    "Updating the Firmware on the Orvella(n) FAILED!"));
    EXPECT_FALSE(Contains(rig.dir.Log(), "Programming Complete"));
    EXPECT_EQ(rig.unit.CancelCount(), 1);
  }
}

TEST(UpdateRun, SlowButMovingUnitIsNotCutShort) {
  sim::UnitConfig config;
  config.timing.programMs = 5 * 60 * 1000;  // one percent every three seconds
  Rig rig(config);
  DropAndUpdate(rig, Pattern(500));
  EXPECT_EQ(rig.Run(), RunOutcome::UpdateSucceeded);
  EXPECT_EQ(rig.unit.Prom(1), Pattern(500));
}

TEST(UpdateRun, SuccessLeavesTheDoneStateAndLogsEachPhaseOnce) {
  Rig rig;
  DropAndUpdate(rig, Pattern(5000));
  ASSERT_EQ(rig.Run(), RunOutcome::UpdateSucceeded);
  EXPECT_TRUE(rig.Visible(resources::IDC_CONGRATULATIONS));
  EXPECT_FALSE(rig.Visible(kUpdate));
  EXPECT_FALSE(rig.dlg->HoldsLoadedImage());
  EXPECT_FALSE(rig.host.WaitCursor());

  const std::string log = rig.dir.Log();
  const char* order[] = {"ProgramEEPROM\n", "SelectBank 1\n", "Downloading\n", "Download took: ",
                         "Erasing\n",       "Programming\n",  "Verifying\n",   "Programming Complete\n"};
  size_t at = 0;
  for (const char* record : order) {
    const size_t found = log.find(record, at);
    ASSERT_NE(found, std::string::npos) << record;
    at = found;
  }
  // The unit is asked for its progress registers in the progress phase.
  EXPECT_GT(rig.Sent(codec::kRead), 0);
}

// Without a VE-ZER updater nothing can take a VE-ZER image: the run says
// it failed instead of returning to the ready state in silence.
TEST(UpdateRun, VeZerImageWithoutUpdaterFailsWithItsMessage) {
  // ZSLOT makes the unit's entry stand for its VE-ZER card, which no
  // updater reaches over this link.
  sim::UnitConfig config;
  config.card.id = 50;
  Rig rig(config);
  DropAndUpdate(rig, Pattern(4096), "ZTUSB10V00.BIN");
  EXPECT_EQ(rig.Run("ZSLOT"), RunOutcome::UpdateFailed);
  ASSERT_FALSE(rig.host.Messages().empty());
  EXPECT_EQ(rig.host.Messages().back().text, "VE-ZER Firmware Update Failed!");
  EXPECT_EQ(rig.host.Messages().back().caption, "EEPROM Programming Failure");
  EXPECT_TRUE(Contains(rig.dir.Log(), "VE-ZER Firmware Update Failed!\n"));
  EXPECT_EQ(rig.Sent(codec::kDataPacket), 0);
  EXPECT_EQ(rig.Sent(codec::kCancel), 0);
  EXPECT_TRUE(rig.Visible(kUpdate));
}

// The built-in image, byte for byte, as the README's main job programs it.
TEST(UpdateRun, BuiltInImageLandsInProm2ByteForByte) {
  Rig rig;
  rig.host.ScriptFor(kMainDialog).Press(kUpdate);
  ASSERT_EQ(rig.Run(), RunOutcome::UpdateSucceeded);

  CFirmwareImages images;
  images.EnumerateEmbeddedImages();
  ASSERT_TRUE(images.FindEmbeddedImage(96));
  ASSERT_TRUE(images.LoadFirmwareImage(nullptr));
  const std::vector<uint8_t> expanded(images.m_pImage, images.m_pImage + images.m_nImageSize);
  images.FreeImage();

  EXPECT_EQ(expanded.size(), 3026032u);
  EXPECT_EQ(rig.Sent(codec::kDataPacket), 23641);
  EXPECT_TRUE(rig.unit.Prom(1) == expanded);
  EXPECT_TRUE(rig.unit.Prom(0).empty());
}

}  // namespace
