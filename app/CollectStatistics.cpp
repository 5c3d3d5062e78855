// SPDX-License-Identifier: GPL-3.0-or-later
#include "CollectStatistics.h"

#include "DateText.h"
#include "FieldCipher.h"
#include "Logging.h"
#include "SettingsFile.h"
#include "Statistics.h"
#include "WordStore.h"

namespace {

void collectReviews(StatisticsData& data, const ReviewState& reviews)
{
    data.reviewsRead = true;
    for (const ReviewWord& word : reviews.words) {
        const qint64 day = std::max<qint64>(0, data.today.daysTo(word.schedule.due));
        if (day < StatisticsData::ForecastDays)
            ++data.duePerDay[size_t(day)];
    }
    for (auto day = reviews.record.dueReviews.lower_bound(data.firstDay);
         day != reviews.record.dueReviews.end(); ++day) {
        const QDate monday = day->first.addDays(1 - day->first.dayOfWeek());
        if (data.retention.empty() || data.retention.back().monday != monday)
            data.retention.push_back({monday, 0, 0});
        data.retention.back().dueReviews += day->second.due;
        data.retention.back().recalled += day->second.recalled;
    }
}

} // namespace

StatisticsData collectStatistics(const QString& applicationDirectory, const QDateTime& now,
                                 const ReviewState* reviews, double targetRetention)
{
    StatisticsData data;
    data.today = now.date();
    data.firstDay = data.today.addDays(1 - data.today.dayOfWeek()).addDays(-7 * (StatisticsData::Weeks - 1));

    LearningStatistics record;
    auto read =
        readStatistics(HistoryFile::path(applicationDirectory), data.firstDay, StatisticsData::MostMissed);
    if (auto* failed = std::get_if<Failure>(&read)) {
        qCWarning(lcApp, "statistics: %s", qUtf8Printable(failed->detail));
        data.problems << QStringLiteral("学习记录无法读取：%1").arg(failed->message);
    } else {
        record = std::move(std::get<LearningStatistics>(read));
    }
    data.answeredPerDay = std::move(record.answeredPerDay);
    for (const LearningStatistics::TestDrill& drill : record.testDrills)
        data.testDrills.push_back(
            {drill.completed, drill.day, drill.unitCode, drill.accuracy, drill.drill == DrillKind::Review});
    data.targetRetention = targetRetention;
    if (reviews)
        collectReviews(data, *reviews);

    QHash<QString, int> wordsPerTable, bookPerTable;
    auto words = WordStore::readWords(WordStore::databasePath(applicationDirectory));
    const bool haveWords = std::holds_alternative<std::vector<StoredWord>>(words);
    if (auto* failed = std::get_if<Failure>(&words)) {
        qCWarning(lcApp, "statistics: %s", qUtf8Printable(failed->detail));
        data.problems << failed->message;
    } else {
        const auto& stored = std::get<std::vector<StoredWord>>(words);
        for (const StoredWord& word : stored)
            ++wordsPerTable[word.location.table];
        for (const WordLocation& location : locateWords(record.errorBook, stored))
            ++bookPerTable[location.table];
    }

    const mdlINI settings(applicationDirectory);
    const auto& catalogue = UnitCatalogue();
    for (size_t i = 0; i < catalogue.size(); ++i) {
        const UnitRow& row = catalogue[i];
        StatisticsData::Unit& unit = data.units[i];
        unit.code = row.UnitCode;
        unit.caption = row.caption;
        if (const auto moment =
                parseMomentText(settings.ReadIniValue(QStringLiteral("LastDate"), row.UnitCode))) {
            unit.lastCompleted = *moment;
            unit.daysSince = dayCount(moment->date(), data.today);
            unit.band = bandOfDayCount(*unit.daysSince);
        }
        if (const auto figures = record.units.find(row.UnitCode); figures != record.units.end()) {
            unit.drillsDone = figures->second.drillsDone;
            if (figures->second.testDrills > 0)
                unit.meanAccuracy = figures->second.accuracyTotal / figures->second.testDrills;
        }
        if (haveWords)
            unit.wordsLeft = wordsPerTable.value(row.UnitTable);
        unit.inErrorBook = bookPerTable.value(row.UnitTable);
    }

    PPS cipher;
    for (const LearningStatistics::MissedWord& missed : record.mostMissed)
        data.mostMissed.push_back({textShown(cipher, QString::fromLatin1(missed.key.answer.toHex())),
                                   textShown(cipher, QString::fromLatin1(missed.key.prompt.toHex())),
                                   missed.misses});
    return data;
}
