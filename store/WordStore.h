#pragma once

#include "Recordset.h"

#include <QString>
#include <QVariant>
#include <memory>
#include <variant>
#include <vector>

// The word database "MyDatas.db": one SQLite table per unit, "word1" to "word20".
namespace WordStore {

QString databasePath(const QString& applicationDirectory);

// The statement that makes a unit table in the format that other programs rely on.
QString createTableStatement(const QString& table);

// True for the twenty unit table names, the only names that ever reach SQL text.
bool isUnitTable(const QString& table);

// Opens all records and columns of a unit table, in rowid order, as a snapshot. Never creates a file.
std::variant<std::unique_ptr<Recordset>, StoreFailure> open(const QString& databaseFile,
                                                            const QString& table);

} // namespace WordStore
