// The window driven as a person at the keyboard drives it, against
// simulated units: after a success no key starts anything but Close, the
// keyboard stays where it was after a selection, closing during a run is
// refused with a note, long entries are elided with the whole text as a
// tooltip, the serial-number prompt sits on the window and names its entry,
// and the menu opens from the keyboard.
#include <QAbstractItemView>
#include <QComboBox>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <gtest/gtest.h>

#include "app/reflash_app.h"
#include "app/reflash_dlg.h"
#include "app/resources/dialog_templates.h"
#include "platform/qt/qt_controls.h"
#include "platform/qt/qt_dialog.h"
#include "simulated_units.h"

namespace {

namespace ui = platform::ui;
using platform::qt::QtDialogWindow;
using namespace resources;

struct KeyboardWindow : qt_test::SimulatedUnitsTest {
  std::unique_ptr<CReflashDlg> dlg;
  // The main window, once shown.
  QtDialogWindow* main = nullptr;
  // Answers the serial-number prompt, when one opens.
  std::function<void(QtDialogWindow&)> onPrompt;

  // Runs the window on `name` with `commandLine`; `script` runs once the
  // main window is shown, with the keyboard in the window.
  int Run(const std::string& name, const std::string& commandLine,
          const std::function<void(QtDialogWindow&)>& script) {
    InstallUnits(name, [](const ui::MessageBoxRequest&) { return ui::Answer::Ok; });
    scope.host.SetShownHook([this, script](QtDialogWindow& d) {
      if (d.TemplateId() == kSerialDialog && onPrompt) onPrompt(d);
      if (d.TemplateId() != kMainDialog) return;
      main = &d;
      WhenRunning(d, script);
    });
    dlg = std::make_unique<CReflashDlg>(commandLine);
    return dlg->DoModal();
  }
  // The main window may be shown before its own modal run (a prompt that
  // opens at start shows it): the script waits for the run.
  void WhenRunning(QtDialogWindow& d, std::function<void(QtDialogWindow&)> script) {
    if (!d.IsRunning()) {
      QTimer::singleShot(10, d.Widget(), [this, &d, script] { WhenRunning(d, script); });
      return;
    }
    d.Widget()->activateWindow();
    script(d);
    if (d.IsRunning()) d.Command(IDCANCEL_BUTTON);
  }
  static QWidget* Focus(QtDialogWindow& d) { return d.Widget()->focusWidget(); }
  int Questions() const {
    return static_cast<int>(std::count_if(asked.begin(), asked.end(),
                                          [](const ui::MessageBoxRequest& r) { return r.buttons == ui::Buttons::OkCancel; }));
  }
};

TEST_F(KeyboardWindow, AfterASuccessOnlyCloseAnswersTheKeys) {
  int packetsAfterRun = -1;
  const int result = Run("", "", [&](QtDialogWindow& d) {
    auto* update = qobject_cast<QPushButton*>(d.Control(IDC_UPDATE));
    update->setFocus();
    QTest::keyClick(update, Qt::Key_Space);  // returns when the run has ended
    ASSERT_TRUE(d.IsVisible(IDC_CONGRATULATIONS));
    packetsAfterRun = scenario->Units()[0]->PacketsAccepted();
    // The keyboard is on Close, not on the hidden Update button.
    EXPECT_EQ(Focus(d), d.Control(IDOK_CLOSE));
    // Keys that reach the hidden button anyway start nothing.
    QTest::keyClick(update, Qt::Key_Space);
    QTest::keyClick(update, Qt::Key_Return);
    EXPECT_EQ(Questions(), 1);
    ASSERT_TRUE(d.IsRunning());
    // Enter in the window presses Close.
    QTest::keyClick(Focus(d), Qt::Key_Return);
    EXPECT_FALSE(d.IsRunning());
  });
  EXPECT_EQ(result, IDOK_CLOSE);
  EXPECT_EQ(dlg->Outcome(), RunOutcome::UpdateSucceeded);
  EXPECT_EQ(scenario->Units()[0]->PacketsAccepted(), packetsAfterRun);
}

TEST_F(KeyboardWindow, TheKeyboardStaysInTheListAfterASelection) {
  std::vector<std::string> serials;
  Run("two-units-card", "", [&](QtDialogWindow& d) {
    auto* list = qobject_cast<QComboBox*>(d.Control(IDC_MODEL));
    list->setFocus();
    for (int entry = 1; entry <= 2; ++entry) {
      // Each arrow goes to the list the keyboard is in, not to Cancel. The
      // entries' serial numbers differ: a new one says the entry is shown.
      const std::string before = d.GetText(IDC_SERIAL);
      QTest::keyClick(Focus(d), Qt::Key_Down);
      ASSERT_TRUE(qt_test::PumpUntil([&] { return d.Widget()->isEnabled() && list->isEnabled() &&
                                                  list->currentIndex() == entry && d.GetText(IDC_SERIAL) != before; }));
      EXPECT_EQ(Focus(d), list) << entry;
      serials.push_back(d.GetText(IDC_SERIAL));
    }
  });
  EXPECT_EQ(serials, (std::vector<std::string>{"1518400077", "6018451235"}));
}

TEST_F(KeyboardWindow, ClosingDuringTheRunLeavesItRunningAndSaysWhy) {
  QString noteText;
  bool stillRunning = false;
  Run("", "", [&](QtDialogWindow& d) {
    auto* bar = qobject_cast<QProgressBar*>(d.Control(IDC_PROGRESS));
    QObject::connect(bar, &QProgressBar::valueChanged, [&](int value) {
      if (value < 30 || !noteText.isEmpty() || !d.IsVisible(IDC_PROGRESS)) return;
      QTest::keyClick(d.Widget(), Qt::Key_Escape);
      d.Widget()->close();  // the close box and Alt+F4
      stillRunning = d.IsRunning() && d.Widget()->isVisible();
      if (QMessageBox* note = d.Note(); note && note->isVisible()) noteText = note->text();
    });
    d.Command(IDC_UPDATE);
    // The note belonged to the run; the run is over.
    EXPECT_TRUE(d.Note() == nullptr || !d.Note()->isVisible());
    EXPECT_TRUE(d.IsVisible(IDC_CONGRATULATIONS));
  });
  EXPECT_TRUE(stillRunning);
  EXPECT_EQ(dlg->Outcome(), RunOutcome::UpdateSucceeded);
  EXPECT_TRUE(noteText.contains("is being updated. The window cannot be closed")) << noteText.toStdString();
  EXPECT_TRUE(noteText.contains(" elapsed, about ")) << noteText.toStdString();
  EXPECT_TRUE(noteText.contains(" left.")) << noteText.toStdString();
}

TEST(LongEntries, AreElidedWithTheWholeTextAsTooltip) {
  qt_test::HostScope scope;
  qt_test::RecordingEvents events;
  auto window = scope.host.CreateDialog(MainDialogTemplate(), events, nullptr);
  auto& dialog = static_cast<QtDialogWindow&>(*window);
  const std::string unit = "Orvella(n) connected via Dante (192.168.77.123)";
  const std::string card = "ZI-RERAR in Orvella(n) connected via Dante (192.168.77.123)";
  window->ComboAdd(IDC_MODEL, unit);
  window->ComboAdd(IDC_MODEL, card);
  window->ComboSetSel(IDC_MODEL, 0);
  auto* list = dynamic_cast<platform::qt::ElidingCombo*>(dialog.Control(IDC_MODEL));
  ASSERT_NE(list, nullptr);
  dialog.Widget()->show();
  list->setFocus();
  QTest::keyClick(list, Qt::Key_Down);
  ASSERT_EQ(list->currentIndex(), 1);
  // The closed list marks what it cannot show; the tooltip has it all.
  const QString shown = list->DisplayedText();
  EXPECT_TRUE(shown.endsWith(QChar(0x2026))) << shown.toStdString();
  EXPECT_TRUE(QString::fromStdString(card).startsWith(shown.chopped(1)));
  EXPECT_EQ(list->toolTip().toStdString(), card);
  QHelpEvent hover(QEvent::ToolTip, QPoint(10, 5), list->mapToGlobal(QPoint(10, 5)));
  QCoreApplication::sendEvent(list, &hover);
  EXPECT_EQ(QToolTip::text().toStdString(), card);
  QToolTip::hideText();
  // Opened from the keyboard, the list is wide enough for every entry.
  QTest::keyClick(list, Qt::Key_F4);
  ASSERT_TRUE(qt_test::PumpUntil([&] { return list->view()->isVisible(); }));
  EXPECT_GE(list->view()->width(), list->view()->fontMetrics().horizontalAdvance(QString::fromStdString(card)));
  QTest::keyClick(list->view(), Qt::Key_Escape);
  // A short entry is shown whole.
  window->ComboAdd(IDC_MODEL, "Unit 3");
  window->ComboSetSel(IDC_MODEL, 2);
  EXPECT_EQ(list->DisplayedText(), QStringLiteral("Unit 3"));
}

TEST_F(KeyboardWindow, TheSerialPromptSitsOnTheWindowAndNamesTheEntry) {
  struct Prompt {
    QPoint offCentre;
    std::string entry, notice, windowSerial, listText;
    bool windowShown;
  };
  std::vector<Prompt> prompts;
  const char* const numbers[] = {"6018451234", "1518400077"};
  onPrompt = [&](QtDialogWindow& d) {
    ASSERT_NE(main, nullptr);  // the prompt's owner is shown first
    prompts.push_back({d.Widget()->frameGeometry().center() - main->Widget()->frameGeometry().center(),
                       d.GetText(IDC_SERIAL_ENTRY), d.GetText(IDC_SERIAL_NOTICE), main->GetText(IDC_SERIAL),
                       main->GetText(IDC_MODEL), main->Widget()->isVisible()});
    auto* edit = qobject_cast<QLineEdit*>(d.Control(IDC_SERIAL_EDIT));
    edit->setFocus();
    QTest::keyClicks(edit, numbers[std::min<size_t>(prompts.size() - 1, 1)]);
    QTest::keyClick(edit, Qt::Key_Return);  // the default button: OK
  };
  Run("two-units-card", "GETSN", [&](QtDialogWindow& d) {
    auto* list = qobject_cast<QComboBox*>(d.Control(IDC_MODEL));
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Down);  // the card entry
    ASSERT_TRUE(qt_test::PumpUntil([&] { return prompts.size() == 2 && list->isEnabled(); }));
    EXPECT_EQ(d.GetText(IDC_SERIAL), "1518400077");
  });
  ASSERT_EQ(prompts.size(), 2u);
  for (const Prompt& p : prompts) {
    EXPECT_TRUE(p.windowShown);
    EXPECT_LE(std::abs(p.offCentre.x()) + std::abs(p.offCentre.y()), 2) << p.offCentre.x() << "," << p.offCentre.y();
    EXPECT_EQ(p.entry, p.listText);
  }
  // Behind each prompt the window already shows the device it asks about.
  EXPECT_EQ(prompts[0].windowSerial, "6018451234");
  EXPECT_EQ(prompts[1].windowSerial, "1518400077");
  EXPECT_TRUE(prompts[1].notice.find("Your ZI-RERAR card holds the Serial Number 1518400077.") == 0)
      << prompts[1].notice;
  EXPECT_EQ(dlg->Outcome(), RunOutcome::SerialWritten);
}

