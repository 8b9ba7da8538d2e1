#include "platform/qt/qt_art.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <algorithm>
#include <cmath>

#include "platform/ui/background_picture.h"

namespace platform::qt {

QImage BackgroundPicture() {
  const ui::IndexedPicture source = ui::BackgroundPicture();
  QImage picture(source.size, source.size, QImage::Format_Indexed8);
  QList<QRgb> colours;
  for (uint32_t rgb : source.palette) colours.append(qRgb((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF));
  picture.setColorTable(colours);
  for (int y = 0; y < source.size; ++y)
    std::copy_n(source.pixels.data() + static_cast<size_t>(y) * source.size, source.size, picture.scanLine(y));
  return picture;
}

QImage DrawProgramIcon(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 64.0, size / 64.0);

  // Rack unit body.
  QLinearGradient body(0, 24, 0, 54);
  body.setColorAt(0, QColor(0x5A, 0x69, 0x7B));
  body.setColorAt(1, QColor(0x2A, 0x33, 0x40));
  p.setPen(QPen(QColor(0x1B, 0x22, 0x2B), 1.2));
  p.setBrush(body);
  p.drawRoundedRect(QRectF(3, 26, 58, 26), 3, 3);

  // Rack ears with their mounting holes.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x9A, 0xA6, 0xB4));
  p.drawRoundedRect(QRectF(3.6, 26.6, 6, 24.8), 2, 2);
  p.drawRoundedRect(QRectF(54.4, 26.6, 6, 24.8), 2, 2);
  p.setBrush(QColor(0x2A, 0x33, 0x40));
  for (double x : {6.6, 57.4})
    for (double y : {31.5, 46.5}) p.drawEllipse(QPointF(x, y), 1.6, 1.6);

  // Display with a small waveform, and three status lights.
  p.setBrush(QColor(0x8F, 0xD8, 0xFF));
  p.drawRoundedRect(QRectF(13, 31, 17, 9), 1.5, 1.5);
  QPainterPath trace;
  trace.moveTo(14, 35.5);
  for (int i = 1; i <= 15; ++i) trace.lineTo(14 + i, 35.5 - 2.6 * std::sin(i * 0.9));
  p.setPen(QPen(QColor(0x10, 0x4A, 0x7A), 1.1));
  p.setBrush(Qt::NoBrush);
  p.drawPath(trace);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x5C, 0xE0, 0x6A));
  for (double x : {15.0, 20.5, 26.0}) p.drawEllipse(QPointF(x, 46), 1.7, 1.7);

  // The chip.
  p.setPen(QPen(QColor(0xC8, 0xCF, 0xD8), 1.4));
  for (double y : {35.0, 39.0, 43.0}) {
    p.drawLine(QPointF(33, y), QPointF(36, y));
    p.drawLine(QPointF(48, y), QPointF(51, y));
  }
  p.setPen(QPen(QColor(0x0C, 0x0F, 0x13), 1));
  p.setBrush(QColor(0x20, 0x24, 0x2A));
  p.drawRoundedRect(QRectF(35.5, 32, 13, 14), 1.5, 1.5);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x70, 0x7A, 0x86));
  p.drawEllipse(QPointF(38.5, 35), 1.1, 1.1);

  // The arrow: new firmware going into the chip.
  QPolygonF arrow;
  arrow << QPointF(39.5, 4) << QPointF(44.5, 4) << QPointF(44.5, 17) << QPointF(50, 17) << QPointF(42, 28)
        << QPointF(34, 17) << QPointF(39.5, 17);
  p.setPen(QPen(QColor(0x9A, 0x5B, 0x00), 1.2));
  QLinearGradient amber(0, 4, 0, 28);
  amber.setColorAt(0, QColor(0xFF, 0xC8, 0x4A));
  amber.setColorAt(1, QColor(0xF0, 0x8A, 0x12));
  p.setBrush(amber);
  p.drawPolygon(arrow);
  p.end();
  return image;
}

QIcon ProgramIcon() {
  QIcon icon;
  for (int size : {32, 64}) icon.addPixmap(QPixmap::fromImage(DrawProgramIcon(size)));
  return icon;
}

}  // namespace platform::qt
