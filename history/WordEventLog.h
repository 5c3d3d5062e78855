// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DrillEvent.h"
#include "ErrorBook.h"
#include "Failure.h"

#include <QDateTime>
#include <QString>
#include <atomic>
#include <optional>
#include <vector>

// One thing that happened to a word, as the learning record keeps it: answered, passed over, revealed or
// deleted as mastered.
struct RecordedWordEvent {
    qint32 word = 0; // its place in WordEventLog::words
    // The learner's clock when it happened, as the record keeps it: a local time without a zone. It is held
    // in Qt's UTC form, which keeps the date and time as they were read and costs a thirtieth of a local
    // time to make: date() is the local day.
    QDateTime at;
    DrillEvent::Kind kind = DrillEvent::Kind::Answered;
    bool answerShown = false;      // on screen when the word was met
    bool spoken = false;           // a reveal by hearing the word
    std::optional<int> responseMs; // an answer's; none in records older than response times
    DrillKind drill = DrillKind::Unit;
};

// Every word event of the learning record: what the review schedule is replayed from.
struct WordEventLog {
    std::vector<WordKey> words;            // every word met, once
    std::vector<RecordedWordEvent> events; // in time order
};

// Reads the word events of History.db; a file that does not exist yet is an empty record. Stops early,
// with a failure, once `cancelled` is set.
Result<WordEventLog> readWordEvents(const QString& historyFile, const std::atomic<bool>* cancelled = nullptr);
