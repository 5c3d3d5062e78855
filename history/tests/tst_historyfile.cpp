// SPDX-License-Identifier: GPL-3.0-or-later
#include "FieldCipher.h"
#include "HistoryFile.h"
#include "TestSupport.h"
#include "WordEventLog.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <fcntl.h>
#include <functional>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

bool writeProcFile(const char* file, const QByteArray& text)
{
    const int fd = ::open(file, O_WRONLY);
    const bool written = fd >= 0 && ::write(fd, text.constData(), size_t(text.size())) == text.size();
    if (fd >= 0)
        ::close(fd);
    return written;
}

// A mount namespace of this process's own, as root or through a user namespace.
bool ownMountNamespace()
{
    const uid_t uid = getuid();
    const gid_t gid = getgid();
    if (unshare(CLONE_NEWNS) != 0) {
        if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
            return false;
        writeProcFile("/proc/self/setgroups", "deny");
        if (!writeProcFile("/proc/self/uid_map", QByteArray("0 ") + QByteArray::number(uid) + " 1") ||
            !writeProcFile("/proc/self/gid_map", QByteArray("0 ") + QByteArray::number(gid) + " 1"))
            return false;
    }
    return mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

// Runs `body` in a child process on a file system of 1 MB of its own (tmpfs), which it may fill: what the
// body returns comes back. No value where the machine lets no process mount one.
std::optional<QString> onSmallDisk(const std::function<QString(const QString& folder)>& body)
{
    QTemporaryDir mountPoint;
    int channel[2];
    if (pipe(channel) != 0)
        return std::nullopt;
    const pid_t child = fork();
    if (child == 0) {
        ::close(channel[0]);
        if (!ownMountNamespace() || mount("vokabo-test", QFile::encodeName(mountPoint.path()).constData(),
                                          "tmpfs", 0, "size=1m") != 0)
            _exit(3);
        const QByteArray result = body(mountPoint.path()).toUtf8();
        const bool sent = ::write(channel[1], result.constData(), size_t(result.size())) == result.size();
        _exit(sent ? 0 : 1);
    }
    ::close(channel[1]);
    QByteArray result;
    char buffer[4096];
    for (ssize_t got; (got = ::read(channel[0], buffer, sizeof buffer)) > 0;)
        result.append(buffer, got);
    ::close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) == 3)
        return std::nullopt;
    return QString::fromUtf8(result);
}

// Fills the folder's file system up to `leave` bytes.
bool fill(const QString& folder, qint64 leave)
{
    QFile filler(QDir(folder).filePath(QStringLiteral("filler")));
    if (!filler.open(QIODevice::WriteOnly))
        return false;
    qint64 left = QStorageInfo(folder).bytesAvailable() - leave;
    const QByteArray block(4096, '\0');
    while (left > 0 && filler.write(block.constData(), std::min<qint64>(left, block.size())) > 0)
        left -= block.size();
    return filler.flush();
}

QString described(const Failure& failure)
{
    return failure.message + u'\n' + failure.detail;
}

QString describedOpen(const QString& file)
{
    auto opened = HistoryFile::open(file, HistoryFile::Mode::Write);
    if (auto* failed = std::get_if<Failure>(&opened))
        return described(*failed);
    return QStringLiteral("opened");
}

std::vector<HistoryWrite> aPassedWord(const QString& english)
{
    DrillEvent event;
    event.kind = DrillEvent::Kind::Passed;
    event.at = QDateTime(QDate(2026, 3, 9), QTime(9, 30));
    event.word = {{QStringLiteral("word7"), 1},
                  *encodeField(english + QStringLiteral("的意思")),
                  *encodeField(english)};
    ErrorBook book;
    return {{event, book.apply(event)}};
}

