// The whole window on the Qt host against simulated units: a full update
// keeps the window alive, Cancel in the confirmation programs nothing, a
// selection re-runs the details, a dropped image replaces the new version
// until another entry is selected.
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QProgressBar>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>
#include <algorithm>
#include <set>

#include "app/reflash_dlg.h"
#include "app/resources/dialog_templates.h"
#include "platform/qt/qt_dialog.h"
#include "simulated_units.h"

namespace {

namespace ui = platform::ui;
using platform::qt::QtDialogWindow;
using namespace resources;

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
 public:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
  int paints = 0;
};

struct SimulatedWindow : qt_test::SimulatedUnitsTest {
  ui::Answer questionAnswer = ui::Answer::Ok;
  CReflashDlg dlg{""};

  void Start(const std::string& name) {
    InstallUnits(name, [this](const ui::MessageBoxRequest& r) {
      return r.buttons == ui::Buttons::OkCancel ? questionAnswer : ui::Answer::Ok;
    });
  }
  // Runs the window; `script` runs once it is shown, then the window closes.
  int Run(const std::function<void(QtDialogWindow&)>& script) {
    scope.host.SetShownHook([&](QtDialogWindow& d) {
      if (d.TemplateId() != kMainDialog) return;
      script(d);
      d.Command(IDOK_CLOSE);
    });
    return dlg.DoModal();
  }
  bool Shown(QtDialogWindow& d, int id) { return d.IsVisible(id); }
};

TEST_F(SimulatedWindow, FullUpdateKeepsTheWindowAliveAndEndsDone) {
  Start("");
  PaintCounter barPaints;
  int ticksWhileBusy = 0, postedWhileBusy = 0;
  std::set<int> positions;
  std::set<std::string> barTexts;
  bool busySeen = false;
  Run([&](QtDialogWindow& d) {
    auto* bar = qobject_cast<QProgressBar*>(d.Control(IDC_PROGRESS));
    bar->installEventFilter(&barPaints);
    QObject::connect(bar, &QProgressBar::valueChanged, [&](int v) {
      positions.insert(v);
      if (bar->isTextVisible()) barTexts.insert(bar->text().toStdString());
    });
    // A timer and a stream of posted events that only count while busy.
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
      if (d.IsVisible(IDC_PROGRESS)) ++ticksWhileBusy;
    });
    ticker.start(0);
    std::function<void()> post = [&] {
      if (d.IsVisible(IDC_PROGRESS)) {
        busySeen = true;
        ++postedWhileBusy;
      }
      if (postedWhileBusy < 1000) QMetaObject::invokeMethod(d.Widget(), post, Qt::QueuedConnection);
    };
    post();
    EXPECT_TRUE(d.IsVisible(IDC_UPDATE));
    d.Command(IDC_UPDATE);  // returns when the update has ended
    ticker.stop();
    postedWhileBusy = 1000;
    // Done: only the list, the details, the congratulations and Close.
    EXPECT_TRUE(d.IsVisible(IDC_CONGRATULATIONS));
    EXPECT_TRUE(d.IsVisible(IDOK_CLOSE));
    for (int id : {IDC_NOTICE1, IDC_NOTICE2, IDC_NOTICE3, IDC_DONT_INTERRUPT, IDC_STATUS, IDC_PROGRESS,
                   IDCANCEL_BUTTON, IDC_UPDATE})
      EXPECT_FALSE(d.IsVisible(id)) << id;
  });
  EXPECT_EQ(dlg.Outcome(), RunOutcome::UpdateSucceeded);
  EXPECT_TRUE(busySeen);
  EXPECT_GT(ticksWhileBusy, 10);
  EXPECT_GT(postedWhileBusy, 10);
  EXPECT_GT(barPaints.paints, 2);
  EXPECT_GT(positions.size(), 10u);
  EXPECT_GE(*positions.rbegin(), 90);
  // The bar tells how long the phase has run and, once under way, how long it has left.
  ASSERT_FALSE(barTexts.empty());
  EXPECT_TRUE(std::any_of(barTexts.begin(), barTexts.end(), [](const std::string& t) {
    return t.find("elapsed, about ") != std::string::npos && t.find(" left") != std::string::npos;
  }));
  ASSERT_FALSE(asked.empty());
  EXPECT_EQ(asked.back().caption, "Firmware Update Confirmation");
}

