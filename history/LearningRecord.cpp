// SPDX-License-Identifier: GPL-3.0-or-later
#include "LearningRecord.h"

#include "EventJournal.h"
#include "HistoryFile.h"
#include "Logging.h"

#include <QDir>
#include <QFile>
#include <condition_variable>
#include <mutex>

// What the window's thread and the writer share; all of it under `mutex`.
struct LearningRecord::Shared {
    explicit Shared(LearningRecord* record) : owner(record) {}

    std::mutex mutex;
    std::condition_variable wake;    // to the writer: events queued, or stop
    std::condition_variable settled; // from the writer: it has tried everything taken, or it is done

    LearningRecord* owner;              // null once it is gone: nothing is posted to it any more
    std::vector<DrillEvent> queue;      // not yet taken by the writer
    std::vector<DrillEvent> pending;    // taken and not yet written, oldest first
    std::optional<qint64> pendingDrill; // the drill in the file that the first pending events belong to
    bool journalRead = false;           // the writer has read the last run's journal
    bool journalPending = false;        // and its events are in `pending`
    quint64 submitted = 0;
    quint64 taken = 0;
    quint64 settledCount = 0;
    int booksInFlight = 0; // books posted to the owner and not yet taken
    bool allWritten = true;
    bool stopping = false;
    bool abandoned = false; // the end stopped waiting: the writer must commit nothing more
    bool done = false;

    // Runs `call` on the owner's thread, if there is an owner still. With `mutex` held.
    template <typename Call> void post(Call call)
    {
        if (owner)
            QMetaObject::invokeMethod(owner, std::move(call), Qt::QueuedConnection);
    }
};

namespace {

constexpr std::chrono::milliseconds RetryPause{500};

bool isWordEvent(const DrillEvent& event)
{
    return event.kind != DrillEvent::Kind::Started && event.kind != DrillEvent::Kind::Completed;
}

} // namespace

// The writer thread: its file, its copy of the book (as the file has it), and the rounds of writing.
class LearningRecord::Writer {
public:
    Writer(std::shared_ptr<Shared> shared, QString file) : shared_(std::move(shared)), file_(std::move(file))
    {
    }
    void run();

private:
    void loadJournal();
    bool ensureOpen();
    bool startNewRecord(const QString& message);
    void writePending();
    void report(const Failure& failure);
    void dropExcess();
    void sendBook(); // with the mutex held

    std::shared_ptr<Shared> shared_;
    const QString file_;
    std::unique_ptr<HistoryFile> history_;
    ErrorBook book_;       // as in the file, with everything written so far
    bool checked_ = false; // the file's structure has been checked in this run
    bool bookToSend_ = false;
    bool bookSent_ = false;
    bool failureShown_ = false; // since the last write that went through
    QString lastDetail_;
};

void LearningRecord::Writer::run()
{
    loadJournal();
    Shared& s = *shared_;
    for (bool first = true;; first = false) {
        bool stop = false;
        bool work = false;
        quint64 taken = 0;
        {
            std::unique_lock lock(s.mutex);
            if (!first) {
                // A file that failed is not tried again at every event: a drill of many words would
                // rewrite the whole of what is pending each time.
                if (!s.allWritten)
                    s.wake.wait_for(lock, RetryPause, [&] { return s.stopping; });
                s.wake.wait(lock, [&] { return s.stopping || !s.queue.empty(); });
            }
            if (s.abandoned)
                break;
            stop = s.stopping;
            std::move(s.queue.begin(), s.queue.end(), std::back_inserter(s.pending));
            s.queue.clear();
            s.taken = taken = s.submitted;
            work = !s.pending.empty();
        }
        // The first round opens the file and reads the book, events or not.
        if ((first || work) && ensureOpen() && work)
            writePending();
        {
            std::lock_guard lock(s.mutex);
            s.settledCount = taken;
            s.allWritten = s.pending.empty();
            if (bookToSend_)
                sendBook();
            s.post([owner = s.owner] { emit owner->settled(); });
        }
        s.settled.notify_all();
        if (stop)
            break;
    }
    history_.reset(); // its connection belongs to this thread
    std::lock_guard lock(s.mutex);
    s.done = true;
    s.settled.notify_all();
}

void LearningRecord::Writer::loadJournal()
{
    auto read = EventJournal::read(EventJournal::path(file_));
    if (auto* failed = std::get_if<Failure>(&read)) {
        report(*failed);
        return;
    }
    auto& journal = std::get<EventJournal>(read);
    if (journal.unreadableLines > 0)
        qCWarning(lcHistory, "learning record: %d lines of %s could not be read and are left out",
                  journal.unreadableLines, qUtf8Printable(EventJournal::path(file_)));
    std::lock_guard lock(shared_->mutex);
    shared_->journalPending = !journal.events.empty();
    shared_->pending = std::move(journal.events);
    shared_->pendingDrill = journal.drill;
    shared_->journalRead = true;
}