// A learning record as the first version of the program made it: the schema of version 1, one drill and
// one word event in it.
bool writeVersion1(const QString& file, const QVariant& drillTest, const QVariant& drillTested, int kind,
                   const QVariant& shown)
{
    const QString word =
        QStringLiteral("X'%1', X'%2'")
            .arg(QString::fromLatin1(fieldCiphertext(*encodeField(QStringLiteral("一"))).toHex()),
                 QString::fromLatin1(fieldCiphertext(*encodeField(QStringLiteral("one"))).toHex()));
    const auto sql = [](const QVariant& value) {
        return value.isNull() ? QStringLiteral("NULL") : value.toString();
    };
    const QStringList statements = {
        "CREATE TABLE drill (id INTEGER PRIMARY KEY, kind INTEGER NOT NULL, unit TEXT, test INTEGER NOT "
        "NULL, "
        "started TEXT NOT NULL, completed TEXT, accuracy INTEGER, tested INTEGER)",
        "CREATE TABLE word (id INTEGER PRIMARY KEY, prompt BLOB NOT NULL, answer BLOB NOT NULL, "
        "misses INTEGER NOT NULL DEFAULT 0, UNIQUE (answer, prompt))",
        "CREATE TABLE event (id INTEGER PRIMARY KEY, drill INTEGER, at TEXT NOT NULL, kind INTEGER NOT NULL, "
        "word INTEGER NOT NULL, unit_table TEXT, record INTEGER, shown INTEGER)",
        "CREATE TABLE answered_day (day INTEGER PRIMARY KEY, words INTEGER NOT NULL)",
        "CREATE TABLE error_book (word INTEGER PRIMARY KEY, unit_table TEXT, record INTEGER, "
        "streak INTEGER NOT NULL, since TEXT NOT NULL)",
        QStringLiteral("INSERT INTO word (id, prompt, answer) VALUES (1, %1)").arg(word),
        drillTest.isNull()
            ? QStringLiteral("SELECT 1")
            : QStringLiteral("INSERT INTO drill VALUES (1, 0, '23', %1, '2026-03-09 09:00:00', "
                             "NULL, NULL, %2)")
                  .arg(sql(drillTest), sql(drillTested)),
        QStringLiteral("INSERT INTO event VALUES (1, %1, '2026-03-09 09:30:00', %2, 1, 'word7', 1, %3)")
            .arg(drillTest.isNull() ? QStringLiteral("NULL") : QStringLiteral("1"))
            .arg(kind)
            .arg(sql(shown)),
        "PRAGMA user_version = 1",
    };
    for (const QString& statement : statements) {
        if (!TestSupport::runStatement(file, statement))
            return false;
    }
    return true;
}

QString eventsIn(const QString& file)
{
    auto read = readWordEvents(file);
    if (auto* failed = std::get_if<Failure>(&read))
        return failed->detail;
    QStringList events;
    for (const RecordedWordEvent& event : std::get<WordEventLog>(read).events)
        events << QStringLiteral("%1%2%3%4")
                      .arg(int(event.kind))
                      .arg(event.answerShown ? QStringLiteral(" shown") : QString())
                      .arg(event.responseMs ? QStringLiteral(" %1ms").arg(*event.responseMs) : QString())
                      .arg(event.spoken ? QStringLiteral(" spoken") : QString());
    return events.join(QStringLiteral(", "));
}

int schemaVersion(const QString& file)
{
    int version = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("version"));
        db.setDatabaseName(file);
        QSqlQuery query(db);
        if (db.open() && query.exec(QStringLiteral("PRAGMA user_version")) && query.next())
            version = query.value(0).toInt();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("version"));
    return version;
}

} // namespace

