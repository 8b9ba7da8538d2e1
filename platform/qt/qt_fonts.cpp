#include "platform/qt/qt_fonts.h"

#include <QFile>
#include <QFontDatabase>
#include <QFontMetrics>

#include "platform/qt/qt_units.h"

namespace platform::qt {
namespace {

const char* const kTahomaFiles[] = {
    "/usr/share/wine/fonts/tahoma.ttf",
    "/usr/share/wine/fonts/tahomabd.ttf",
    "/usr/share/fonts/truetype/wine/tahoma.ttf",
    "/usr/share/fonts/truetype/wine/tahomabd.ttf",
};

bool HasFamily(const QString& family) {
  return QFontDatabase::families().contains(family, Qt::CaseInsensitive);
}

QString FallbackFamily() {
  if (HasFamily(QStringLiteral("Tahoma"))) return QStringLiteral("Tahoma");
  return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
}

}  // namespace

bool LoadTahoma() {
  if (HasFamily(QStringLiteral("Tahoma"))) return true;
  for (const char* path : kTahomaFiles) {
    if (QFile::exists(QString::fromLatin1(path))) QFontDatabase::addApplicationFont(QString::fromLatin1(path));
  }
  return HasFamily(QStringLiteral("Tahoma"));
}

QFont DialogFont(const std::string& family, int points) {
  QString name = QString::fromStdString(family);
  if (name.isEmpty() || !HasFamily(name)) name = FallbackFamily();
  QFont font(name);
  // -MulDiv(points, 96, 72): the em height a template font gets at 96 dpi.
  font.setPixelSize((points * 96 + 36) / 72);
  font.setWeight(QFont::Normal);
  return font;
}

QFont BoldFont(int cellPixels) {
  QFont font(FallbackFamily());
  font.setWeight(QFont::Bold);
  // The largest em size whose cell fits.
  for (int pixels = cellPixels; pixels > 5; --pixels) {
    font.setPixelSize(pixels);
    if (CellHeight(font) <= cellPixels) break;
  }
  return font;
}

}  // namespace platform::qt
