#pragma once

#include "Catalogue.h"
#include "Failure.h"

#include <QString>
#include <variant>
#include <vector>

// Brings the words of an old Access word database ("MyDatas.mdb") into a word database.
namespace AccessImport {

struct ImportedUnit {
    UnitRow unit;
    int words = 0;
};

// For each of the tables word1 … word20 in `accessFile` (in any letter case), replaces that unit of
// `database` with the table's records in stored order, copying columns 1 and 2 as they are: both files
// hold the same enciphered text. Units that the Access file lacks are left as they are. Everything is
// read before anything is written, and written in one transaction: on failure `database` is unchanged.
// The units imported, in catalogue order.
std::variant<std::vector<ImportedUnit>, Failure> importWordTables(const QString& accessFile,
                                                                  const QString& database);

} // namespace AccessImport
