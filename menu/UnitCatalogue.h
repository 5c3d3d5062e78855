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

// What the menu and the study window share for the whole run. One instance, owned by the application.
struct SharedState {
    QString UnitCode;            // the unit opened last, empty until the first open
    QString UnitTable;           // its word table
    bool ReturnedToMenu = false; // set on the way back to the menu, cleared by the study window's next tick
};
