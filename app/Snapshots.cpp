// SPDX-License-Identifier: GPL-3.0-or-later
#include "Snapshots.h"

#include "DataDirectory.h"
#include "HistoryFile.h"
#include "Logging.h"
#include "SettingsFile.h"
#include "WordDatabase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRegularExpression>
#include <QScopeGuard>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Snapshots {

namespace {

const QStringList SideFiles{QStringLiteral("-wal"), QStringLiteral("-shm"), QStringLiteral("-journal")};

QString systemError(int error)
{
    return qt_error_string(error);
}

Failure snapshotFailure(const QString& detail)
{
    return {QStringLiteral("快照无法保存"), detail, Failure::Kind::WriteFailed};
}

// Puts what was written in `path` (a file or a folder) on the disk.
bool sync(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

// A folder that the snapshot is written into before it takes its day's name, and a day's folder that it
// replaces on its way out: hidden, named after the day and plainly the program's own.
const QRegularExpression& leftoverName()
{
    static const QRegularExpression name(
        QStringLiteral("^\\.\\d{4}-\\d{2}-\\d{2}\\.vokabo-new-[A-Za-z0-9]{6}(\\.old)?$"));
    return name;
}

// Folders of a snapshot that was cut off. Another process may be taking one at this moment (a start for
// the same folder that could not make its lock), so only those older than a minute go.
void removeLeftovers(const QString& root)
{
    const QDateTime aMinuteAgo = QDateTime::currentDateTimeUtc().addSecs(-60);
    for (const QFileInfo& entry :
         QDir(root).entryInfoList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot)) {
        if (leftoverName().match(entry.fileName()).hasMatch() && !entry.isSymLink() &&
            entry.lastModified().toUTC() < aMinuteAgo)
            QDir(entry.filePath()).removeRecursively();
    }
}

std::optional<Failure> copyDatabase(const QString& source, const QString& copy)
{
    const bool history = QFileInfo(source).fileName() == HistoryName;
    if (auto failed = history ? HistoryFile::copyInto(source, copy) : WordDatabase::copyInto(source, copy))
        return snapshotFailure(failed->detail);
    const auto found = problems(copy);
    if (const auto* failed = std::get_if<Failure>(&found))
        return snapshotFailure(failed->detail);
    if (const auto& lines = std::get<QStringList>(found); !lines.isEmpty())
        return snapshotFailure(QStringLiteral("the copy of %1 fails quick_check: %2")
                                   .arg(source, lines.join(QStringLiteral("; ")).left(300)));
    if (!sync(copy))
        return snapshotFailure(QStringLiteral("cannot write %1: %2").arg(copy, systemError(errno)));
    return std::nullopt;
}

// The finished folder under the day's name, in place of an earlier one of the same day at one stroke.
std::optional<Failure> place(const QString& draft, const QString& target)
{
    const QByteArray from = QFile::encodeName(draft);
    const QByteArray to = QFile::encodeName(target);
    if (!QFileInfo::exists(target)) {
        if (std::rename(from.constData(), to.constData()) != 0)
            return snapshotFailure(
                QStringLiteral("cannot rename %1 to %2: %3").arg(draft, target, systemError(errno)));
        return std::nullopt;
    }
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_EXCHANGE) == 0)
        return std::nullopt; // the draft's name now holds the earlier snapshot, which goes with it
    if (errno != EINVAL && errno != ENOSYS)
        return snapshotFailure(
            QStringLiteral("cannot exchange %1 and %2: %3").arg(draft, target, systemError(errno)));
    // A file system without exchanging renames: the earlier one is moved aside first.
    const QString old = draft + QStringLiteral(".old");
    if (std::rename(to.constData(), QFile::encodeName(old).constData()) != 0)
        return snapshotFailure(
            QStringLiteral("cannot rename %1 to %2: %3").arg(target, old, systemError(errno)));
    if (std::rename(from.constData(), to.constData()) != 0) {
        const int error = errno;
        std::rename(QFile::encodeName(old).constData(), to.constData());
        return snapshotFailure(
            QStringLiteral("cannot rename %1 to %2: %3").arg(draft, target, systemError(error)));
    }
    QDir(old).removeRecursively();
    return std::nullopt;
}

