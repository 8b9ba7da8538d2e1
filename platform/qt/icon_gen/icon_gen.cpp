// Writes the program icon as PNG pictures for the desktop's icon theme:
//   icon_gen OUTDIR SIZE...  ->  OUTDIR/SIZExSIZE/apps/reflash.png
#include <QDir>
#include <QImage>
#include <QString>
#include <cstdio>
#include <cstdlib>

#include "platform/qt/qt_art.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: icon_gen OUTDIR SIZE...\n");
    return 2;
  }
  for (int i = 2; i < argc; ++i) {
    const int size = std::atoi(argv[i]);
    if (size < 16 || size > 1024) {
      std::fprintf(stderr, "icon_gen: bad size %s\n", argv[i]);
      return 2;
    }
    const QString folder = QString("%1/%2x%2/apps").arg(argv[1]).arg(size);
    if (!QDir().mkpath(folder) || !platform::qt::DrawProgramIcon(size).save(folder + "/reflash.png", "PNG")) {
      std::fprintf(stderr, "icon_gen: cannot write %s/reflash.png\n", folder.toLocal8Bit().constData());
      return 1;
    }
  }
  return 0;
}
