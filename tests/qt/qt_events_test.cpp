// What the user does reaches the dialog's logic as the seam promises:
// list selections, typing past a limit, timers, drops, the menu, Esc and
// the close box, message-box answers.
#include <QComboBox>
#include <QDropEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>

#include "app/resources/dialog_templates.h"
#include "platform/qt/qt_dialog.h"
#include "qt_test_env.h"

namespace {

using platform::qt::QtDialogWindow;
using platform::ui::Answer;
using platform::ui::Buttons;
using platform::ui::MessageBoxRequest;
using qt_test::HostScope;
using qt_test::RecordingEvents;

struct MainWindowFixture : ::testing::Test {
  HostScope scope;
  RecordingEvents events;
  std::unique_ptr<platform::ui::DialogWindow> window =
      scope.host.CreateDialog(resources::MainDialogTemplate(), events, nullptr);
  QtDialogWindow& dialog = static_cast<QtDialogWindow&>(*window);
  MainWindowFixture() { events.window = window.get(); }
};

using ComboTest = MainWindowFixture;

TEST_F(ComboTest, ItemDataAndOnlyUserChangesRaiseSelChange) {
  const int model = resources::IDC_MODEL;
  EXPECT_EQ(window->ComboAdd(model, "unit A"), 0);
  EXPECT_EQ(window->ComboAdd(model, "unit B"), 1);
  EXPECT_EQ(window->ComboInsert(model, 1, "card of A"), 1);
  for (int i = 0; i < 3; ++i) window->ComboSetData(model, i, 0x10000u + i);
  window->ComboSetSel(model, 0);
  // Rebuilding the selected entry, as the unit display does, is not a user change.
  window->ComboDelete(model, 0);
  window->ComboInsert(model, 0, "unit A (rebuilt)");
  window->ComboSetData(model, 0, 0x10000u);
  window->ComboSetSel(model, 0);
  qt_test::PumpUntil([] { return false; }, 50);
  EXPECT_TRUE(events.selChanges.empty());
  EXPECT_EQ(window->ComboCount(model), 3);
  EXPECT_EQ(window->ComboText(model, 0), "unit A (rebuilt)");
  EXPECT_EQ(window->ComboText(model, 1), "card of A");
  EXPECT_EQ(window->ComboData(model, 2), 0x10002u);

  auto* combo = qobject_cast<QComboBox*>(dialog.Control(model));
  dialog.Widget()->show();
  combo->setFocus();
  QTest::keyClick(combo, Qt::Key_Down);
  ASSERT_TRUE(qt_test::PumpUntil([&] { return !events.selChanges.empty(); }));
  EXPECT_EQ(events.selChanges, std::vector<int>{model});
  EXPECT_EQ(window->ComboSel(model), 1);
  EXPECT_EQ(window->ComboData(model, window->ComboSel(model)), 0x10001u);
}

TEST(EditField, TypingPastTheLimitRaisesTextLimitAndDigitsOnly) {
  HostScope scope;
  RecordingEvents events;
  auto window = scope.host.CreateDialog(resources::SerialDialogTemplate(), events, nullptr);
  auto& dialog = static_cast<QtDialogWindow&>(*window);
  auto* edit = qobject_cast<QLineEdit*>(dialog.Control(resources::IDC_SERIAL_EDIT));
  ASSERT_NE(edit, nullptr);
  window->SetTextLimit(resources::IDC_SERIAL_EDIT, 10);
  dialog.Widget()->show();
  edit->setFocus();

  QTest::keyClicks(edit, "60a18-4 5");
  EXPECT_EQ(edit->text(), QStringLiteral("601845"));
  QTest::keyClicks(edit, "1234");
  EXPECT_EQ(edit->text(), QStringLiteral("6018451234"));
  EXPECT_TRUE(events.textLimits.empty());
  QTest::keyClicks(edit, "x");  // refused as a non-digit, not as a limit
  EXPECT_TRUE(events.textLimits.empty());
  QTest::keyClicks(edit, "7");
  EXPECT_EQ(events.textLimits, std::vector<int>{resources::IDC_SERIAL_EDIT});
  EXPECT_EQ(edit->text(), QStringLiteral("6018451234"));
  // Typing over a selection stays within the limit.
  edit->setSelection(9, 1);
  QTest::keyClicks(edit, "9");
  EXPECT_EQ(edit->text(), QStringLiteral("6018451239"));
  EXPECT_EQ(events.textLimits.size(), 1u);
}

using TimerTest = MainWindowFixture;

TEST_F(TimerTest, TimersFireUntilKilledAndSetAgainReplaces) {
  window->SetTimer(1, 5);
  window->SetTimer(1, 5);  // the same id replaces, not doubles
  window->SetTimer(7, 5);
  ASSERT_TRUE(qt_test::PumpUntil([&] {
    return std::count(events.timers.begin(), events.timers.end(), 1) >= 3 &&
           std::count(events.timers.begin(), events.timers.end(), 7) >= 1;
  }));
  window->KillTimer(1);
  window->KillTimer(7);
  events.timers.clear();
  qt_test::PumpUntil([] { return false; }, 60);
  EXPECT_TRUE(events.timers.empty());
}

TEST_F(TimerTest, PumpOneDeliversTimersAndPostedEventsWithoutWaiting) {
  int posted = 0;
  window->SetTimer(3, 1);
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < 2000 && (events.timers.empty() || posted == 0)) {
    if (posted == 0) QMetaObject::invokeMethod(dialog.Widget(), [&] { ++posted; }, Qt::QueuedConnection);
    platform::PumpOneMessage();
  }
  EXPECT_FALSE(events.timers.empty());
  EXPECT_EQ(posted, 1);
  window->KillTimer(3);
  // With nothing due, a pass returns at once.
  qt_test::PumpUntil([] { return false; }, 20);
  QElapsedTimer idle;
  idle.start();
  for (int i = 0; i < 100; ++i) platform::PumpOneMessage();
  EXPECT_LT(idle.elapsed(), 500);
}