void removeOldDays(const QString& dataDirectory)
{
    const std::vector<Snapshot> days = list(dataDirectory);
    for (size_t i = DaysKept; i < days.size(); ++i) {
        if (!QDir(days[i].path).removeRecursively())
            qCWarning(lcApp, "cannot remove the old snapshot %s", qUtf8Printable(days[i].path));
    }
}

// A new empty file for the owner alone beside `target`, named after it and plainly the program's own.
Result<QString> draftBeside(const QString& target)
{
    const QFileInfo info(target);
    QByteArray pattern = QFile::encodeName(info.absoluteDir().filePath(
        QStringLiteral(".") + info.fileName() + QStringLiteral(".vokabo-restore-XXXXXX")));
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0)
        return Failure{
            QStringLiteral("无法在 %1 中建立文件").arg(QDir::toNativeSeparators(info.absolutePath())),
            QStringLiteral("cannot create a file in %1: %2").arg(info.absolutePath(), systemError(errno))};
    ::close(fd);
    return QFile::decodeName(pattern);
}

// The snapshot's copy of `name` in a new file beside the data folder's, ready to take its place.
Result<QString> prepareRestore(const QString& dataDirectory, const Snapshot& snapshot, const QString& name)
{
    auto made = draftBeside(QDir(dataDirectory).filePath(name));
    if (std::holds_alternative<Failure>(made))
        return made;
    const QString draft = std::get<QString>(made);
    auto removeDraft = qScopeGuard([&] { QFile::remove(draft); });
    const QString source = snapshot.file(name);
    std::optional<Failure> failed;
    if (name == WordDatabaseName) {
        failed = WordDatabase::copyInto(source, draft);
    } else if (name == HistoryName) {
        failed = HistoryFile::restoreInto(source, draft);
    } else {
        QFile from(source);
        QFile to(draft);
        if (!from.open(QIODevice::ReadOnly) || !to.open(QIODevice::WriteOnly) ||
            to.write(from.readAll()) != from.size() || !to.flush())
            failed = Failure{QString(), QStringLiteral("cannot copy %1 to %2: %3 %4")
                                            .arg(source, draft, from.errorString(), to.errorString())};
    }
    if (failed)
        return Failure{QStringLiteral("快照中的 %1 无法复制：%2").arg(name, failed->message), failed->detail};
    if (!sync(draft))
        return Failure{QStringLiteral("快照中的 %1 无法复制").arg(name),
                       QStringLiteral("cannot write %1: %2").arg(draft, systemError(errno))};
    removeDraft.dismiss();
    return draft;
}

// The name that a file replaced is kept under: `stem`, or with a number after it when that is taken.
QString freeName(const QString& stem)
{
    QString name = stem;
    for (int n = 2; QFileInfo::exists(name) ||
                    std::any_of(SideFiles.begin(), SideFiles.end(),
                                [&](const QString& side) { return QFileInfo::exists(name + side); });
         ++n)
        name = stem + QStringLiteral("-%1").arg(n);
    return name;
}

// The draft in the data folder's file's place; the file, with its side files, kept as `stem`.
Result<QString> putInPlace(const QString& dataDirectory, const QString& name, const QString& draft,
                           const QString& stem)
{
    const QString target = QDir(dataDirectory).filePath(name);
    const auto cannot = [&](const QString& from, const QString& to, int error) {
        return Failure{
            QStringLiteral("%1 无法替换：%2").arg(QDir::toNativeSeparators(target), systemError(error)),
            QStringLiteral("cannot rename %1 to %2: %3").arg(from, to, systemError(error))};
    };
    QString kept;
    const bool present = QFileInfo::exists(target);
    // A journal left beside the old file would be played into the new one; they go with the old file.
    for (const QString& side : SideFiles) {
        if (!QFileInfo::exists(target + side))
            continue;
        if (kept.isEmpty())
            kept = freeName(stem);
        if (std::rename(QFile::encodeName(target + side).constData(),
                        QFile::encodeName(kept + side).constData()) != 0)
            return cannot(target + side, kept + side, errno);
    }
    if (present) {
        if (kept.isEmpty())
            kept = freeName(stem);
        // A second name first, so that the file's own name is never without a file.
        const QByteArray from = QFile::encodeName(target);
        const QByteArray to = QFile::encodeName(kept);
        if (::link(from.constData(), to.constData()) != 0 &&
            std::rename(from.constData(), to.constData()) != 0)
            return cannot(target, kept, errno);
    }
    if (std::rename(QFile::encodeName(draft).constData(), QFile::encodeName(target).constData()) != 0) {
        const int error = errno;
        QFile::remove(draft);
        return cannot(draft, target, error);
    }
    sync(dataDirectory);
    return kept;
}

} // namespace

