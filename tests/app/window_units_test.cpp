// Unit search and the selected entry's details, against simulated units.
#include <gtest/gtest.h>

#include <fstream>
#include <vector>

#include "app/reflash_dlg.h"
#include "app/resources/dialog_templates.h"
#include "tests/app/window_fixture.h"

namespace {

using namespace resources;
using platform::ui::Icon;

std::vector<std::string> Entries(const test_support::DialogState& window) {
  std::vector<std::string> texts;
  for (const auto& item : window.Find(IDC_MODEL)->items) texts.push_back(item.first);
  return texts;
}

// What the window shows once an entry is selected.
struct Shown {
  std::string item, serial, firmware;
  bool promRow = false;
};

Shown Look(test_support::MemoryDialog& d) {
  const auto& list = *d.State().Find(IDC_MODEL);
  return {list.items[list.selection].first, d.GetText(IDC_SERIAL), d.GetText(IDC_FW_VERSION), d.IsVisible(IDC_PROM)};
}

TEST(WindowUnits, NoUnitEndsTheRunWithItsMessage) {
  WindowRun run("none");
  EXPECT_EQ(run.Run(), 0);
  const auto* m = run.Host().FindMessage("Unable to locate an Orvella(n)!");
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->caption, "Orvella(n) Firmware Update");
  EXPECT_EQ(m->icon, Icon::None);
  EXPECT_EQ(m->ownerTemplate, kMainDialog);
  EXPECT_NE(run.Log().find("Unable to locate an Orvella(n)!\n"), std::string::npos);
  EXPECT_EQ(run.Outcome(), RunOutcome::NoUnit);
  EXPECT_TRUE(Entries(run.Window()).empty());
  EXPECT_EQ(run.Host().Messages().size(), 1u);
  // The links the search opened are given back.
  EXPECT_EQ(run.Scenario().Midi().OpenHandles(), 0u);
}

TEST(WindowUnits, ListsUnitsWithTheirCardInOrder) {
  WindowRun run("two-units-card");
  // Each entry, selected, shows its own device: the unit and its card on
  // the first connection, then the second unit.
  std::vector<Shown> shown;
  auto look = [&](test_support::MemoryDialog& d) { shown.push_back(Look(d)); };
  run.Script().Do(look).Select(IDC_MODEL, 1).Do(look).Select(IDC_MODEL, 2).Do(look).Press(IDCANCEL_BUTTON);
  EXPECT_EQ(run.Run(), IDCANCEL_BUTTON);
  const auto entries = Entries(run.Window());
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0], "Orvella(n) connected via Orvella(n) MIDI 1");
  EXPECT_EQ(entries[1], "ZI-RERAR in Orvella(n) connected via Orvella(n) MIDI 1");
  EXPECT_EQ(entries[2], "Orvella(n) connected via Orvella(n) MIDI 2");
  ASSERT_EQ(shown.size(), 3u);
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(shown[i].item, entries[i]) << i;
  EXPECT_EQ(shown[0].serial, "6018451234");
  EXPECT_EQ(shown[1].serial, "1518400077");
  EXPECT_EQ(shown[2].serial, "6018451235");
  EXPECT_TRUE(shown[0].promRow);
  EXPECT_FALSE(shown[1].promRow);
  EXPECT_TRUE(shown[2].promRow);
  // Item data is the entry number, not the word.
  EXPECT_EQ(run.Window().Find(IDC_MODEL)->items[1].second, 1u);
}

TEST(WindowUnits, AModuleEndsTheSearch) {
  WindowRun run("zmdig");
  run.Script().Select(IDC_MODEL, 1).Press(IDCANCEL_BUTTON);
  run.Run();
  const auto entries = Entries(run.Window());
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[1], "ZM-DIG in Orvella(n) connected via Orvella(n) MIDI 1");
  // The module's own fields: version 1.0 by rule, the date and the image
  // of a ZM-DIG, the revision from its register, no serial number.
  EXPECT_EQ(run.Text(IDC_FW_VERSION), "1.0");
  EXPECT_EQ(run.Text(IDC_FW_DATE), "Nov 06, 2017");
  EXPECT_EQ(run.Text(IDC_PCB_REV), "B");
  EXPECT_EQ(run.Text(IDC_NEW_FW_VERSION), "1.0");
  EXPECT_EQ(run.Window().Find(IDC_MODEL)->items[1].first, "ZM-DIG in Orvella(n) connected via Orvella(n) MIDI 1");
  EXPECT_FALSE(run.Visible(IDC_SERIAL));
  EXPECT_FALSE(run.Visible(IDC_PROM));
}

