#pragma once

#include "ReviewAge.h"
#include "Statistics.h"

#include <QDate>
#include <QDateTime>
#include <QStringList>
#include <array>
#include <optional>

// Everything the statistics window shows, gathered from the three files of the application directory.
struct StatisticsData {
    static constexpr int Weeks = 26;
    static constexpr int MostMissed = 20;

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
    std::vector<LearningStatistics::TestDrill> testDrills;
    std::array<Unit, UnitCount> units;
    std::vector<MissedWord> mostMissed;
    QStringList problems; // files that could not be read, for the learner
};

StatisticsData collectStatistics(const QString& applicationDirectory, const QDateTime& now);
