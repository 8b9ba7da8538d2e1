// What each kind of list entry offers, seen on the window: a unit, its
// ZM-DIG module, its ZI-RERAR card, and a unit's entry under "ZSLOT"
// (which stands for the card). Each is updated and named as itself, its
// image lands where it belongs, and the serial-number prompt speaks of the
// device whose number it is.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "app/serial_number.h"
#include "tests/app/update_fixture.h"

namespace {

using namespace workflow_test;
using platform::ui::Answer;
using test_support::MemoryDialog;

constexpr const char* kUnit = "Orvella(n) connected via Sim Link 1";
constexpr const char* kCard = "ZI-RERAR in Orvella(n) connected via Sim Link 1";
constexpr const char* kModule = "ZM-DIG in Orvella(n) connected via Sim Link 1";

sim::UnitConfig Config(bool card, bool module) {
  sim::UnitConfig config;
  config.serial = PackSerialNumber("6018451234");
  config.promSwitchAtProm2 = false;  // a unit run warns about them
  if (card) {
    config.card.id = 21;
    config.card.serial = PackSerialNumber("1518400077");
  }
  config.hasModule = module;
  return config;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

enum class Flash { kProm2, kModule, kCard };

// One row per kind of entry, and what it offers.
struct Kind {
  const char* name;
  bool card, module;  // what the unit carries
  int entry;
  const char* options;
  const char* device;   // as the list, the question and the summary name it
  const char* image;    // a file for it
  Flash flash;          // where that image lands
  const char* updated;  // as the congratulations name it
  bool switchWarning, bankInSummary;
  const char* prompt;  // how the serial-number prompt begins
};

const Kind kKinds[] = {
    {"unit", true, false, 0, "", kUnit, "NBT0111ANC.BIN", Flash::kProm2, "the Orvella(n)", true, true,
     "Your Orvella(n) holds the Serial Number 6018451234."},
    // The module shows no number; its unit's is the one the prompt speaks of.
    {"module", false, true, 1, "", kModule, "ZMDIG0101NC.BIN", Flash::kModule, "the ZM-DIG module in the Orvella(n)",
     true, false, "Your Orvella(n) holds the Serial Number 6018451234."},
    {"card", true, false, 1, "", kCard, "ZTDNT0103NC.BIN", Flash::kCard, "the ZI-RERAR card in the Orvella(n)", false,
     false, "Your ZI-RERAR card holds the Serial Number 1518400077."},
    {"unit entry under ZSLOT", true, false, 0, "ZSLOT ", kCard, "ZTDNT0103NC.BIN", Flash::kCard,
     "the ZI-RERAR card in the Orvella(n)", false, false, "Your ZI-RERAR card holds the Serial Number 1518400077."},
};

std::vector<uint8_t> Written(sim::UnitModel& unit, Flash flash, size_t size) {
  switch (flash) {
    case Flash::kProm2:
      return unit.Prom(1);
    case Flash::kModule:
      return unit.ModuleFlash();
    case Flash::kCard: {
      std::vector<uint8_t> bytes = unit.CardFlash();  // whole packets
      bytes.resize(std::min(bytes.size(), size));
      return bytes;
    }
  }
  return {};
}

TEST(EntryKinds, EachIsUpdatedAndNamedAsItself) {
  for (const Kind& k : kKinds) {
    SCOPED_TRACE(k.name);
    Rig rig(Config(k.card, k.module));
    std::string item;
    rig.host.QueueAnswer(Answer::Ok);
    rig.host.ScriptFor(kMainDialog)
        .Select(kUnitList, k.entry)
        .Drop({rig.WriteImage(k.image, Pattern(300))})
        .Press(kUpdate)
        .Do([&](MemoryDialog& d) { item = d.ComboText(kUnitList, d.ComboSel(kUnitList)); });
    ASSERT_EQ(rig.Run(k.options), RunOutcome::UpdateSucceeded) << rig.dir.Log();
    EXPECT_EQ(item, k.device);
    ASSERT_NE(rig.host.FindMessage("About to program the "), nullptr);
    EXPECT_TRUE(Contains(rig.host.FindMessage("About to program the ")->text,
                         std::string("About to program the ") + k.device + " with Firmware Version "));
    EXPECT_EQ(rig.host.Last(kMainDialog)->Find(resources::IDC_CONGRATULATIONS)->text,
              std::string("Congratulations!\n\nThe firmware has been successfully updated on ") + k.updated +
                  ".  To complete this process, you must POWER OFF the Orvella(n) using the main power switch on the "
                  "front of the unit.");
    EXPECT_EQ(rig.host.FindMessage("PROM select switches") != nullptr, k.switchWarning);
    const std::string log = rig.dir.Log();
    EXPECT_TRUE(Contains(log, std::string("Update: ") + k.device + ", serial number ")) << log;
    EXPECT_EQ(Contains(log, ", PROM2, image "), k.bankInSummary) << log;
    EXPECT_EQ(Written(rig.unit, k.flash, 300), Pattern(300));
  }
}

TEST(EntryKinds, TheSerialPromptSpeaksOfTheDeviceWhoseNumberItIs) {
  for (const Kind& k : kKinds) {
    SCOPED_TRACE(k.name);
    Rig rig(Config(k.card, k.module));
    std::string entry, notice;
    rig.host.ScriptFor(resources::kSerialDialog)
        .Do([&](MemoryDialog& d) {
          entry = d.GetText(resources::IDC_SERIAL_ENTRY);
          notice = d.GetText(resources::IDC_SERIAL_NOTICE);
        })
        .Press(2);
    RunSettings settings;
    settings.select = k.entry;
    EXPECT_EQ(rig.Run(std::string(k.options) + "GETSN", settings), RunOutcome::UpdateCancelled);
    EXPECT_EQ(entry, k.device);
    EXPECT_EQ(notice.substr(0, notice.find("  ")), k.prompt);
    EXPECT_EQ(rig.unit.CommittedUnitSerial(), sim::kBlankSerial);
    EXPECT_EQ(rig.unit.CommittedCardSerial(), sim::kBlankSerial);
  }
}

}  // namespace
