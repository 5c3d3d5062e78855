#include "LearningRecord.h"
#include "Logging.h"

LearningRecord::LearningRecord(QString historyFile) : file_(std::move(historyFile))
{
    std::promise<std::vector<ErrorBookEntry>> loaded;
    auto entries = loaded.get_future();
    writer_ = std::thread([this, promise = std::move(loaded)]() mutable { run(std::move(promise)); });
    // A file on a stalled disk must not freeze the window: the book then starts empty for this run.
    if (entries.wait_for(std::chrono::seconds(3)) == std::future_status::ready)
        book_ = ErrorBook(entries.get());
    else
        qCWarning(lcHistory, "learning record: %s did not open in time; the error book starts empty",
                  qUtf8Printable(file_));
}

LearningRecord::~LearningRecord()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    writer_.join();
}

void LearningRecord::drillEvent(const DrillEvent& event)
{
    HistoryWrite write{event, book_.apply(event)};
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(write));
        ++submitted_;
    }
    wake_.notify_one();
}

bool LearningRecord::flush(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    const quint64 target = submitted_;
    return settled_.wait_for(lock, timeout, [&] { return settledCount_ >= target; }) && allWritten_;
}

void LearningRecord::reportFailure(const Failure& failure)
{
    if (failure.detail != lastDetail_) {
        lastDetail_ = failure.detail;
        qCWarning(lcHistory, "learning record not saved: %s", qUtf8Printable(failure.detail));
    }
    if (!failureShown_) {
        failureShown_ = true;
        QMetaObject::invokeMethod(
            this, [this, reason = failure.message] { emit saveFailed(reason); }, Qt::QueuedConnection);
    }
}

void LearningRecord::run(std::promise<std::vector<ErrorBookEntry>> loaded)
{
    std::unique_ptr<HistoryFile> file;
    const auto openFile = [&] {
        if (!file) {
            auto opened = HistoryFile::open(file_, HistoryFile::Mode::Write);
            if (auto* failed = std::get_if<Failure>(&opened))
                reportFailure(*failed);
            else
                file = std::move(std::get<std::unique_ptr<HistoryFile>>(opened));
        }
        return file != nullptr;
    };

    std::vector<ErrorBookEntry> entries;
    if (openFile()) {
        auto read = file->readErrorBook();
        if (auto* failed = std::get_if<Failure>(&read)) {
            reportFailure(*failed);
            file.reset(); // not a record that this program can add to
        } else {
            entries = std::move(std::get<std::vector<ErrorBookEntry>>(read));
        }
    }
    loaded.set_value(std::move(entries));

    std::vector<HistoryWrite> pending;
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
        const bool stop = stopping_;
        const quint64 taken = submitted_;
        std::move(queue_.begin(), queue_.end(), std::back_inserter(pending));
        queue_.clear();
        lock.unlock();

        if (!pending.empty()) {
            bool written = false;
            if (openFile()) {
                if (const auto failed = file->write(pending))
                    reportFailure(*failed);
                else
                    written = true;
            }
            if (written) {
                pending.clear();
            } else if (pending.size() > MaxPending) {
                qCWarning(lcHistory, "learning record: %zu events could not be kept and are lost",
                          pending.size() - MaxPending);
                pending.erase(pending.begin(), pending.end() - qsizetype(MaxPending));
            }
        }

        lock.lock();
        settledCount_ = taken;
        allWritten_ = pending.empty();
        settled_.notify_all();
        if (stop)
            break;
    }
    lock.unlock();
    file.reset(); // its connection belongs to this thread
}
