// SPDX-License-Identifier: GPL-3.0-or-later
// Makes a learning record to look at: make_history APPDIR EVENTS [DAYS] writes APPDIR/History.db over the
// words of APPDIR/MyDatas.db, ending today.
#include "HistoryFile.h"
#include "HistoryGenerator.h"
#include "WordStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: make_history APPDIR EVENTS [DAYS]\n");
        return 2;
    }
    QElapsedTimer timer;
    timer.start();
    const qint64 written =
        generateRecord(HistoryFile::path(args[1]), WordStore::databasePath(args[1]), args[2].toLongLong(),
                       args.size() > 3 ? args[3].toInt() : 182, QDate::currentDate());
    if (written < 0)
        return 1;
    std::printf("%lld events in %.1f s\n", static_cast<long long>(written), double(timer.elapsed()) / 1000);
    return 0;
}
