// Build tool, not part of the program: writes the program's picture into an icon theme
// folder for installation, as <folder>/<N>x<N>/apps/<name>.png for each size asked for and
// <folder>/scalable/apps/<name>.svg.
//
// Use: export_icons FOLDER NAME SIZE...

#include "ProgramPicture.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QString>

#include <cstdio>

namespace {

// Writes the file whole or not at all.
template <class Fill>
bool Write(const QString& path, Fill fill) {
    QSaveFile file(path);
    const bool written = QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly) &&
                         fill(file) && file.commit();
    if (!written) std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return written;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s FOLDER NAME SIZE...\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]) + QLatin1Char('/');
    const QString name = QString::fromLocal8Bit(argv[2]);
    for (int i = 3; i < argc; ++i) {
        const int size = QString::fromLatin1(argv[i]).toInt();
        if (size <= 0 || size > 1024) {
            std::fprintf(stderr, "not a picture size: %s\n", argv[i]);
            return 2;
        }
        const QString square = QString::number(size) + QLatin1Char('x') + QString::number(size);
        if (!Write(folder + square + QStringLiteral("/apps/") + name + QStringLiteral(".png"),
                   [size](QSaveFile& file) { return ProgramPicture(size).save(&file, "PNG"); }))
            return 1;
    }
    const QByteArray svg = ProgramPictureSvg();
    return Write(folder + QStringLiteral("scalable/apps/") + name + QStringLiteral(".svg"),
                 [&svg](QSaveFile& file) { return file.write(svg) == svg.size(); })
               ? 0
               : 1;
}
