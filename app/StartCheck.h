// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Clock.h"
#include "Messenger.h"
#include "Snapshots.h"

#include <QObject>
#include <QString>
#include <functional>
#include <future>
#include <optional>
#include <vector>

// The check of the word database and the learning record at start: PRAGMA quick_check of each, read only,
// on a thread of its own, before anything opens them to write. A damaged one is offered the newest snapshot
// whose copy is sound; accepted, the copy takes its place and the damaged file is kept beside it as
// "….damaged-YYYY-MM-DD" with its -wal and -shm. Declined, or with no snapshot, the learner is told and
// the files stay as they are.
class StartCheck final : public QObject {
    Q_OBJECT
public:
    // `recordOpened`: the learning record has opened History.db already, and deals with damage itself.
    StartCheck(QString dataDirectory, Messenger& messages, Questioner& questions, const Clock& clock,
               std::function<bool()> recordOpened);
    // Waits for the check's thread.
    ~StartCheck() override;

    // Starts the check and returns; what it finds is told as soon as it is done.
    void begin();
    // Waits for the check (begun here when it has not been) and tells what it found; once.
    void finish();
    bool hasBegun() const { return state_ != State::NotBegun; }

signals:
    // What the check found has been told.
    void finished();

private:
    struct Damage {
        QString name; // MyDatas.db or History.db
        QStringList problems;
        std::optional<Snapshots::Snapshot> snapshot; // the newest whose copy is sound
    };
    static std::vector<Damage> findDamage(const QString& dataDirectory);
    void tell(const Damage& damage);

    enum class State { NotBegun, Checking, Telling, Told };

    QString dataDirectory_;
    Messenger& messages_;
    Questioner& questions_;
    const Clock& clock_;
    std::function<bool()> recordOpened_;
    State state_ = State::NotBegun;
    std::future<std::vector<Damage>> check_;
};
