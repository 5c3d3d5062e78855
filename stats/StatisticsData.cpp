#include "StatisticsData.h"

#include "DateText.h"
#include "FieldCipher.h"
#include "IniFile.h"
#include "WordStore.h"

#include <cstdio>

namespace {

QString decrypt(PPS& cipher, const QByteArray& ciphertext)
{
    return textBeforeNul(解密(cipher, QString::fromLatin1(ciphertext.toHex()),
                              QString::fromUtf16(FieldPassPhrase), FieldKeyBits)
                             .value_or(QString()));
}

} // namespace

StatisticsData collectStatistics(const QString& applicationDirectory, const QDateTime& now)
{
    StatisticsData data;
    data.today = now.date();
    data.firstDay = data.today.addDays(1 - data.today.dayOfWeek()).addDays(-7 * (StatisticsData::Weeks - 1));

    LearningStatistics record;
    auto read =
        readStatistics(HistoryFile::path(applicationDirectory), data.firstDay, StatisticsData::MostMissed);
    if (auto* failed = std::get_if<HistoryFailure>(&read)) {
        std::fprintf(stderr, "vokabo: statistics: %s\n", qUtf8Printable(failed->detail));
        data.problems << QStringLiteral("学习记录无法读取：%1").arg(failed->reason);
    } else {
        record = std::move(std::get<LearningStatistics>(read));
    }
    data.answeredPerDay = std::move(record.answeredPerDay);
    data.testDrills = std::move(record.testDrills);

    QHash<QString, int> wordsPerTable, bookPerTable;
    auto words = WordStore::readWords(WordStore::databasePath(applicationDirectory));
    const bool haveWords = std::holds_alternative<std::vector<StoredWord>>(words);
    if (auto* failed = std::get_if<StoreFailure>(&words)) {
        std::fprintf(stderr, "vokabo: statistics: %s\n", qUtf8Printable(failed->detail));
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
        data.mostMissed.push_back(
            {decrypt(cipher, missed.key.answer), decrypt(cipher, missed.key.prompt), missed.misses});
    return data;
}
