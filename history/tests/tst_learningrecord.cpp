// SPDX-License-Identifier: GPL-3.0-or-later
#include "EventJournal.h"
#include "FieldCipher.h"
#include "LearningRecord.h"
#include "Statistics.h"
#include "TestSupport.h"
#include "WordEventLog.h"

#include <QSignalSpy>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QDate Monday(2026, 3, 9);

DrillWord word(const QString& english, qint64 rowid = 1)
{
    return {{QStringLiteral("word7"), rowid},
            *encodeField(english + QStringLiteral("的意思")),
            *encodeField(english)};
}

DrillEvent drillEvent(DrillEvent::Kind kind, const QDate& day, DrillKind drill = DrillKind::Unit)
{
    DrillEvent e;
    e.kind = kind;
    e.at = QDateTime(day, QTime(9, 30));
    e.drill = drill;
    e.unitCode = drill == DrillKind::Unit ? QStringLiteral("23") : QString();
    return e;
}

DrillEvent onWord(DrillEvent::Kind kind, const DrillWord& w, const QDate& day,
                  DrillKind drill = DrillKind::Unit)
{
    DrillEvent e = drillEvent(kind, day, drill);
    e.word = w;
    return e;
}

DrillEvent completed(const QDate& day, bool test, std::optional<int> accuracy)
{
    DrillEvent e = drillEvent(DrillEvent::Kind::Completed, day);
    e.testMode = test;
    e.accuracy = accuracy;
    return e;
}

LearningStatistics statisticsOf(const QString& file)
{
    auto read = readStatistics(file, Monday.addDays(-7), 2);
    if (auto* failed = std::get_if<Failure>(&read))
        qWarning("%s", qUtf8Printable(failed->detail));
    return std::holds_alternative<LearningStatistics>(read) ? std::get<LearningStatistics>(read)
                                                            : LearningStatistics{};
}

std::vector<WordKey> keysOf(const ErrorBook& book)
{
    std::vector<WordKey> keys;
    for (const ErrorBookEntry& entry : book.entries())
        keys.push_back(entry.key);
    return keys;
}

WordKey keyOf(const DrillWord& w)
{
    return wordKey(w.prompt, w.answer);
}

// Another program's connection holding a lock on the file: a write lock, or (`exclusive`) one that keeps
// readers out as well.
class LockHolder {
public:
    LockHolder(const QString& file, bool exclusive)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
        db.setDatabaseName(file);
        QSqlQuery query(db);
        held_ = db.open() && (!exclusive || query.exec(QStringLiteral("PRAGMA locking_mode=EXCLUSIVE"))) &&
                query.exec(exclusive ? QStringLiteral("BEGIN EXCLUSIVE") : QStringLiteral("BEGIN IMMEDIATE"));
    }
    ~LockHolder() { release(); }
    bool held() const { return held_; }
    void release()
    {
        if (!QSqlDatabase::contains(name_))
            return;
        QSqlDatabase::database(name_, false).close();
        QSqlDatabase::removeDatabase(name_);
    }

private:
    const QString name_ = QStringLiteral("lock holder");
    bool held_ = false;
};

// Every write into the record fails while `refused`, as on a disk that has stopped taking them.
bool refuseWrites(const QString& file, bool refused)
{
    bool done = true;
    for (const char* table : {"drill", "event"}) {
        done =
            done && TestSupport::runStatement(
                        file, refused ? QStringLiteral("CREATE TRIGGER refuse_%1 BEFORE INSERT ON %1 BEGIN "
                                                       "SELECT RAISE(ABORT, 'refused'); END")
                                            .arg(QLatin1String(table))
                                      : QStringLiteral("DROP TRIGGER refuse_%1").arg(QLatin1String(table)));
    }
    return done;
}

qint64 rootPage(const QString& file, const QString& name)
{
    qint64 page = 0;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("pages"));
        db.setDatabaseName(file);
        QSqlQuery query(db);
        if (db.open() &&
            query.exec(QStringLiteral("SELECT rootpage FROM sqlite_master WHERE name = '%1'").arg(name)) &&
            query.next())
            page = query.value(0).toLongLong();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("pages"));
    return page;
}

} // namespace

