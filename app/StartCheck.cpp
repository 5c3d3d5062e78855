// SPDX-License-Identifier: GPL-3.0-or-later
#include "StartCheck.h"

#include "Logging.h"

#include <QDir>
#include <QFileInfo>

StartCheck::StartCheck(QString dataDirectory, Messenger& messages, Questioner& questions, const Clock& clock,
                       std::function<bool()> recordOpened)
    : dataDirectory_(std::move(dataDirectory)), messages_(messages), questions_(questions), clock_(clock),
      recordOpened_(std::move(recordOpened))
{
}

StartCheck::~StartCheck()
{
    if (check_.valid())
        check_.wait();
}

std::vector<StartCheck::Damage> StartCheck::findDamage(const QString& dataDirectory)
{
    std::vector<Damage> found;
    for (const QString& name : {Snapshots::WordDatabaseName, Snapshots::HistoryName}) {
        const QString file = QDir(dataDirectory).filePath(name);
        if (!QFileInfo::exists(file))
            continue;
        const auto problems = Snapshots::problems(file);
        if (const auto* failed = std::get_if<Failure>(&problems)) {
            // Not damage that a snapshot mends: whatever opens the file says why it cannot.
            qCWarning(lcApp, "cannot check %s: %s", qUtf8Printable(file), qUtf8Printable(failed->detail));
            continue;
        }
        const QStringList& lines = std::get<QStringList>(problems);
        if (lines.isEmpty())
            continue;
        qCWarning(lcApp, "%s is damaged: %s", qUtf8Printable(file),
                  qUtf8Printable(lines.join(QStringLiteral("; ")).simplified().left(300)));
        found.push_back({name, lines, Snapshots::newestSound(dataDirectory, name)});
    }
    return found;
}

void StartCheck::begin()
{
    if (state_ != State::NotBegun)
        return;
    state_ = State::Checking;
    check_ = std::async(std::launch::async, [this, directory = dataDirectory_] {
        auto found = findDamage(directory);
        QMetaObject::invokeMethod(this, &StartCheck::finish, Qt::QueuedConnection);
        return found;
    });
}

void StartCheck::finish()
{
    if (state_ == State::NotBegun)
        begin();
    if (state_ != State::Checking)
        return; // told already, or telling now behind a box
    state_ = State::Telling;
    for (const Damage& damage : check_.get())
        tell(damage);
    state_ = State::Told;
    emit finished();
}

void StartCheck::tell(const Damage& damage)
{
    const bool words = damage.name == Snapshots::WordDatabaseName;
    if (!words && recordOpened_())
        return;
    const QString what = words ? QStringLiteral("词库") : QStringLiteral("学习记录");
    const QString file = QDir::toNativeSeparators(QDir(dataDirectory_).filePath(damage.name));
    if (!damage.snapshot) {
        messages_.showMessage(QStringLiteral("%1 %2 已损坏，也没有可以用来恢复的快照。").arg(what, file),
                              MessageTitle);
        return;
    }
    const QString day = damage.snapshot->day.toString(Qt::ISODate);
    const QString suffix = QStringLiteral(".damaged-") + clock_.now().date().toString(Qt::ISODate);
    if (!questions_.askYesNo(QStringLiteral("%1 %2 已损坏。\n要用 %3 的快照恢复吗？损坏的文件将保留为 %4。")
                                 .arg(what, file, day, damage.name + suffix),
                             MessageTitle)) {
        messages_.showMessage(QStringLiteral("%1 %2 已损坏，没有改动。").arg(what, file), MessageTitle);
        return;
    }
    const auto restored = Snapshots::restoreFile(dataDirectory_, *damage.snapshot, damage.name, suffix);
    if (const auto* failed = std::get_if<Failure>(&restored)) {
        qCWarning(lcApp, "cannot restore %s from the snapshot of %s: %s", qUtf8Printable(damage.name),
                  qUtf8Printable(day), qUtf8Printable(failed->detail));
        messages_.showMessage(QStringLiteral("无法用快照恢复%1：%2").arg(what, failed->message),
                              MessageTitle);
        return;
    }
    qCInfo(lcApp, "%s restored from the snapshot of %s; the damaged file is kept as %s", qUtf8Printable(file),
           qUtf8Printable(day), qUtf8Printable(std::get<QString>(restored)));
}
