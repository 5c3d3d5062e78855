#include "FieldCipher.h"
#include "LearningRecord.h"
#include "Statistics.h"

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
};

QTEST_GUILESS_MAIN(TestLearningRecord)
#include "tst_learningrecord.moc"
