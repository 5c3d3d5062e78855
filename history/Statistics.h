// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ErrorBook.h"
#include "HistoryFile.h"

#include <QDate>
#include <QDateTime>
#include <map>
#include <variant>
#include <vector>

// What the learning record says about the learner's progress: the figures of the statistics window.
struct LearningStatistics {
    struct TestDrill {
        QDateTime completed; // in UTC
        QDate day;           // local
        QString unitCode;    // empty for the error book and today's reviews
        int accuracy = 0;
        DrillKind drill = DrillKind::Unit;
    };
    struct UnitFigures {
        int drillsDone = 0;         // unit drills completed, in either mode
        int testDrills = 0;         // of them, in test mode throughout, with an accuracy
        double accuracyTotal = 0.0; // sum of those accuracies
    };
    struct MissedWord {
        WordKey key;
        int misses = 0; // passed over or revealed
    };

    std::map<QDate, int> answeredPerDay;   // words answered correctly, from the first day asked for
    std::vector<TestDrill> testDrills;     // completed drills in test mode, oldest first
    std::map<QString, UnitFigures> units;  // by unit code
    std::vector<MissedWord> mostMissed;    // most missed first
    std::vector<ErrorBookEntry> errorBook; // in the order the words entered it
};

// Reads the statistics from History.db: answers per day from `firstDay` on, and the `mostMissed` words
// missed most often. A file that does not exist yet is an empty record.
Result<LearningStatistics> readStatistics(const QString& historyFile, const QDate& firstDay,
                                          int mostMissed = 20);
