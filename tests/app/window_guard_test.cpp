// What the window does with a user's stray keys and questions around a
// run, in every host: the done state starts nothing again, closing during
// a run is refused with a reason and the time left, the serial-number
// prompt speaks of the entry it is for, a dropped file is named.
#include <gtest/gtest.h>

#include "app/resources/dialog_templates.h"
#include "app/serial_number_dlg.h"
#include "tests/app/update_fixture.h"
#include "tests/app/window_fixture.h"

namespace {

using namespace workflow_test;
using platform::ui::Answer;
using resources::IDC_SERIAL_ENTRY;
using resources::IDC_SERIAL_NOTICE;
using test_support::MemoryDialog;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

int Questions(const test_support::ScriptedHost& host) {
  int n = 0;
  for (const auto& m : host.Messages()) n += m.buttons == platform::ui::Buttons::OkCancel;
  return n;
}

TEST(DoneState, UpdateAgainIsRefusedAndTheSuccessStands) {
  WindowRun run("default");
  run.Host().QueueAnswer(Answer::Ok);
  run.Host().QueueAnswer(Answer::Cancel);  // would turn success into failure if asked
  int packets = -1;
  run.Script()
      .Press(kUpdate)
      .Do([&](MemoryDialog&) { packets = run.Scenario().Units()[0]->PacketsAccepted(); })
      .Press(kUpdate)
      .Press(resources::IDOK_CLOSE);
  run.Run();
  EXPECT_EQ(run.Outcome(), RunOutcome::UpdateSucceeded);
  EXPECT_EQ(Questions(run.Host()), 1);
  EXPECT_GT(packets, 0);
  EXPECT_EQ(run.Scenario().Units()[0]->PacketsAccepted(), packets);
  EXPECT_TRUE(Contains(run.Log(), "OnStartUpdate: Update done, ignored\n"));
}

TEST(DoneState, ACancelledUpdateOfAnotherEntryKeepsTheSuccess) {
  WindowRun run("two-units-card");
  run.Host().QueueAnswer(Answer::Ok);
  run.Host().QueueAnswer(Answer::Cancel);
  run.Script().Press(kUpdate).Select(kUnitList, 2).Press(kUpdate).Press(resources::IDCANCEL_BUTTON);
  run.Run();
  EXPECT_EQ(Questions(run.Host()), 2);
  EXPECT_EQ(run.Outcome(), RunOutcome::UpdateSucceeded);
}

TEST(CloseDuringARun, IsRefusedWithTheReasonAndTheTimeLeft) {
  Rig rig;
  const std::string path = rig.WriteImage("NBT0110ANC.BIN", Pattern(400 * 128));
  bool stillOpen = false;
  rig.tap.onFrame = [&](uint8_t code, int nth) {
    if (code != codec::kDataPacket) return;
    rig.clock.Advance(300);  // a slow link: 300 ms a packet
    if (nth != 200) return;
    MemoryDialog* main = rig.host.Open(kMainDialog);
    main->Events().OnClose();  // Esc, the close box, Alt+F4
    stillOpen = !main->Ended();
  };
  rig.host.ScriptFor(kMainDialog).Drop({path}).Press(kUpdate).Close();
  EXPECT_EQ(rig.Run(), RunOutcome::UpdateSucceeded);
  EXPECT_TRUE(stillOpen);
  ASSERT_EQ(rig.host.Notes().size(), 1u);
  const std::string& note = rig.host.Notes()[0];
  EXPECT_TRUE(Contains(note, "The firmware of the Orvella(n)")) << note;
  EXPECT_TRUE(Contains(note, "cannot be closed until this has ended")) << note;
  // Half the packets are in after a minute: about as long again is left.
  EXPECT_TRUE(Contains(note, "Downloading...  00:01:00 elapsed, about 00:01:0")) << note;
  EXPECT_TRUE(Contains(note, " left.")) << note;
  EXPECT_TRUE(Contains(rig.dir.Log(), "Close refused\n"));
  // Once done, Esc closes the window again.
  EXPECT_TRUE(rig.host.Last(kMainDialog)->ended);
  EXPECT_EQ(rig.host.Last(kMainDialog)->result, resources::IDCANCEL_BUTTON);
}

TEST(SerialPrompt, ComesAfterTheEntrysFieldsAndNamesIt) {
  WindowRun run("two-units-card", "GETSN");
  struct Seen {
    std::string windowSerial, entry, notice, listText;
  };
  std::vector<Seen> seen;
  auto look = [&](MemoryDialog& d) {
    const test_support::DialogState& main = *run.Host().Last(kMainDialog);
    const auto* list = main.Find(kUnitList);
    seen.push_back({main.Find(resources::IDC_SERIAL)->text, d.GetText(IDC_SERIAL_ENTRY),
                    d.GetText(IDC_SERIAL_NOTICE), list->items[list->selection].first});
  };
  run.Host().ScriptFor(resources::kSerialDialog)
      .Do(look).Type(resources::IDC_SERIAL_EDIT, "6018451234").Press(1)
      .Do(look).Type(resources::IDC_SERIAL_EDIT, "1518400077").Press(1);
  run.Script().Select(kUnitList, 1).Press(resources::IDCANCEL_BUTTON);
  run.Run();
  ASSERT_EQ(seen.size(), 2u);
  // The unit: its own number is on show behind the prompt, which names it.
  EXPECT_EQ(seen[0].windowSerial, "6018451234");
  EXPECT_EQ(seen[0].entry, seen[0].listText);
  EXPECT_EQ(seen[0].notice,
            "Your Orvella(n) holds the Serial Number 6018451234.  To proceed, you must enter the serial number "
            "printed on the back of your Orvella(n).");
  // The card: the window shows the card's number, not the unit's, and the
  // prompt speaks of the card.
  EXPECT_EQ(seen[1].windowSerial, "1518400077");
  EXPECT_EQ(seen[1].entry, seen[1].listText);
  EXPECT_TRUE(Contains(seen[1].entry, "ZI-RERAR in ")) << seen[1].entry;
  EXPECT_EQ(seen[1].notice,
            "Your ZI-RERAR card holds the Serial Number 1518400077.  To proceed, you must enter the serial "
            "number printed on the back of your ZI-RERAR card.");
  EXPECT_EQ(CGetSerialNumberDlg::NoticeText("Orvella(n)", 0xFFFFFFFF),
            "The Serial Number on your Orvella(n) is blank.  To proceed, you must enter the serial number "
            "printed on the back of your Orvella(n).");
}

TEST(DroppedFile, ItsNameIsShownUntilAnotherEntryIsSelected) {
  Rig rig(sim::UnitConfig{});
  const std::string path = rig.WriteImage("NBT0205ANC.BIN", Pattern(1000));
  std::string afterDrop = "unset";
  rig.host.ScriptFor(kMainDialog)
      .Drop({path})
      .Do([&](MemoryDialog& d) { afterDrop = d.GetText(resources::IDC_NOTICE3); })
      .Select(kUnitList, 0)
      .Press(resources::IDCANCEL_BUTTON);
  rig.Run();
  EXPECT_EQ(afterDrop, "New firmware from the file NBT0205ANC.BIN");
  EXPECT_EQ(rig.host.Last(kMainDialog)->Find(resources::IDC_NOTICE3)->text, "");
}

}  // namespace
