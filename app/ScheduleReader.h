// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Failure.h"
#include "ReviewRecord.h"

#include <QObject>
#include <QString>
#include <memory>
#include <thread>

// Reads today's reviews of the data folder (readReviewState()) on a thread of its own, so that neither a
// long learning record nor a slow disk holds the window up. Nothing is read until asked.
class ScheduleReader final : public QObject {
    Q_OBJECT
public:
    ScheduleReader(QString applicationDirectory, const MemoryModel& model);
    // Stops a reading under way and waits for it.
    ~ScheduleReader() override;
    ScheduleReader(const ScheduleReader&) = delete;
    ScheduleReader& operator=(const ScheduleReader&) = delete;

    // Reads the files afresh; while a reading is under way, once more when it is done.
    void read();
    bool isReading() const { return reading_; }
    // What the last reading found (nothing, after a failure); null before the first is done.
    const ReviewState* state() const { return state_.get(); }
    // Why the last reading found nothing, for the learner; none when it went through.
    const std::optional<Failure>& failure() const { return failure_; }

signals:
    // A reading is done: state() or failure() has its outcome.
    void ready();

private:
    struct Shared;

    void start();
    void take(Result<ReviewState> read);

    QString applicationDirectory_;
    MemoryModel model_;
    std::shared_ptr<Shared> shared_;
    std::thread thread_;
    bool reading_ = false;
    bool readAgain_ = false;
    std::unique_ptr<const ReviewState> state_;
    std::optional<Failure> failure_;
};
