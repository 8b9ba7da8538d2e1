// Templates become widgets at the right places: dialog units follow the
// font actually used, the window has a fixed size, controls start with the
// template's visibility.
#include <QComboBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <gtest/gtest.h>

#include "app/resources/dialog_templates.h"
#include "platform/qt/qt_dialog.h"
#include "platform/qt/qt_fonts.h"
#include "platform/qt/qt_units.h"
#include "qt_test_env.h"

namespace {

using platform::qt::BaseUnits;
using platform::qt::DialogUnitsToPixels;
using platform::qt::QtDialogWindow;
using platform::ui::ControlKind;

TEST(DialogUnits, ScaleByQuarterWidthAndEighthHeightRounded) {
  struct Case {
    BaseUnits units;
    int x, y, w, h;
    QRect expected;
  } cases[] = {
      {{5, 13}, 330, 166, 330, 166, QRect(413, 270, 413, 270)},  // 412.5 -> 413, 269.75 -> 270
      {{5, 13}, 7, 9, 90, 8, QRect(9, 15, 113, 13)},            // 8.75, 14.6, 112.5, 13
      {{6, 14}, 100, 7, 210, 160, QRect(150, 12, 315, 280)},
      {{4, 8}, 1, 1, 0, 0, QRect(1, 1, 0, 0)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DialogUnitsToPixels(c.units, c.x, c.y, c.w, c.h), c.expected) << c.units.charWidth << "x"
                                                                           << c.units.charHeight;
  }
}

TEST(DialogUnits, BaseUnitsComeFromTheFontInUse) {
  qt_test::App();
  const QFont font = platform::qt::DialogFont("Tahoma", 8);
  const BaseUnits units = platform::qt::MeasureBaseUnits(font);
  QFontMetrics metrics(font);
  const int letters = metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  EXPECT_EQ(units.charWidth, (letters / 26 + 1) / 2);
  EXPECT_GE(units.charHeight, metrics.height());
  // Tahoma's cell is 13 pixels at 8 points, as the dialog manager counts it
  // (Qt's own height follows the smaller typographic metrics).
  if (platform::qt::LoadTahoma()) {
    EXPECT_EQ(units.charHeight, 13);
  }
  // Any sans font lands near Tahoma's 5 x 13.
  EXPECT_GE(units.charWidth, 4);
  EXPECT_LE(units.charWidth, 7);
  EXPECT_GE(units.charHeight, 11);
  EXPECT_LE(units.charHeight, 16);
}

TEST(DialogFonts, UnknownFamiliesFallBackAndBoldFitsItsCell) {
  qt_test::App();
  const QFont about = platform::qt::DialogFont("MS Sans Serif", 8);
  EXPECT_EQ(about.pixelSize(), 11);
  EXPECT_TRUE(QFontInfo(about).exactMatch() || !about.family().isEmpty());
  const QFont bold = platform::qt::BoldFont();
  EXPECT_EQ(bold.weight(), QFont::Bold);
  EXPECT_LE(platform::qt::CellHeight(bold), 13);
  EXPECT_GT(platform::qt::CellHeight(bold), 10);
  if (platform::qt::LoadTahoma()) {
    EXPECT_EQ(bold.family(), QStringLiteral("Tahoma"));
  }
}

TEST(DialogBuild, MainWindowControlsMatchTheTemplate) {
  qt_test::HostScope scope;
  qt_test::RecordingEvents events;
  const auto& tmpl = resources::MainDialogTemplate();
  auto window = scope.host.CreateDialog(tmpl, events, nullptr);
  auto& dialog = static_cast<QtDialogWindow&>(*window);
  const BaseUnits units = dialog.Units();

  const QSize client = DialogUnitsToPixels(units, 0, 0, tmpl.width, tmpl.height).size();
  EXPECT_EQ(dialog.Widget()->minimumSize(), client);
  EXPECT_EQ(dialog.Widget()->maximumSize(), client);
  EXPECT_EQ(dialog.Widget()->windowTitle(), QStringLiteral("Orvella(n) Firmware Update"));

  for (const auto& c : tmpl.controls) {
    if (c.id == platform::ui::kNoId) continue;
    QWidget* w = dialog.Control(c.id);
    ASSERT_NE(w, nullptr) << c.id;
    const QRect rect = DialogUnitsToPixels(units, c.x, c.y, c.width, c.height);
    EXPECT_EQ(w->pos(), rect.topLeft()) << c.id;
    if (c.kind == ControlKind::ComboBox) {
      EXPECT_NE(qobject_cast<QComboBox*>(w), nullptr);
      EXPECT_EQ(w->width(), rect.width());
      EXPECT_LT(w->height(), rect.height());  // closed; the template's height is the open list
    } else {
      EXPECT_EQ(w->size(), rect.size()) << c.id;
    }
    EXPECT_EQ(!w->isHidden(), c.visible) << c.id;
    EXPECT_EQ(dialog.IsVisible(c.id), c.visible) << c.id;
    switch (c.kind) {
      case ControlKind::Label:
        EXPECT_EQ(qobject_cast<QLabel*>(w)->text().toStdString(), c.text) << c.id;
        break;
      case ControlKind::Button:
      case ControlKind::DefaultButton:
        EXPECT_EQ(qobject_cast<QPushButton*>(w)->isDefault(), c.kind == ControlKind::DefaultButton) << c.id;
        break;
      case ControlKind::ProgressBar:
        EXPECT_FALSE(qobject_cast<QProgressBar*>(w)->isTextVisible());
        break;
      default:
        break;
    }
  }
  // The list's bottom edge stays clear of the first detail row.
  const QRect firstRow = DialogUnitsToPixels(units, 100, 22, 70, 8);
  EXPECT_LE(dialog.Control(resources::IDC_MODEL)->geometry().bottom(), firstRow.top());
}

TEST(DialogBuild, UnknownIdsAreIgnored) {
  qt_test::HostScope scope;
  qt_test::RecordingEvents events;
  auto window = scope.host.CreateDialog(resources::MainDialogTemplate(), events, nullptr);
  window->SetText(4242, "x");
  window->Show(4242, true);
  window->ProgressPos(4242, 5);
  EXPECT_EQ(window->GetText(4242), "");
  EXPECT_FALSE(window->IsVisible(4242));
  EXPECT_EQ(window->ComboCount(4242), 0);
  EXPECT_EQ(window->ComboSel(4242), -1);
  EXPECT_EQ(window->ComboData(resources::IDC_MODEL, 3), 0u);
}

TEST(DialogBuild, FontsByIdAndTexts) {
  qt_test::HostScope scope;
  qt_test::RecordingEvents events;
  auto window = scope.host.CreateDialog(resources::MainDialogTemplate(), events, nullptr);
  auto& dialog = static_cast<QtDialogWindow&>(*window);
  window->SetFont(resources::IDC_SERIAL, platform::ui::FontKind::Bold);
  EXPECT_EQ(dialog.Control(resources::IDC_SERIAL)->font().weight(), QFont::Bold);
  EXPECT_NE(dialog.Control(resources::IDC_PCB_REV)->font().weight(), QFont::Bold);
  window->SetFont(resources::IDC_SERIAL, platform::ui::FontKind::Dialog);
  EXPECT_NE(dialog.Control(resources::IDC_SERIAL)->font().weight(), QFont::Bold);

  window->SetText(resources::IDC_STATUS, "Downloading...");
  window->SetText(resources::IDC_UPDATE, "Update");
  EXPECT_EQ(window->GetText(resources::IDC_STATUS), "Downloading...");
  EXPECT_EQ(window->GetText(resources::IDC_UPDATE), "Update");
}

TEST(DialogBuild, AboutBoxShowsTheProgramIcon) {
  qt_test::HostScope scope;
  qt_test::RecordingEvents events;
  auto window = scope.host.CreateDialog(resources::AboutDialogTemplate(), events, nullptr);
  auto& dialog = static_cast<QtDialogWindow&>(*window);
  const auto labels = dialog.Widget()->findChildren<QLabel*>();
  int icons = 0;
  for (QLabel* label : labels) {
    if (!label->pixmap().isNull()) {
      ++icons;
      EXPECT_EQ(label->pixmap().size(), QSize(32, 32));
    }
  }
  EXPECT_EQ(icons, 1);
}

}  // namespace

