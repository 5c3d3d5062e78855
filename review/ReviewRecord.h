// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ErrorBook.h"
#include "MemoryModel.h"
#include "ReviewSchedule.h"
#include "SettingsFile.h"
#include "WordEventLog.h"
#include "WordStore.h"

#include <QDate>
#include <atomic>
#include <map>
#include <optional>
#include <vector>

// The section [Review] of the settings file.
struct ReviewSettings {
    static constexpr int DefaultDailyLimit = 200;
    static constexpr int MaximumDailyLimit = 10000;
    double retention = MemoryModel::DefaultRetention; // Retention=0.90
    int dailyLimit = DefaultDailyLimit;               // DailyLimit=200: reviews a day in today's drill
};

// Retention is taken from 0.70 to 0.97 and DailyLimit from 1 to 10,000; any other value gives the default
// and one line on stderr. A key that is not there is the default.
ReviewSettings readReviewSettings(const SettingsFile& settings);

// Reviews of words that were due on their day, and of them those graded Hard or Good: the retention the
// learner showed, to hold against the one asked for.
struct DueReviews {
    int due = 0;
    int recalled = 0;
};

// The learning record replayed through the memory model: the schedule of every word, which is a function
// of the word events alone, and how the reviews of due words went.
struct ReviewRecord {
    struct Word {
        WordKey key;
        WordSchedule schedule;
    };
    std::vector<Word> words;                // every word in the schedule, in the order first met
    std::map<QDate, DueReviews> dueReviews; // by day; words deleted since count too

    // The due reviews graded on `day`, against the daily limit when `day` is today.
    int dueReviewsOn(const QDate& day) const;
};

// The word events of a log as the schedule reads them: grouped by word, each word's in time order, with
// the length of the word's answer (decoded from its key) for the slow rule.
struct EventsByWord {
    std::vector<WordEvent> events;
    std::vector<size_t> starts; // word w's events are from starts[w] to starts[w + 1]
    std::span<const WordEvent> of(size_t word) const
    {
        return std::span(events).subspan(starts[word], starts[word + 1] - starts[word]);
    }
};
EventsByWord eventsByWord(const WordEventLog& log);

// Replays every word's events. No value when `cancelled` was set before the end.
std::optional<ReviewRecord> replayRecord(const WordEventLog& log, const MemoryModel& model,
                                         const std::atomic<bool>* cancelled = nullptr);

// A word of the schedule where the word database has it.
struct ReviewWord {
    StoredWord stored;
    WordSchedule schedule;
};

// The scheduled words that are in the word database, each at the first record that holds it, in the
// record's order. A word in no unit any more cannot be drilled and is left out.
std::vector<ReviewWord> locateScheduled(const ReviewRecord& record, const std::vector<StoredWord>& words);

// The words due on `day` or before, most at risk of being forgotten first (see todaysReviews()), at most
// `limit` of them; `word` is the place in `words`.
std::vector<DueWord> dueOn(const std::vector<ReviewWord>& words, const QDate& day, const MemoryModel& model,
                           int limit);

// Today's review drill: dueOn() today, at most the daily limit less the due reviews already graded today.
std::vector<DueWord> todaysDrill(const std::vector<ReviewWord>& words, const ReviewRecord& record,
                                 const QDate& today, const MemoryModel& model, int dailyLimit);

// Today's reviews as the data folder's files have them.
struct ReviewState {
    ReviewRecord record;
    std::vector<ReviewWord> words; // the scheduled words that the word database has
};

// Replays the learning record of the data folder (History.db; none yet is an empty one) and finds its words
// in the word database (MyDatas.db). A failure when either cannot be read, or once `cancelled` is set.
Result<ReviewState> readReviewState(const QString& applicationDirectory, const MemoryModel& model,
                                    const std::atomic<bool>* cancelled = nullptr);
