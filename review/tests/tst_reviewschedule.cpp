// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReviewSchedule.h"

#include <QRandomGenerator>
#include <QTest>
#include <algorithm>

namespace {

using Kind = WordEvent::Kind;
using Drill = WordEvent::Drill;

const QDate monday(2026, 3, 2);

WordEvent met(Kind kind, int day, QTime time = QTime(9, 0))
{
    WordEvent event;
    event.at = QDateTime(monday.addDays(day), time);
    event.kind = kind;
    event.responseMs = 2000;
    event.answerLetters = 5; // slow after 4,500 ms
    return event;
}

WordEvent typed(int day, std::optional<int> responseMs = 2000, int letters = 5)
{
    WordEvent event = met(Kind::Answered, day);
    event.responseMs = responseMs;
    event.answerLetters = letters;
    return event;
}

WordEvent practised(int day)
{
    WordEvent event = met(Kind::Answered, day);
    event.testMode = false;
    event.answerShown = true;
    return event;
}

WordEvent at(WordEvent event, QTime time)
{
    event.at.setTime(time);
    return event;
}

WordEvent in(Drill drill, WordEvent event)
{
    event.drill = drill;
    return event;
}

// "0 Good, 1 Again": each review's day after the first event's Monday, and its grade.
QString describe(const std::vector<Review>& reviews)
{
    static const char* const names[] = {"", "Again", "Hard", "Good", "Easy"};
    QStringList parts;
    for (const Review& review : reviews) {
        parts << QStringLiteral("%1 %2").arg(monday.daysTo(review.day)).arg(names[int(review.grade)]);
    }
    return parts.join(QStringLiteral(", "));
}

bool operator==(const WordSchedule& a, const WordSchedule& b)
{
    return a.memory.stability == b.memory.stability && a.memory.difficulty == b.memory.difficulty &&
           a.lastReview == b.lastReview && a.due == b.due && a.reps == b.reps && a.lapses == b.lapses;
}

} // namespace

Q_DECLARE_METATYPE(std::vector<WordEvent>)

class TestReviewSchedule : public QObject {
    Q_OBJECT
private slots:
    void grading_data();
    void grading();
    void replayDependsOnTheEventsAlone();
    void todaysQueue_data();
    void todaysQueue();
};

void TestReviewSchedule::grading_data()
{
    QTest::addColumn<std::vector<WordEvent>>("events");
    QTest::addColumn<QString>("reviews");

    QTest::newRow("typed in test mode") << std::vector{typed(0)} << "0 Good";
    QTest::newRow("typed at the slow limit") << std::vector{typed(0, 4500)} << "0 Good";
    QTest::newRow("typed a millisecond slower") << std::vector{typed(0, 4501)} << "0 Hard";
    QTest::newRow("a longer word may take longer") << std::vector{typed(0, 7500, 10)} << "0 Good";
    QTest::newRow("no response time recorded") << std::vector{typed(0, std::nullopt)} << "0 Good";
    QTest::newRow("passed over") << std::vector{met(Kind::PassedOver, 0)} << "0 Again";
    QTest::newRow("revealed, then typed")
        << std::vector{met(Kind::Revealed, 0), at(practised(0), QTime(9, 1))} << "0 Again";
    QTest::newRow("spoken, then typed")
        << std::vector{met(Kind::SpokenBeforeTyped, 0), at(typed(0), QTime(9, 1))} << "0 Again";
    QTest::newRow("practice mode") << std::vector{practised(0)} << "";
    QTest::newRow("passed over in practice mode") << std::vector{[] {
        WordEvent event = met(Kind::PassedOver, 0);
        event.testMode = false;
        event.answerShown = true;
        return event;
    }()} << "";
    QTest::newRow("practice keeps the day's first meeting")
        << std::vector{practised(0), at(typed(0, 6000), QTime(10, 0))} << "0 Hard";
    QTest::newRow("second meeting the same day")
        << std::vector{typed(0), at(met(Kind::PassedOver, 0), QTime(21, 0))} << "0 Good";
    QTest::newRow("the next local day, an hour later")
        << std::vector{at(met(Kind::PassedOver, 0), QTime(23, 30)), at(typed(1), QTime(0, 30))}
        << "0 Again, 1 Good";
    QTest::newRow("deleted as mastered") << std::vector{typed(0), met(Kind::DeletedAsMastered, 3)} << "";
    QTest::newRow("met again after deletion")
        << std::vector{met(Kind::PassedOver, 0), met(Kind::DeletedAsMastered, 0),
                       at(typed(0, 9000), QTime(18, 0)), typed(4)}
        << "0 Hard, 4 Good";
    QTest::newRow("error book drill") << std::vector{in(Drill::ErrorBook, typed(0, 5000))} << "0 Hard";
    QTest::newRow("review drill") << std::vector{typed(0), in(Drill::Review, met(Kind::Revealed, 3))}
                                  << "0 Good, 3 Again";
}

