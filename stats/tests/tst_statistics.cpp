#include "CollectStatistics.h"
#include "Colours.h"
#include "FieldCipher.h"
#include "HeatMap.h"
#include "LearningRecord.h"
#include "SettingsFile.h"
#include "StatisticsWindow.h"
#include "WordStore.h"

#include <QChartView>
#include <QGroupBox>
#include <QLineSeries>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QDateTime Now(QDate(2026, 3, 12), QTime(20, 0)); // a Thursday

// Units 11 (word1: apple, banana, cherry) and 21 (word5: dog, egg); unit 11 last completed five days ago.
class Learner {
public:
    Learner()
    {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("maker"));
            db.setDatabaseName(WordStore::databasePath(dir.path()));
            db.open();
            QSqlQuery query(db);
            for (const auto& [table, words] : words_) {
                query.exec(
                    QStringLiteral("CREATE TABLE %1 (id INTEGER PRIMARY KEY, chinese TEXT, english TEXT)")
                        .arg(table));
                for (const QString& english : words)
                    query.exec(QStringLiteral("INSERT INTO %1 (chinese, english) VALUES ('%2', '%3')")
                                   .arg(table, *encodeField(meaning(english)), *encodeField(english)));
            }
        }
        QSqlDatabase::removeDatabase(QStringLiteral("maker"));
        (void)mdlINI(dir.path())
            .WriteIniValue(QStringLiteral("LastDate"), QStringLiteral("11"),
                           QStringLiteral("2026/3/7 9:00:00"));
    }

    static QString meaning(const QString& english) { return english + QStringLiteral("的意思"); }

    // Unit 11 in test mode: apple answered, banana passed over, cherry revealed and typed (67%). Unit 21
    // in practice mode: dog passed over.
    void drill()
    {
        LearningRecord record(HistoryFile::path(dir.path()));
        const auto event = [&](DrillEvent::Kind kind, const QString& code, const QString& english = {},
                               qint64 rowid = 0) {
            DrillEvent e;
            e.kind = kind;
            e.at = Now.addSecs(-3600);
            e.unitCode = code;
            e.testMode = code == QStringLiteral("11");
            if (kind == DrillEvent::Kind::Completed)
                e.accuracy = code == QStringLiteral("11") ? 67 : 50;
            if (!english.isEmpty())
                e.word = {
                    {code == QStringLiteral("11") ? QStringLiteral("word1") : QStringLiteral("word5"), rowid},
                    *encodeField(meaning(english)),
                    *encodeField(english)};
            e.answerShown = english == QStringLiteral("cherry");
            record.drillEvent(e);
        };
        using Kind = DrillEvent::Kind;
        event(Kind::Started, "11");
        event(Kind::Answered, "11", "apple", 1);
        event(Kind::Passed, "11", "banana", 2);
        event(Kind::Revealed, "11", "cherry", 3);
        event(Kind::Answered, "11", "cherry", 3);
        event(Kind::Completed, "11");
        event(Kind::Started, "21");
        event(Kind::Passed, "21", "dog", 1);
        event(Kind::Completed, "21");
        QVERIFY(record.flush());
    }

    QTemporaryDir dir;

private:
    const std::map<QString, QStringList> words_{{"word1", {"apple", "banana", "cherry"}},
                                                {"word5", {"dog", "egg"}}};
};

} // namespace

class TestStatistics : public QObject {
    Q_OBJECT
private slots:
    void figures()
    {
        Learner learner;
        learner.drill();
        const StatisticsData data = collectStatistics(learner.dir.path(), Now);
        QVERIFY(data.problems.isEmpty());
        QCOMPARE(data.firstDay, QDate(2025, 9, 15)); // the Monday 25 weeks before this week's
        QCOMPARE(data.firstDay.dayOfWeek(), 1);
        QCOMPARE(data.answeredPerDay, (std::map<QDate, int>{{Now.date(), 2}}));
        QCOMPARE(data.testDrills.size(), size_t(1));

        const StatisticsData::Unit& first = data.units[0];
        QCOMPARE(first.code, QStringLiteral("11"));
        QCOMPARE(first.daysSince, 5);
        QCOMPARE(first.band, ReviewBand::Good);
        QCOMPARE(first.drillsDone, 1);
        QCOMPARE(first.meanAccuracy, 67.0);
        QCOMPARE(first.wordsLeft, 3);
        QCOMPARE(first.inErrorBook, 2);
        const StatisticsData::Unit& practised = data.units[4];
        QCOMPARE(practised.code, QStringLiteral("21"));
        QCOMPARE(practised.drillsDone, 1);
        QCOMPARE(practised.meanAccuracy, std::nullopt); // practice mode has no accuracy to average
        QCOMPARE(practised.inErrorBook, 1);
        QCOMPARE(practised.lastCompleted, std::nullopt);

        QCOMPARE(data.mostMissed.size(), size_t(3));
        QCOMPARE(data.mostMissed[0].english, QStringLiteral("banana"));
        QCOMPARE(data.mostMissed[0].chinese, QStringLiteral("banana的意思"));
        QCOMPARE(data.mostMissed[0].misses, 1);
    }

