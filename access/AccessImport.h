// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AccessReader.h"
#include "Catalogue.h"
#include "Failure.h"

#include <QString>
#include <QStringList>
#include <variant>
#include <vector>

// Brings the words of an old Access word database ("MyDatas.mdb") into a word database. The Access file is
// read by the Access reader in a process of its own (AccessReader.h) and never written.
namespace AccessImport {

struct ImportedUnit {
    UnitRow unit;
    int words = 0;
};

struct Imported {
    std::vector<ImportedUnit> units; // in catalogue order
    QStringList refused;             // word tables left out: not one of their fields is enciphered text
};

// For each of the tables word1 … word20 in `accessFile` (in any letter case), replaces that unit of
// `database` with the table's records in the order Access reads them, copying columns 1 and 2 as they are:
// both files hold the same enciphered text. A table of records none of whose fields decodes holds no words
// of this program and is left out. Units that the Access file lacks are left as they are. Everything is read
// before anything is written, and written in one transaction: on failure `database` is unchanged. A
// failure of kind ReadFailed means that the file is damaged (the reader said so or did not end well).
Result<Imported> importWordTables(const QString& accessFile, const QString& database,
                                  const QString& reader = AccessReader::installedProgram());

} // namespace AccessImport
