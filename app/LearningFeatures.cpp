// SPDX-License-Identifier: GPL-3.0-or-later
#include "LearningFeatures.h"

#include "CollectStatistics.h"
#include "HistoryFile.h"
#include "Logging.h"

#include "ProgramIcon.h"
#include "ProgramModule.h"
#include "SettingsFile.h"
#include "WindowPlacement.h"
#include "WordStore.h"

#include <QMenu>
#include <QShortcut>
#include <QWidget>

LearningFeatures::LearningFeatures(QString applicationDirectory, Messenger& messages, const Clock& clock,
                                   QWidget& menuWindow, OpenDrill openDrill)
    : applicationDirectory_(std::move(applicationDirectory)), messages_(messages), clock_(clock),
      menuWindow_(menuWindow), openDrill_(std::move(openDrill))
{
    // The unit buttons and the legend pass a right click on to the window.
    menuWindow_.setContextMenuPolicy(Qt::CustomContextMenu);
    connect(&menuWindow_, &QWidget::customContextMenuRequested, this, &LearningFeatures::showMenu);
    connect(new QShortcut(QKeySequence(Qt::Key_F5), &menuWindow_), &QShortcut::activated, this,
            &LearningFeatures::openErrorBook);
    connect(new QShortcut(QKeySequence(Qt::Key_F6), &menuWindow_), &QShortcut::activated, this,
            &LearningFeatures::showStatistics);
    connect(new QShortcut(QKeySequence(Qt::Key_F7), &menuWindow_), &QShortcut::activated, this,
            &LearningFeatures::openReview);
    // Nothing on the window itself shows that these exist; the layout stays as it is.
    menuWindow_.setToolTip(QStringLiteral(
        "右键或 F5：复习错题本；F7：今日复习；F6：学习统计\n提示中括号里的字母是答案的首字母"));
}

LearningFeatures::~LearningFeatures()
{
    if (!record_)
        return;
    record_->disconnect(this); // what the writer still reports from here on is not the learner's business
    // The windows are gone by now; the learner still hears of events that are lost.
    if (const auto failed = record_->close())
        messages_.showMessage(QStringLiteral("学习记录无法保存：") + failed->message, MessageTitle);
}

LearningRecord& LearningFeatures::ensureRecord()
{
    if (!record_) {
        record_ = std::make_unique<LearningRecord>(HistoryFile::path(applicationDirectory_));
        connect(record_.get(), &LearningRecord::saveFailed, this, [this](const QString& reason) {
            messages_.showMessage(QStringLiteral("学习记录无法保存：") + reason, MessageTitle);
        });
        connect(record_.get(), &LearningRecord::recordReplaced, this,
                [this](const QString& message) { messages_.showMessage(message, MessageTitle); });
        connect(record_.get(), &LearningRecord::settled, this, [this] {
            if (scheduleWaitsForRecord_ && record_->isSettled()) {
                scheduleWaitsForRecord_ = false;
                scheduleCurrent();
            }
            if (statisticsBehind_ && record_->isSettled()) {
                statisticsBehind_ = false;
                if (statistics_ && statistics_->widget()->isVisible())
                    displayStatistics();
            }
        });
    }
    return *record_;
}

void LearningFeatures::drillEvent(const DrillEvent& event)
{
    ensureRecord().drillEvent(event);
    scheduleStale_ = true;
}

std::optional<std::vector<WordLocation>> LearningFeatures::errorBookWords(bool quiet)
{
    const ErrorBook& book = ensureRecord().errorBook();
    if (book.size() == 0)
        return std::vector<WordLocation>{};
    auto words = WordStore::readWords(WordStore::databasePath(applicationDirectory_));
    if (auto* failed = std::get_if<Failure>(&words)) {
        qCWarning(lcApp, "error book: %s", qUtf8Printable(failed->detail));
        if (!quiet)
            messages_.showMessage(QStringLiteral("无法打开错题本：") + failed->message, MessageTitle);
        return std::nullopt;
    }
    return book.locate(std::get<std::vector<StoredWord>>(words));
}

