// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>
#include <variant>

// Why something did not go through: what the learner is told, and the detail for whoever debugs. The one
// failure type of the program, from the files up to the windows.
struct Failure {
    // What callers tell apart; most failures are only shown.
    enum class Kind {
        Other,
        Missing,         // the file is not there
        NotADatabase,    // a file, but not a database of this program
        TableMissing,    // the database lacks a unit's table
        TooFewColumns,   // the table has no prompt or answer column
        ReadFailed,      // reading stopped part of the way
        EmptyTable,      // the unit has no records
        PastLastRecord,  // a move beyond the end
        NoCurrentRecord, // a delete without a current record
        WriteFailed,     // a write did not go through
    };
    QString message; // for the learner, in Chinese
    QString detail;  // for whoever debugs, in English, naming the file and the reason
    Kind kind = Kind::Other;
};

// A value, or why there is none.
template <typename T> using Result = std::variant<T, Failure>;
