// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Recordset.h"

#include <QDateTime>
#include <QString>
#include <optional>

// Which words a drill goes through: one unit's, the error book's, or today's reviews.
enum class DrillKind { Unit, ErrorBook, Review };

// A word as the drill met it: where it lives and its two fields in their stored, enciphered form.
struct DrillWord {
    WordLocation location;
    QString prompt;
    QString answer;
};

// One thing that happened in a drill, as the learning record keeps it.
struct DrillEvent {
    enum class Kind {
        Started,   // Start: unitCode, testMode
        Answered,  // typed correctly: word, answerShown, responseMs
        Passed,    // "下一个": word, answerShown
        Revealed,  // "投降了，看看答案", or heard with Ctrl+J (spoken): word, answerShown
        Deleted,   // deleted as mastered: word
        Completed, // past the last word: unitCode, testMode (throughout the drill), accuracy
    };
    Kind kind = Kind::Started;
    QDateTime at;
    DrillKind drill = DrillKind::Unit;
    QString unitCode; // empty in an error-book drill
    bool testMode = true;
    DrillWord word;
    bool answerShown = false; // the answer was on screen when the word was typed, passed over or revealed
    bool spoken = false;      // revealed by hearing it
    std::optional<int> responseMs; // an answer's time from the word shown to the correct entry
    std::optional<int> accuracy;   // none when no word was left to measure against
};

// Where the drill engine reports its events.
class DrillObserver {
public:
    virtual ~DrillObserver() = default;
    virtual void drillEvent(const DrillEvent& event) = 0;
};
