#include "platform/qt/qt_units.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QRawFont>
#include <cmath>

namespace platform::qt {

BaseUnits MeasureBaseUnits(const QFont& font) {
  QFontMetrics metrics(font);
  const int letters = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  BaseUnits units;
  units.charWidth = (letters / 26 + 1) / 2;
  units.charHeight = CellHeight(font);
  if (units.charWidth <= 0) units.charWidth = 1;
  if (units.charHeight <= 0) units.charHeight = 1;
  return units;
}

namespace {

// value * numerator / denominator rounded to nearest, halves away from zero.
int MulDiv(int value, int numerator, int denominator) {
  const long long product = static_cast<long long>(value) * numerator;
  const long long half = denominator / 2;
  return static_cast<int>(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

}  // namespace

int CellHeight(const QFont& font) {
  const QRawFont raw = QRawFont::fromFont(font);
  const QByteArray os2 = raw.isValid() ? raw.fontTable("OS/2") : QByteArray();
  const int unitsPerEm = raw.isValid() ? static_cast<int>(raw.unitsPerEm()) : 0;
  if (os2.size() < 78 || unitsPerEm <= 0) return QFontMetrics(font).height();
  auto word = [&](int offset) {
    return (static_cast<unsigned char>(os2[offset]) << 8) | static_cast<unsigned char>(os2[offset + 1]);
  };
  const double scale = raw.pixelSize() / unitsPerEm;
  return static_cast<int>(std::lround(word(74) * scale) + std::lround(word(76) * scale));
}

QRect DialogUnitsToPixels(const BaseUnits& units, int x, int y, int width, int height) {
  return QRect(MulDiv(x, units.charWidth, 4), MulDiv(y, units.charHeight, 8), MulDiv(width, units.charWidth, 4),
               MulDiv(height, units.charHeight, 8));
}

int FittingPixelSize(QFont font, int widthDu, int heightDu, const QSize& room, int minPixels) {
  const int own = font.pixelSize() > 0 ? font.pixelSize() : QFontInfo(font).pixelSize();
  const BaseUnits ownUnits = MeasureBaseUnits(font);
  int pixels = own;
  for (; pixels > minPixels; --pixels) {
    font.setPixelSize(pixels);
    const BaseUnits units = MeasureBaseUnits(font);
    const QSize size = DialogUnitsToPixels(units, 0, 0, widthDu, heightDu).size();
    if (size.width() > room.width() || size.height() > room.height()) continue;
    // The units are whole pixels: a size whose layout shrank more than its
    // text (an average width of 4.4 counted as 4) would cut captions that
    // fit at the template's size.
    if (pixels == own || (units.charWidth * own >= ownUnits.charWidth * pixels &&
                          units.charHeight * own >= ownUnits.charHeight * pixels))
      break;
  }
  return pixels;
}

}  // namespace platform::qt
