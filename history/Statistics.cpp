#include "Statistics.h"

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimeZone>

namespace {

QDateTime utcMoment(qint64 secondsSinceEpoch)
{
    // Qt 6.5 brought a light UTC zone in place of Qt::UTC; Qt 6.4 has only Qt::UTC.
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
    return QDateTime::fromSecsSinceEpoch(secondsSinceEpoch, QTimeZone::UTC);
#else
    return QDateTime::fromSecsSinceEpoch(secondsSinceEpoch, Qt::UTC);
#endif
}

} // namespace

std::variant<LearningStatistics, Failure> readStatistics(const QString& historyFile, const QDate& firstDay,
                                                         int mostMissed)
{
    LearningStatistics statistics;
    if (!QFileInfo::exists(historyFile))
        return statistics;
    auto opened = HistoryFile::open(historyFile, HistoryFile::Mode::Read);
    if (auto* failed = std::get_if<Failure>(&opened))
        return *failed;
    const HistoryFile& file = *std::get<std::unique_ptr<HistoryFile>>(opened);
    QSqlQuery query(file.database());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = 'drill'")) ||
        !query.next())
        return file.failure(QStringLiteral("reading the tables"), query.lastError());
    if (query.value(0).toInt() == 0)
        return statistics; // created, never written

    const auto read = [&](const QString& statement, const QVariantList& values,
                          auto&& take) -> std::optional<Failure> {
        query.prepare(statement);
        for (int i = 0; i < values.size(); ++i)
            query.bindValue(i, values[i]);
        if (!query.exec())
            return file.failure(QStringLiteral("reading the statistics"), query.lastError());
        while (query.next())
            take();
        if (query.lastError().isValid())
            return file.failure(QStringLiteral("reading the statistics"), query.lastError());
        return std::nullopt;
    };

    if (auto failed = read(QStringLiteral("SELECT day, words FROM answered_day WHERE day >= ?"),
                           {firstDay.toJulianDay()}, [&] {
                               statistics.answeredPerDay[QDate::fromJulianDay(query.value(0).toLongLong())] =
                                   query.value(1).toInt();
                           }))
        return *failed;
    // SQLite turns the local times into seconds far faster than a date parser would, drill by drill.
    if (auto failed =
            read(QStringLiteral("SELECT strftime('%s', completed, 'utc'), "
                                "CAST(julianday(substr(completed, 1, 10)) + 0.5 AS INTEGER), unit, accuracy "
                                "FROM drill WHERE completed IS NOT NULL AND tested = 1 "
                                "AND accuracy IS NOT NULL ORDER BY completed"),
                 {}, [&] {
                     statistics.testDrills.push_back({utcMoment(query.value(0).toLongLong()),
                                                      QDate::fromJulianDay(query.value(1).toLongLong()),
                                                      query.value(2).toString(), query.value(3).toInt()});
                 }))
        return *failed;
    if (auto failed =
            read(QStringLiteral("SELECT unit, count(*), count(CASE WHEN tested = 1 THEN accuracy END), "
                                "total(CASE WHEN tested = 1 THEN accuracy END) FROM drill "
                                "WHERE completed IS NOT NULL AND kind = 0 GROUP BY unit"),
                 {}, [&] {
                     statistics.units[query.value(0).toString()] = {
                         query.value(1).toInt(), query.value(2).toInt(), query.value(3).toDouble()};
                 }))
        return *failed;
    if (auto failed = read(QStringLiteral("SELECT prompt, answer, misses FROM word WHERE misses > 0 "
                                          "ORDER BY misses DESC, id LIMIT ?"),
                           {mostMissed}, [&] {
                               statistics.mostMissed.push_back(
                                   {{query.value(0).toByteArray(), query.value(1).toByteArray()},
                                    query.value(2).toInt()});
                           }))
        return *failed;

    auto book = file.readErrorBook();
    if (auto* failed = std::get_if<Failure>(&book))
        return *failed;
    statistics.errorBook = std::move(std::get<std::vector<ErrorBookEntry>>(book));
    return statistics;
}
