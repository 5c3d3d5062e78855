// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "MemoryModel.h"

#include <QDate>
#include <QDateTime>
#include <functional>
#include <optional>
#include <span>
#include <vector>

// What the learner did with a word, as the learning record keeps it.
struct WordEvent {
    enum class Kind {
        Answered,          // typed correctly
        PassedOver,        // "下一个"
        Revealed,          // "投降了，看看答案"
        SpokenBeforeTyped, // Ctrl+J before the answer was typed: hearing it and typing it is not recall
        DeletedAsMastered,
    };
    enum class Drill { Unit, ErrorBook, Review };

    QDateTime at; // as the learner's clock read it: its date() is the local day
    Kind kind = Kind::Answered;
    bool testMode = true;
    bool answerShown = false;      // the answer was on screen when the word was met
    std::optional<int> responseMs; // word shown to correct entry; none in older records
    int answerLetters = 0;
    Drill drill = Drill::Unit;
};

// A day's grade of a word: what its first meeting of that local day says about the learner's recall.
struct Review {
    QDate day;
    Grade grade = Grade::Good;
};

// Where a word stands in the schedule.
struct WordSchedule {
    Memory memory;
    QDate lastReview;
    QDate due;
    int reps = 0;   // reviews that graded
    int lapses = 0; // Again after the first review
};

// A typed answer is slow, and so graded Hard rather than Good, when it took longer than 1.5 s plus 0.6 s
// for each letter of the answer (4.5 s for a word of five letters): time to recall, then to type.
[[nodiscard]] int slowAfterMs(int answerLetters);

// The grades that count, in order: the first meeting of each local day in which the answer was hidden.
// Any drill grades alike. Meetings with the answer on screen (practice mode, or typing it after revealing
// it) say nothing about recall, so they neither grade nor use up the day's first meeting: a word copied
// in practice and then typed in a test the same day is graded by the test. A word deleted as mastered
// leaves the schedule: only what follows its last deletion counts. `events` are one word's, in time order.
[[nodiscard]] std::vector<Review> reviewsOf(std::span<const WordEvent> events);

// One more review of a word, which enters the schedule with its first.
[[nodiscard]] WordSchedule afterReview(const std::optional<WordSchedule>& before, const Review& review,
                                       const MemoryModel& model);

// Shown each review of a replay with the schedule before it: none for the word's first review and for its
// first after a deletion.
using ReviewObserver = std::function<void(const Review& review, const std::optional<WordSchedule>& before)>;

// A word's schedule from its events alone, the same as folding reviewsOf() through afterReview(): none
// when it never graded. Nothing else is kept, so two machines' records merged in time order replay to
// the one schedule.
[[nodiscard]] std::optional<WordSchedule> replay(std::span<const WordEvent> events, const MemoryModel& model,
                                                 const ReviewObserver& observe = {});

// A word of today's review drill.
struct DueWord {
    qsizetype word = 0;        // its position in the schedules given
    double retrievability = 0; // today
};

// The words due today or earlier, the most at risk of being forgotten (lowest retrievability) first, at
// most `dailyLimit` of them. Ties go to the word due first, then to the earlier position.
[[nodiscard]] std::vector<DueWord> todaysReviews(std::span<const WordSchedule> words, QDate today,
                                                 const MemoryModel& model, int dailyLimit = 200);
