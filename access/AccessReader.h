// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Failure.h"
#include "WordSql.h"

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

// Runs the Access reader, vokabo-mdb-reader, in a child process, and takes its output apart. libmdb runs
// only there: whatever a damaged file makes it do (crash, loop for ever, fill the memory, print without
// end), this process stays up and reports it once.
namespace AccessReader {

struct Table {
    QString name;
    int columnCount = 0;
    std::optional<QString> error;         // English: the table could not be read to its end
    std::vector<WordSql::Fields> records; // its columns 1 and 2, as stored, in Access's order
};

struct Output {
    // When the file cannot be opened: "missing", "not-access" or "no-reader", and the detail.
    std::optional<std::pair<QString, QString>> cannotOpen;
    std::vector<Table> tables;
};

// The reader's standard output, or what is wrong with it (English).
std::variant<Output, QString> parse(const QByteArray& bytes);

struct Limits {
    int milliseconds = 0;      // then the reader is stopped
    qint64 addressSpace = 0;   // bytes of memory the reader may map
    qint64 outputBytes = 0;    // on its standard output
    qint64 keptErrorBytes = 0; // of its standard error, for the report; the rest is counted
};
// 10 s for a file of 10 MB, in proportion to the size, and never less than 4 s; 512 MB of memory.
Limits limitsFor(qint64 fileSize);

// The installed reader: beside the program (a build tree, a portable copy), else in the program's own
// library folder. Empty when there is none.
QString installedProgram();

// Reads `file` with `program` within `limits`. A Failure of kind ReadFailed when the reader did not end
// well (its stderr summarised in the detail); Missing or NotADatabase when it says that the file is
// missing or not an Access file; Other when there is no reader.
Result<Output> read(const QString& file, const QString& program, const Limits& limits);

} // namespace AccessReader