using CloseTest = MainWindowFixture;

TEST_F(CloseTest, EscAndTheCloseBoxAskTheLogicWhicheverButtonsAreShown) {
  // The host no longer decides from the buttons shown: the logic hears the
  // request (by default as Cancel) and may refuse it with a reason.
  int closes = 0;
  events.onClose = [&] { ++closes; };
  events.endOnClose = false;
  dialog.Widget()->show();
  QTest::keyClick(dialog.Widget(), Qt::Key_Escape);
  dialog.Widget()->close();
  window->Show(1, false);
  window->Show(2, false);
  QTest::keyClick(dialog.Widget(), Qt::Key_Escape);
  dialog.Widget()->close();
  EXPECT_EQ(closes, 4);
  EXPECT_TRUE(events.commands.empty());
  EXPECT_TRUE(dialog.Widget()->isVisible());
}

TEST_F(CloseTest, ButtonsRaiseTheirIdsAndRunModalReturnsTheResult) {
  events.onInit = [&] {
    QTimer::singleShot(0, [&] { qobject_cast<QPushButton*>(dialog.Control(resources::IDC_UPDATE))->click(); });
    QTimer::singleShot(10, [&] { qobject_cast<QPushButton*>(dialog.Control(2))->click(); });
  };
  EXPECT_EQ(window->RunModal(), 2);
  EXPECT_EQ(events.commands, (std::vector<int>{resources::IDC_UPDATE, 2}));
  EXPECT_FALSE(dialog.Widget()->isVisible());
}

TEST_F(CloseTest, InitFailureOrEndDialogDuringInitNeverShowsTheWindow) {
  events.initResult = false;
  EXPECT_EQ(window->RunModal(), 0);
  events.initResult = true;
  events.onInit = [&] { window->EndDialog(5); };
  EXPECT_EQ(window->RunModal(), 5);
  EXPECT_FALSE(dialog.Widget()->isVisible());
}

using DropTest = MainWindowFixture;

