// The update window's own logic on the Qt host: the display states, the
// serial-number dialog and the about box reached from the window's menu.
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <set>

#include "app/dialog_states.h"
#include "app/reflash_dlg.h"
#include "app/resources/dialog_templates.h"
#include "app/serial_number.h"
#include "app/serial_number_dlg.h"
#include "platform/qt/qt_dialog.h"
#include "qt_test_env.h"
#include "simulated_units.h"

namespace {

using platform::qt::QtDialogWindow;
using platform::ui::Answer;
using platform::ui::MessageBoxRequest;
using namespace resources;

struct DisplayStates : ::testing::Test {
  qt_test::HostScope scope;
  qt_test::RecordingEvents events;
  std::unique_ptr<platform::ui::DialogWindow> window = scope.host.CreateDialog(MainDialogTemplate(), events, nullptr);
  QtDialogWindow* dialog = static_cast<QtDialogWindow*>(window.get());
  std::set<int> VisibleIds() {
    std::set<int> ids;
    for (const auto& c : MainDialogTemplate().controls)
      if (c.id != platform::ui::kNoId && window->IsVisible(c.id)) ids.insert(c.id);
    return ids;
  }
};

TEST_F(DisplayStates, EachStateShowsItsControls) {
  const std::set<int> details = {IDC_MODEL,         IDC_SERIAL_LABEL,  IDC_SERIAL, IDC_MFG_DATE_LABEL,
                                 IDC_MFG_DATE,      IDC_PCB_REV_LABEL, IDC_PCB_REV, IDC_FW_VERSION,
                                 IDC_FW_DATE,       IDC_NEW_FW_VERSION, IDC_NEW_FW_DATE, IDC_PROM_LABEL,
                                 IDC_PROM};
  auto with = [&](std::initializer_list<int> more) {
    std::set<int> ids = details;
    ids.insert(more);
    return ids;
  };
  struct Case {
    int state;
    std::set<int> visible;
  } cases[] = {
      {kStateBusy, with({IDC_DONT_INTERRUPT, IDC_STATUS, IDC_PROGRESS})},
      {kStateDone, with({IDC_CONGRATULATIONS, IDOK_CLOSE})},
      {kStateReady, with({IDC_NOTICE1, IDC_NOTICE2, IDC_NOTICE3, IDCANCEL_BUTTON, IDC_UPDATE})},
      {3, with({IDC_NOTICE1, IDC_NOTICE2, IDC_NOTICE3, IDCANCEL_BUTTON, IDC_UPDATE})},  // changes nothing
  };
  for (const Case& c : cases) {
    ShowDialogState(*window, c.state);
    EXPECT_EQ(VisibleIds(), c.visible) << "state " << c.state;
    // The labels without an id are never touched.
    for (QLabel* child : dialog->Widget()->findChildren<QLabel*>()) {
      if (child->text().endsWith(':')) {
        EXPECT_FALSE(child->isHidden());
      }
    }
  }
}

using AboutBox = qt_test::SimulatedUnitsTest;

TEST_F(AboutBox, OpensFromTheWindowMenuAndClosesWithOk) {
  InstallUnits("", [](const MessageBoxRequest&) { return Answer::Ok; });
  std::string menuText;
  std::vector<int> shown;
  QString caption;
  scope.host.SetShownHook([&](QtDialogWindow& d) {
    if (d.TemplateId() == kAboutDialog) {
      shown.push_back(d.TemplateId());
      caption = d.Widget()->windowTitle();
      EXPECT_FALSE(d.IsTopLevel());
      EXPECT_TRUE(d.Widget()->isModal());
      qobject_cast<QPushButton*>(d.Control(1))->click();
      return;
    }
    // The about entry comes last, after its separator.
    QMenu* menu = d.Widget()->BuildMenu();
    ASSERT_TRUE(menu != nullptr && !menu->actions().isEmpty());
    QAction* about = menu->actions().last();
    menuText = about->text().toStdString();
    about->trigger();  // returns once the box has been closed
    d.Command(IDCANCEL_BUTTON);
  });
  CReflashDlg dlg("");
  EXPECT_EQ(dlg.DoModal(), IDCANCEL_BUTTON);
  EXPECT_EQ(menuText, LoadString(kAboutMenuString));
  EXPECT_EQ(shown, std::vector<int>{kAboutDialog});
  EXPECT_EQ(caption, QStringLiteral("About Orvella(n) Update"));
}

TEST(SerialDialog, NineDigitsStayOpenAndAnEleventhCharacterRefusesTheEntry) {
  qt_test::HostScope scope;
  std::vector<std::string> messages;
  scope.host.SetMessageBoxHook([&](const MessageBoxRequest& r) {
    messages.push_back(r.text);
    return std::optional<Answer>(Answer::Ok);
  });
  std::vector<std::string> stillOpen;
  scope.host.SetShownHook([&](QtDialogWindow& d) {
    ASSERT_EQ(d.TemplateId(), kSerialDialog);
    auto* edit = qobject_cast<QLineEdit*>(d.Control(IDC_SERIAL_EDIT));
    auto* ok = qobject_cast<QPushButton*>(d.Control(1));
    edit->setFocus();
    QTest::keyClicks(edit, "601845123");
    ok->click();  // nine digits: refused
    if (d.IsRunning()) stillOpen.push_back("after nine");
    QTest::keyClicks(edit, "4");  // ten: nothing happens yet
    if (d.IsRunning()) stillOpen.push_back("after ten");
    QTest::keyClicks(edit, "5");  // the eleventh: refused, the field emptied
    if (d.IsRunning()) stillOpen.push_back("after eleven");
    if (edit->text().isEmpty()) stillOpen.push_back("emptied");
    QTest::keyClicks(edit, "6018451234");
    ok->click();
  });
  CGetSerialNumberDlg serial;
  EXPECT_EQ(serial.DoModal(nullptr), CGetSerialNumberDlg::kOk);
  EXPECT_EQ(messages, (std::vector<std::string>{
                          "Invalid Serial Number!\n\nA serial number has 10 characters; this one has 9.",
                          "Invalid Serial Number!\n\nA serial number has 10 characters; more were typed."}));
  EXPECT_EQ(stillOpen, (std::vector<std::string>{"after nine", "after ten", "after eleven", "emptied"}));
  EXPECT_EQ(serial.m_dwSerialNumber, PackSerialNumber("6018451234"));
}

TEST(SerialDialog, ShowsTheGivenNumberAndCancelCloses) {
  qt_test::HostScope scope;
  std::string shownText;
  scope.host.SetShownHook([&](QtDialogWindow& d) {
    shownText = qobject_cast<QLineEdit*>(d.Control(IDC_SERIAL_EDIT))->text().toStdString();
    QTest::keyClick(d.Widget(), Qt::Key_Escape);
  });
  CGetSerialNumberDlg serial;
  serial.m_dwSerialNumber = PackSerialNumber("6018451234");
  EXPECT_EQ(serial.DoModal(nullptr), CGetSerialNumberDlg::kCancel);
  EXPECT_EQ(shownText, "6018451234");
}

}  // namespace