class TestLearningRecord : public QObject {
    Q_OBJECT
private slots:
    void recordSurvivesTheProgram()
    {
        QTemporaryDir dir;
        const QString file = HistoryFile::path(dir.path());
        const DrillWord one = word(QStringLiteral("one"), 1), two = word(QStringLiteral("two"), 2),
                        three = word(QStringLiteral("three"), 3);
        using Kind = DrillEvent::Kind;
        {
            LearningRecord record(file); // no file yet: created on first use
            QCOMPARE(record.errorBook().size(), 0);
            const QDate before = Monday.addDays(-10); // before the heat map's first day
            for (const DrillEvent& e :
                 {drillEvent(Kind::Started, before), onWord(Kind::Answered, one, before),
                  completed(before, true, 50), drillEvent(Kind::Started, Monday),
                  onWord(Kind::Answered, one, Monday), onWord(Kind::Passed, two, Monday),
                  onWord(Kind::Revealed, three, Monday), onWord(Kind::Answered, three, Monday),
                  completed(Monday, true, 67), drillEvent(Kind::Started, Monday.addDays(1)),
                  onWord(Kind::Passed, two, Monday.addDays(1)), completed(Monday.addDays(1), false, 100),
                  drillEvent(Kind::Started, Monday.addDays(2), DrillKind::ErrorBook),
                  onWord(Kind::Answered, three, Monday.addDays(2), DrillKind::ErrorBook)})
                record.drillEvent(e);
            QCOMPARE(record.errorBook().size(), 2);
            QVERIFY(record.flush());
        }
        LearningRecord again(file);
        QTRY_VERIFY(again.isErrorBookRead()); // read on the writer's thread
        const auto entries = again.errorBook().entries();
        QCOMPARE(entries.size(), size_t(2));
        QCOMPARE(entries[0].key, wordKey(two.prompt, two.answer));
        QCOMPARE(entries[1].streak, 1);
        QCOMPARE(entries[1].location, three.location);

        const LearningStatistics statistics = statisticsOf(file);
        const std::map<QDate, int> perDay{{Monday, 2}, {Monday.addDays(2), 1}};
        QCOMPARE(statistics.answeredPerDay, perDay);
        QCOMPARE(statistics.testDrills.size(), size_t(2));
        QCOMPARE(statistics.testDrills.back().accuracy, 67);
        QCOMPARE(statistics.testDrills.back().completed, QDateTime(Monday, QTime(9, 30)));
        QCOMPARE(statistics.testDrills.back().day, Monday);
        const LearningStatistics::UnitFigures unit = statistics.units.at(QStringLiteral("23"));
        QCOMPARE(unit.drillsDone, 3);
        QCOMPARE(unit.testDrills, 2);
        QCOMPARE(unit.accuracyTotal, 117.0);
        QCOMPARE(statistics.units.size(), size_t(1)); // the error-book drill belongs to no unit
        QCOMPARE(statistics.mostMissed.size(), size_t(2));
        QCOMPARE(statistics.mostMissed[0].key, wordKey(two.prompt, two.answer));
        QCOMPARE(statistics.mostMissed[0].misses, 2);
        QCOMPARE(statistics.errorBook.size(), size_t(2));
    }

    void recordHoldsNoClearText()
    {
        QTemporaryDir dir;
        const QString file = HistoryFile::path(dir.path());
        {
            LearningRecord record(file);
            record.drillEvent(onWord(DrillEvent::Kind::Passed, word(QStringLiteral("elephant")), Monday));
            QVERIFY(record.flush());
        }
        QFile bytes(file);
        QVERIFY(bytes.open(QIODevice::ReadOnly));
        const QByteArray contents = bytes.readAll();
        QVERIFY(!contents.contains("elephant"));
        QVERIFY(!contents.contains(QStringLiteral("的意思").toUtf8()));
    }

