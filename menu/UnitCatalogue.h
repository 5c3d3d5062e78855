#pragma once

#include <QString>
#include <array>
#include <optional>

// One unit of the course: the menu button that opens it, its caption and place in the grid, its code
// (the settings key) and its word table.
struct UnitRow {
    const char* button; // objectName of the menu button, "Command1" ... "Command20"
    QString caption;    // "一级1单元"
    int level;          // 1..5, the grid row
    int unit;           // 1..4, the grid column
    QString UnitCode;   // "11" ... "54"
    QString UnitTable;  // "word1" ... "word20"
};

inline constexpr int UnitCount = 20;

// The twenty units in the order of their codes.
const std::array<UnitRow, UnitCount>& UnitCatalogue();

std::optional<UnitRow> unitByCode(const QString& code);
std::optional<UnitRow> unitByTable(const QString& table);
