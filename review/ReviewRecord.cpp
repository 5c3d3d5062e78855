// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReviewRecord.h"

#include "FieldCipher.h"
#include "HistoryFile.h"
#include "Logging.h"

#include <QHash>
#include <algorithm>
#include <limits>
#include <unordered_map>

namespace {

const QString ReviewSection = QStringLiteral("Review");

WordEvent::Kind wordEventKind(const RecordedWordEvent& event)
{
    switch (event.kind) {
    case DrillEvent::Kind::Passed:
        return WordEvent::Kind::PassedOver;
    case DrillEvent::Kind::Revealed:
        return event.spoken ? WordEvent::Kind::SpokenBeforeTyped : WordEvent::Kind::Revealed;
    case DrillEvent::Kind::Deleted:
        return WordEvent::Kind::DeletedAsMastered;
    default:
        return WordEvent::Kind::Answered;
    }
}

WordEvent::Drill wordEventDrill(DrillKind drill)
{
    switch (drill) {
    case DrillKind::ErrorBook:
        return WordEvent::Drill::ErrorBook;
    case DrillKind::Review:
        return WordEvent::Drill::Review;
    case DrillKind::Unit:
        break;
    }
    return WordEvent::Drill::Unit;
}

} // namespace

ReviewSettings readReviewSettings(const SettingsFile& settings)
{
    ReviewSettings read;
    const IniSection section = settings.ReadIniSection(ReviewSection);
    if (const QString text = section.value(QStringLiteral("Retention")).trimmed(); !text.isEmpty()) {
        bool number = false;
        const double retention = text.toDouble(&number);
        if (number && MemoryModel::acceptsRetention(retention))
            read.retention = retention;
        else
            qCWarning(lcSettings, "settings: [Review] Retention=%s is not from 0.70 to 0.97; %.2f is used",
                      qUtf8Printable(text), MemoryModel::DefaultRetention);
    }
    if (const QString text = section.value(QStringLiteral("DailyLimit")).trimmed(); !text.isEmpty()) {
        bool number = false;
        const int limit = text.toInt(&number);
        if (number && limit >= 1 && limit <= ReviewSettings::MaximumDailyLimit)
            read.dailyLimit = limit;
        else
            qCWarning(lcSettings, "settings: [Review] DailyLimit=%s is not from 1 to %d; %d is used",
                      qUtf8Printable(text), ReviewSettings::MaximumDailyLimit,
                      ReviewSettings::DefaultDailyLimit);
    }
    return read;
}

int ReviewRecord::dueReviewsOn(const QDate& day) const
{
    const auto found = dueReviews.find(day);
    return found == dueReviews.end() ? 0 : found->second.due;
}

EventsByWord eventsByWord(const WordEventLog& log)
{
    // One pass to count each word's events, one to place them.
    const size_t wordCount = log.words.size();
    EventsByWord grouped;
    grouped.starts.assign(wordCount + 1, 0);
    for (const RecordedWordEvent& event : log.events)
        ++grouped.starts[size_t(event.word) + 1];
    for (size_t w = 0; w < wordCount; ++w)
        grouped.starts[w + 1] += grouped.starts[w];
    grouped.events.resize(log.events.size());
    std::vector<size_t> next(grouped.starts.begin(), grouped.starts.end() - 1);
    for (const RecordedWordEvent& recorded : log.events) {
        WordEvent& event = grouped.events[next[size_t(recorded.word)]++];
        event.at = recorded.at;
        event.kind = wordEventKind(recorded);
        event.answerShown = recorded.answerShown; // practice mode shows every answer
        event.responseMs = recorded.responseMs;
        event.drill = wordEventDrill(recorded.drill);
    }
    PPS cipher;
    for (size_t w = 0; w < wordCount; ++w) {
        if (grouped.starts[w] == grouped.starts[w + 1])
            continue;
        const QByteArray& answer = log.words[w].answer;
        const auto letters = int(textShown(cipher, QString::fromLatin1(answer.toHex())).size());
        for (size_t e = grouped.starts[w]; e < grouped.starts[w + 1]; ++e)
            grouped.events[e].answerLetters = letters;
    }
    return grouped;
}

std::optional<ReviewRecord> replayRecord(const WordEventLog& log, const MemoryModel& model,
                                         const std::atomic<bool>* cancelled)
{
    const EventsByWord grouped = eventsByWord(log);
    ReviewRecord record;
    std::unordered_map<qint64, DueReviews> dueReviews;
    const ReviewObserver observe = [&](const Review& review, const std::optional<WordSchedule>& before) {
        if (before && review.day >= before->due) {
            DueReviews& day = dueReviews[review.day.toJulianDay()];
            ++day.due;
            day.recalled += review.grade == Grade::Again ? 0 : 1;
        }
    };
    for (size_t w = 0; w < log.words.size(); ++w) {
        if (cancelled && cancelled->load())
            return std::nullopt;
        if (const std::optional<WordSchedule> schedule = replay(grouped.of(w), model, observe))
            record.words.push_back({log.words[w], *schedule});
    }
    for (const auto& [day, reviews] : dueReviews)
        record.dueReviews.emplace(QDate::fromJulianDay(day), reviews);
    return record;
}

std::vector<ReviewWord> locateScheduled(const ReviewRecord& record, const std::vector<StoredWord>& words)
{
    QHash<WordKey, const StoredWord*> first;
    for (const StoredWord& word : words) {
        const WordKey key = wordKey(word.prompt, word.answer);
        if (!first.contains(key))
            first.insert(key, &word);
    }
    std::vector<ReviewWord> located;
    for (const ReviewRecord::Word& word : record.words) {
        if (const auto found = first.constFind(word.key); found != first.cend())
            located.push_back({**found, word.schedule});
    }
    return located;
}

std::vector<DueWord> dueOn(const std::vector<ReviewWord>& words, const QDate& day, const MemoryModel& model,
                           int limit)
{
    std::vector<WordSchedule> schedules;
    schedules.reserve(words.size());
    for (const ReviewWord& word : words)
        schedules.push_back(word.schedule);
    return todaysReviews(schedules, day, model, limit);
}

std::vector<DueWord> todaysDrill(const std::vector<ReviewWord>& words, const ReviewRecord& record,
                                 const QDate& today, const MemoryModel& model, int dailyLimit)
{
    return dueOn(words, today, model, std::max(0, dailyLimit - record.dueReviewsOn(today)));
}

Result<ReviewState> readReviewState(const QString& applicationDirectory, const MemoryModel& model,
                                    const std::atomic<bool>* cancelled)
{
    auto log = readWordEvents(HistoryFile::path(applicationDirectory), cancelled);
    if (auto* failed = std::get_if<Failure>(&log))
        return *failed;
    ReviewState state;
    auto record = replayRecord(std::get<WordEventLog>(log), model, cancelled);
    if (!record)
        return Failure{QStringLiteral("读取已取消"), QStringLiteral("replaying the record: cancelled")};
    state.record = std::move(*record);
    if (state.record.words.empty())
        return state;
    auto words = WordStore::readWords(WordStore::databasePath(applicationDirectory));
    if (auto* failed = std::get_if<Failure>(&words))
        return *failed;
    state.words = locateScheduled(state.record, std::get<std::vector<StoredWord>>(words));
    return state;
}