    void unwritableFileKeepsTheEventsForLater()
    {
        QTemporaryDir dir;
        const QString file = HistoryFile::path(dir.path());
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("History.db"))); // in the file's way
        LearningRecord record(file);
        QSignalSpy failures(&record, &LearningRecord::saveFailed);
        record.drillEvent(onWord(DrillEvent::Kind::Passed, word(QStringLiteral("one")), Monday));
        QVERIFY(!record.flush());
        record.drillEvent(onWord(DrillEvent::Kind::Passed, word(QStringLiteral("two")), Monday));
        QVERIFY(!record.flush());
        QCOMPARE(record.errorBook().size(), 2); // the drill goes on with its error book
        QTRY_COMPARE(failures.size(), 1);       // shown once
        QVERIFY(failures.front().front().toString().contains(QStringLiteral("History.db")));

        QVERIFY(QDir(dir.path()).rmdir(QStringLiteral("History.db")));
        record.drillEvent(onWord(DrillEvent::Kind::Passed, word(QStringLiteral("three")), Monday));
        QVERIFY(record.flush());
        QCOMPARE(statisticsOf(file).errorBook.size(), size_t(3));
        QCOMPARE(failures.size(), 1);
    }

    void foreignFileIsLeftAlone_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::newRow("not a database") << QByteArray("these are someone's notes\n").repeated(200);
        QTest::newRow("another program's database") << QByteArray();
    }
    void foreignFileIsLeftAlone()
    {
        QFETCH(QByteArray, contents);
        QTemporaryDir dir;
        const QString file = HistoryFile::path(dir.path());
        if (contents.isEmpty()) {
            {
                QSqlDatabase db =
                    QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
                db.setDatabaseName(file);
                QVERIFY(db.open());
                QVERIFY(QSqlQuery(db).exec(QStringLiteral("CREATE TABLE notes (text TEXT)")));
            }
            QSqlDatabase::removeDatabase(QStringLiteral("other"));
        } else {
            QFile write(file);
            QVERIFY(write.open(QIODevice::WriteOnly) && write.write(contents) == contents.size());
        }
        QFile read(file);
        QVERIFY(read.open(QIODevice::ReadOnly));
        const QByteArray before = read.readAll();
        read.close();
        {
            LearningRecord record(file);
            QSignalSpy failures(&record, &LearningRecord::saveFailed);
            record.drillEvent(onWord(DrillEvent::Kind::Passed, word(QStringLiteral("one")), Monday));
            QVERIFY(!record.flush());
            QTRY_COMPARE(failures.size(), 1);
            QVERIFY(std::holds_alternative<Failure>(readStatistics(file, Monday)));
        }
        QVERIFY(read.open(QIODevice::ReadOnly));
        QCOMPARE(read.readAll(), before);
    }

    void eventsBeforeTheBookIsReadCountInIt()
    {
        QTemporaryDir dir;
        const QString file = HistoryFile::path(dir.path());
        const DrillWord one = word(QStringLiteral("one"), 1), two = word(QStringLiteral("two"), 2),
                        three = word(QStringLiteral("three"), 3);
        {
            LearningRecord record(file);
            record.drillEvent(onWord(DrillEvent::Kind::Passed, one, Monday));
            record.drillEvent(onWord(DrillEvent::Kind::Passed, two, Monday));
            QVERIFY(record.flush());
        }
        LockHolder lock(file, true); // the book cannot be read for now
        QVERIFY(lock.held());
        LearningRecord record(file);
        QVERIFY(!record.isErrorBookRead());
        record.drillEvent(drillEvent(DrillEvent::Kind::Started, Monday));
        record.drillEvent(onWord(DrillEvent::Kind::Deleted, one, Monday));
        record.drillEvent(onWord(DrillEvent::Kind::Passed, three, Monday));
        lock.release();
        QTRY_VERIFY(record.isErrorBookRead());
        const std::vector<WordKey> expected{keyOf(two), keyOf(three)};
        QCOMPARE(keysOf(record.errorBook()), expected);
        QVERIFY(record.flush());
        LearningRecord again(file);
        QTRY_VERIFY(again.isErrorBookRead());
        QCOMPARE(keysOf(again.errorBook()), expected);
    }

    void lockHeldPastTheEndKeepsTheEventsForTheNextStart()
    {
        QTemporaryDir dir;
        const QString file = HistoryFile::path(dir.path());
        const QString journal = EventJournal::path(file);
        const DrillWord one = word(QStringLiteral("one"), 1), two = word(QStringLiteral("two"), 2);
        using Kind = DrillEvent::Kind;
        {
            LearningRecord record(file);
            record.drillEvent(drillEvent(Kind::Started, Monday));
            record.drillEvent(onWord(Kind::Answered, one, Monday));
            QVERIFY(record.flush());
            LockHolder lock(file, false);
            QVERIFY(lock.held());
            record.drillEvent(onWord(Kind::Passed, two, Monday));
            record.drillEvent(onWord(Kind::Answered, two, Monday));
            record.drillEvent(completed(Monday, true, 50));
            // The end does not wait for the lock; the writer, stuck behind it, commits nothing later.
            QCOMPARE(record.close(std::chrono::milliseconds(300)), std::nullopt);
            QVERIFY(QFile::exists(journal));
            constexpr auto ownerGroupOther = QFile::Permissions(0x7077); // the file's mode bits
            QCOMPARE(QFile::permissions(journal) & ownerGroupOther, QFile::ReadOwner | QFile::WriteOwner);
        }
        LearningRecord next(file);
        QTRY_VERIFY(next.isErrorBookRead());
        QCOMPARE(next.errorBook().size(), 1);
        QTRY_VERIFY(!QFile::exists(journal));
        const LearningStatistics statistics = statisticsOf(file);
        QCOMPARE(statistics.answeredPerDay.at(Monday), 2);
        QCOMPARE(statistics.units.at(QStringLiteral("23")).drillsDone, 1); // completed in the same drill
        QCOMPARE(statistics.testDrills.size(), size_t(1));
        QCOMPARE(statistics.testDrills.front().accuracy, 50);
        QCOMPARE(statistics.mostMissed.front().misses, 1);
    }

    void journalThatCannotBeWrittenIsSaid()
    {
        QTemporaryDir dir;
        const QString file = HistoryFile::path(dir.path());
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("History.db")));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("History.db.journal")));
        LearningRecord record(file);
        record.drillEvent(onWord(DrillEvent::Kind::Passed, word(QStringLiteral("one")), Monday));
        QVERIFY(!record.flush());
        TestSupport::StderrCapture captured;
        const auto failed = record.close();
        QVERIFY(failed);
        QVERIFY2(failed->message.contains(QStringLiteral("History.db.journal")), qPrintable(failed->message));
        const QStringList lines = QString::fromUtf8(captured.text()).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.front().contains(QStringLiteral("lost")), qPrintable(lines.front()));
    }

    void drillStartIsNeverDropped()
    {
        QTemporaryDir dir;
        const QString file = HistoryFile::path(dir.path());
        const DrillWord one = word(QStringLiteral("one"));
        using Kind = DrillEvent::Kind;
        LearningRecord record(file);
        for (const DrillEvent& e : {drillEvent(Kind::Started, Monday), completed(Monday, true, 100)})
            record.drillEvent(e);
        QVERIFY(record.flush());
        QVERIFY(refuseWrites(file, true));
        // A second drill, far longer than the record keeps while it cannot write.
        const QDate tuesday = Monday.addDays(1);
        record.drillEvent(drillEvent(Kind::Started, tuesday));
        for (size_t i = 0; i < LearningRecord::MaxPending + 10; ++i)
            record.drillEvent(onWord(Kind::Answered, one, tuesday));
        QVERIFY(!record.flush(std::chrono::seconds(30)));
        QVERIFY(refuseWrites(file, false));
        record.drillEvent(completed(tuesday, true, 90));
        QVERIFY(record.flush(std::chrono::seconds(30)));
        const LearningStatistics statistics = statisticsOf(file);
        QCOMPARE(statistics.units.at(QStringLiteral("23")).drillsDone, 2);
        QCOMPARE(statistics.testDrills.back().accuracy, 90);
        QCOMPARE(statistics.testDrills.front().accuracy, 100);
    }

    void failureAfterASuccessIsShownAgain()
    {
        QTemporaryDir dir;
        const QString file = HistoryFile::path(dir.path());
        LearningRecord record(file);
        QSignalSpy failures(&record, &LearningRecord::saveFailed);
        record.drillEvent(onWord(DrillEvent::Kind::Passed, word(QStringLiteral("one")), Monday));
        QVERIFY(record.flush());
        QVERIFY(QFileInfo(file + QStringLiteral("-wal")).size() > 0);

        QVERIFY(refuseWrites(file, true));
        record.drillEvent(onWord(DrillEvent::Kind::Passed, word(QStringLiteral("two")), Monday));
        QVERIFY(!record.flush());
        QTRY_COMPARE(failures.size(), 1);
        // What the failed write left in the WAL is given back (on a full disk, its room).
        QCOMPARE(QFileInfo(file + QStringLiteral("-wal")).size(), 0);

        QVERIFY(refuseWrites(file, false));
        record.drillEvent(onWord(DrillEvent::Kind::Passed, word(QStringLiteral("three")), Monday));
        QVERIFY(record.flush());
        QVERIFY(refuseWrites(file, true));
        record.drillEvent(onWord(DrillEvent::Kind::Passed, word(QStringLiteral("four")), Monday));
        QVERIFY(!record.flush());
        QTRY_COMPARE(failures.size(), 2);
    }

    void deletedFileBeginsANewRecord()
    {
        QTemporaryDir dir;
        const QString file = HistoryFile::path(dir.path());
        LearningRecord record(file);
        QSignalSpy replaced(&record, &LearningRecord::recordReplaced);
        record.drillEvent(onWord(DrillEvent::Kind::Passed, word(QStringLiteral("one")), Monday));
        QVERIFY(record.flush());
        QVERIFY(QFile::remove(file));
        record.drillEvent(onWord(DrillEvent::Kind::Passed, word(QStringLiteral("two")), Monday));
        QVERIFY(record.flush());
        QTRY_COMPARE(replaced.size(), 1);
        QVERIFY2(replaced.front().front().toString().contains(QStringLiteral("已被删除")),
                 qPrintable(replaced.front().front().toString()));
        QTRY_COMPARE(record.errorBook().size(), 1);
        QCOMPARE(statisticsOf(file).errorBook.size(), size_t(1));
    }

    void damagedRecordIsSetAside_data()
    {
        QTest::addColumn<QString>("part"); // the b-tree damaged; none: the file's header
        QTest::addColumn<int>("offset");   // into it
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("free-page count") << QString() << 36 << QByteArray::fromHex("00000005");
        QTest::newRow("an index page") << QStringLiteral("word_misses") << 0 << QByteArray(1, '\x0d');
        QTest::newRow("a table page") << QStringLiteral("event") << 0 << QByteArray(4096, '\0');
    }
    void damagedRecordIsSetAside()
    {
        QFETCH(QString, part);
        QFETCH(int, offset);
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        const QString file = HistoryFile::path(dir.path());
        {
            LearningRecord record(file);
            record.drillEvent(drillEvent(DrillEvent::Kind::Started, Monday));
            for (int i = 1; i <= 40; ++i)
                record.drillEvent(
                    onWord(DrillEvent::Kind::Passed, word(QStringLiteral("w%1").arg(i), i), Monday));
            QVERIFY(record.flush());
        } // the last connection puts the WAL into the file
        const qint64 page = part.isEmpty() ? 1 : rootPage(file, part);
        QVERIFY(page > 0);
        QFile damage(file);
        QVERIFY(damage.open(QIODevice::ReadWrite) && damage.seek((page - 1) * 4096 + offset) &&
                damage.write(bytes) == bytes.size());
        damage.seek(0);
        const QByteArray damaged = damage.readAll();
        damage.close();

        LearningRecord record(file);
        QSignalSpy replaced(&record, &LearningRecord::recordReplaced);
        QTRY_COMPARE(replaced.size(), 1);
        const QString aside = file + QStringLiteral(".damaged-") + QDate::currentDate().toString(Qt::ISODate);
        QVERIFY2(replaced.front().front().toString().contains(QFileInfo(aside).fileName()),
                 qPrintable(replaced.front().front().toString()));
        QFile kept(aside);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), damaged);
        QTRY_VERIFY(record.isErrorBookRead());
        QCOMPARE(record.errorBook().size(), 0);
        record.drillEvent(onWord(DrillEvent::Kind::Passed, word(QStringLiteral("again")), Monday));
        QVERIFY(record.flush());
        QCOMPARE(statisticsOf(file).errorBook.size(), size_t(1));
    }

    // What the journal keeps of a word event reaches the record at the next start, from a journal of an
    // older program too.
    void journalOfEitherVersionIsWrittenIn_data()
    {
        QTest::addColumn<QByteArray>("journal");
        QTest::addColumn<QString>("events"); // DrillEvent::Kind's number, then what else is known
        const DrillWord one = word(QStringLiteral("one"));
        const QByteArray fields = "\tword7\t1\t" + one.prompt.toLatin1() + '\t' + one.answer.toLatin1();
        QTest::newRow("version 1") << "vokabo-journal 1\nrevealed\t2026-03-09T09:30:00.000\tunit\t23\t1" +
                                          fields + "\t0\t\n"
                                   << "3 unit";
        QTest::newRow("version 2") << "vokabo-journal 2\nrevealed\t2026-03-09T09:30:00.000\treview\t\t1" +
                                          fields +
                                          "\t0\t\t\t1\nanswered\t2026-03-09T09:30:04.000\treview\t\t1" +
                                          fields + "\t1\t\t3800\t0\n"
                                   << "3 spoken review, 1 shown 3800ms review";
        EventJournal written;
        DrillEvent answered = onWord(DrillEvent::Kind::Answered, one, Monday, DrillKind::Review);
        answered.responseMs = 2100;
        DrillEvent heard = onWord(DrillEvent::Kind::Revealed, one, Monday, DrillKind::ErrorBook);
        heard.spoken = true;
        written.events = {heard, answered};
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("journal"));
        QCOMPARE(written.write(file), std::nullopt);
        QFile text(file);
        QVERIFY(text.open(QIODevice::ReadOnly));
        QTest::newRow("as this program writes it") << text.readAll() << "3 spoken errorbook, 1 2100ms review";
    }
    void journalOfEitherVersionIsWrittenIn()
    {
        QFETCH(QByteArray, journal);
        QTemporaryDir dir;
        const QString file = HistoryFile::path(dir.path());
        QFile out(EventJournal::path(file));
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(journal) == journal.size());
        out.close();
        {
            LearningRecord record(file);
            QTRY_VERIFY(!QFile::exists(EventJournal::path(file)));
        }
        auto read = readWordEvents(file);
        QVERIFY(std::holds_alternative<WordEventLog>(read));
        QStringList events;
        const char* const drills[] = {"unit", "errorbook", "review"};
        for (const RecordedWordEvent& event : std::get<WordEventLog>(read).events)
            events << QStringLiteral("%1%2%3%4 %5")
                          .arg(int(event.kind))
                          .arg(event.answerShown ? QStringLiteral(" shown") : QString())
                          .arg(event.responseMs ? QStringLiteral(" %1ms").arg(*event.responseMs) : QString())
                          .arg(event.spoken ? QStringLiteral(" spoken") : QString())
                          .arg(QLatin1String(drills[int(event.drill)]));
        QTEST(events.join(QStringLiteral(", ")), "events");
    }
};

QTEST_GUILESS_MAIN(TestLearningRecord)
#include "tst_learningrecord.moc"
