// SPDX-License-Identifier: GPL-3.0-or-later
// Timings of the learning record: what recording an event costs the answer path, and opening the
// statistics window over a record of a million events.
#include "BenchmarkMain.h"
#include "CollectStatistics.h"
#include "DrillEngine.h"
#include "HistoryGenerator.h"
#include "LearningRecord.h"
#include "ProgramModule.h"
#include "Statistics.h"
#include "StatisticsView.h"
#include "WordStore.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLibrary>
#include <QTemporaryDir>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

[[noreturn]] void giveUp(const char* why)
{
    std::fprintf(stderr, "vokabo_history_bench: %s\n", why);
    std::exit(1);
}

// A word database of twenty units of `words` words each, or the end of the run.
QString wordDatabase(const QString& directory, int words)
{
    const QString file = makeWordDatabase(directory, words);
    if (file.isEmpty())
        giveUp("cannot make the word database");
    return file;
}

struct SilentMessenger final : Messenger {
    void showMessage(const QString&, const QString&) override {}
};

struct NoSettings final : SettingsFile {
    QString ReadIniValue(const QString&, const QString&) const override { return {}; }
    IniSection ReadIniSection(const QString&) const override { return {}; }
    IniWriteResult WriteIniValue(const QString&, const QString&, const QString&) override { return {}; }
};

// The drill's own path for one event: the record's error book, then the queue to the writer thread.
void BM_RecordEvent(benchmark::State& state)
{
    QTemporaryDir dir;
    auto read = WordStore::readWords(wordDatabase(dir.path(), 35));
    const auto& words = std::get<std::vector<StoredWord>>(read);
    LearningRecord record(HistoryFile::path(dir.path()));
    std::vector<DrillEvent> events;
    for (size_t i = 0; i < words.size(); ++i) {
        DrillEvent event;
        event.kind = i % 5 == 0 ? DrillEvent::Kind::Passed : DrillEvent::Kind::Answered;
        event.at = QDateTime::currentDateTime();
        event.word = {words[i].location, words[i].prompt, words[i].answer};
        events.push_back(event);
    }
    size_t next = 0;
    for (auto _ : state) {
        record.drillEvent(events[next++ % events.size()]);
        // A learner answers a word a second; here the writer is let catch up now and then.
        if (next % 1000 == 0) {
            state.PauseTiming();
            if (!record.flush())
                giveUp("the record was not written");
            state.ResumeTiming();
        }
    }
}
BENCHMARK(BM_RecordEvent)->Unit(benchmark::kMicrosecond);

// A whole correct answer, as the timer tick runs it, without and with the learning record attached.
void BM_CorrectAnswer(benchmark::State& state)
{
    QTemporaryDir dir;
    wordDatabase(dir.path(), 2000);
    NoSettings settings;
    SilentMessenger messenger;
    SystemClock clock;
    DrillEngine engine(settings, messenger, clock);
    std::unique_ptr<LearningRecord> record;
    if (state.range(0)) {
        record = std::make_unique<LearningRecord>(HistoryFile::path(dir.path()));
        engine.setObserver(record.get());
    }
    const auto openUnit = [&] {
        auto opened = WordStore::open(WordStore::databasePath(dir.path()), QStringLiteral("word1"));
        engine.open(std::move(std::get<std::unique_ptr<Recordset>>(opened)), DrillKind::Unit,
                    QStringLiteral("11"));
        engine.start();
    };
    openUnit();
    for (auto _ : state) {
        const QString answer = engine.view().answer;
        engine.typedChanged(answer);
        engine.tick(answer, false);
        if (!engine.view().judging) {
            state.PauseTiming();
            if (record && !record->flush())
                giveUp("the record was not written");
            openUnit();
            state.ResumeTiming();
        }
    }
}
BENCHMARK(BM_CorrectAnswer)->Arg(0)->Arg(1)->ArgName("record")->Unit(benchmark::kMicrosecond);

// A record of a million events over two years, made once, and the statistics module.
struct Statistics {
    QTemporaryDir dir;
    QDateTime now = QDateTime::currentDateTime();
    QLibrary module;
    CreateStatisticsView create = nullptr;
};

Statistics& statistics()
{
    static Statistics* made = [] {
        auto* s = new Statistics;
        wordDatabase(s->dir.path(), 35);
        QElapsedTimer timer;
        timer.start();
        const qint64 events =
            generateRecord(HistoryFile::path(s->dir.path()), WordStore::databasePath(s->dir.path()), 1000000,
                           730, s->now.date());
        if (events < 0)
            giveUp("cannot make the record");
        std::fprintf(stderr, "record of %lld events made in %.1f s\n", static_cast<long long>(events),
                     double(timer.elapsed()) / 1000);

        // The first open, as the program's first F6 does it: load the module and Qt Charts with it, make the
        // window, read the files, show and paint.
        timer.restart();
        auto found = loadProgramModule<CreateStatisticsView>(s->module, StatisticsModuleName);
        if (const auto* problem = std::get_if<Failure>(&found))
            giveUp(qPrintable(problem->detail));
        s->create = std::get<CreateStatisticsView>(found);
        std::clock_t cpu = std::clock();
        const double loaded = double(timer.nsecsElapsed()) / 1e6;
        StatisticsView* view = s->create();
        const double made = double(timer.nsecsElapsed()) / 1e6;
        view->display(collectStatistics(s->dir.path(), s->now));
        const double filled = double(timer.nsecsElapsed()) / 1e6;
        view->widget()->show();
        view->widget()->grab();
        const double shown = double(timer.nsecsElapsed()) / 1e6;
        cpu = std::clock() - cpu;
        std::fprintf(
            stderr,
            "first open: module %.1f ms, window made %.1f ms, read and filled %.1f ms, shown and painted "
            "%.1f ms; in all %.1f ms wall, %.1f ms CPU\n",
            loaded, made - loaded, filled - made, shown - filled, shown, double(cpu) * 1000 / CLOCKS_PER_SEC);
        delete view;
        return s;
    }();
    return *made;
}

// The queries alone: answers per day, test drills, units, the most missed words, the error book.
void BM_ReadRecord(benchmark::State& state)
{
    Statistics& s = statistics();
    const QString file = HistoryFile::path(s.dir.path());
    for (auto _ : state) {
        auto read = readStatistics(file, s.now.date().addDays(-182));
        if (!std::holds_alternative<LearningStatistics>(read))
            giveUp("cannot read the record");
        benchmark::DoNotOptimize(read);
    }
}
BENCHMARK(BM_ReadRecord)->Unit(benchmark::kMillisecond);

// Every later F6 makes no new window, but this is the cost of a window made afresh.
void BM_OpenStatistics(benchmark::State& state)
{
    Statistics& s = statistics();
    for (auto _ : state) {
        StatisticsView* view = s.create();
        view->display(collectStatistics(s.dir.path(), s.now));
        view->widget()->show();
        view->widget()->grab();
        state.PauseTiming();
        delete view;
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenStatistics)->Unit(benchmark::kMillisecond);

// F6 on a window that is already there: read the files again and paint.
void BM_RefreshStatistics(benchmark::State& state)
{
    Statistics& s = statistics();
    std::unique_ptr<StatisticsView> view(s.create());
    view->widget()->show();
    for (auto _ : state) {
        view->display(collectStatistics(s.dir.path(), s.now));
        view->widget()->grab();
    }
}
BENCHMARK(BM_RefreshStatistics)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return runBenchmarks<QApplication>(argc, argv);
}