TEST_F(DropTest, DroppedLocalFilesReachTheLogicInOrder) {
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile("/tmp/ORV96_0110.BIN"), QUrl("http://example.invalid/x"),
                QUrl::fromLocalFile("/tmp/second file.bin")});
  dialog.Widget()->show();
  QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(dialog.Widget(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(dialog.Widget(), &drop);
  ASSERT_TRUE(qt_test::PumpUntil([&] { return !events.drops.empty(); }));
  EXPECT_EQ(events.drops[0], (std::vector<std::string>{"/tmp/ORV96_0110.BIN", "/tmp/second file.bin"}));
  EXPECT_TRUE(dialog.Widget()->acceptDrops());
}

using MenuTest = MainWindowFixture;

TEST_F(MenuTest, TheAboutEntryRaisesItsSystemCommand) {
  EXPECT_EQ(dialog.Widget()->BuildMenu(), nullptr);
  window->AddSystemMenuItem(16, "&About Orvella(n) Firmware Update...");
  QMenu* menu = dialog.Widget()->BuildMenu();
  ASSERT_NE(menu, nullptr);
  QAction* about = nullptr;
  for (QAction* action : menu->actions())
    if (!action->isSeparator()) about = action;
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(about->text(), QStringLiteral("&About Orvella(n) Firmware Update..."));
  about->trigger();
  EXPECT_EQ(events.sysCommands, std::vector<int>{16});
}

TEST(MessageBoxes, AnswersFollowTheButtonPressedAndTheDefault) {
  HostScope scope;
  struct Case {
    Buttons buttons;
    int defaultButton;
    int key;  // what the user presses
    Answer expected;
  } cases[] = {
      {Buttons::Ok, 0, Qt::Key_Return, Answer::Ok},
      {Buttons::Ok, 0, Qt::Key_Escape, Answer::Ok},
      {Buttons::OkCancel, 1, Qt::Key_Return, Answer::Cancel},
      {Buttons::OkCancel, 0, Qt::Key_Return, Answer::Ok},
      {Buttons::OkCancel, 0, Qt::Key_Escape, Answer::Cancel},
  };
  for (const Case& c : cases) {
    QString caption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      caption = box->windowTitle();
      icon = box->icon();
      QTest::keyClick(box, static_cast<Qt::Key>(c.key));
    });
    MessageBoxRequest request{"About to program", "Firmware Update Confirmation", c.buttons,
                              platform::ui::Icon::Exclamation, c.defaultButton};
    EXPECT_EQ(scope.host.MessageBox(request), c.expected) << c.key << " default " << c.defaultButton;
    EXPECT_EQ(caption, QStringLiteral("Firmware Update Confirmation"));
    EXPECT_EQ(icon, QMessageBox::Warning);
  }
}

TEST(MessageBoxes, TheHookAnswersWithoutABoxAndNoCaptionSaysError) {
  HostScope scope;
  std::vector<MessageBoxRequest> seen;
  scope.host.SetMessageBoxHook([&](const MessageBoxRequest& r) {
    seen.push_back(r);
    return std::optional<Answer>(seen.size() == 1 ? Answer::Cancel : Answer::Ok);
  });
  EXPECT_EQ(platform::ui::ShowMessage("Question?", "Caption", Buttons::OkCancel), Answer::Cancel);
  EXPECT_EQ(platform::ui::ShowMessage("Note", std::nullopt), Answer::Ok);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].caption, "Caption");
  scope.host.SetMessageBoxHook(nullptr);

  QString caption;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    caption = box->windowTitle();
    box->button(QMessageBox::Ok)->click();
  });
  platform::ui::ShowMessage("GetVersionEx Failed!", std::nullopt, Buttons::Ok, platform::ui::Icon::Warning);
  EXPECT_EQ(caption, QStringLiteral("Error"));
}

TEST(WaitCursor, NestedWaitsRestoreInOrder) {
  HostScope scope;
  scope.host.SetWaitCursor(true);
  scope.host.SetWaitCursor(true);
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  scope.host.SetWaitCursor(false);
  EXPECT_NE(QApplication::overrideCursor(), nullptr);
  scope.host.SetWaitCursor(false);
  scope.host.SetWaitCursor(false);  // one restore too many does no harm
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

}  // namespace
