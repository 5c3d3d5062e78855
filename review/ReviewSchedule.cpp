// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReviewSchedule.h"

#include <algorithm>

namespace {

std::optional<Grade> gradeOf(const WordEvent& event)
{
    if (!event.testMode || event.answerShown) {
        return std::nullopt;
    }
    switch (event.kind) {
    case WordEvent::Kind::PassedOver:
    case WordEvent::Kind::Revealed:
    case WordEvent::Kind::SpokenBeforeTyped:
        return Grade::Again;
    case WordEvent::Kind::Answered:
        if (event.responseMs && *event.responseMs > slowAfterMs(event.answerLetters)) {
            return Grade::Hard;
        }
        return Grade::Good;
    case WordEvent::Kind::DeletedAsMastered:
        break;
    }
    return std::nullopt;
}

// The one walk over a word's events that both reviewsOf() and replay() take.
template <typename OnReview, typename OnDeleted>
void walk(std::span<const WordEvent> events, OnReview onReview, OnDeleted onDeleted)
{
    QDate lastGraded;
    for (const WordEvent& event : events) {
        if (event.kind == WordEvent::Kind::DeletedAsMastered) {
            lastGraded = QDate();
            onDeleted();
            continue;
        }
        const std::optional<Grade> grade = gradeOf(event);
        if (!grade) {
            continue;
        }
        const QDate day = event.at.date();
        if (day == lastGraded) {
            continue;
        }
        lastGraded = day;
        onReview(Review{day, *grade});
    }
}

} // namespace

int slowAfterMs(int answerLetters)
{
    return 1500 + 600 * std::max(answerLetters, 0);
}

std::vector<Review> reviewsOf(std::span<const WordEvent> events)
{
    std::vector<Review> reviews;
    walk(
        events, [&](const Review& review) { reviews.push_back(review); }, [&] { reviews.clear(); });
    return reviews;
}

WordSchedule afterReview(const std::optional<WordSchedule>& before, const Review& review,
                         const MemoryModel& model)
{
    WordSchedule after;
    MemoryModel::AfterReview step;
    if (before) {
        step = model.review(before->memory, static_cast<int>(before->lastReview.daysTo(review.day)),
                            review.grade);
        after.reps = before->reps + 1;
        after.lapses = before->lapses + (review.grade == Grade::Again ? 1 : 0);
    } else {
        step = model.firstReview(review.grade);
        after.reps = 1;
    }
    after.memory = step.memory;
    after.lastReview = review.day;
    after.due = review.day.addDays(step.interval);
    return after;
}

std::optional<WordSchedule> replay(std::span<const WordEvent> events, const MemoryModel& model,
                                   const ReviewObserver& observe)
{
    std::optional<WordSchedule> schedule;
    walk(
        events,
        [&](const Review& review) {
            if (observe)
                observe(review, schedule);
            schedule = afterReview(schedule, review, model);
        },
        [&] { schedule.reset(); });
    return schedule;
}

std::vector<DueWord> todaysReviews(std::span<const WordSchedule> words, QDate today, const MemoryModel& model,
                                   int dailyLimit)
{
    std::vector<DueWord> due;
    for (qsizetype i = 0; i < qsizetype(words.size()); ++i) {
        const WordSchedule& word = words[i];
        if (word.due <= today) {
            const auto elapsed = static_cast<int>(word.lastReview.daysTo(today));
            due.push_back({i, model.retrievability(word.memory, elapsed)});
        }
    }
    const auto atGreaterRisk = [&](const DueWord& a, const DueWord& b) {
        if (a.retrievability != b.retrievability) {
            return a.retrievability < b.retrievability;
        }
        if (words[a.word].due != words[b.word].due) {
            return words[a.word].due < words[b.word].due;
        }
        return a.word < b.word;
    };
    const auto kept = std::min(due.size(), static_cast<size_t>(std::max(dailyLimit, 0)));
    std::partial_sort(due.begin(), due.begin() + kept, due.end(), atGreaterRisk);
    due.resize(kept);
    return due;
}
