// SPDX-License-Identifier: GPL-3.0-or-later
#include "DataDirectory.h"
#include "FieldCipher.h"
#include "HistoryFile.h"
#include "SettingsFile.h"
#include "Snapshots.h"
#include "TestSupport.h"
#include "WordDatabase.h"

#include <QtTest>
#include <sys/stat.h>

using TestSupport::DataFolder;
using TestSupport::numberedWords;
using TestSupport::rowsIn;
using TestSupport::runStatement;
using TestSupport::writeUnit;

namespace {

const QDate Day(2026, 3, 9);

std::vector<HistoryWrite> passedWords(int count)
{
    std::vector<HistoryWrite> writes;
    ErrorBook book;
    for (int i = 1; i <= count; ++i) {
        DrillEvent event;
        event.kind = DrillEvent::Kind::Passed;
        event.at = QDateTime(Day, QTime(9, 30));
        event.word = {{QStringLiteral("word1"), i},
                      *encodeField(QStringLiteral("词%1").arg(i)),
                      *encodeField(QStringLiteral("word%1").arg(i))};
        writes.push_back({event, book.apply(event)});
    }
    return writes;
}

// The three files of a data folder that has been used: 30 words, a record of 5 events, a date.
bool fillFolder(const DataFolder& folder)
{
    auto history = HistoryFile::open(folder.history(), HistoryFile::Mode::Write);
    return writeUnit(folder.wordDatabase(), QStringLiteral("word1"), numberedWords(30)) &&
           std::holds_alternative<std::unique_ptr<HistoryFile>>(history) &&
           !std::get<std::unique_ptr<HistoryFile>>(history)->write(passedWords(5)) &&
           mdlINI(folder.path())
               .WriteIniValue(QStringLiteral("LastDate"), QStringLiteral("11"),
                              QStringLiteral("2026/3/8 10:00:00"));
}

QString dayFolder(const DataFolder& folder, const QDate& day)
{
    return QDir(Snapshots::folder(folder.path())).filePath(day.toString(Qt::ISODate));
}

int modeOf(const QString& path)
{
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? int(status.st_mode & 07777) : -1;
}

// A page of the unit table overwritten, the file's header kept: quick_check fails.
bool damage(const QString& database)
{
    QFile file(database);
    return file.open(QIODevice::ReadWrite) && file.size() > 8192 && file.seek(4096) &&
           file.write(QByteArray(4096, 'x')) == 4096;
}

} // namespace

