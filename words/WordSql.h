// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SqlConnection.h"

#include <QSqlDatabase>
#include <QString>
#include <QVariant>
#include <optional>
#include <vector>

// What every statement on a word database goes through: one way to open it, one way to add records.
namespace WordSql {

// Opens an existing SQLite file and reads it once (SQLite opens any file). A connection that may write gets
// the pragmas that every writer of the file uses: each commit on the disk before it returns (a deleted word
// stays deleted after a power cut), and the text of deleted records overwritten in the file. False with the
// reason.
[[nodiscard]] std::optional<QString> open(SqlConnection& connection, const QString& file,
                                          SqlConnection::Access access);

// An identifier in double quotes, for a table or column name that comes from a file.
QString quoted(const QString& identifier);

// The prompt and the answer of a record as stored (enciphered), Null where they are Null.
struct Fields {
    QVariant prompt;
    QVariant answer;
};

// Appends records to a unit table: the prompt into the table's column at position 1 and the answer into
// the one at position 2, whatever their names, since every reader of the file reads them by position.
// The reason when it fails; the caller's transaction is then to be rolled back.
[[nodiscard]] std::optional<QString> insert(const QSqlDatabase& db, const QString& table,
                                            const std::vector<Fields>& records);

} // namespace WordSql
