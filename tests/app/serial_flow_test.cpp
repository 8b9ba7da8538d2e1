// Serial numbers: the "SN=" option, the serial-number dialog and the
// "GETSN" prompt, written into the unit model.
#include <gtest/gtest.h>

#include "app/serial_number.h"
#include "app/serial_number_dlg.h"
#include "tests/app/update_fixture.h"

namespace {

using namespace workflow_test;
using platform::ui::Icon;

constexpr int kSerialDialog = resources::kSerialDialog;
constexpr int kEdit = resources::IDC_SERIAL_EDIT;

sim::UnitConfig BlankUnitWithCard() {
  sim::UnitConfig config;
  config.serial = sim::kBlankSerial;
  config.card.id = 21;
  return config;
}

bool Contains(const std::string& log, const std::string& text) { return log.find(text) != std::string::npos; }

TEST(SerialOption, PrintedModelCodeIsWrittenAsAnOrvellaNumber) {
  for (const char* token : {"SN=4318120042", "SN=6018120042", "sn=4318120042"}) {
    SCOPED_TRACE(token);
    Rig rig(BlankUnitWithCard());
    EXPECT_EQ(rig.Run(token), RunOutcome::SerialWritten);
    EXPECT_EQ(rig.unit.CommittedUnitSerial(), PackSerialNumber("6018120042"));
    EXPECT_EQ(rig.unit.CommitCount(), 1);
    EXPECT_TRUE(rig.host.Messages().empty());
    EXPECT_TRUE(rig.host.Last(kMainDialog)->ended);
  }
}

TEST(SerialOption, InvalidNumberEndsTheRunBeforeAnyUnitIsSearched) {
  // A mistyped factory number must never be written in part: an eleventh
  // digit or a stray letter refuses the whole value.
  // The message says which rule the value broke.
  struct Case {
    const char* token;
    const char* reason;
  };
  for (const Case c : {
           Case{"SN=6018001234", "The week (characters 5 and 6) must be 01 to 53, not 00."},
           Case{"SN=1218451234", "The model 12 is not one of 15, 26, 32 or 60."},
           Case{"SN=60184", "A serial number has 10 characters; this one has 5."},
           Case{"SN=60184512345", "A serial number has 10 characters; this one has 11."},
           Case{"SN=6018451A34", "Characters 3 to 10 (year, week and unit number) must be digits."},
           Case{"SN=6018-51234", "Characters 3 to 10 (year, week and unit number) must be digits."},
           Case{"SN=6018459999", "The unit number (characters 7 to 10) must be 0001 to 4095, not 9999."},
           Case{"SN=6005651234", "The week (characters 5 and 6) must be 01 to 53, not 65."},
           Case{"SN=6070451234", "The year (characters 3 and 4) must be 01 to 63, not 70."},
           Case{"SN=4318459999", "The unit number (characters 7 to 10) must be 0001 to 4095, not 9999."},
       }) {
    SCOPED_TRACE(c.token);
    Rig rig;
    EXPECT_EQ(rig.Run(c.token), RunOutcome::SerialFailed);
    ASSERT_EQ(rig.host.Messages().size(), 1u);
    EXPECT_EQ(rig.host.Messages()[0].text, std::string("Invalid Serial Number!\n\n") + c.reason);
    EXPECT_EQ(rig.host.Messages()[0].caption, "Orvella(n) Firmware Update");
    EXPECT_EQ(rig.host.Messages()[0].icon, Icon::Warning);
    EXPECT_TRUE(rig.transports.Requests().empty());
    EXPECT_EQ(rig.wiring.opens, 0);
  }
}

TEST(SerialOption, CardModeWritesTheCardsNumber) {
  Rig rig(BlankUnitWithCard());
  EXPECT_EQ(rig.Run("ZSLOT SN=1518451234"), RunOutcome::SerialWritten);
  EXPECT_EQ(rig.unit.CommittedCardSerial(), 0x1526D4D2u);
}

TEST(SerialOption, FailuresEndTheRunAsFailed) {
  struct Case {
    const char* name;
    const char* token;
    std::function<void(Rig&)> arrange;
    const char* message;  // the last message shown
  };
  const Case cases[] = {
      {"commit never confirmed", "SN=6018120042", [](Rig& r) { r.unit.faults().commitNeverConfirmed = true; },
       "Wait for WriteSerialNumber Failed!\nSN=\n\nTIMEOUT\n"},
      {"model of another device", "SN=1518451234", [](Rig&) {},
       "WriteSerialNumber: SerialNumber Model does not match PID!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig(BlankUnitWithCard());
    c.arrange(rig);
    EXPECT_EQ(rig.Run(c.token), RunOutcome::SerialFailed);
    ASSERT_FALSE(rig.host.Messages().empty());
    EXPECT_EQ(rig.host.Messages().back().text, c.message);
    EXPECT_TRUE(rig.host.Last(kMainDialog)->ended);
  }
  Rig rig(BlankUnitWithCard());
  rig.unit.faults().commitNeverConfirmed = true;
  rig.Run("SN=6018120042");
  EXPECT_TRUE(Contains(rig.dir.Log(), "Wait for WriteSerialNumber Failed!\nSN=\n\nTIMEOUT\n"));
}

// The dialog on its own, over no window.
struct DialogRig {
  platform::VirtualClock clock;
  platform::Override<platform::Clock> useClock{clock};
  test_support::ScriptedHost host;
};

TEST(SerialDialog, ShowsTheGivenNumberAndLimitsTheField) {
  DialogRig rig;
  rig.host.ScriptFor(kSerialDialog).Do([](test_support::MemoryDialog& d) {
    EXPECT_EQ(d.GetText(kEdit), "6018451234");
    EXPECT_EQ(d.State().Find(kEdit)->textLimit, 10);
  }).Press(1);
  CGetSerialNumberDlg dialog;
  dialog.m_dwSerialNumber = 0x6026D4D2;
  EXPECT_EQ(dialog.DoModal(nullptr), CGetSerialNumberDlg::kOk);
  EXPECT_EQ(dialog.m_dwSerialNumber, 0x6026D4D2u);
}

TEST(SerialDialog, RefusesWhatIsNotATenDigitValidNumberAndStaysOpen) {
  struct Case {
    const char* typed;
    const char* reason;  // null: accepted
  };
  for (const Case c : {Case{"601845123", "A serial number has 10 characters; this one has 9."},
                       Case{"4318120042", "The model 43 is not one of 15, 26, 32 or 60."},
                       Case{"6018001234", "The week (characters 5 and 6) must be 01 to 53, not 00."},
                       Case{"", "A serial number has 10 characters; this one has 0."},
                       Case{"6018459999", "The unit number (characters 7 to 10) must be 0001 to 4095, not 9999."},
                       Case{"6000451234", "The year (characters 3 and 4) must be 01 to 63, not 00."},
                       Case{"6018451234", nullptr}, Case{"1518451234", nullptr}}) {
    const bool accepted = c.reason == nullptr;
    SCOPED_TRACE(c.typed);
    DialogRig rig;
    bool openAfterOk = false;
    rig.host.ScriptFor(kSerialDialog).Type(kEdit, c.typed).Press(1).Do([&](test_support::MemoryDialog& d) {
      openAfterOk = !d.Ended();
    });
    CGetSerialNumberDlg dialog;
    const int result = dialog.DoModal(nullptr);
    if (accepted) {
      EXPECT_EQ(result, CGetSerialNumberDlg::kOk);
      EXPECT_EQ(dialog.m_dwSerialNumber, PackSerialNumber(c.typed));
      EXPECT_TRUE(rig.host.Messages().empty());
    } else {
      EXPECT_TRUE(openAfterOk);
      EXPECT_EQ(result, CGetSerialNumberDlg::kCancel);  // the script ran out: the user gave up
      ASSERT_EQ(rig.host.Messages().size(), 1u);
      EXPECT_EQ(rig.host.Messages()[0].text, std::string("Invalid Serial Number!\n\n") + c.reason);
      EXPECT_EQ(rig.host.Messages()[0].icon, Icon::Exclamation);
      EXPECT_EQ(rig.host.Messages()[0].ownerTemplate, kSerialDialog);
    }
  }
}

TEST(SerialDialog, TypingPastTheTenthDigitRefusesTheEntryAndEmptiesTheField) {
  // Eleven digits are no serial number: neither their first ten nor any
  // other number is taken, and the next try starts from an empty field.
  DialogRig rig;
  std::string afterOverflow = "unset";
  rig.host.ScriptFor(kSerialDialog)
      .Type(kEdit, "60184512349")
      .Do([&](test_support::MemoryDialog& d) { afterOverflow = d.GetText(kEdit); })
      .Type(kEdit, "6018450042")
      .Press(1);
  CGetSerialNumberDlg dialog;
  EXPECT_EQ(dialog.DoModal(nullptr), CGetSerialNumberDlg::kOk);
  EXPECT_EQ(afterOverflow, "");
  ASSERT_EQ(rig.host.Messages().size(), 1u);
  EXPECT_EQ(rig.host.Messages()[0].text,
            "Invalid Serial Number!\n\nA serial number has 10 characters; more were typed.");
  EXPECT_EQ(dialog.m_dwSerialNumber, PackSerialNumber("6018450042"));
}

TEST(GetSerialNumber, EnteredNumberIsWrittenAndShown) {
  Rig rig(BlankUnitWithCard());
  rig.host.ScriptFor(kSerialDialog).Type(kEdit, "6018451234").Press(1);
  rig.host.ScriptFor(kMainDialog).Do([&](test_support::MemoryDialog& d) {
    EXPECT_EQ(d.GetText(resources::IDC_SERIAL), "6018451234");
    EXPECT_TRUE(d.IsVisible(kUpdate));  // back in the ready state
    EXPECT_EQ(d.GetText(resources::IDC_STATUS), "Writing Serial Number Complete...");
  });
  EXPECT_EQ(rig.Run("GETSN"), RunOutcome::SerialWritten);
  EXPECT_EQ(rig.unit.CommittedUnitSerial(), 0x6026D4D2u);
}

TEST(GetSerialNumber, CancelForTheSecondEntryEndsTheRunAfterTheFirstWasWritten) {
  Rig rig(BlankUnitWithCard());
  rig.host.ScriptFor(kSerialDialog).Type(kEdit, "6018451234").Press(1).Press(2);
  rig.host.ScriptFor(kMainDialog).Select(kUnitList, 1).Do([](test_support::MemoryDialog& d) {
    EXPECT_TRUE(d.Ended());
  });
  // What was written stays written; the run still ends at the cancel.
  EXPECT_EQ(rig.Run("GETSN"), RunOutcome::SerialWritten);
  EXPECT_EQ(rig.unit.CommittedUnitSerial(), 0x6026D4D2u);
  EXPECT_EQ(rig.unit.CommitCount(), 1);
  EXPECT_TRUE(Contains(rig.dir.Log(), "Invalid Serial Number. User Pressed Cancel.\n"));
  int prompts = 0;
  for (const auto& d : rig.host.Dialogs()) prompts += d->tmpl.id == kSerialDialog;
  EXPECT_EQ(prompts, 2);
}

TEST(GetSerialNumber, CancelAtTheFirstPromptWritesNothing) {
  Rig rig(BlankUnitWithCard());
  rig.host.ScriptFor(kSerialDialog).Press(2);
  EXPECT_EQ(rig.Run("GETSN"), RunOutcome::UpdateCancelled);
  EXPECT_EQ(rig.unit.CommitCount(), 0);
  EXPECT_EQ(rig.Sent(codec::kCommitSerial), 0);
}

TEST(GetSerialNumber, UnconfirmedCommitEndsTheRunWithTheDialogText) {
  Rig rig(BlankUnitWithCard());
  rig.unit.faults().commitNeverConfirmed = true;
  rig.host.ScriptFor(kSerialDialog).Type(kEdit, "6018451234").Press(1);
  EXPECT_EQ(rig.Run("GETSN"), RunOutcome::SerialFailed);
  ASSERT_FALSE(rig.host.Messages().empty());
  EXPECT_EQ(rig.host.Messages().back().text, "Wait for WriteSerialNumber Failed!\nUser Dialog\n\nTIMEOUT\n");
  EXPECT_TRUE(Contains(rig.dir.Log(), "Wait for WriteSerialNumber Failed!\nUser Dialog\n\nTIMEOUT\n"));
}

}  // namespace
