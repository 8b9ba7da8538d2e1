#pragma once
// Dialog units to pixels, the way a dialog template is laid out: a
// horizontal unit is a quarter of the dialog font's average character
// width, a vertical unit an eighth of its character height.
#include <QFont>
#include <QRect>

namespace platform::qt {

struct BaseUnits {
  int charWidth = 5;    // average character width in pixels
  int charHeight = 13;  // character cell height in pixels
};

// The average width is that of the 52 letters A-Z a-z, rounded as the
// dialog manager rounds it; the height is the font's cell height.
BaseUnits MeasureBaseUnits(const QFont& font);

// The character cell height the dialog manager sees: the font's Windows
// ascent and descent (OS/2 table), each scaled and rounded. Qt's own
// height may follow the typographic metrics and come out smaller; fonts
// without the table fall back to it.
int CellHeight(const QFont& font);

// x and width scale by charWidth / 4, y and height by charHeight / 8, each
// value rounded to the nearest pixel on its own (halves away from zero),
// as the dialog manager maps a template rectangle.
QRect DialogUnitsToPixels(const BaseUnits& units, int x, int y, int width, int height);

// The largest pixel size, from `font`'s own down to `minPixels`, at which a
// dialog of `widthDu` x `heightDu` dialog units fits into `room`; when none
// does, `minPixels`. A large scale on a small screen shrinks the dialog
// rather than putting part of it off the screen.
int FittingPixelSize(QFont font, int widthDu, int heightDu, const QSize& room, int minPixels);

}  // namespace platform::qt
