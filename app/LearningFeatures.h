#pragma once

#include "DrillEngine.h"
#include "LearningRecord.h"
#include "StatisticsView.h"

#include <QLibrary>
#include <QObject>
#include <functional>
#include <memory>

class QAction;
class QWidget;

// The learning record's part of the program: the menu window's right-click menu and its keys F5 (error
// book) and F6 (statistics), the error-book drill, the statistics window, and the record that the drill
// reports to. None of it is opened before it is first used: the record at the first drill event or
// menu, the statistics module at the first F6. The record is read off the window's thread: until its
// error book is there, the book's entry is greyed out and F5 says so. At the end the record gets a
// bounded time to write what it holds.
class LearningFeatures final : public QObject, public DrillObserver {
    Q_OBJECT
public:
    // Puts the error book's words before the learner in the study window.
    using OpenDrill = std::function<void(std::unique_ptr<Recordset>)>;

    LearningFeatures(QString applicationDirectory, Messenger& messages, const Clock& clock,
                     QWidget& menuWindow, OpenDrill openErrorBook);
    // Ends the record; when even its journal cannot be written, says so.
    ~LearningFeatures() override;

    void drillEvent(const DrillEvent& event) override;

    // "复习错题本": "错题本是空的" when there is nothing to drill, "错题本正在读取…" while the book is read.
    void openErrorBook();
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
    StatisticsView* ensureStatistics();
    void displayStatistics();

    QString applicationDirectory_;
    Messenger& messages_;
    const Clock& clock_;
    QWidget& menuWindow_;
    OpenDrill openErrorBook_;
    std::unique_ptr<LearningRecord> record_;
    QLibrary statisticsModule_;
    std::unique_ptr<StatisticsView> statistics_;
    bool statisticsBehind_ = false; // shown while the record still had events to write
};
