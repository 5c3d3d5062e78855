// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Catalogue.h"
#include "Recordset.h"

#include <QString>
#include <QVariant>
#include <memory>
#include <variant>
#include <vector>

// A record as stored: where it is, and its prompt and answer fields (empty for Null).
struct StoredWord {
    WordLocation location;
    QString prompt;
    QString answer;
};

// The word database "MyDatas.db": one SQLite table per unit, "word1" to "word20".
namespace WordStore {

QString databasePath(const QString& applicationDirectory);

// The statement that makes a unit table in the format that other programs rely on.
QString createTableStatement(const QString& table);

// Opens all records and columns of a unit table, in rowid order, as a snapshot. Never creates a file.
std::variant<std::unique_ptr<Recordset>, Failure> open(const QString& databaseFile, const QString& table);

// The given records of any unit tables as one recordset, in the order given. Records that are no longer
// there are left out. A delete removes the record from its own table.
std::variant<std::unique_ptr<Recordset>, Failure> open(const QString& databaseFile,
                                                       const std::vector<WordLocation>& records);

// Every record of every unit table, unit by unit in rowid order. Tables that are missing or too narrow
// are passed over.
std::variant<std::vector<StoredWord>, Failure> readWords(const QString& databaseFile);

} // namespace WordStore