void LearningFeatures::openErrorBook()
{
    if (!ensureRecord().isErrorBookRead()) {
        messages_.showMessage(QStringLiteral("错题本正在读取…"), MessageTitle);
        return;
    }
    const auto locations = errorBookWords(false);
    if (!locations)
        return;
    if (locations->empty()) {
        messages_.showMessage(QStringLiteral("错题本是空的"), MessageTitle);
        return;
    }
    auto opened = WordStore::open(WordStore::databasePath(applicationDirectory_), *locations);
    if (auto* failed = std::get_if<Failure>(&opened)) {
        qCWarning(lcApp, "error book: %s", qUtf8Printable(failed->detail));
        messages_.showMessage(QStringLiteral("无法打开错题本：") + failed->message, MessageTitle);
        return;
    }
    openDrill_(std::move(std::get<std::unique_ptr<Recordset>>(opened)), DrillKind::ErrorBook);
}

const ReviewSettings& LearningFeatures::reviewSettings()
{
    if (!reviewSettings_)
        reviewSettings_ = readReviewSettings(mdlINI(applicationDirectory_));
    return *reviewSettings_;
}

ScheduleReader& LearningFeatures::ensureSchedule()
{
    if (!schedule_) {
        schedule_ = std::make_unique<ScheduleReader>(applicationDirectory_, memoryModel());
        connect(schedule_.get(), &ScheduleReader::ready, this, [this] {
            // A record that could not be read is tried again at the next need, not at once.
            if (schedule_->failure())
                scheduleStale_ = true;
            if (statistics_ && statistics_->widget()->isVisible() && !schedule_->isReading())
                displayStatistics(false);
        });
    }
    return *schedule_;
}

bool LearningFeatures::scheduleCurrent(bool mayRead)
{
    ScheduleReader& schedule = ensureSchedule();
    if (schedule.isReading())
        return false;
    if (!scheduleStale_ || !mayRead)
        return schedule.state() != nullptr;
    // The schedule is replayed from the file, which must first have every event of this run.
    if (record_ && !record_->isSettled()) {
        scheduleWaitsForRecord_ = true;
        return false;
    }
    scheduleStale_ = false;
    schedule.read();
    return false;
}

std::vector<DueWord> LearningFeatures::todaysWords()
{
    const ReviewState& state = *schedule_->state();
    return todaysDrill(state.words, state.record, clock_.now().date(), memoryModel(),
                       reviewSettings().dailyLimit);
}

void LearningFeatures::openReview()
{
    if (!scheduleCurrent()) {
        messages_.showMessage(QStringLiteral("今日复习正在读取…"), MessageTitle);
        return;
    }
    if (const auto& failed = schedule_->failure()) {
        messages_.showMessage(QStringLiteral("无法打开今日复习：") + failed->message, MessageTitle);
        return;
    }
    const std::vector<DueWord> due = todaysWords();
    if (due.empty()) {
        messages_.showMessage(QStringLiteral("今天没有要复习的单词"), MessageTitle);
        return;
    }
    std::vector<WordLocation> locations;
    locations.reserve(due.size());
    for (const DueWord& word : due)
        locations.push_back(schedule_->state()->words[size_t(word.word)].stored.location);
    auto opened = WordStore::open(WordStore::databasePath(applicationDirectory_), locations);
    if (auto* failed = std::get_if<Failure>(&opened)) {
        qCWarning(lcApp, "today's reviews: %s", qUtf8Printable(failed->detail));
        messages_.showMessage(QStringLiteral("无法打开今日复习：") + failed->message, MessageTitle);
        return;
    }
    openDrill_(std::move(std::get<std::unique_ptr<Recordset>>(opened)), DrillKind::Review);
}

void LearningFeatures::describeReviewEntry(QAction& entry, bool mayRead)
{
    if (!scheduleCurrent(mayRead)) {
        entry.setText(QStringLiteral("今日复习（读取中…）"));
        entry.setEnabled(false);
        return;
    }
    const int words = int(todaysWords().size());
    entry.setText(QStringLiteral("今日复习（%1个）").arg(words));
    entry.setEnabled(words > 0);
}