TEST(WindowUnits, CardsWithoutAnImageAreLoggedButNotListed) {
  WindowRun run("zthd");
  run.Run();
  EXPECT_EQ(Entries(run.Window()).size(), 1u);
  EXPECT_NE(run.Log().find(" Found ZT-HD in Orvella(n) connected via Orvella(n) MIDI 1\n"), std::string::npos);
}

TEST(WindowUnits, AVeZerCardWithoutUpdaterIsNotOffered) {
  WindowRun run("vezer-no-driver");
  run.Run();
  EXPECT_EQ(Entries(run.Window()).size(), 1u);
}

TEST(WindowUnits, CardModeOnACardWithoutImageEndsTheRun) {
  WindowRun run("zthd", "ZSLOT");
  EXPECT_EQ(run.Run(), 0);
  const auto* m = run.Host().FindMessage("Unable to determine New Firmware Version!");
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->icon, Icon::Exclamation);
  EXPECT_EQ(m->caption, "Orvella(n) Firmware Update");
  EXPECT_EQ(run.Outcome(), RunOutcome::NoUnit);
  EXPECT_NE(run.Log().find("Unable to determine New Firmware Version!\n"), std::string::npos);
}

TEST(WindowUnits, UnitDetails) {
  WindowRun run("default", "prom=b");
  run.Run();
  EXPECT_EQ(run.Text(IDC_SERIAL), "6018451234");
  EXPECT_EQ(run.Text(IDC_MFG_DATE), "Nov 05, 2018");
  EXPECT_EQ(run.Text(IDC_PCB_REV), "B");
  EXPECT_EQ(run.Text(IDC_FW_VERSION), "1.2");
  EXPECT_EQ(run.Text(IDC_FW_DATE), "Nov 02, 2018");
  EXPECT_EQ(run.Text(IDC_NEW_FW_VERSION), "1.10");
  EXPECT_EQ(run.Text(IDC_NEW_FW_DATE), "Nov 02, 2018");
  EXPECT_EQ(run.Text(IDC_PROM), "Both");
  const std::string log = run.Log();
  EXPECT_NE(log.find("SN: 6018451234\n"), std::string::npos);
  EXPECT_NE(log.find("FWRev: 1.2\n"), std::string::npos);
  EXPECT_NE(log.find("New FWRev: 1.10\n"), std::string::npos);
}

TEST(WindowUnits, BlankSerialShowsNotPresentAndNoDate) {
  WindowRun run("blank-serial", "PROM=1");
  run.Run();
  EXPECT_EQ(run.Text(IDC_SERIAL), "Not Present");
  EXPECT_EQ(run.Text(IDC_MFG_DATE), "");
  EXPECT_EQ(run.Text(IDC_PROM), "1");
}

TEST(WindowUnits, RowsFollowTheKindOfEntry) {
  struct Case {
    const char* scenario;
    int entry;
    bool serialRows, promRow;
  };
  const Case cases[] = {
      {"two-units-card", 0, true, true},
      {"two-units-card", 1, true, false},  // card
      {"two-units-card", 2, true, true},
      {"zmdig", 1, false, false},  // module
  };
  for (const auto& c : cases) {
    WindowRun run(c.scenario);
    run.Script().Select(IDC_MODEL, c.entry);
    run.Run();
    for (int id : {IDC_SERIAL_LABEL, IDC_SERIAL, IDC_MFG_DATE_LABEL, IDC_MFG_DATE}) {
      EXPECT_EQ(run.Visible(id), c.serialRows) << c.scenario << " entry " << c.entry << " id " << id;
    }
    for (int id : {IDC_PROM_LABEL, IDC_PROM}) {
      EXPECT_EQ(run.Visible(id), c.promRow) << c.scenario << " entry " << c.entry << " id " << id;
    }
    EXPECT_TRUE(run.Visible(IDC_PCB_REV));
    EXPECT_TRUE(run.Visible(IDC_NEW_FW_DATE));
  }
}

TEST(WindowUnits, CardEntryShowsTheCardsIdentityAndImage) {
  WindowRun run("two-units-card");
  run.Host().QueueAnswer(platform::ui::Answer::Cancel);
  run.Script().Select(IDC_MODEL, 1).Press(IDC_UPDATE);
  run.Run();
  // Update offers the card's own image for the card itself.
  const auto* question = run.Host().FindMessage("About to program the ");
  ASSERT_NE(question, nullptr);
  EXPECT_EQ(question->text.substr(0, question->text.find('\n')),
            "About to program the ZI-RERAR in Orvella(n) connected via Orvella(n) MIDI 1 with Firmware Version 1.2");
  EXPECT_EQ(run.Outcome(), RunOutcome::UpdateCancelled);
  EXPECT_EQ(run.Text(IDC_SERIAL), "1518400077");
  EXPECT_EQ(run.Text(IDC_PCB_REV), "A");
  EXPECT_EQ(run.Text(IDC_FW_VERSION), "1.1");
  EXPECT_EQ(run.Text(IDC_FW_DATE), "Feb 14, 2017");
  EXPECT_EQ(run.Text(IDC_NEW_FW_VERSION), "1.2");
  EXPECT_EQ(run.Text(IDC_NEW_FW_DATE), "Feb 14, 2017");
}