class TestHistoryFile : public QObject {
    Q_OBJECT
private slots:
    // A record of the first version is brought up to date when it is opened to write, and read as it is
    // when it is opened to read; either way its events are the same: older answers have no response time,
    // and passes and reveals, which the first version did not mark, count as hidden in a drill done in
    // test mode.
    void firstVersionIsUpgraded_data()
    {
        QTest::addColumn<QVariant>("drillTest"); // null: the event's drill is not in the record
        QTest::addColumn<QVariant>("drillTested");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QVariant>("shown");
        QTest::addColumn<bool>("writing");
        QTest::addColumn<QString>("events"); // the kind's number (DrillEvent::Kind), then what else is known
        const QVariant none;
        QTest::newRow("answer, hidden") << QVariant(1) << QVariant(1) << 1 << QVariant(0) << true << "1";
        QTest::newRow("answer, shown")
            << QVariant(0) << QVariant(0) << 1 << QVariant(1) << false << "1 shown";
        QTest::newRow("pass in a test drill") << QVariant(1) << QVariant(1) << 2 << none << true << "2";
        QTest::newRow("reveal in an unfinished test drill")
            << QVariant(1) << none << 3 << none << false << "3";
        QTest::newRow("pass in a practice drill")
            << QVariant(0) << QVariant(0) << 2 << none << true << "2 shown";
        QTest::newRow("pass in a drill switched to practice")
            << QVariant(1) << QVariant(0) << 2 << none << false << "2 shown";
        QTest::newRow("pass without its drill") << none << none << 2 << none << true << "2";
        QTest::newRow("deleted") << QVariant(1) << QVariant(1) << 4 << none << true << "4";
    }
    void firstVersionIsUpgraded()
    {
        QFETCH(QVariant, drillTest);
        QFETCH(QVariant, drillTested);
        QFETCH(int, kind);
        QFETCH(QVariant, shown);
        QFETCH(bool, writing);
        QFETCH(QString, events);
        TestSupport::DataFolder folder;
        const QString file = folder.history();
        QVERIFY(writeVersion1(file, drillTest, drillTested, kind, shown));
        {
            auto opened =
                HistoryFile::open(file, writing ? HistoryFile::Mode::Write : HistoryFile::Mode::Read);
            if (auto* failed = std::get_if<Failure>(&opened))
                QFAIL(qPrintable(failed->detail));
            QCOMPARE(schemaVersion(file), writing ? 2 : 1);
            if (writing) {
                // The new columns take the new events.
                DrillEvent answered;
                answered.kind = DrillEvent::Kind::Answered;
                answered.at = QDateTime(QDate(2026, 3, 10), QTime(9, 30));
                answered.word = {{QStringLiteral("word7"), 1},
                                 *encodeField(QStringLiteral("一")),
                                 *encodeField(QStringLiteral("one"))};
                answered.responseMs = 2100;
                DrillEvent heard = answered;
                heard.kind = DrillEvent::Kind::Revealed;
                heard.responseMs.reset();
                heard.spoken = true;
                auto& history = *std::get<std::unique_ptr<HistoryFile>>(opened);
                QCOMPARE(history.write({{heard, {}}, {answered, {}}}), std::nullopt);
                events += QStringLiteral(", 3 spoken, 1 2100ms");
            }
        }
        QCOMPARE(eventsIn(file), events);
        // Opened to write, a record read as it was is brought up to date and reads the same; one brought up
        // to date already is left as it is.
        QVERIFY(std::holds_alternative<std::unique_ptr<HistoryFile>>(
            HistoryFile::open(file, HistoryFile::Mode::Write)));
        QCOMPARE(schemaVersion(file), 2);
        QCOMPARE(eventsIn(file), events);
    }