bool LearningRecord::Writer::ensureOpen()
{
    if (history_)
        return true;
    const auto fail = [&](const Failure& failure) {
        history_.reset();
        report(failure);
        // The window waits for a book: until the file can be read, it is the one of this run's events.
        if (!bookSent_)
            bookToSend_ = true;
        return false;
    };
    auto opened = HistoryFile::open(file_, HistoryFile::Mode::Write);
    if (auto* failed = std::get_if<Failure>(&opened))
        return fail(*failed);
    history_ = std::move(std::get<std::unique_ptr<HistoryFile>>(opened));

    if (!checked_) {
        const auto problems = history_->problems();
        if (auto* failed = std::get_if<Failure>(&problems))
            return fail(*failed);
        checked_ = true;
        if (const auto& found = std::get<QStringList>(problems); !found.isEmpty()) {
            qCWarning(lcHistory, "learning record: %s is damaged: %s", qUtf8Printable(file_),
                      qUtf8Printable(found.join(QStringLiteral("; ")).simplified().left(300)));
            history_.reset();
            const auto moved = HistoryFile::setAside(file_, QDate::currentDate());
            if (auto* failed = std::get_if<Failure>(&moved))
                return fail(*failed);
            return startNewRecord(QStringLiteral("学习记录 %1 已损坏，已另存为 %2，并开始了新的学习记录")
                                      .arg(QDir::toNativeSeparators(file_),
                                           QDir::toNativeSeparators(std::get<QString>(moved))));
        }
    }

    auto entries = history_->readErrorBook();
    if (auto* failed = std::get_if<Failure>(&entries))
        return fail(*failed);
    book_ = ErrorBook(std::get<std::vector<ErrorBookEntry>>(entries));
    bookToSend_ = true;
    std::optional<qint64> drill;
    {
        std::lock_guard lock(shared_->mutex);
        drill = shared_->pendingDrill;
    }
    if (drill)
        history_->resumeDrill(*drill);
    return true;
}

bool LearningRecord::Writer::startNewRecord(const QString& message)
{
    history_.reset();
    // A -wal left by another program's connection would otherwise be read into the new file.
    QFile::remove(file_ + QStringLiteral("-wal"));
    QFile::remove(file_ + QStringLiteral("-shm"));
    auto opened = HistoryFile::open(file_, HistoryFile::Mode::Write);
    if (auto* failed = std::get_if<Failure>(&opened)) {
        report(*failed);
        return false;
    }
    history_ = std::move(std::get<std::unique_ptr<HistoryFile>>(opened));
    checked_ = true;
    book_ = ErrorBook();
    bookToSend_ = true;
    qCWarning(lcHistory, "learning record: %s begun anew", qUtf8Printable(file_));
    std::lock_guard lock(shared_->mutex);
    shared_->pendingDrill.reset();
    shared_->post([owner = shared_->owner, message] { emit owner->recordReplaced(message); });
    return true;
}

void LearningRecord::Writer::writePending()
{
    Shared& s = *shared_;
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::vector<DrillEvent> batch;
        bool withJournal = false;
        {
            std::lock_guard lock(s.mutex);
            batch = s.pending;
            withJournal = s.journalPending;
        }
        // The book's changes follow the file's book, whatever became of earlier tries.
        ErrorBook book = book_;
        std::vector<HistoryWrite> writes;
        writes.reserve(batch.size());
        for (const DrillEvent& event : batch)
            writes.push_back({event, book.apply(event)});
        const auto failed = history_->write(writes, [&] {
            std::lock_guard lock(s.mutex);
            return !s.abandoned;
        });
        if (!failed) {
            book_ = std::move(book);
            {
                std::lock_guard lock(s.mutex);
                s.pending.erase(s.pending.begin(), s.pending.begin() + qsizetype(batch.size()));
                s.pendingDrill = history_->currentDrill();
                s.journalPending = false;
            }
            failureShown_ = false;
            lastDetail_.clear();
            if (withJournal && !QFile::remove(EventJournal::path(file_)))
                qCWarning(lcHistory, "learning record: %s is written in but cannot be removed",
                          qUtf8Printable(EventJournal::path(file_)));
            return;
        }
        {
            std::lock_guard lock(s.mutex);
            if (s.abandoned)
                return; // the end has these events in the journal
        }
        if (failed->kind == Failure::Kind::Missing && attempt == 0 &&
            startNewRecord(QStringLiteral("学习记录 %1 已被删除，已开始新的学习记录")
                               .arg(QDir::toNativeSeparators(file_))))
            continue;
        report(*failed);
        dropExcess();
        return;
    }
}

void LearningRecord::Writer::dropExcess()
{
    std::lock_guard lock(shared_->mutex);
    std::vector<DrillEvent>& pending = shared_->pending;
    if (pending.size() <= MaxPending)
        return;
    const size_t excess = pending.size() - MaxPending;
    size_t dropped = 0;
    std::vector<DrillEvent> kept;
    kept.reserve(pending.size() - excess);
    for (DrillEvent& event : pending) {
        if (dropped < excess && isWordEvent(event))
            ++dropped;
        else
            kept.push_back(std::move(event));
    }
    pending = std::move(kept);
    qCWarning(lcHistory, "learning record: %zu events could not be kept and are lost", dropped);
}

