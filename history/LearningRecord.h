// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DrillEvent.h"
#include "ErrorBook.h"
#include "Failure.h"
#include "HistoryFile.h" // HistoryFile::path(), where the record is

#include <QObject>
#include <QString>
#include <chrono>
#include <deque>
#include <memory>
#include <optional>
#include <thread>

// The learning record of this run. It takes the drill's events on the user-interface thread, keeps the
// error book up to date at once, and writes both to History.db on a thread of its own with its own
// connection: an event costs the drill a queue push, and neither a slow nor an unwritable file holds the
// window up. That thread opens the file (checking it, and setting a damaged one aside), reads the error
// book, and writes in first what an earlier run left in its journal; errorBookReady() says when the book
// is there. Events that could not be written are kept and tried again with the next ones; what is still
// not written at the end goes into the journal for the next start.
class LearningRecord final : public QObject, public DrillObserver {
    Q_OBJECT
public:
    // How long the end waits for the writer.
    static constexpr std::chrono::milliseconds EndWait{2000};
    // Events kept for another try while the file cannot be written. Beyond this the oldest word events
    // go; a drill's start and completion stay, so that later events still find their drill.
    static constexpr size_t MaxPending = 100000;

    // Starts the writer and returns at once.
    explicit LearningRecord(QString historyFile);
    // close(), when it has not been called.
    ~LearningRecord() override;
    LearningRecord(const LearningRecord&) = delete;
    LearningRecord& operator=(const LearningRecord&) = delete;

    void drillEvent(const DrillEvent& event) override;

    // False until the writer has read the book from the file, or found that it cannot; until then
    // errorBook() holds only this run's events.
    bool isErrorBookRead() const { return bookRead_; }
    const ErrorBook& errorBook() const { return book_; }
    QString file() const { return file_; }

    // Every event so far has been tried: written, or kept after a failure.
    bool isSettled() const;
    // Waits until every event so far has been written. False when some could not be, or on timeout. For
    // tests and benchmarks; the window waits for settled() instead.
    [[nodiscard]] bool flush(std::chrono::milliseconds timeout = std::chrono::seconds(5));

    // The end of the run: the writer has `timeout` to write what is queued, and what it has not written
    // by then is kept in the journal. A failure (said on stderr too) when even that cannot be written.
    // Events after it are not recorded.
    [[nodiscard]] std::optional<Failure> close(std::chrono::milliseconds timeout = EndWait);

signals:
    // The error book has been read; also when a new record has replaced the file.
    void errorBookReady();
    // A failure to open or write the file: the reason, for the learner. Once, until a write succeeds;
    // every failure with a new cause also goes to stderr.
    void saveFailed(const QString& reason);
    // The file was gone or damaged and a new record has been begun: what the learner is told.
    void recordReplaced(const QString& message);
    // The writer has tried everything it had.
    void settled();

private:
    struct Shared;
    class Writer;
    struct Logged {
        quint64 number;
        DrillEvent event;
    };

    // A book from the writer, with the events up to `upTo` in it.
    void takeBook(const std::vector<ErrorBookEntry>& entries, quint64 upTo);

    QString file_;
    std::shared_ptr<Shared> shared_; // the writer's too: it may outlive this after a bounded end
    ErrorBook book_;
    bool bookRead_ = false;
    std::deque<Logged> log_; // this run's events that a book still to come from the writer may lack
    quint64 submitted_ = 0;
    bool closed_ = false;
    std::thread writer_;
};
