// Writes the program's icon as the PNG files of the desktop's icon theme:
//   korvin-make-icons OUTDIR  ->  OUTDIR/<size>x<size>/apps/korvin.png
// The pictures are drawn by the same code as the window icon, so the menu entry and the window
// show the same picture.

#include <QDir>
#include <QImage>
#include <cstdio>

#include "app/pictures.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: korvin-make-icons OUTDIR\n");
    return 2;
  }
  const QString folder = QString::fromLocal8Bit(argv[1]);
  for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
    const QString sub = QStringLiteral("%1/%2x%2/apps").arg(folder).arg(size);
    if (!QDir().mkpath(sub)) return 1;
    const QImage image = korvin::IconImage(size);
    if (!image.save(sub + QStringLiteral("/korvin.png"), "PNG")) return 1;
  }
  return 0;
}