void LearningRecord::Writer::report(const Failure& failure)
{
    if (failure.detail != lastDetail_) {
        lastDetail_ = failure.detail;
        qCWarning(lcHistory, "learning record not saved: %s", qUtf8Printable(failure.detail));
    }
    if (failureShown_)
        return;
    failureShown_ = true;
    std::lock_guard lock(shared_->mutex);
    shared_->post([owner = shared_->owner, reason = failure.message] { emit owner->saveFailed(reason); });
}

void LearningRecord::Writer::sendBook()
{
    Shared& s = *shared_;
    bookToSend_ = false;
    bookSent_ = true;
    ErrorBook book = book_;
    for (const DrillEvent& event : s.pending)
        book.apply(event);
    ++s.booksInFlight;
    s.post([owner = s.owner, entries = book.entries(), upTo = s.taken] { owner->takeBook(entries, upTo); });
}

LearningRecord::LearningRecord(QString historyFile)
    : file_(std::move(historyFile)), shared_(std::make_shared<Shared>(this))
{
    writer_ = std::thread([shared = shared_, file = file_] { Writer(shared, file).run(); });
}

LearningRecord::~LearningRecord()
{
    try {
        if (!closed_)
            (void)close();
        std::lock_guard lock(shared_->mutex);
        shared_->owner = nullptr;
    } catch (const std::exception& error) {
        // A lock that cannot be taken at the end: the writer is past caring, and so is the program.
        qCWarning(lcHistory, "the learning record did not end cleanly: %s", error.what());
    }
}

void LearningRecord::drillEvent(const DrillEvent& event)
{
    if (closed_)
        return;
    book_.apply(event);
    const quint64 number = ++submitted_;
    log_.push_back({number, event});
    quint64 known = 0;
    {
        std::lock_guard lock(shared_->mutex);
        shared_->queue.push_back(event);
        shared_->submitted = number;
        // A book on its way may lack any event after the ones it was made from.
        if (shared_->booksInFlight == 0)
            known = shared_->taken;
    }
    shared_->wake.notify_one();
    while (!log_.empty() && log_.front().number <= known)
        log_.pop_front();
}

void LearningRecord::takeBook(const std::vector<ErrorBookEntry>& entries, quint64 upTo)
{
    book_ = ErrorBook(entries);
    while (!log_.empty() && log_.front().number <= upTo)
        log_.pop_front();
    for (const Logged& logged : log_)
        book_.apply(logged.event);
    {
        std::lock_guard lock(shared_->mutex);
        --shared_->booksInFlight;
    }
    bookRead_ = true;
    emit errorBookReady();
}

bool LearningRecord::isSettled() const
{
    std::lock_guard lock(shared_->mutex);
    return shared_->settledCount >= shared_->submitted;
}

bool LearningRecord::flush(std::chrono::milliseconds timeout)
{
    Shared& s = *shared_;
    std::unique_lock lock(s.mutex);
    const quint64 target = s.submitted;
    return s.settled.wait_for(lock, timeout, [&] { return s.settledCount >= target || s.done; }) &&
           s.settledCount >= target && s.allWritten;
}

std::optional<Failure> LearningRecord::close(std::chrono::milliseconds timeout)
{
    if (closed_)
        return std::nullopt;
    closed_ = true;
    Shared& s = *shared_;
    EventJournal journal;
    bool finished = false;
    {
        std::unique_lock lock(s.mutex);
        s.stopping = true;
        s.wake.notify_one();
        finished = s.settled.wait_for(lock, timeout, [&] { return s.done; });
        // A writer that is still at it commits nothing more: what it holds is in the journal instead.
        // Only one caught in the middle of its COMMIT may yet write its batch, which the next start then
        // writes a second time.
        s.abandoned = true;
        journal.events = s.pending;
        journal.events.insert(journal.events.end(), s.queue.begin(), s.queue.end());
        journal.drill = s.pendingDrill;
        if (!s.journalRead) {
            // The writer did not get as far as the last run's journal: it is kept, before this run's.
            if (auto read = EventJournal::read(EventJournal::path(file_));
                std::holds_alternative<EventJournal>(read)) {
                auto& earlier = std::get<EventJournal>(read);
                if (!earlier.events.empty()) {
                    journal.events.insert(journal.events.begin(), earlier.events.begin(),
                                          earlier.events.end());
                    journal.drill = earlier.drill;
                }
            }
        }
    }
    if (finished)
        writer_.join();
    else
        writer_.detach(); // on a disk that hangs it may never return; it holds its own share of the state
    if (journal.events.empty())
        return std::nullopt;
    const QString path = EventJournal::path(file_);
    if (auto failed = journal.write(path)) {
        qCWarning(lcHistory, "learning record: %zu events are lost: %s", journal.events.size(),
                  qUtf8Printable(failed->detail));
        return Failure{
            QStringLiteral("%1 个学习事件未能保存（%2）").arg(journal.events.size()).arg(failed->message),
            failed->detail, Failure::Kind::WriteFailed};
    }
    qCWarning(lcHistory, "learning record: %zu events kept in %s for the next start", journal.events.size(),
              qUtf8Printable(path));
    return std::nullopt;
}
