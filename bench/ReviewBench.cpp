// SPDX-License-Identifier: GPL-3.0-or-later
// Timings of the review schedule: every word's schedule replayed from a learning record of a million
// events, in memory and read from History.db, and today's review drill picked from 20,000 scheduled words.
#include "BenchmarkMain.h"
#include "HistoryFile.h"
#include "HistoryGenerator.h"
#include "ReviewRecord.h"
#include "ReviewSchedule.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <numeric>

namespace {

constexpr int Words = 20000;
constexpr int EventsPerWord = 50;
constexpr int Days = 730;

// One word's events, as a query ordered by word and time hands them over.
struct Record {
    std::vector<WordEvent> events;
    std::vector<std::span<const WordEvent>> words;
    QDate lastDay;
};

// Two years of drills: a word is met in a unit or error-book drill every few days to every few weeks,
// now and then twice on a day; four meetings in five are in test mode, where one in five is passed over,
// revealed or spoken before it is typed, and answers take one to nine seconds. Deleted words come back, as
// re-imported.
const Record& record()
{
    static const Record made = [] {
        Record r;
        r.events.reserve(size_t(Words) * EventsPerWord);
        QRandomGenerator random(17);
        const QDate first(2025, 1, 6);
        const WordEvent::Kind misses[] = {WordEvent::Kind::PassedOver, WordEvent::Kind::Revealed,
                                          WordEvent::Kind::SpokenBeforeTyped};
        const int gaps[] = {0, 1, 1, 2, 3, 4, 7, 10, 14, 21, 30};
        for (int w = 0; w < Words; ++w) {
            // Every word's last meeting falls in the record's last month.
            std::array<int, EventsPerWord> gapBefore;
            for (int& gap : gapBefore) {
                gap = gaps[random.bounded(int(std::size(gaps)))];
            }
            int day = Days - random.bounded(30) - std::accumulate(gapBefore.begin(), gapBefore.end(), 0);
            int second = 8 * 3600;
            const int letters = random.bounded(3, 13);
            for (int gap : gapBefore) {
                day += gap;
                second = gap == 0 ? std::min(second + random.bounded(60, 7200), 86399)
                                  : random.bounded(8 * 3600, 22 * 3600);
                WordEvent event;
                event.at = QDateTime(first.addDays(day), QTime::fromMSecsSinceStartOfDay(second * 1000));
                event.testMode = random.bounded(5) != 0;
                event.answerShown = !event.testMode;
                event.answerLetters = letters;
                event.responseMs = random.bounded(1000, 9000);
                event.drill = random.bounded(10) == 0 ? WordEvent::Drill::ErrorBook : WordEvent::Drill::Unit;
                if (event.testMode && random.bounded(5) == 0) {
                    event.kind = misses[random.bounded(3)];
                }
                if (random.bounded(1000) == 0) {
                    event.kind = WordEvent::Kind::DeletedAsMastered;
                }
                r.events.push_back(event);
            }
        }
        r.lastDay = first.addDays(Days);
        for (int w = 0; w < Words; ++w) {
            r.words.push_back(std::span(r.events).subspan(size_t(w) * EventsPerWord, EventsPerWord));
        }
        return r;
    }();
    return made;
}

void BM_ReplayEvents(benchmark::State& state)
{
    const Record& r = record();
    const MemoryModel model;
    std::vector<std::optional<WordSchedule>> schedules(r.words.size());
    for (auto _ : state) {
        for (size_t w = 0; w < r.words.size(); ++w) {
            schedules[w] = replay(r.words[w], model);
        }
        benchmark::DoNotOptimize(schedules.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * int64_t(r.events.size()));
    double scheduled = 0;
    double reviews = 0;
    for (const auto& schedule : schedules) {
        scheduled += schedule ? 1 : 0;
        reviews += schedule ? schedule->reps : 0;
    }
    state.counters["scheduled"] = scheduled;
    state.counters["reviews"] = reviews;
}
BENCHMARK(BM_ReplayEvents)->Unit(benchmark::kMillisecond);

// 20,000 scheduled words: the day after the record ends, or a year later when nearly every word is due.
void BM_TodaysQueue(benchmark::State& state)
{
    const Record& r = record();
    const MemoryModel model;
    std::vector<WordSchedule> schedules;
    for (const auto& events : r.words) {
        const std::optional<WordSchedule> schedule = replay(events, model);
        schedules.push_back(schedule ? *schedule
                                     : afterReview(std::nullopt, {r.lastDay, Grade::Good}, model));
    }
    const QDate today = r.lastDay.addDays(state.range(0) ? 365 : 1);
    size_t due = 0;
    for (auto _ : state) {
        const std::vector<DueWord> queue = todaysReviews(schedules, today, model);
        due = queue.size();
        benchmark::DoNotOptimize(queue.data());
    }
    state.counters["queue"] = double(due);
    state.counters["due"] = double(
        std::count_if(schedules.begin(), schedules.end(), [&](const auto& s) { return s.due <= today; }));
}
BENCHMARK(BM_TodaysQueue)->ArgName("year_later")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// A History.db of a million events over two years, written by the program's own writer: twenty units of
// 1,000 words, drilled a unit at a time, as bench/HistoryGenerator.cpp makes it.
struct RecordFile {
    QTemporaryDir dir;
    QDate lastDay = QDate(2026, 12, 1);
};

const RecordFile& recordFile()
{
    // Removed again at the end of the run.
    static const std::unique_ptr<RecordFile> made = [] {
        auto f = std::make_unique<RecordFile>();
        QElapsedTimer timer;
        timer.start();
        if (makeWordDatabase(f->dir.path(), 1000).isEmpty() ||
            generateRecord(HistoryFile::path(f->dir.path()), f->dir.filePath(QStringLiteral("MyDatas.db")),
                           1000000, 730, f->lastDay) < 0) {
            std::fprintf(stderr, "vokabo_review_bench: cannot make the record\n");
            std::exit(1);
        }
        std::fprintf(stderr, "record of a million events made in %.1f s\n", double(timer.elapsed()) / 1000);
        return f;
    }();
    return *made;
}

// The query of every word event in time order, and the events turned into the program's values.
void BM_ReadWordEvents(benchmark::State& state)
{
    const QString file = HistoryFile::path(recordFile().dir.path());
    size_t events = 0;
    for (auto _ : state) {
        auto read = readWordEvents(file);
        if (!std::holds_alternative<WordEventLog>(read)) {
            state.SkipWithError("cannot read the record");
            return;
        }
        events = std::get<WordEventLog>(read).events.size();
        benchmark::DoNotOptimize(read);
    }
    state.SetItemsProcessed(state.iterations() * int64_t(events));
    state.counters["events"] = double(events);
}
BENCHMARK(BM_ReadWordEvents)->Unit(benchmark::kMillisecond);

// What the program does off the window's thread at the first menu, F7 or F6: the events read, every word's
// schedule replayed, the scheduled words found in the word database.
void BM_ReadReviewState(benchmark::State& state)
{
    const RecordFile& f = recordFile();
    const MemoryModel model;
    size_t scheduled = 0;
    size_t due = 0;
    for (auto _ : state) {
        auto read = readReviewState(f.dir.path(), model);
        if (!std::holds_alternative<ReviewState>(read)) {
            state.SkipWithError("cannot read the schedule");
            return;
        }
        const ReviewState& reviews = std::get<ReviewState>(read);
        scheduled = reviews.words.size();
        due = todaysDrill(reviews.words, reviews.record, f.lastDay.addDays(1), model, 200).size();
        benchmark::DoNotOptimize(read);
    }
    state.counters["scheduled"] = double(scheduled);
    state.counters["queue"] = double(due);
}
BENCHMARK(BM_ReadReviewState)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return runBenchmarks<QCoreApplication>(argc, argv);
}
