// The look: the background picture tiles from the top-left corner, notices
// are blue, transparent labels let the picture through, the artwork has
// the sizes the window asks for.
#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <QStyle>
#include <QStyleFactory>
#include <gtest/gtest.h>
#include <ostream>

#include "app/resources/dialog_templates.h"
#include "platform/qt/qt_art.h"
#include "platform/qt/qt_dialog.h"
#include "qt_test_env.h"

namespace {

using platform::qt::QtDialogWindow;
using platform::ui::ControlColors;

platform::ui::DialogTemplate Empty(int widthUnits, int heightUnits) {
  platform::ui::DialogTemplate t;
  t.id = 900;
  t.caption = "tiles";
  t.fontName = "Tahoma";
  t.width = widthUnits;
  t.height = heightUnits;
  return t;
}

TEST(Artwork, PictureIs256SquareIn256ColoursAndTilesSeamlessly) {
  qt_test::App();
  const QImage picture = platform::qt::BackgroundPicture();
  EXPECT_EQ(picture.size(), QSize(256, 256));
  EXPECT_EQ(picture.format(), QImage::Format_Indexed8);
  EXPECT_EQ(picture.colorCount(), 256);
  // Where tiles meet, neighbours differ no more than neighbours inside the
  // picture do, so repeated tiles show no seam.
  int inside = 0, seam = 0;
  for (int i = 0; i < 256; ++i) {
    for (int j = 0; j + 1 < 256; ++j) {
      inside = std::max(inside, std::abs(picture.pixelIndex(j, i) - picture.pixelIndex(j + 1, i)));
      inside = std::max(inside, std::abs(picture.pixelIndex(i, j) - picture.pixelIndex(i, j + 1)));
    }
    seam = std::max(seam, std::abs(picture.pixelIndex(0, i) - picture.pixelIndex(255, i)));
    seam = std::max(seam, std::abs(picture.pixelIndex(i, 0) - picture.pixelIndex(i, 255)));
  }
  EXPECT_LE(seam, inside);
}

TEST(Artwork, IconComesIn32And64Pixels) {
  qt_test::App();
  const QIcon icon = platform::qt::ProgramIcon();
  const auto sizes = icon.availableSizes();
  EXPECT_TRUE(sizes.contains(QSize(32, 32)));
  EXPECT_TRUE(sizes.contains(QSize(64, 64)));
  const QImage small = platform::qt::DrawProgramIcon(32);
  EXPECT_EQ(qAlpha(small.pixel(0, 0)), 0);     // transparent corner
  EXPECT_EQ(qAlpha(small.pixel(16, 19)), 255);  // the unit itself
}

struct TileCase {
  int widthUnits, heightUnits;
};

void PrintTo(const TileCase& c, std::ostream* os) { *os << c.widthUnits << "x" << c.heightUnits << " units"; }

class Tiling : public ::testing::TestWithParam<TileCase> {};

TEST_P(Tiling, WholeTilesFromTheTopLeftCutAtTheClientEdge) {
  qt_test::HostScope scope;
  qt_test::RecordingEvents events;
  auto window = scope.host.CreateDialog(Empty(GetParam().widthUnits, GetParam().heightUnits), events, nullptr);
  auto& dialog = static_cast<QtDialogWindow&>(*window);
  window->SetBackgroundPicture();
  const QImage shot = dialog.Widget()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  const QImage picture = platform::qt::BackgroundPicture().convertToFormat(QImage::Format_RGB32);
  ASSERT_FALSE(shot.isNull());
  for (int y = 0; y < shot.height(); y += 7)
    for (int x = 0; x < shot.width(); x += 5)
      ASSERT_EQ(shot.pixel(x, y), picture.pixel(x % 256, y % 256)) << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(Sizes, Tiling,
                         ::testing::Values(TileCase{330, 166},  // wider than the picture
                                           TileCase{100, 60},   // smaller: its top-left part
                                           TileCase{440, 340}));

TEST(Colours, NoticesBlueAndTransparencyAsTheLogicSays) {
  qt_test::HostScope scope;
  qt_test::RecordingEvents events;
  events.colours = [](int id) {
    ControlColors c;
    c.blueText = id == resources::IDC_NOTICE1;
    c.transparent = id != resources::IDC_SERIAL_LABEL;
    return c;
  };
  auto window = scope.host.CreateDialog(resources::MainDialogTemplate(), events, nullptr);
  auto& dialog = static_cast<QtDialogWindow&>(*window);
  window->SetBackgroundPicture();
  window->SetText(resources::IDC_SERIAL_LABEL, "");
  const QImage shot = dialog.Widget()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  const QImage picture = platform::qt::BackgroundPicture().convertToFormat(QImage::Format_RGB32);

  auto region = [&](int id) { return dialog.Control(id)->geometry(); };
  // Notice 1: some clearly blue pixels, nowhere black text.
  int blue = 0, dark = 0;
  const QRect notice = region(resources::IDC_NOTICE1);
  for (int y = notice.top(); y <= notice.bottom(); ++y)
    for (int x = notice.left(); x <= notice.right(); ++x) {
      const QRgb p = shot.pixel(x, y);
      if (qBlue(p) > 180 && qRed(p) < 90 && qGreen(p) < 90) ++blue;
      if (qBlue(p) < 60 && qRed(p) < 60 && qGreen(p) < 60) ++dark;
    }
  EXPECT_GT(blue, 20);
  EXPECT_EQ(dark, 0);
  // The emptied, opaque label paints the window colour over the picture;
  // the empty transparent notice 3 shows the picture.
  const QRect opaque = region(resources::IDC_SERIAL_LABEL);
  EXPECT_EQ(QColor(shot.pixel(opaque.center())), dialog.Widget()->palette().window().color());
  const QPoint clear = region(resources::IDC_NOTICE3).center();
  EXPECT_EQ(shot.pixel(clear), picture.pixel(clear.x() % 256, clear.y() % 256));
}

}  // namespace

namespace {

// Darkest and lightest grey level inside `area` of `shot`.
std::pair<int, int> GreyRange(const QImage& shot, const QRect& area) {
  int darkest = 255, lightest = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) {
      const int grey = qGray(shot.pixel(x, y));
      darkest = std::min(darkest, grey);
      lightest = std::max(lightest, grey);
    }
  return {darkest, lightest};
}

QPalette DarkPalette() {
  QPalette dark;
  dark.setColor(QPalette::Window, QColor(0x24, 0x24, 0x24));
  dark.setColor(QPalette::WindowText, QColor(0xEE, 0xEE, 0xEE));
  dark.setColor(QPalette::Base, QColor(0x1C, 0x1C, 0x1C));
  dark.setColor(QPalette::Text, QColor(0xEE, 0xEE, 0xEE));
  dark.setColor(QPalette::Button, QColor(0x30, 0x30, 0x30));
  dark.setColor(QPalette::ButtonText, QColor(0xEE, 0xEE, 0xEE));
  dark.setColor(QPalette::Highlight, QColor(0x15, 0x53, 0x9E));
  dark.setColor(QPalette::HighlightedText, QColor(0xFF, 0xFF, 0xFF));
  return dark;
}

}  // namespace