void TestReviewSchedule::grading()
{
    QFETCH(std::vector<WordEvent>, events);
    QFETCH(QString, reviews);
    const std::vector<Review> graded = reviewsOf(events);
    QCOMPARE(describe(graded), reviews);

    const std::optional<WordSchedule> word = replay(events, MemoryModel());
    QCOMPARE(word.has_value(), !graded.empty());
    if (word) {
        QCOMPARE(word->reps, int(graded.size()));
        QCOMPARE(word->lastReview, graded.back().day);
    }
}

// Two machines' records, merged in time order, replay to the same schedules as one machine's, and
// nothing but the events counts: not the model used before, nor the order of the merge's inputs.
void TestReviewSchedule::replayDependsOnTheEventsAlone()
{
    QRandomGenerator random(17);
    const Kind kinds[] = {Kind::Answered,   Kind::Answered, Kind::Answered,
                          Kind::PassedOver, Kind::Revealed, Kind::SpokenBeforeTyped};
    for (int wordNumber = 0; wordNumber < 50; ++wordNumber) {
        std::vector<WordEvent> events;
        std::vector<WordEvent> first;
        std::vector<WordEvent> second;
        qint64 seconds = 0;
        for (int i = 0; i < 200; ++i) {
            seconds += random.bounded(1, 4 * 86400);
            WordEvent event = met(kinds[random.bounded(6)], 0);
            event.at = event.at.addSecs(seconds);
            event.testMode = random.bounded(5) != 0;
            event.answerShown = !event.testMode;
            event.responseMs = random.bounded(1000, 9000);
            if (random.bounded(100) == 0) {
                event.kind = Kind::DeletedAsMastered;
            }
            events.push_back(event);
            (random.bounded(2) ? first : second).push_back(event);
        }
        const auto byTime = [](const WordEvent& a, const WordEvent& b) { return a.at < b.at; };
        std::vector<WordEvent> merged;
        std::merge(second.begin(), second.end(), first.begin(), first.end(), std::back_inserter(merged),
                   byTime);

        const MemoryModel model;
        const std::optional<WordSchedule> once = replay(events, model);
        (void)replay(first, MemoryModel(0.75));
        const std::optional<WordSchedule> again = replay(merged, model);
        std::optional<WordSchedule> folded;
        for (const Review& review : reviewsOf(events)) {
            folded = afterReview(folded, review, model);
        }
        QCOMPARE(once.has_value(), folded.has_value());
        QCOMPARE(again.has_value(), folded.has_value());
        if (folded) {
            QVERIFY(*once == *folded);
            QVERIFY(*again == *folded);
        }
    }
}

void TestReviewSchedule::todaysQueue_data()
{
    QTest::addColumn<int>("dailyLimit");
    QTest::addColumn<QString>("queue");
    QTest::newRow("every due word") << 200 << "B E A C";
    QTest::newRow("capped") << 2 << "B E";
    QTest::newRow("no reviews left today") << 0 << "";
}

// Retrievability falls with the days since the last review over the stability; E and A have the same.
void TestReviewSchedule::todaysQueue()
{
    QFETCH(int, dailyLimit);
    QFETCH(QString, queue);
    const QDate today = monday.addDays(100);
    const auto word = [&](double stability, int daysSinceReview, int dueInDays) {
        return WordSchedule{{stability, 5}, today.addDays(-daysSinceReview), today.addDays(dueInDays), 3, 0};
    };
    const std::vector<WordSchedule> words = {
        word(10, 10, 0),   // A: due today
        word(2, 6, -4),    // B: the longest past its stability
        word(100, 50, -1), // C: half its stability
        word(5, 3, 1),     // D: due tomorrow
        word(20, 20, -1),  // E: as far gone as A, due a day earlier
    };
    const std::vector<DueWord> due = todaysReviews(words, today, MemoryModel(), dailyLimit);
    QStringList names;
    for (size_t i = 0; i < due.size(); ++i) {
        names << QString(QChar(char16_t(u'A' + due[i].word)));
        if (i > 0) {
            QVERIFY(due[i - 1].retrievability <= due[i].retrievability);
        }
    }
    QCOMPARE(names.join(u' '), queue);
}

QTEST_APPLESS_MAIN(TestReviewSchedule)
#include "tst_reviewschedule.moc"
