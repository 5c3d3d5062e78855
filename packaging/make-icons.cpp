// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the program's icon into an icon theme folder, from the drawing that the windows use:
// DIR/<N>x<N>/apps/ID.png for each size and DIR/scalable/apps/ID.svg. Run on the offscreen platform.
#include "ProgramIcon.h"

#include <QDir>
#include <QGuiApplication>
#include <QSaveFile>
#include <cstdio>

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 3) {
        std::fprintf(stderr, "usage: make-icons DIR ID\n");
        return 2;
    }
    const QDir theme(arguments[1]);
    const QString& id = arguments[2];
    const auto fail = [](const QString& path) {
        std::fprintf(stderr, "make-icons: cannot write %s\n", qUtf8Printable(path));
        return 1;
    };
    for (const int size : {16, 32, 48, 64, 128, 256}) {
        const QString folder = QStringLiteral("%1x%1/apps").arg(size);
        const QString path = theme.filePath(folder + u'/' + id + QStringLiteral(".png"));
        if (!theme.mkpath(folder) || !programIconImage(size).save(path, "PNG"))
            return fail(path);
    }
    const QString path = theme.filePath(QStringLiteral("scalable/apps/") + id + QStringLiteral(".svg"));
    QSaveFile svg(path);
    const QByteArray text = programIconSvg();
    if (!theme.mkpath(QStringLiteral("scalable/apps")) || !svg.open(QIODevice::WriteOnly) ||
        svg.write(text) != text.size() || !svg.commit())
        return fail(path);
    return 0;
}
