// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ReviewBands.h"

#include <QDate>
#include <QDateTime>
#include <QStringList>
#include <array>
#include <map>
#include <optional>
#include <vector>

// Everything the statistics window shows. The program gathers it from the files of the data folder; the
// window only draws it.
struct StatisticsData {
    static constexpr int Weeks = 26;
    static constexpr int MostMissed = 20;
    static constexpr int ForecastDays = 30;

    struct TestDrill {
        QDateTime completed; // in UTC
        QDate day;           // local
        QString unitCode;    // empty for the error book and today's reviews
        int accuracy = 0;
        bool review = false; // a drill of today's reviews
    };

    struct Unit {
        QString code;
        QString caption;
        std::optional<QDateTime> lastCompleted; // from Syset.ini
        std::optional<int> daysSince;
        std::optional<ReviewBand> band;
        int drillsDone = 0;
        std::optional<double> meanAccuracy; // of its test-mode drills
        std::optional<int> wordsLeft;       // none when the word database cannot be read
        int inErrorBook = 0;
    };
    struct MissedWord {
        QString english;
        QString chinese;
        int misses = 0;
    };

    QDate firstDay; // the Monday 25 weeks before this week's
    QDate today;
    std::map<QDate, int> answeredPerDay;
    std::vector<TestDrill> testDrills; // completed drills in test mode, oldest first
    std::array<Unit, UnitCount> units;
    std::vector<MissedWord> mostMissed;

    // The review schedule's views, once it has been read (off the window's thread).
    struct RetentionWeek {
        QDate monday;
        int dueReviews = 0; // reviews of words that were due
        int recalled = 0;   // of them, graded Hard or Good
    };
    bool reviewsRead = false;
    std::array<int, ForecastDays> duePerDay{}; // words due each day from today on; today's with the overdue
    std::vector<RetentionWeek> retention;      // the weeks from firstDay with due reviews, oldest first
    double targetRetention = 0.9;

    QStringList problems; // files that could not be read, for the learner
};
