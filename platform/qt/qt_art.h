#pragma once
// The program's artwork, drawn from code so that nothing binary is kept:
// the 256 x 256 background picture in 256 colours and the program icon in
// 32 and 64 pixels.
#include <QIcon>
#include <QImage>
#include <QPixmap>

namespace platform::qt {

// A light blue-grey field with soft diagonal bands and a faint waveform.
// Periodic in both directions, so tiles meet without seams.
QImage BackgroundPicture();

// A stylised rack unit with a chip and a download arrow, `size` pixels square.
QImage DrawProgramIcon(int size);

// The program icon with its 32 and 64 pixel pictures.
QIcon ProgramIcon();

}  // namespace platform::qt
