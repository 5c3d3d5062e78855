// SPDX-License-Identifier: GPL-3.0-or-later
#include "CollectStatistics.h"
#include "Colours.h"
#include "FieldCipher.h"
#include "HeatMap.h"
#include "LearningRecord.h"
#include "SettingsFile.h"
#include "StatisticsWindow.h"
#include "WordStore.h"

#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChartView>
#include <QGroupBox>
#include <QLabel>
#include <QLineSeries>
#include <QScrollArea>
#include <QScrollBar>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolTip>
#include <QValueAxis>
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
    // in practice mode: dog passed over. Then an error-book drill in test mode (100%).
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
        // An error-book drill in test mode, where no word was left to measure: drawn with the units.
        DrillEvent book;
        book.drill = DrillKind::ErrorBook;
        book.at = Now.addSecs(-60);
        record.drillEvent(book);
        book.kind = DrillEvent::Kind::Completed;
        book.accuracy = 100;
        record.drillEvent(book);
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
        QCOMPARE(data.testDrills.size(), size_t(2));
        QCOMPARE(data.testDrills.back().unitCode, QString());
        QCOMPARE(data.testDrills.back().accuracy, 100);

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
        QCOMPARE(series.size(), 2);
        QCOMPARE(series.front()->name(), QStringLiteral("一级"));
        QCOMPARE(static_cast<QLineSeries*>(series.front())->count(), 1);
        QCOMPARE(series.back()->name(), QStringLiteral("错题本"));

        // Opened again over an empty record: nothing left over from before.
        QFile::remove(HistoryFile::path(learner.dir.path()));
        window.display(collectStatistics(learner.dir.path(), Now));
        QVERIFY(!chart->isVisible());
        QCOMPARE(missed->rowCount(), 0);
    }

    // The day after the drill, banana, due then, is typed again: a due review recalled. The words of the
    // schedule are due over the days ahead, the overdue ones today.
    void scheduleViews()
    {
        Learner learner;
        learner.drill();
        const QDateTime tomorrow = Now.addDays(1);
        {
            LearningRecord record(HistoryFile::path(learner.dir.path()));
            DrillEvent typed;
            typed.kind = DrillEvent::Kind::Answered;
            typed.at = tomorrow;
            typed.word = {{"word1", 2}, *encodeField(Learner::meaning("banana")), *encodeField("banana")};
            record.drillEvent(typed);
            QVERIFY(record.flush());
        }
        StatisticsWindow window;
        window.display(collectStatistics(learner.dir.path(), tomorrow));
        for (const char* note : {"forecastChartNote", "retentionChartNote"})
            QCOMPARE(window.findChild<QLabel*>(note)->text(), QStringLiteral("正在读取复习计划…"));

        const MemoryModel model(0.85);
        const auto state = readReviewState(learner.dir.path(), model);
        QVERIFY(std::holds_alternative<ReviewState>(state));
        const StatisticsData data =
            collectStatistics(learner.dir.path(), tomorrow, &std::get<ReviewState>(state), 0.85);
        QVERIFY(data.reviewsRead);
        // dog, passed over yesterday; apple, typed yesterday, in two days; banana later. cherry was met with
        // its answer on screen, which does not grade.
        QCOMPARE(data.duePerDay[0], 1);
        QCOMPARE(data.duePerDay[size_t(model.firstReview(Grade::Good).interval - 1)], 1);
        QCOMPARE(std::accumulate(data.duePerDay.begin(), data.duePerDay.end(), 0), 3);
        QCOMPARE(data.retention.size(), size_t(1));
        QCOMPARE(data.retention[0].monday, QDate(2026, 3, 9));
        QCOMPARE(data.retention[0].dueReviews, 1);
        QCOMPARE(data.retention[0].recalled, 1);

        window.display(data);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* forecast = window.findChild<QChartView*>(QStringLiteral("forecastChart"));
        QVERIFY(forecast->isVisible());
        const auto* bars = qobject_cast<QBarSeries*>(forecast->chart()->series().value(0));
        QVERIFY(bars);
        QCOMPARE(bars->barSets().front()->count(), StatisticsData::ForecastDays);
        QCOMPARE(bars->barSets().front()->at(0), 1.0);
        auto* retention = window.findChild<QChartView*>(QStringLiteral("retentionChart"));
        QVERIFY(retention->isVisible());
        QStringList lines;
        for (const QAbstractSeries* series : retention->chart()->series())
            lines << series->name() + u' ' +
                         QString::number(static_cast<const QLineSeries*>(series)->at(0).y());
        QCOMPARE(lines, QStringList({"目标 85", "实际 100"}));
        bool titled = false;
        for (const QGroupBox* box : window.findChildren<QGroupBox*>())
            titled = titled || box->title() == QStringLiteral("每周复习的记忆保持率（目标 85%）");
        QVERIFY(titled);
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

    // Lines with room above 100 % and beyond the last drill, labelled at whole months.
    void accuracyAxes()
    {
        StatisticsData data;
        data.today = Now.date();
        data.firstDay = data.today.addDays(-180);
        for (const auto& [day, accuracy] : {std::pair{QDate(2026, 1, 20), 60}, {QDate(2026, 3, 12), 100}})
            data.testDrills.push_back({QDateTime(day, QTime(19, 0)), day, QStringLiteral("11"), accuracy});
        StatisticsWindow window;
        window.display(data);
        const QChart* chart = window.findChild<QChartView*>(QStringLiteral("accuracyChart"))->chart();
        const auto* percent = qobject_cast<QValueAxis*>(chart->axes(Qt::Vertical).front());
        QVERIFY(percent->max() > 100 && percent->min() < 60);
        auto* time = qobject_cast<QCategoryAxis*>(chart->axes(Qt::Horizontal).front());
        QCOMPARE(time->categoriesLabels(), QStringList({"1月", "2月", "3月", "4月"}));
        for (const QString& label : time->categoriesLabels()) {
            const QDateTime at = QDateTime::fromMSecsSinceEpoch(qint64(time->endValue(label)));
            QCOMPARE(at.time(), QTime(0, 0));
            QCOMPARE(at.date().day(), 1);
        }
        QVERIFY(static_cast<QLineSeries*>(chart->series().front())->pointsVisible());
    }

    void tipsOnDaysAndDrills()
    {
        Learner learner;
        learner.drill();
        StatisticsWindow window;
        window.display(collectStatistics(learner.dir.path(), Now));
        window.resize(1100, 700);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        const auto tipAt = [](QWidget* widget, const QPoint& at) {
            QToolTip::hideText();
            if (!QTest::qWaitFor([] { return !QToolTip::isVisible(); }))
                return QStringLiteral("the last tip stays");
            QHelpEvent help(QEvent::ToolTip, at, widget->mapToGlobal(at));
            QApplication::sendEvent(widget, &help);
            return QToolTip::isVisible() ? QToolTip::text() : QString();
        };
        auto* heatMap = window.findChild<HeatMap*>(QStringLiteral("heatMap"));
        QCOMPARE(tipAt(heatMap, heatMap->dayRect(Now.date()).center()),
                 QStringLiteral("2026-03-12：答对 2 个"));
        QCOMPARE(tipAt(heatMap, heatMap->dayRect(Now.date().addDays(-1)).center()),
                 QStringLiteral("2026-03-11：答对 0 个"));

        auto* view = window.findChild<QChartView*>(QStringLiteral("accuracyChart"));
        auto* series = static_cast<QLineSeries*>(view->chart()->series().front());
        const QPoint point = view->mapFromScene(
            view->chart()->mapToScene(view->chart()->mapToPosition(series->at(0), series)));
        QCOMPARE(tipAt(view->viewport(), point + QPoint(2, 1)),
                 QStringLiteral("2026-03-12 19:00 一级1单元：正确率 67%"));
        QCOMPARE(tipAt(view->viewport(), QPoint(2, 2)), QString());
    }

    void columnsFollowTheWidth_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("twoColumns");
        QTest::newRow("wide") << 1100 << true;
        QTest::newRow("narrow") << 600 << false;
    }

    void columnsFollowTheWidth()
    {
        QFETCH(int, width);
        QFETCH(bool, twoColumns);
        StatisticsWindow window;
        window.resize(width, 500);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const auto* calendar = window.findChild<QGroupBox*>(QStringLiteral("calendarBox"));
        const auto* accuracy = window.findChild<QGroupBox*>(QStringLiteral("accuracyBox"));
        QTRY_COMPARE(accuracy->x() > calendar->x(), twoColumns);
        QCOMPARE(accuracy->y() > calendar->y(), !twoColumns);
        // What does not fit scrolls.
        QVERIFY(window.findChild<QScrollArea*>()->verticalScrollBar()->maximum() > 0);
    }
};

QTEST_MAIN(TestStatistics)
#include "tst_statistics.moc"
