#pragma once
// The window's fonts. The dialogs were drawn for "Tahoma" 8; Debian's wine
// fonts carry a Tahoma that we load for ourselves, and without it the
// system's sans font stands in (the dialog-unit layout follows whichever
// font is actually used).
#include <QFont>
#include <string>

namespace platform::qt {

// Registers the wine Tahoma (regular and bold) with the application when it
// is installed and the system does not know the family already. Needs a
// QGuiApplication. Returns false when no Tahoma is available.
bool LoadTahoma();

// The font a dialog template names, `points` at 96 pixels per inch as the
// templates assume. A family the system lacks becomes Tahoma, and without
// Tahoma the system's general font.
QFont DialogFont(const std::string& family, int points);

// The bold value font: Tahoma, weight 700, a character cell 13 pixels high
// (the font height the window asks for is a cell height, not an em size),
// or `cellPixels` high in a dialog shrunk to fit its screen.
QFont BoldFont(int cellPixels = 13);

}  // namespace platform::qt
