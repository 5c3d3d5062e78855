// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Catalogue.h"
#include "Failure.h"
#include "WordFile.h"
#include "WordSql.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <variant>
#include <vector>

// What the word tool does to a word database. Every function opens and closes the database itself and
// never creates one except where it says so.
namespace WordDatabase {

// A unit code ("23") or a unit table name ("word7"); nothing else.
std::optional<UnitRow> resolveUnit(const QString& text);

// A new database with the twenty empty unit tables. An existing file is never touched.
std::optional<Failure> create(const QString& databaseFile);

// The twenty empty unit tables in an existing empty file, such as a new database about to be put in place.
std::optional<Failure> makeUnitTables(const QString& emptyFile);

// Adds words to a unit in one transaction; `replace` empties the unit first.
std::optional<Failure> addWords(const QString& databaseFile, const UnitRow& unit,
                                const std::vector<WordFile::Word>& words, bool replace);

// A unit's records as another file stored them: the enciphered fields, copied as they are.
struct StoredUnit {
    UnitRow unit;
    std::vector<WordSql::Fields> records;
};
// Replaces each of the units with its records in one transaction: on failure the file is unchanged. The
// unit tables must be there already.
std::optional<Failure> replaceUnits(const QString& databaseFile, const std::vector<StoredUnit>& units);

// Adds the words of a word list to a unit in one transaction; nothing is written when any line is bad.
// `replace` empties the unit first. The number of words added.
Result<int> importFile(const QString& databaseFile, const UnitRow& unit, const QString& wordFile,
                       WordFile::Format format, bool replace);

// The words of a unit in record order, as the study window shows them.
Result<std::vector<WordFile::Word>> readUnit(const QString& databaseFile, const UnitRow& unit);

struct Export {
    QByteArray text;      // the unit as a TSV word list
    QStringList problems; // "unit 24 (word8) row 5, english: ...": fields exported as the study window
                          // shows them, often empty, which import would not take back
};
// The unit as a TSV word list that importFile() reads back as the same words, every field as the study
// window shows it. Fails when a sound word would not be read back unchanged.
Result<Export> exportUnit(const QString& databaseFile, const UnitRow& unit);

struct UnitCount {
    UnitRow unit;
    std::optional<int> words; // nothing when the table is missing
};
Result<std::vector<UnitCount>> countWords(const QString& databaseFile);

struct CheckReport {
    QStringList findings; // what the learner would see wrong: one damaged field or missing table a line
    QStringList notes;    // fields that read fine but are not spelled in the canonical form
    int units = 0;        // unit tables read
    int records = 0;      // records read
};
// Reads every field of every unit with the study window's decoder and reports what the learner would see
// wrong.
Result<CheckReport> check(const QString& databaseFile);

// What PRAGMA quick_check finds wrong in the file, read only: nothing when it is sound. A file that is not a
// database, or is too damaged to read, is a problem; a failure is one that cannot be read for another
// reason (missing, no permission, a journal that only a writer could roll back).
Result<QStringList> problems(const QString& databaseFile);

// A consistent copy of the database (VACUUM INTO) in `target`, which must be missing or empty: made for
// the owner alone, in rollback-journal mode, without the free pages of the original.
std::optional<Failure> copyInto(const QString& databaseFile, const QString& target);

// A new database with every unit read from `directory`/<code>.tsv. The database appears whole or not at
// all; an existing file is replaced only with `replaceExisting`. The number of words.
Result<int> importAll(const QString& databaseFile, const QString& directory, bool replaceExisting);

} // namespace WordDatabase