TEST(WindowUnits, SelectingAnotherEntryGivesUpADroppedFile) {
  WindowRun run("two-units-card");
  const std::string path = "NBT0125XNC.BIN";
  std::ofstream(path) << "image";
  std::string droppedVersion;
  run.Script()
      .Drop({path})
      .Do([&](test_support::MemoryDialog& d) { droppedVersion = d.GetText(IDC_NEW_FW_VERSION); })
      .Select(IDC_MODEL, 2)
      .Press(IDC_UPDATE);
  run.Host().QueueAnswer(platform::ui::Answer::Cancel);
  run.Run();
  EXPECT_EQ(droppedVersion, "1.25");
  // Update would now program the built-in image, not the file.
  const auto* question = run.Host().FindMessage("About to program the ");
  ASSERT_NE(question, nullptr);
  EXPECT_EQ(question->caption, "Firmware Update Confirmation");
  EXPECT_NE(question->text.find("with Firmware Version 1.10\n"), std::string::npos) << question->text;
  EXPECT_EQ(run.Text(IDC_NEW_FW_VERSION), "1.10");
  EXPECT_EQ(run.Text(IDC_NEW_FW_DATE), "Nov 02, 2018");
}

TEST(WindowUnits, SelectionRebuildsTheEntryTextInPlace) {
  WindowRun run("two-units-card");
  run.Script().Select(IDC_MODEL, 1).Select(IDC_MODEL, 0);
  run.Run();
  const auto& list = *run.Window().Find(IDC_MODEL);
  ASSERT_EQ(list.items.size(), 3u);
  EXPECT_EQ(list.selection, 0);
  for (uint32_t i = 0; i < 3; ++i) EXPECT_EQ(list.items[i].second, i);
  EXPECT_EQ(list.items[0].first, "Orvella(n) connected via Orvella(n) MIDI 1");
  EXPECT_EQ(list.items[1].first, "ZI-RERAR in Orvella(n) connected via Orvella(n) MIDI 1");
  EXPECT_NE(run.Log().find("OnSelChangeModel\n"), std::string::npos);
}

TEST(WindowUnits, AFullListSaysHowManyDevicesItLeftOut) {
  // Ten units with a card need twenty entries; the list holds sixteen.
  WindowRun run("ten-cards");
  run.Script().Press(IDCANCEL_BUTTON);
  run.Run();
  const auto entries = Entries(run.Window());
  ASSERT_EQ(entries.size(), 16u);
  EXPECT_EQ(entries[15], "ZI-RERAR in Orvella(n) connected via Orvella(n) MIDI 8");
  const std::string notice = "4 more devices could not be listed: the list holds 16 entries.";
  EXPECT_EQ(run.Text(IDC_NOTICE3), notice);
  EXPECT_TRUE(run.Visible(IDC_NOTICE3));
  EXPECT_NE(run.Log().find(notice + "\n"), std::string::npos) << run.Log();
  EXPECT_NE(run.Log().find("Found Orvella(n) connected via Orvella(n) MIDI 10\n"), std::string::npos);

  WindowRun fits("two-units-card");
  fits.Script().Press(IDCANCEL_BUTTON);
  fits.Run();
  EXPECT_EQ(fits.Text(IDC_NOTICE3), "");
  EXPECT_EQ(fits.Log().find("could not be listed"), std::string::npos);
}

TEST(WindowUnits, AFileNameWithControlCharactersIsShownAndLoggedEscaped) {
  WindowRun run("default", "FILE=/nonexistent/\x1b[2J\n2099-01-01/ZTDNT0102NC.BIN");
  run.Script().Press(IDCANCEL_BUTTON);
  run.Run();
  const std::string shown = "/nonexistent/\\x1b[2J\\n2099-01-01/ZTDNT0102NC.BIN";
  EXPECT_NE(run.Host().FindMessage("Unable to open file '" + shown + "'"), nullptr);
  EXPECT_NE(run.Log().find("SelectNewFirmware " + shown + "\n"), std::string::npos) << run.Log();
  EXPECT_EQ(run.Log().find('\x1b'), std::string::npos);
  EXPECT_EQ(run.Log().find("\n2099-01-01"), std::string::npos);
}

}  // namespace
