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

    struct TestDrill {
        QDateTime completed; // in UTC
        QDate day;           // local
        QString unitCode;    // empty for the error book
        int accuracy = 0;
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
    QStringList problems; // files that could not be read, for the learner
};
