// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScheduleReader.h"

#include "Logging.h"

#include <mutex>

// What the window's thread and the reading thread share.
struct ScheduleReader::Shared {
    std::mutex mutex;
    ScheduleReader* owner = nullptr; // null once it is going: nothing is posted to it any more
    std::atomic<bool> cancelled = false;
};

ScheduleReader::ScheduleReader(QString applicationDirectory, const MemoryModel& model)
    : applicationDirectory_(std::move(applicationDirectory)), model_(model),
      shared_(std::make_shared<Shared>())
{
    shared_->owner = this;
}

ScheduleReader::~ScheduleReader()
{
    {
        std::lock_guard lock(shared_->mutex);
        shared_->owner = nullptr;
    }
    shared_->cancelled = true;
    if (thread_.joinable())
        thread_.join();
}

void ScheduleReader::read()
{
    if (reading_) {
        readAgain_ = true;
        return;
    }
    start();
}

void ScheduleReader::start()
{
    if (thread_.joinable())
        thread_.join(); // done: it has posted its outcome
    reading_ = true;
    readAgain_ = false;
    thread_ = std::thread([shared = shared_, directory = applicationDirectory_, model = model_] {
        auto read =
            std::make_shared<Result<ReviewState>>(readReviewState(directory, model, &shared->cancelled));
        std::lock_guard lock(shared->mutex);
        if (ScheduleReader* owner = shared->owner)
            QMetaObject::invokeMethod(
                owner, [owner, read] { owner->take(std::move(*read)); }, Qt::QueuedConnection);
    });
}

void ScheduleReader::take(Result<ReviewState> read)
{
    reading_ = false;
    if (auto* failed = std::get_if<Failure>(&read)) {
        qCWarning(lcApp, "today's reviews: %s", qUtf8Printable(failed->detail));
        failure_ = *failed;
        state_ = std::make_unique<const ReviewState>();
    } else {
        failure_.reset();
        state_ = std::make_unique<const ReviewState>(std::move(std::get<ReviewState>(read)));
    }
    if (readAgain_)
        start();
    emit ready();
}