class TestSnapshots : public QObject {
    Q_OBJECT
private slots:
    void takenAfterAChangeOnly_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("nothing changed") << QString();
        QTest::newRow("a word deleted") << "MyDatas.db";
        QTest::newRow("an answer recorded") << "History.db";
        QTest::newRow("a unit completed") << "Syset.ini";
    }
    void takenAfterAChangeOnly()
    {
        QFETCH(QString, change);
        DataFolder folder;
        QVERIFY(fillFolder(folder));
        const auto atStart = Snapshots::fingerprints(folder.path());
        // File times advance by the kernel's tick, not by the nanosecond.
        QTest::qSleep(20);
        if (change == "MyDatas.db")
            QVERIFY(runStatement(folder.wordDatabase(), "DELETE FROM word1 WHERE id = 3"));
        else if (change == "History.db")
            QVERIFY(runStatement(folder.history(), "UPDATE word SET misses = misses + 1"));
        else if (change == "Syset.ini")
            QVERIFY(mdlINI(folder.path()).WriteIniValue("LastDate", "11", "2026/3/9 10:00:00"));

        const auto taken = Snapshots::takeAfterChange(folder.path(), atStart, Day);
        QVERIFY(std::holds_alternative<bool>(taken));
        QCOMPARE(std::get<bool>(taken), !change.isEmpty());
        QCOMPARE(QFileInfo::exists(dayFolder(folder, Day)), !change.isEmpty());
        if (change == "MyDatas.db")
            QCOMPARE(rowsIn(QDir(dayFolder(folder, Day)).filePath("MyDatas.db"), "word1"), 29);
    }

    // Copies made while the record's connection holds its last writes in the write-ahead log: each opens
    // read only, passes quick_check and holds the rows of the original. A later snapshot of the same day
    // takes the earlier one's place.
    void copyIsConsistent()
    {
        DataFolder folder;
        QVERIFY(writeUnit(folder.wordDatabase(), "word1", numberedWords(30)));
        auto opened = HistoryFile::open(folder.history(), HistoryFile::Mode::Write);
        QVERIFY(std::holds_alternative<std::unique_ptr<HistoryFile>>(opened));
        auto& history = *std::get<std::unique_ptr<HistoryFile>>(opened);
        QVERIFY(!history.write(passedWords(5)));
        QVERIFY(QFileInfo(folder.history() + "-wal").size() > 0);

        QVERIFY(!Snapshots::take(folder.path(), Day));
        const QDir copy(dayFolder(folder, Day));
        for (const QString& name : {QStringLiteral("MyDatas.db"), QStringLiteral("History.db")}) {
            const auto problems = Snapshots::problems(copy.filePath(name));
            QVERIFY2(std::holds_alternative<QStringList>(problems), qPrintable(name));
            QCOMPARE(std::get<QStringList>(problems), QStringList());
        }
        QVERIFY(!QFileInfo::exists(copy.filePath("History.db-wal")));
        QCOMPARE(rowsIn(copy.filePath("MyDatas.db"), "word1"), 30);
        QCOMPARE(rowsIn(copy.filePath("History.db"), "event"), 5);
        QVERIFY(!copy.exists("Syset.ini"));

        QVERIFY(!history.write(passedWords(2)));
        QVERIFY(!Snapshots::take(folder.path(), Day));
        QCOMPARE(rowsIn(copy.filePath("History.db"), "event"), 7);
        QCOMPARE(QDir(Snapshots::folder(folder.path()))
                     .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{Day.toString(Qt::ISODate)});
    }

    void keepsTheNewestTenDays()
    {
        DataFolder folder;
        QVERIFY(fillFolder(folder));
        for (int day = 12; day >= 1; --day)
            QVERIFY(!Snapshots::take(folder.path(), Day.addDays(-day)));
        const auto kept = Snapshots::list(folder.path());
        QCOMPARE(int(kept.size()), Snapshots::DaysKept);
        QCOMPARE(kept.front().day, Day.addDays(-1));
        QCOMPARE(kept.back().day, Day.addDays(-10));
        QVERIFY(!QFileInfo::exists(dayFolder(folder, Day.addDays(-11))));
    }

    // A database that fails quick_check at the end leaves the day's earlier snapshot as it was.
    void damagedFileLeavesTheSnapshotAlone()
    {
        DataFolder folder;
        QVERIFY(fillFolder(folder));
        QVERIFY(writeUnit(folder.wordDatabase(), "word2", numberedWords(300)));
        QVERIFY(!Snapshots::take(folder.path(), Day));
        QVERIFY(damage(folder.wordDatabase()));
        QVERIFY(Snapshots::take(folder.path(), Day));
        QCOMPARE(rowsIn(QDir(dayFolder(folder, Day)).filePath("MyDatas.db"), "word2"), 300);
        QCOMPARE(QDir(Snapshots::folder(folder.path()))
                     .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{Day.toString(Qt::ISODate)});
    }

    // Whatever the umask lets through, a new data folder and everything the program puts in it are the
    // learner's alone.
    void newDataFolderIsTheOwnersAlone()
    {
        const mode_t mask = ::umask(022);
        const auto restoreMask = qScopeGuard([mask] { ::umask(mask); });
        QTemporaryDir root;
        const QString course = root.filePath("course.db");
        QVERIFY(writeUnit(course, "word1", numberedWords(3)));
        const QString data = root.filePath("learner/vokabo");
        QVERIFY(std::holds_alternative<DataDirectory::Ready>(DataDirectory::prepare(data, course)));
        QVERIFY(mdlINI(data).WriteIniValue("LastDate", "11", "2026/3/9 10:00:00"));
        {
            auto opened = HistoryFile::open(HistoryFile::path(data), HistoryFile::Mode::Write);
            QVERIFY(std::holds_alternative<std::unique_ptr<HistoryFile>>(opened));
            QVERIFY(!std::get<std::unique_ptr<HistoryFile>>(opened)->write(passedWords(1)));
            for (const char* side : {"-wal", "-shm"})
                QCOMPARE(modeOf(HistoryFile::path(data) + side), 0600);
        }
        QVERIFY(!Snapshots::take(data, Day));

        const QDir folder(data);
        const QString day = Day.toString(Qt::ISODate);
        QCOMPARE(modeOf(data), 0700);
        QCOMPARE(modeOf(root.filePath("learner")), 0700);
        for (const QString file : {"MyDatas.db", "Syset.ini", "History.db"}) {
            QCOMPARE(modeOf(folder.filePath(file)), 0600);
            QCOMPARE(modeOf(folder.filePath("snapshots/" + day + "/" + file)), 0600);
        }
        QCOMPARE(modeOf(folder.filePath("snapshots")), 0700);
        QCOMPARE(modeOf(folder.filePath("snapshots/" + day)), 0700);
    }
};

QTEST_GUILESS_MAIN(TestSnapshots)
#include "tst_snapshots.moc"