TEST(DarkTheme, TextOnThePictureStaysDarkAndLabelsKeepTheThemesContrast) {
  qt_test::HostScope scope;
  qt_test::RecordingEvents events;
  events.colours = [](int id) {
    ControlColors c;
    c.transparent = id == resources::IDC_SERIAL;
    return c;
  };
  auto window = scope.host.CreateDialog(resources::MainDialogTemplate(), events, nullptr);
  auto& dialog = static_cast<QtDialogWindow&>(*window);
  dialog.Widget()->setPalette(DarkPalette());
  window->SetBackgroundPicture();
  window->SetText(resources::IDC_SERIAL, "6018451234");
  window->SetFont(resources::IDC_SERIAL, platform::ui::FontKind::Bold);
  const QImage shot = dialog.Widget()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  // A value on the light picture is drawn dark, not in the theme's light text.
  const auto [valueDark, valueLight] = GreyRange(shot, dialog.Control(resources::IDC_SERIAL)->geometry());
  EXPECT_LT(valueDark, 80);
  EXPECT_GT(valueLight - valueDark, 100);
  // A label with the theme's own background keeps the theme's light text.
  const auto [labelDark, labelLight] = GreyRange(shot, dialog.Control(resources::IDC_SERIAL_LABEL)->geometry());
  EXPECT_LT(labelDark, 60);
  EXPECT_GT(labelLight, 180);
}

TEST(DarkTheme, TheProgressBarShowsItsTextInAnyStyle) {
  qt_test::App();
  QStringList styles = {QStringLiteral("Fusion")};
  if (QStyleFactory::keys().contains(QStringLiteral("Adwaita-Dark"), Qt::CaseInsensitive))
    styles << QStringLiteral("Adwaita-Dark");
  const QString before = QApplication::style()->name();
  const QPalette beforePalette = QApplication::palette();
  for (const QString& name : styles) {
    SCOPED_TRACE(name.toStdString());
    QStyle* style = QStyleFactory::create(name);
    QApplication::setStyle(style);
    QApplication::setPalette(style->standardPalette());
    {
      qt_test::HostScope scope;
      qt_test::RecordingEvents events;
      auto window = scope.host.CreateDialog(resources::MainDialogTemplate(), events, nullptr);
      auto& dialog = static_cast<QtDialogWindow&>(*window);
      window->SetBackgroundPicture();
      // The busy state: nothing but the bar at the bottom of the window.
      for (int id : {1, 2, static_cast<int>(resources::IDC_UPDATE)}) window->Show(id, false);
      window->Show(resources::IDC_PROGRESS, true);
      auto* bar = qobject_cast<QProgressBar*>(dialog.Control(resources::IDC_PROGRESS));
      window->ProgressRange(resources::IDC_PROGRESS, 0, 100);
      window->ProgressPos(resources::IDC_PROGRESS, 40);  // shows percent and times
      ASSERT_TRUE(bar->isTextVisible());
      // Two texts give two pictures whose difference is the text: it must be
      // there, and stand out from what is behind it (the theme's light text
      // on the light picture does not).
      bar->setFormat(QStringLiteral("40% \u2014 00:00:10 elapsed, about 00:00:15 left"));
      const QImage one = dialog.Widget()->grab().toImage().convertToFormat(QImage::Format_RGB32);
      bar->setFormat(QStringLiteral("40% \u2014 00:00:48 elapsed, about 00:01:12 left"));
      const QImage two = dialog.Widget()->grab().toImage().convertToFormat(QImage::Format_RGB32);
      const QRect area = bar->geometry();
      int standsOut = 0;
      for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
          standsOut += std::abs(qGray(one.pixel(x, y)) - qGray(two.pixel(x, y))) > 80;
      EXPECT_GT(standsOut, 20);
    }
  }
  QApplication::setStyle(QStyleFactory::create(before));
  QApplication::setPalette(beforePalette);
}