TEST_F(SimulatedWindow, CancelInTheConfirmationProgramsNothing) {
  Start("");
  questionAnswer = ui::Answer::Cancel;
  Run([&](QtDialogWindow& d) {
    d.Command(IDC_UPDATE);
    EXPECT_TRUE(d.IsVisible(IDC_UPDATE));
    EXPECT_TRUE(d.IsVisible(IDC_NOTICE1));
    EXPECT_FALSE(d.IsVisible(IDC_PROGRESS));
  });
  EXPECT_EQ(scenario->Units()[0]->PacketsAccepted(), 0);
  EXPECT_NE(dlg.Outcome(), RunOutcome::UpdateSucceeded);
  ASSERT_FALSE(asked.empty());
  EXPECT_EQ(asked.back().buttons, ui::Buttons::OkCancel);
  EXPECT_EQ(asked.back().defaultButton, 1);  // Cancel is the default
}

TEST_F(SimulatedWindow, SelectionAndDropChangeTheNewImage) {
  Start("two-units-card");
  const QString folder = QDir::tempPath() + "/reflash-qt-drop-" + QString::number(QCoreApplication::applicationPid());
  QDir().mkpath(folder);
  const QString image = folder + "/NBT0205ANC.BIN";
  {
    QFile file(image);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, '\x5a'));
    file.flush();
    file.setFileTime(QDateTime(QDate(2019, 3, 15), QTime(12, 0), Qt::UTC), QFileDevice::FileModificationTime);
  }
  auto select = [&](QtDialogWindow& d, int index) {
    auto* combo = qobject_cast<QComboBox*>(d.Control(IDC_MODEL));
    combo->setFocus();
    while (combo->currentIndex() < index) QTest::keyClick(combo, Qt::Key_Down);
    while (combo->currentIndex() > index) QTest::keyClick(combo, Qt::Key_Up);
  };
  Run([&](QtDialogWindow& d) {
    ASSERT_EQ(d.ComboCount(IDC_MODEL), 3);
    EXPECT_EQ(d.GetText(IDC_NEW_FW_VERSION), "1.10");
    EXPECT_TRUE(d.IsVisible(IDC_PROM));

    // The card entry: its own image, no PROM row.
    select(d, 1);
    ASSERT_TRUE(qt_test::PumpUntil([&] { return d.GetText(IDC_NEW_FW_VERSION) == "1.2"; }));
    EXPECT_FALSE(d.IsVisible(IDC_PROM));
    EXPECT_TRUE(d.IsVisible(IDC_SERIAL));

    // Back on the first unit, a dropped main-unit image replaces version and date.
    select(d, 0);
    ASSERT_TRUE(qt_test::PumpUntil([&] { return d.GetText(IDC_NEW_FW_VERSION) == "1.10"; }));
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(image)});
    QDragEnterEvent enter(QPoint(30, 30), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(d.Widget(), &enter);
    QDropEvent drop(QPointF(30, 30), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(d.Widget(), &drop);
    ASSERT_TRUE(qt_test::PumpUntil([&] { return d.GetText(IDC_NEW_FW_VERSION) == "2.5"; }));
    EXPECT_EQ(d.GetText(IDC_NEW_FW_DATE), "Mar 15, 2019");

    // Another entry brings the built-in image back.
    select(d, 2);
    ASSERT_TRUE(qt_test::PumpUntil([&] { return d.GetText(IDC_NEW_FW_VERSION) == "1.10"; }));
    EXPECT_EQ(d.GetText(IDC_NEW_FW_DATE), "Nov 02, 2018");
  });
  QDir(folder).removeRecursively();
}

}  // namespace