    // Events come back in the order of the learner's clock, those of one moment in the order written, also
    // after the clock was set back; each with its word, its drill and what was on screen.
    void wordEventsComeInTimeOrder()
    {
        TestSupport::DataFolder folder;
        auto opened = HistoryFile::open(folder.history(), HistoryFile::Mode::Write);
        QVERIFY(std::holds_alternative<std::unique_ptr<HistoryFile>>(opened));
        HistoryFile& history = *std::get<std::unique_ptr<HistoryFile>>(opened);
        std::vector<HistoryWrite> writes;
        const auto add = [&](const char* english, int minute, DrillEvent::Kind kind, DrillKind drill) {
            DrillEvent event;
            event.kind = kind;
            event.drill = drill;
            event.at = QDateTime(QDate(2026, 3, 9), QTime(23, minute));
            event.word = {{QStringLiteral("word7"), 1},
                          *encodeField(QLatin1String(english) + QStringLiteral("的意思")),
                          *encodeField(QLatin1String(english))};
            event.answerShown = kind == DrillEvent::Kind::Revealed;
            writes.push_back({event, {}});
        };
        add("one", 50, DrillEvent::Kind::Answered, DrillKind::Unit);
        add("two", 30, DrillEvent::Kind::Passed, DrillKind::ErrorBook); // the clock set back
        add("one", 30, DrillEvent::Kind::Revealed, DrillKind::Review);
        add("two", 59, DrillEvent::Kind::Deleted, DrillKind::Unit);
        QCOMPARE(history.write(writes), std::nullopt);

        auto read = history.readWordEvents();
        QVERIFY(std::holds_alternative<WordEventLog>(read));
        const WordEventLog& log = std::get<WordEventLog>(read);
        QStringList events;
        PPS cipher;
        for (const RecordedWordEvent& event : log.events)
            events << QStringLiteral("%1 %2 %3 %4%5")
                          .arg(event.at.toString(QStringLiteral("HH:mm")),
                               textShown(cipher,
                                         QString::fromLatin1(log.words[size_t(event.word)].answer.toHex())))
                          .arg(int(event.kind))
                          .arg(int(event.drill))
                          .arg(event.answerShown ? QStringLiteral(" shown") : QString());
        QCOMPARE(events,
                 QStringList({"23:30 two 2 1", "23:30 one 3 2 shown", "23:50 one 1 0", "23:59 two 4 0"}));
        QCOMPARE(log.events.front().at.date(), QDate(2026, 3, 9));
    }

    // A full disk at each step of using the record is told as such, with SQLite's own reason.
    void fullDiskIsSaidSo_data()
    {
        QTest::addColumn<int>("step");
        QTest::newRow("opening a record") << 0;
        QTest::newRow("creating the tables") << 1;
        QTest::newRow("writing") << 2;
    }
    void fullDiskIsSaidSo()
    {
        QFETCH(int, step);
        const auto result = onSmallDisk([step](const QString& folder) -> QString {
            const QString file = HistoryFile::path(folder);
            if (step == 1) {
                // A database in WAL mode without tables: the tables are the first thing to need room.
                {
                    QSqlDatabase db =
                        QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("wal"));
                    db.setDatabaseName(file);
                    if (!db.open() || !QSqlQuery(db).exec(QStringLiteral("PRAGMA journal_mode=WAL")))
                        return QStringLiteral("cannot make the file");
                }
                QSqlDatabase::removeDatabase(QStringLiteral("wal"));
                // Room for the -shm (32 KB) and little more.
                return fill(folder, 36 * 1024) ? describedOpen(file) : QStringLiteral("cannot fill");
            }
            auto opened = HistoryFile::open(file, HistoryFile::Mode::Write);
            if (auto* failed = std::get_if<Failure>(&opened))
                return described(*failed);
            auto history = std::move(std::get<std::unique_ptr<HistoryFile>>(opened));
            if (history->write(aPassedWord(QStringLiteral("one"))))
                return QStringLiteral("cannot write");
            if (step == 0) {
                history.reset();
                return fill(folder, 0) ? describedOpen(file) : QStringLiteral("cannot fill");
            }
            if (!fill(folder, 0))
                return QStringLiteral("cannot fill");
            const auto failed = history->write(aPassedWord(QStringLiteral("two")));
            return failed ? described(*failed) : QStringLiteral("written");
        });
        if (!result)
            QSKIP("no file system of its own can be mounted here");
        QVERIFY2(result->startsWith(QStringLiteral("磁盘已满")), qPrintable(*result));
        QVERIFY2(result->section(u'\n', 1).contains(QStringLiteral("disk")), qPrintable(*result));
    }
};

QTEST_GUILESS_MAIN(TestHistoryFile)
#include "tst_historyfile.moc"
