// The safety rules of the window logic, through the scripted host: the
// target stays fixed while busy, an image goes only into its own kind of
// device, stand-in images never reach a real unit, the done state belongs
// to the updated unit, and a failed run's cancel reaches the unit again
// after a lost link.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/app/update_fixture.h"

namespace {

using namespace workflow_test;

constexpr int kCongratulations = resources::IDC_CONGRATULATIONS;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Frame codes that change a unit: data, bank choice, register writes,
// the transfer commands.
bool Changes(uint8_t code) {
  return code == codec::kDataPacket || code == codec::kSelectBank1 || code == codec::kSelectBank2 ||
         code == codec::kWrite || code == codec::kPrepare || code == codec::kPacketFollows;
}

int ChangingFramesFrom(const Rig& rig, size_t from) {
  int n = 0;
  for (size_t i = from; i < rig.wiring.written.size(); ++i) n += Changes(CodeOf(rig.wiring.written[i].bytes));
  return n;
}

TEST(Safety, NothingChangesTheTargetWhileAnUpdateRuns) {
  // Each case arrives in the middle of the download of unit 0, as a user
  // (or a stray event) would deliver it from a nested message pump.
  struct Case {
    const char* name;
    std::function<void(Rig&, test_support::MemoryDialog&)> during;
    const char* logged;
  };
  const Case cases[] = {
      {"select the second unit", [](Rig&, test_support::MemoryDialog& d) { d.UserSelect(kUnitList, 1); },
       "OnSelChangeModel: Busy, selection ignored\n"},
      {"drop another image",
       [](Rig& r, test_support::MemoryDialog& d) {
         d.Events().OnDropFiles({r.WriteImage("NBT0120ANC.BIN", Pattern(200))});
       },
       "OnDropFiles: Busy, "},
      {"open the about box", [](Rig&, test_support::MemoryDialog& d) { d.Events().OnSysCommand(resources::kAboutCommand); },
       "OnSysCommand: Busy, about box not shown\n"},
      {"press Update again", [](Rig&, test_support::MemoryDialog& d) { d.Events().OnCommand(kUpdate); },
       "OnStartUpdate: Busy, ignored\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig;
    sim::UnitModel second;
    rig.wiring.Add(&second, "Sim Link 2");
    const std::vector<uint8_t> image = Pattern(20 * 128);
    rig.tap.onFrame = [&](uint8_t code, int nth) {
      if (code != codec::kDataPacket || nth != 3) return;
      test_support::MemoryDialog& main = *rig.host.Open(kMainDialog);
      EXPECT_FALSE(main.State().targetChangesOffered);  // the host stops inviting them
      c.during(rig, main);
    };
    rig.host.ScriptFor(kMainDialog).Drop({rig.WriteImage("NBT0110ANC.BIN", image)}).Press(kUpdate);
    EXPECT_EQ(rig.Run(), RunOutcome::UpdateSucceeded);
    EXPECT_EQ(rig.unit.Prom(1), image);  // all of it, to the unit chosen
    EXPECT_TRUE(second.Prom(1).empty());
    EXPECT_EQ(rig.Sent(codec::kDataPacket), 20);
    for (const auto& w : rig.wiring.written) {
      if (CodeOf(w.bytes) == codec::kDataPacket) {
        EXPECT_EQ(w.connection, 0);
      }
    }
    EXPECT_TRUE(Contains(rig.dir.Log(), c.logged));
    EXPECT_EQ(rig.host.Last(resources::kAboutDialog), nullptr);
    EXPECT_EQ(rig.host.Last(kMainDialog)->Find(kUnitList)->selection, 0);
    EXPECT_TRUE(rig.Visible(kCongratulations));
    EXPECT_TRUE(rig.host.Last(kMainDialog)->targetChangesOffered);  // offered again once done
  }
}

TEST(Safety, AnImageForAnotherKindOfDeviceIsRefusedBeforeAnythingIsSent) {
  struct Case {
    const char* name;
    sim::UnitConfig config;
    int entry;          // the entry selected
    const char* image;  // the file dropped on it
    const char* text;   // what the refusal says
  };
  sim::UnitConfig plain;
  sim::UnitConfig withCard;
  withCard.card.id = 21;
  sim::UnitConfig withModule;
  withModule.hasModule = true;
  const Case cases[] = {
      {"module image, unit", plain, 0, "ZMDIG0101NC.BIN",
       "is for a ZM-DIG module, but the selected device is the Orvella(n) main unit"},
      {"card image, unit", plain, 0, "ZTDNT0103NC.BIN",
       "is for a ZI-RERAR card, but the selected device is the Orvella(n) main unit"},
      {"ZT-HD image, unit", plain, 0, "ZTHD0101NC.BIN",
       "is for a ZT-HD card, but the selected device is the Orvella(n) main unit"},
      {"unit image, card", withCard, 1, "NBT0111ANC.BIN",
       "is for a Orvella(n) main unit, but the selected device is the ZI-RERAR card"},
      {"VE-ZER image, ZI-RERAR card", withCard, 1, "ZTUSB11V00.BIN",
       "is for a VE-ZER card, but the selected device is the ZI-RERAR card"},
      {"unit image, module", withModule, 1, "NBT0111ANC.BIN",
       "is for a Orvella(n) main unit, but the selected device is the ZM-DIG module"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig(c.config);
    size_t mark = 0;
    rig.host.ScriptFor(kMainDialog)
        .Select(kUnitList, c.entry)
        .Drop({rig.WriteImage(c.image, Pattern(300))})
        .Do([&](test_support::MemoryDialog&) { mark = rig.wiring.written.size(); })
        .Press(kUpdate)
        .Do([&](test_support::MemoryDialog& d) { EXPECT_TRUE(d.IsVisible(kUpdate)); });
    EXPECT_EQ(rig.Run(), RunOutcome::UpdateFailed);
    ASSERT_EQ(rig.host.Messages().size(), 1u);
    EXPECT_TRUE(Contains(rig.host.Messages()[0].text, c.text)) << rig.host.Messages()[0].text;
    EXPECT_TRUE(Contains(rig.host.Messages()[0].text, c.image));
    EXPECT_EQ(ChangingFramesFrom(rig, mark), 0);
    EXPECT_EQ(rig.unit.CancelCount(), 0);
    EXPECT_TRUE(Contains(rig.dir.Log(), "OnStartUpdate: Image ")) << rig.dir.Log();
    EXPECT_FALSE(Contains(rig.dir.Log(), "About to program"));
  }
}

TEST(Safety, StandInImagesAreOfferedToSimulatedUnitsOnly) {
  // On a real link the image fields say what to do instead of offering
  // the built-in stand-in, and Update refuses; a named file still works.
  {
    Rig rig;
    rig.transports.PretendReal();
    size_t mark = 0;
    rig.host.ScriptFor(kMainDialog)
        .Do([&](test_support::MemoryDialog& d) {
          EXPECT_EQ(d.GetText(resources::IDC_NEW_FW_VERSION), "None built in");
          EXPECT_EQ(d.GetText(resources::IDC_NEW_FW_DATE), "Use FILE= or drop");
          mark = rig.wiring.written.size();
        })
        .Press(kUpdate);
    EXPECT_EQ(rig.Run(), RunOutcome::UpdateFailed);
    ASSERT_EQ(rig.host.Messages().size(), 1u);
    EXPECT_TRUE(Contains(rig.host.Messages()[0].text, "No built-in firmware image is available for this device."));
    EXPECT_TRUE(Contains(rig.host.Messages()[0].text, "FILE="));
    EXPECT_EQ(ChangingFramesFrom(rig, mark), 0);
    EXPECT_TRUE(rig.unit.Prom(1).empty());
  }
  {
    Rig rig;
    rig.transports.PretendReal();
    const std::vector<uint8_t> image = Pattern(500);
    const std::string path = rig.WriteImage("NBT0111ANC.BIN", image);
    rig.host.ScriptFor(kMainDialog).Press(kUpdate);
    EXPECT_EQ(rig.Run("FILE=" + path), RunOutcome::UpdateSucceeded);
    EXPECT_EQ(rig.unit.Prom(1), image);
  }
  {
    Rig rig;  // simulated: the stand-in is offered and programmed
    rig.host.ScriptFor(kMainDialog).Do([](test_support::MemoryDialog& d) {
      EXPECT_EQ(d.GetText(resources::IDC_NEW_FW_VERSION), "1.10");
    });
    rig.Run();
  }
}

TEST(Safety, DoneStateStaysWithTheUpdatedUnit) {
  Rig rig;
  sim::UnitModel second;
  rig.wiring.Add(&second, "Sim Link 2");
  struct Look {
    bool update, close, congratulations;
  };
  std::vector<Look> looks;
  auto look = [&](test_support::MemoryDialog& d) {
    looks.push_back({d.IsVisible(kUpdate), d.IsVisible(resources::IDOK_CLOSE), d.IsVisible(kCongratulations)});
  };
  rig.host.ScriptFor(kMainDialog)
      .Drop({rig.WriteImage("NBT0110ANC.BIN", Pattern(300))})
      .Press(kUpdate)
      .Do(look)
      .Select(kUnitList, 1)
      .Do(look)
      .Select(kUnitList, 0)
      .Do(look);
  rig.Run();
  ASSERT_EQ(looks.size(), 3u);
  EXPECT_TRUE(!looks[0].update && looks[0].close && looks[0].congratulations);  // the updated unit
  EXPECT_TRUE(looks[1].update && !looks[1].close && !looks[1].congratulations);  // the other one: ready
  EXPECT_TRUE(!looks[2].update && looks[2].close && looks[2].congratulations);  // back to the updated one
  EXPECT_TRUE(second.Prom(1).empty());
}

TEST(Safety, CancelReachesTheUnitAfterALostLink) {
  struct Case {
    const char* name;
    bool comesBack;  // the unit answers again after the link failed
    int cancels;
    const char* logged;
  };
  for (const Case c : {Case{"link fails once", true, 1, "CancelProgramming: cancel sent\n"},
                       Case{"unit gone", false, 0, "CancelProgramming: unit did not answer, cancel not sent\n"}}) {
    SCOPED_TRACE(c.name);
    Rig rig;
    int closesAtFault = -1;
    rig.tap.onFrame = [&](uint8_t code, int nth) {
      if (code == codec::kDataPacket && nth == 3) {
        // The next Read reports a failed link, until the engine has closed
        // it and talks again.
        rig.wiring.failRead = true;
        closesAtFault = rig.wiring.closes;
        if (!c.comesBack) rig.unit.faults().silent = true;
      } else if (closesAtFault >= 0 && rig.wiring.closes > closesAtFault) {
        rig.wiring.failRead = false;
      }
    };
    rig.host.ScriptFor(kMainDialog).Drop({rig.WriteImage("NBT0110ANC.BIN", Pattern(20 * 128))}).Press(kUpdate);
    EXPECT_EQ(rig.Run(), RunOutcome::UpdateFailed);
    EXPECT_NE(rig.host.FindMessage("Wait for Write Firmware Packet Failed!\n\nTIMEOUT\n"), nullptr);
    EXPECT_TRUE(Contains(rig.dir.Log(), c.logged)) << rig.dir.Log();
    EXPECT_EQ(rig.unit.CancelCount(), c.cancels);
    EXPECT_LE(rig.Sent(codec::kDataPacket), 4);  // nothing after the loss counted as taken
  }
}

}  // namespace
