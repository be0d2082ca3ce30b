// Writes the program icon as PNG files for the desktop entry: make_icon FOLDER SIZE... writes
// FOLDER/SIZE/quorvex.png for each size.
#include <QDir>
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>

#include "ui/gui/pictures.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s FOLDER SIZE...\n", argv[0]);
    return 2;
  }
  QGuiApplication app(argc, argv);
  for (int i = 2; i < argc; ++i) {
    const int size = std::atoi(argv[i]);
    const QString folder = QString("%1/%2").arg(argv[1]).arg(size);
    if (size <= 0 || !QDir().mkpath(folder) ||
        !quorvex::ProgramIcon(size).save(folder + "/quorvex.png")) {
      std::fprintf(stderr, "cannot write the %s-pixel icon into %s\n", argv[i], argv[1]);
      return 1;
    }
  }
  return 0;
}
