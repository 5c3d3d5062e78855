// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DrillEngine.h"
#include "LearningRecord.h"
#include "ReviewRecord.h"
#include "ScheduleReader.h"
#include "StatisticsView.h"

#include <QLibrary>
#include <QObject>
#include <functional>
#include <memory>

class QAction;
class QWidget;

// The learning record's part of the program: the menu window's right-click menu and its keys F5 (error
// book), F7 (today's reviews) and F6 (statistics), the error-book and review drills, the statistics
// window, and the record that the drill reports to. None of it is opened before it is first used: the
// record at the first drill event or menu, the review schedule at the first menu, F7 or F6, the
// statistics module at the first F6. The record and the schedule are read off the window's thread: until
// they are there, their entries are greyed out and their keys say so. The schedule is read again, from
// the record's events, when it is next needed after the record has changed. At the end the record gets a
// bounded time to write what it holds.
class LearningFeatures final : public QObject, public DrillObserver {
    Q_OBJECT
public:
    // Puts the error book's words, or today's reviews, before the learner in the study window.
    using OpenDrill = std::function<void(std::unique_ptr<Recordset>, DrillKind)>;

    LearningFeatures(QString applicationDirectory, Messenger& messages, const Clock& clock,
                     QWidget& menuWindow, OpenDrill openDrill);
    // Ends the record; when even its journal cannot be written, says so.
    ~LearningFeatures() override;

    void drillEvent(const DrillEvent& event) override;

    // "复习错题本": "错题本是空的" when there is nothing to drill, "错题本正在读取…" while the book is read.
    void openErrorBook();
    // "今日复习": "今天没有要复习的单词" when nothing is due, "今日复习正在读取…" while the schedule is read.
    void openReview();
    // "学习统计".
    void showStatistics();

    // Null until first used.
    LearningRecord* record() const { return record_.get(); }
    QWidget* statisticsWindow() const { return statistics_ ? statistics_->widget() : nullptr; }

private:
    LearningRecord& ensureRecord();
    // Where the error book's words are now; no value (and a message shown) when the words cannot be read.
    std::optional<std::vector<WordLocation>> errorBookWords(bool quiet);
    void showMenu(const QPoint& position);
    // The menu's entry for the error book, as the book is now.
    void describeErrorBookEntry(QAction& entry);
    const ReviewSettings& reviewSettings();
    MemoryModel memoryModel() { return MemoryModel(reviewSettings().retention); }
    ScheduleReader& ensureSchedule();
    // True when the schedule at hand follows every event so far; else asks for it to be read (once the
    // record has written what it holds) and returns false. Without `mayRead`, whatever schedule has been
    // read will do, and none is asked for.
    bool scheduleCurrent(bool mayRead = true);
    // Today's review drill from the schedule at hand.
    std::vector<DueWord> todaysWords();
    void describeReviewEntry(QAction& entry, bool mayRead = true);
    StatisticsView* ensureStatistics();
    void displayStatistics(bool mayReadSchedule = true);

    QString applicationDirectory_;
    Messenger& messages_;
    const Clock& clock_;
    QWidget& menuWindow_;
    OpenDrill openDrill_;
    std::unique_ptr<LearningRecord> record_;
    std::optional<ReviewSettings> reviewSettings_; // read at the first need
    std::unique_ptr<ScheduleReader> schedule_;
    bool scheduleStale_ = true;           // events have come since the schedule was read
    bool scheduleWaitsForRecord_ = false; // to be read once the record has written what it holds
    QLibrary statisticsModule_;
    std::unique_ptr<StatisticsView> statistics_;
    bool statisticsBehind_ = false; // shown while the record still had events to write
};