TEST(DialogUnits, ADialogShrinksToFitASmallScreenAndNotOtherwise) {
  qt_test::App();
  const QFont font = platform::qt::DialogFont("Tahoma", 8);
  // An 800 x 600 screen at scale 2 offers 400 x 300, less the frame.
  const QSize small(388, 264);
  const int pixels = platform::qt::FittingPixelSize(font, 330, 166, small, 7);
  EXPECT_LT(pixels, font.pixelSize());
  QFont shrunk = font;
  shrunk.setPixelSize(pixels);
  const QSize size = DialogUnitsToPixels(platform::qt::MeasureBaseUnits(shrunk), 0, 0, 330, 166).size();
  EXPECT_LE(size.width(), small.width());
  EXPECT_LE(size.height(), small.height());
  // The captions keep the room they have at the template's size: the
  // longest still fits its 90 units on one line.
  const QString caption = QStringLiteral("Current Firmware Version:");
  for (const QFont& f : {font, shrunk}) {
    const int room = DialogUnitsToPixels(platform::qt::MeasureBaseUnits(f), 0, 0, 90, 8).width();
    EXPECT_LE(QFontMetrics(f).horizontalAdvance(caption), room) << f.pixelSize();
  }
  // Room enough: the template's own size; no room at all: the smallest.
  EXPECT_EQ(platform::qt::FittingPixelSize(font, 330, 166, QSize(1012, 732), 7), font.pixelSize());
  EXPECT_EQ(platform::qt::FittingPixelSize(font, 330, 166, QSize(50, 50), 7), 7);
}
