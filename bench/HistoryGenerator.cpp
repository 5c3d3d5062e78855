// SPDX-License-Identifier: GPL-3.0-or-later
#include "HistoryGenerator.h"

#include "Catalogue.h"
#include "HistoryFile.h"
#include "WordDatabase.h"
#include "WordStore.h"

#include <QHash>
#include <QRandomGenerator>
#include <cmath>
#include <cstdio>

qint64 generateRecord(const QString& historyFile, const QString& wordDatabase, qint64 events, int days,
                      const QDate& lastDay)
{
    auto read = WordStore::readWords(wordDatabase);
    if (auto* failed = std::get_if<Failure>(&read)) {
        std::fprintf(stderr, "%s\n", qUtf8Printable(failed->detail));
        return -1;
    }
    QHash<QString, std::vector<DrillWord>> units;
    for (const StoredWord& word : std::get<std::vector<StoredWord>>(read))
        units[word.location.table].push_back({word.location, word.prompt, word.answer});
    if (units.isEmpty()) {
        std::fprintf(stderr, "%s has no words\n", qUtf8Printable(wordDatabase));
        return -1;
    }
    auto opened = HistoryFile::open(historyFile, HistoryFile::Mode::Write);
    if (auto* failed = std::get_if<Failure>(&opened)) {
        std::fprintf(stderr, "%s\n", qUtf8Printable(failed->detail));
        return -1;
    }
    HistoryFile& file = *std::get<std::unique_ptr<HistoryFile>>(opened);

    QRandomGenerator random(20260309);
    // Some words are hard for everyone: each word gets its own chance of being missed.
    QHash<QString, double> hardness;
    const auto missChance = [&](const DrillWord& word) {
        auto found = hardness.find(word.answer);
        if (found == hardness.end())
            found = hardness.insert(word.answer, 0.02 + 0.25 * std::pow(random.generateDouble(), 4));
        return *found;
    };
    // The learner practises on about two days in three.
    std::vector<QDate> practiceDays;
    for (int d = days - 1; d >= 0; --d) {
        if (random.bounded(3) != 0 || d == 0)
            practiceDays.push_back(lastDay.addDays(-d));
    }
    const QStringList tables = units.keys();

    ErrorBook book;
    std::vector<HistoryWrite> batch;
    qint64 written = 0;
    const auto add = [&](DrillEvent event) {
        batch.push_back({event, book.apply(event)});
        ++written;
        if (batch.size() >= 5000) {
            if (const auto failed = file.write(batch)) {
                std::fprintf(stderr, "%s\n", qUtf8Printable(failed->detail));
                return false;
            }
            batch.clear();
        }
        return true;
    };

    while (written < events) {
        const size_t dayIndex = size_t(std::min<qint64>(qint64(practiceDays.size()) - 1,
                                                        written * qint64(practiceDays.size()) / events));
        QDateTime at(practiceDays[dayIndex], QTime(8 + int(random.bounded(14)), int(random.bounded(60))));
        const bool errorBookDrill = book.size() >= 10 && random.bounded(8) == 0;
        std::vector<DrillWord> words;
        QString code;
        if (errorBookDrill) {
            for (const ErrorBookEntry& entry : book.entries()) {
                for (const DrillWord& word : units.value(entry.location.table)) {
                    if (word.location == entry.location)
                        words.push_back(word);
                }
            }
        } else {
            const QString table = tables[int(random.bounded(int(tables.size())))];
            words = units.value(table);
            code = unitByTable(table) ? unitByTable(table)->UnitCode : QString();
        }
        const bool test = random.bounded(5) != 0;
        DrillEvent start;
        start.kind = DrillEvent::Kind::Started;
        start.at = at;
        start.drill = errorBookDrill ? DrillKind::ErrorBook : DrillKind::Unit;
        start.unitCode = code;
        start.testMode = test;
        if (!add(start))
            return -1;
        int passed = 0;
        for (const DrillWord& word : words) {
            at = at.addSecs(4 + int(random.bounded(8)));
            DrillEvent event = start;
            event.word = word;
            const double roll = random.generateDouble();
            const double miss = missChance(word);
            if (roll < miss * 0.6) {
                event.kind = DrillEvent::Kind::Passed;
                ++passed;
            } else if (roll < miss) {
                event.kind = DrillEvent::Kind::Revealed;
                event.at = at;
                if (!add(event))
                    return -1;
                event.kind = DrillEvent::Kind::Answered;
                event.answerShown = true;
            } else {
                event.kind = DrillEvent::Kind::Answered;
                event.answerShown = !test;
                event.responseMs = 1000 + int(random.bounded(8000));
            }
            event.at = at;
            if (!add(event))
                return -1;
        }
        DrillEvent done = start;
        done.kind = DrillEvent::Kind::Completed;
        done.at = at.addSecs(2);
        if (!words.empty())
            done.accuracy = int(std::lround(100.0 - 100.0 * passed / double(words.size())));
        if (!add(done))
            return -1;
    }
    if (const auto failed = file.write(batch)) {
        std::fprintf(stderr, "%s\n", qUtf8Printable(failed->detail));
        return -1;
    }
    return written;
}

QString makeWordDatabase(const QString& directory, int words)
{
    const QString file = WordStore::databasePath(directory);
    if (const auto failed = WordDatabase::create(file)) {
        std::fprintf(stderr, "%s\n", qUtf8Printable(failed->detail));
        return {};
    }
    for (const UnitRow& unit : UnitCatalogue()) {
        std::vector<WordFile::Word> list;
        for (int k = 0; k < words; ++k)
            list.push_back({QStringLiteral("word%1x%2").arg(unit.UnitTable.mid(4)).arg(k),
                            QStringLiteral("第%1单元第%2个词").arg(unit.UnitTable.mid(4)).arg(k)});
        if (const auto failed = WordDatabase::addWords(file, unit, list, false)) {
            std::fprintf(stderr, "%s\n", qUtf8Printable(failed->detail));
            return {};
        }
    }
    return file;
}
