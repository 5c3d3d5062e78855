// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <array>
#include <optional>

// One unit of the course: its caption, its place in the grid of levels and units, its code (the settings
// key of its completion date) and its word table.
struct UnitRow {
    QString caption;   // "一级1单元"
    int level;         // 1..5
    int unit;          // 1..4
    QString UnitCode;  // "11" ... "54"
    QString UnitTable; // "word1" ... "word20"
};

inline constexpr int UnitCount = 20;

// The twenty units in the order of their codes. The only list of the units in the program.
const std::array<UnitRow, UnitCount>& UnitCatalogue();

std::optional<UnitRow> unitByCode(const QString& code);
std::optional<UnitRow> unitByTable(const QString& table);

// True for the twenty unit table names, spelled exactly so: the only names that ever reach SQL text.
bool isUnitTable(const QString& table);
