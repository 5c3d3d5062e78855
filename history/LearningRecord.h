#pragma once

#include "DrillEvent.h"
#include "ErrorBook.h"
#include "HistoryFile.h"

#include <QObject>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

// The learning record of this run. It takes the drill's events on the user-interface thread, keeps the
// error book up to date at once, and writes both to History.db on a thread of its own with its own
// connection: an event costs the drill a queue push, and a file that cannot be written never holds the
// drill up. Events that could not be written are kept and tried again with the next ones.
class LearningRecord final : public QObject, public DrillObserver {
    Q_OBJECT
public:
    // Opens the file, creating it when it is missing, and reads its error book.
    explicit LearningRecord(QString historyFile);
    // Writes what is still queued, then stops.
    ~LearningRecord() override;
    LearningRecord(const LearningRecord&) = delete;
    LearningRecord& operator=(const LearningRecord&) = delete;

    void drillEvent(const DrillEvent& event) override;

    const ErrorBook& errorBook() const { return book_; }
    QString file() const { return file_; }

    // Waits until every event so far has been written. False when some could not be, or on timeout.
    [[nodiscard]] bool flush(std::chrono::milliseconds timeout = std::chrono::seconds(5));

signals:
    // The first failure of this run to open or write the file: the reason, for the learner. Every
    // failure with a new cause also goes to stderr.
    void saveFailed(const QString& reason);

private:
    // Events kept for another try while the file cannot be written; older ones go beyond this.
    static constexpr size_t MaxPending = 100000;

    void run(std::promise<std::vector<ErrorBookEntry>> loaded);
    void reportFailure(const Failure& failure);

    QString file_;
    ErrorBook book_;

    std::mutex mutex_;
    std::condition_variable wake_;    // to the writer: events queued, or stop
    std::condition_variable settled_; // from the writer: it has tried everything taken
    std::vector<HistoryWrite> queue_;
    quint64 submitted_ = 0;
    quint64 settledCount_ = 0;
    bool allWritten_ = true;
    bool stopping_ = false;

    // The writer's own.
    bool failureShown_ = false;
    QString lastDetail_;

    std::thread writer_;
};