void LearningFeatures::showMenu(const QPoint& position)
{
    QMenu menu(&menuWindow_);
    QAction* errorBook = menu.addAction(QString());
    errorBook->setObjectName(QStringLiteral("errorBookAction"));
    errorBook->setShortcut(QKeySequence(Qt::Key_F5));
    describeErrorBookEntry(*errorBook);
    if (!record_->isErrorBookRead())
        connect(record_.get(), &LearningRecord::errorBookReady, errorBook,
                [this, errorBook] { describeErrorBookEntry(*errorBook); });
    QAction* review = menu.addAction(QString());
    review->setObjectName(QStringLiteral("reviewAction"));
    review->setShortcut(QKeySequence(Qt::Key_F7));
    describeReviewEntry(*review);
    connect(schedule_.get(), &ScheduleReader::ready, review,
            [this, review] { describeReviewEntry(*review, false); });
    QAction* statistics = menu.addAction(QStringLiteral("学习统计"));
    statistics->setObjectName(QStringLiteral("statisticsAction"));
    statistics->setShortcut(QKeySequence(Qt::Key_F6));
    // The keys themselves belong to the window's shortcuts; here they are only named.
    for (QAction* entry : {errorBook, review, statistics})
        entry->setShortcutContext(Qt::WidgetShortcut);
    QAction* chosen = menu.exec(menuWindow_.mapToGlobal(position));
    if (chosen == errorBook)
        openErrorBook();
    else if (chosen == review)
        openReview();
    else if (chosen == statistics)
        showStatistics();
}

void LearningFeatures::describeErrorBookEntry(QAction& entry)
{
    if (!ensureRecord().isErrorBookRead()) {
        entry.setText(QStringLiteral("复习错题本（读取中…）"));
        entry.setEnabled(false);
        return;
    }
    // Words that are in no unit any more cannot be drilled, so they are not counted; when the word database
    // cannot be read, the book's own count stands and choosing it says why.
    const auto locations = errorBookWords(true);
    const int words = locations ? int(locations->size()) : record_->errorBook().size();
    entry.setText(QStringLiteral("复习错题本（%1个）").arg(words));
    entry.setEnabled(words > 0);
}

StatisticsView* LearningFeatures::ensureStatistics()
{
    if (statistics_)
        return statistics_.get();
    auto loaded = loadProgramModule<CreateStatisticsView>(statisticsModule_, StatisticsModuleName);
    if (auto* problem = std::get_if<Failure>(&loaded)) {
        qCWarning(lcApp, "statistics: %s", qUtf8Printable(problem->detail));
        messages_.showMessage(QStringLiteral("学习统计无法打开：") + problem->message, MessageTitle);
        return nullptr;
    }
    const auto create = std::get<CreateStatisticsView>(loaded);
    statistics_.reset(create());
    statistics_->widget()->setWindowIcon(programIcon());
    return statistics_.get();
}

void LearningFeatures::displayStatistics(bool mayReadSchedule)
{
    // The two views of the schedule follow when it has been read.
    const ReviewState* reviews = scheduleCurrent(mayReadSchedule) ? schedule_->state() : nullptr;
    statistics_->display(
        collectStatistics(applicationDirectory_, clock_.now(), reviews, reviewSettings().retention));
}

void LearningFeatures::showStatistics()
{
    StatisticsView* view = ensureStatistics();
    if (!view)
        return;
    // The window reads the file. What the writer still holds is shown when it has been written: the
    // window does not wait for a disk.
    statisticsBehind_ = record_ && !record_->isSettled();
    displayStatistics();
    QWidget* window = view->widget();
    // Each time it opens: as large as it asks or the screen holds, and centred by its frame.
    if (!window->isVisible()) {
        fitOnScreen(*window, window->sizeHint());
        centreOnScreen(*window);
    }
    window->show();
    window->raise();
    window->activateWindow();
}