TEST_F(KeyboardWindow, TheMenuKeysOpenTheAboutBoxWithTheProgramVersion) {
  std::string version;
  onPrompt = nullptr;
  Run("", "", [&](QtDialogWindow& d) {
    scope.host.SetShownHook([&](QtDialogWindow& about) {
      if (about.TemplateId() != kAboutDialog) return;
      for (QLabel* label : about.Widget()->findChildren<QLabel*>())
        if (label->text().startsWith("reflash ")) version = label->text().toStdString();
      QTest::keyClick(about.Widget(), Qt::Key_Return);
    });
    for (const auto& [key, modifiers] : {std::pair{Qt::Key_F10, Qt::ShiftModifier}, std::pair{Qt::Key_Menu, Qt::NoModifier}}) {
      version.clear();
      QTest::keyClick(Focus(d), key, modifiers);
      QMenu* menu = d.Widget()->BuildMenu();
      ASSERT_TRUE(menu != nullptr && menu->isVisible()) << key;
      QTest::keyClick(menu, Qt::Key_Down);
      QTest::keyClick(menu, Qt::Key_Return);  // returns once the about box is closed
      ASSERT_TRUE(qt_test::PumpUntil([&] { return !version.empty(); })) << key;
      EXPECT_EQ(version, ProgramVersion());
    }
  });
}

}  // namespace