    void unreadableRecordStillShowsTheUnits()
    {
        Learner learner;
        QFile history(HistoryFile::path(learner.dir.path()));
        QVERIFY(history.open(QIODevice::WriteOnly));
        history.write(QByteArray(4096, 'x'));
        history.close();
        const StatisticsData data = collectStatistics(learner.dir.path(), Now);
        QCOMPARE(data.problems.size(), 1);
        QVERIFY(data.problems.front().startsWith(QStringLiteral("学习记录无法读取：")));
        QCOMPARE(data.units[0].wordsLeft, 3);
        QCOMPARE(data.units[0].daysSince, 5);
    }

    void windowShowsTheFourViews()
    {
        Learner learner;
        learner.drill();
        StatisticsWindow window;
        window.display(collectStatistics(learner.dir.path(), Now));
        window.widget()->show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.windowTitle(), QStringLiteral("学习统计"));
        QVERIFY(window.findChild<HeatMap*>(QStringLiteral("heatMap"))->isVisible());

        auto* units = window.findChild<QTableWidget*>(QStringLiteral("unitTable"));
        QCOMPARE(units->rowCount(), 20);
        QCOMPARE(units->item(0, 0)->text(), QStringLiteral("一级1单元"));
        QCOMPARE(units->item(0, 1)->text(), QStringLiteral("2026/3/7 9:00"));
        QCOMPARE(units->item(0, 2)->text(), QStringLiteral("5"));
        QCOMPARE(units->item(0, 2)->background().color(), colourOfNumber(bandColourNumber(ReviewBand::Good)));
        QCOMPARE(units->item(0, 4)->text(), QStringLiteral("67%"));
        QCOMPARE(units->item(4, 4)->text(), QStringLiteral("—"));
        QCOMPARE(units->item(4, 6)->text(), QStringLiteral("1"));

        auto* missed = window.findChild<QTableWidget*>(QStringLiteral("missedWords"));
        QCOMPARE(missed->rowCount(), 3);
        QCOMPARE(missed->item(0, 1)->text(), QStringLiteral("banana的意思"));

        auto* chart = window.findChild<QChartView*>(QStringLiteral("accuracyChart"));
        QVERIFY(chart->isVisible());
        const auto series = chart->chart()->series();
        QCOMPARE(series.size(), 1);
        QCOMPARE(series.front()->name(), QStringLiteral("一级"));
        QCOMPARE(static_cast<QLineSeries*>(series.front())->count(), 1);

        // Opened again over an empty record: nothing left over from before.
        QFile::remove(HistoryFile::path(learner.dir.path()));
        window.display(collectStatistics(learner.dir.path(), Now));
        QVERIFY(!chart->isVisible());
        QCOMPARE(missed->rowCount(), 0);
    }

    void manyDrillsShowAsWeeklyMeans()
    {
        StatisticsData data;
        data.today = Now.date();
        data.firstDay = data.today.addDays(-180);
        // 200 drills of unit 11 over the four weeks from Monday 2026-02-09, alternating 80% and 100%.
        for (int i = 0; i < 200; ++i) {
            const QDate day = QDate(2026, 2, 9).addDays(i * 28 / 200);
            data.testDrills.push_back(
                {QDateTime(day, QTime(10, 0)), day, QStringLiteral("11"), i % 2 ? 100 : 80});
        }
        StatisticsWindow window;
        window.display(data);
        const auto series = window.findChild<QChartView*>(QStringLiteral("accuracyChart"))->chart()->series();
        QCOMPARE(series.size(), 1);
        const QList<QPointF> weeks = static_cast<QLineSeries*>(series.front())->points();
        QCOMPARE(weeks.size(), 4);
        QCOMPARE(weeks.front().y(), 90.0);
        bool titled = false;
        for (const QGroupBox* box : window.findChildren<QGroupBox*>())
            titled = titled || box->title() == QStringLiteral("测试模式的正确率（每周平均）");
        QVERIFY(titled);
    }
};

QTEST_MAIN(TestStatistics)
#include "tst_statistics.moc"
