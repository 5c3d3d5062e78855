// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Failure.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>
#include <vector>

// Copies of the learner's files to fall back on: `snapshots/YYYY-MM-DD/` in the data folder holds
// MyDatas.db, History.db and Syset.ini as the last run of that day that changed any of them left them.
// The databases are copied by SQLite (consistent even while written), each copy checked before it takes
// the place of the day's earlier one. Folders are the owner's alone (0700), files too (0600).
namespace Snapshots {

// Days kept: the newest ones; an older day's folder goes when a new day's is made.
inline constexpr int DaysKept = 10;

inline const QString WordDatabaseName = QStringLiteral("MyDatas.db");
inline const QString HistoryName = QStringLiteral("History.db");
inline const QString SettingsName = QStringLiteral("Syset.ini");
// The files of a snapshot, in the order they are listed.
inline const std::array<QString, 3> FileNames{WordDatabaseName, HistoryName, SettingsName};

QString folder(const QString& dataDirectory);

// What tells that a file has changed: its size, time of change and inode (all zero for no file).
struct Fingerprint {
    qint64 size = 0;
    qint64 modified = 0; // nanoseconds
    quint64 inode = 0;
    bool operator==(const Fingerprint&) const = default;
};
using Fingerprints = std::array<Fingerprint, 3>; // of FileNames
Fingerprints fingerprints(const QString& dataDirectory);

// Takes the day's snapshot, in place of one taken earlier that day, and keeps the DaysKept newest days.
// Nothing of an earlier snapshot is touched when this one fails.
[[nodiscard]] std::optional<Failure> take(const QString& dataDirectory, const QDate& day);
// The end of a run: a snapshot when any of the files differs from `atStart`; false when none did.
[[nodiscard]] Result<bool> takeAfterChange(const QString& dataDirectory, const Fingerprints& atStart,
                                           const QDate& day);

struct File {
    QString name;
    qint64 size = 0;
};
struct Snapshot {
    QDate day;
    QString path;
    std::vector<File> files;
    QString file(const QString& name) const;
    bool has(const QString& name) const;
};
// The snapshots of the folder, newest first; none when there is no snapshot folder.
std::vector<Snapshot> list(const QString& dataDirectory);

// What PRAGMA quick_check finds wrong in one of the two databases, by its name, read only.
Result<QStringList> problems(const QString& file);
// The newest snapshot whose copy of `name` passes quick_check.
std::optional<Snapshot> newestSound(const QString& dataDirectory, const QString& name);

// Puts the snapshot's copy of `name` in the data folder's place. The file replaced, with its -wal, -shm and
// -journal, is kept beside it as name + `keptSuffix` (a number after it when that is taken); the name it
// was kept under, or the empty text when there was no file. Nothing may have the file open.
Result<QString> restoreFile(const QString& dataDirectory, const Snapshot& snapshot, const QString& name,
                            const QString& keptSuffix);

struct Restored {
    QStringList files; // restored
    QStringList kept;  // what they replaced, under its new name
};
// The tool's restore: every file of the day's snapshot takes its place, the files replaced kept as
// "….replaced-YYYY-MM-DD-HHMMSS" of `now`. Refused while a Vokabo runs for the folder, when there is no
// snapshot of that day, or when one of its databases fails quick_check.
Result<Restored> restore(const QString& dataDirectory, const QDate& day, const QDateTime& now);

} // namespace Snapshots
