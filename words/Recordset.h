// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Failure.h"

#include <QString>
#include <optional>

// Where a record lives: its unit table and its rowid there.
struct WordLocation {
    QString table;
    qint64 rowid = 0;
    bool operator==(const WordLocation&) const = default;
};

// An open unit: a fixed snapshot of its records with a cursor, read in record order.
class Recordset {
public:
    virtual ~Recordset() = default;

    // Position while the cursor is past the last record (also of an empty table).
    static constexpr int PastLast = -3;
    // Position while the cursor stands on a record that has just been deleted.
    static constexpr int Unknown = -1;

    [[nodiscard]] virtual std::optional<Failure> MoveFirst() = 0;
    [[nodiscard]] virtual std::optional<Failure> MoveNext() = 0;
    // Deletes the current record from the file at once; the cursor stays on it until the next move.
    [[nodiscard]] virtual std::optional<Failure> Delete() = 0;
    virtual int RecordCount() const = 0;
    virtual int AbsolutePosition() const = 0;
    // The current record's field by position; no value for Null or without a current record.
    virtual std::optional<QString> Field(int position) const = 0;
    // The table and rowid of the current record; no value without a current record.
    virtual std::optional<WordLocation> Location() const { return std::nullopt; }
    virtual void Close() = 0;
};