QString folder(const QString& dataDirectory)
{
    return QDir(dataDirectory).filePath(QStringLiteral("snapshots"));
}

Fingerprints fingerprints(const QString& dataDirectory)
{
    Fingerprints prints;
    for (size_t i = 0; i < FileNames.size(); ++i) {
        struct stat status {};
        if (::stat(QFile::encodeName(QDir(dataDirectory).filePath(FileNames[i])).constData(), &status) == 0)
            prints[i] = {qint64(status.st_size),
                         qint64(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec,
                         quint64(status.st_ino)};
    }
    return prints;
}

std::optional<Failure> take(const QString& dataDirectory, const QDate& day)
{
    const QString root = folder(dataDirectory);
    if (!DataDirectory::makeFolder(root))
        return snapshotFailure(QStringLiteral("cannot create %1: %2").arg(root, systemError(errno)));
    removeLeftovers(root);
    const QString name = day.toString(Qt::ISODate);
    QByteArray pattern =
        QFile::encodeName(QDir(root).filePath(QStringLiteral(".%1.vokabo-new-XXXXXX").arg(name)));
    if (!::mkdtemp(pattern.data()))
        return snapshotFailure(
            QStringLiteral("cannot create a folder in %1: %2").arg(root, systemError(errno)));
    const QString draft = QFile::decodeName(pattern);
    const auto removeDraft = qScopeGuard([&] { QDir(draft).removeRecursively(); });

    const QDir data(dataDirectory);
    bool copied = false;
    for (const QString& database : {WordDatabaseName, HistoryName}) {
        if (!QFileInfo(data.filePath(database)).isFile())
            continue;
        if (auto failed = copyDatabase(data.filePath(database), QDir(draft).filePath(database)))
            return failed;
        copied = true;
    }
    const auto settings = mdlINI(dataDirectory).copyTo(QDir(draft).filePath(SettingsName));
    if (const auto* failed = std::get_if<Failure>(&settings))
        return snapshotFailure(failed->detail);
    if (!copied && !std::get<bool>(settings))
        return snapshotFailure(QStringLiteral("%1 holds none of the files to copy").arg(dataDirectory));
    sync(draft);

    if (auto failed = place(draft, QDir(root).filePath(name)))
        return failed;
    sync(root);
    removeOldDays(dataDirectory);
    return std::nullopt;
}

Result<bool> takeAfterChange(const QString& dataDirectory, const Fingerprints& atStart, const QDate& day)
{
    if (fingerprints(dataDirectory) == atStart)
        return false;
    if (auto failed = take(dataDirectory, day))
        return *failed;
    return true;
}

QString Snapshot::file(const QString& name) const
{
    return QDir(path).filePath(name);
}

bool Snapshot::has(const QString& name) const
{
    return std::any_of(files.begin(), files.end(), [&](const File& file) { return file.name == name; });
}

std::vector<Snapshot> list(const QString& dataDirectory)
{
    std::vector<Snapshot> snapshots;
    const QDir root(folder(dataDirectory));
    for (const QFileInfo& entry : root.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QDate day = QDate::fromString(entry.fileName(), Qt::ISODate);
        if (!day.isValid() || day.toString(Qt::ISODate) != entry.fileName())
            continue;
        Snapshot snapshot{day, entry.filePath(), {}};
        for (const QString& name : FileNames) {
            const QFileInfo file(snapshot.file(name));
            if (file.isFile())
                snapshot.files.push_back({name, file.size()});
        }
        snapshots.push_back(std::move(snapshot));
    }
    std::sort(snapshots.begin(), snapshots.end(),
              [](const Snapshot& a, const Snapshot& b) { return a.day > b.day; });
    return snapshots;
}

Result<QStringList> problems(const QString& file)
{
    if (QFileInfo(file).fileName() == HistoryName)
        return HistoryFile::problemsOf(file);
    return WordDatabase::problems(file);
}

std::optional<Snapshot> newestSound(const QString& dataDirectory, const QString& name)
{
    for (const Snapshot& snapshot : list(dataDirectory)) {
        if (!snapshot.has(name))
            continue;
        const auto found = problems(snapshot.file(name));
        if (const auto* lines = std::get_if<QStringList>(&found); lines && lines->isEmpty())
            return snapshot;
    }
    return std::nullopt;
}

Result<QString> restoreFile(const QString& dataDirectory, const Snapshot& snapshot, const QString& name,
                            const QString& keptSuffix)
{
    auto draft = prepareRestore(dataDirectory, snapshot, name);
    if (std::holds_alternative<Failure>(draft))
        return draft;
    return putInPlace(dataDirectory, name, std::get<QString>(draft),
                      QDir(dataDirectory).filePath(name + keptSuffix));
}

Result<Restored> restore(const QString& dataDirectory, const QDate& day, const QDateTime& now)
{
    const QString shown = QDir::toNativeSeparators(dataDirectory);
    if (!QFileInfo(dataDirectory).isDir())
        return Failure{QStringLiteral("找不到文件夹 %1").arg(shown),
                       QStringLiteral("%1 is not a folder").arg(dataDirectory)};
    QLockFile lock(QDir(dataDirectory).filePath(DataDirectory::InstanceLockName));
    lock.setStaleLockTime(0);
    if (!lock.tryLock(0)) {
        if (lock.error() == QLockFile::LockFailedError)
            return Failure{QStringLiteral("Vokabo 正在使用 %1，请先退出 Vokabo").arg(shown),
                           QStringLiteral("a Vokabo is running for %1 (it holds %2); quit it first")
                               .arg(dataDirectory, lock.fileName())};
        return Failure{QStringLiteral("无法锁定 %1").arg(shown),
                       QStringLiteral("cannot make the lock %1").arg(lock.fileName())};
    }
    const std::vector<Snapshot> snapshots = list(dataDirectory);
    const auto found = std::find_if(snapshots.begin(), snapshots.end(),
                                    [&](const Snapshot& snapshot) { return snapshot.day == day; });
    if (found == snapshots.end())
        return Failure{
            QStringLiteral("没有 %1 的快照").arg(day.toString(Qt::ISODate)),
            QStringLiteral("%1 has no snapshot of %2").arg(folder(dataDirectory), day.toString(Qt::ISODate))};
    const Snapshot& snapshot = *found;
    for (const QString& database : {WordDatabaseName, HistoryName}) {
        if (!snapshot.has(database))
            continue;
        const auto checked = problems(snapshot.file(database));
        const QString why = std::holds_alternative<Failure>(checked)
                                ? std::get<Failure>(checked).detail
                                : std::get<QStringList>(checked).join(QStringLiteral("; ")).left(300);
        if (!why.isEmpty())
            return Failure{QStringLiteral("快照中的 %1 已损坏").arg(database),
                           QStringLiteral("%1 fails quick_check: %2; nothing was restored")
                               .arg(snapshot.file(database), why)};
    }

    // Every copy is made before the first file is replaced, so that a copy that fails replaces nothing.
    std::vector<std::pair<QString, QString>> drafts; // name, draft
    const auto removeDrafts = qScopeGuard([&] {
        for (const auto& draft : drafts)
            QFile::remove(draft.second);
    });
    for (const File& file : snapshot.files) {
        auto draft = prepareRestore(dataDirectory, snapshot, file.name);
        if (auto* failed = std::get_if<Failure>(&draft))
            return std::move(*failed);
        drafts.emplace_back(file.name, std::get<QString>(draft));
    }
    const QString suffix = QStringLiteral(".replaced-") + now.toString(QStringLiteral("yyyy-MM-dd-HHmmss"));
    Restored restored;
    for (auto& [name, draft] : drafts) {
        auto kept = putInPlace(dataDirectory, name, draft, QDir(dataDirectory).filePath(name + suffix));
        draft.clear();
        if (auto* failed = std::get_if<Failure>(&kept))
            return Failure{failed->message,
                           QStringLiteral("%1 (restored before it: %2)")
                               .arg(failed->detail, restored.files.join(QStringLiteral(", "))),
                           failed->kind};
        restored.files << name;
        if (!std::get<QString>(kept).isEmpty())
            restored.kept << std::get<QString>(kept);
    }
    return restored;
}

} // namespace Snapshots
