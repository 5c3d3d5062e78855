#include "UnitCatalogue.h"

#include <algorithm>

namespace {

UnitRow makeRow(const char* button, int level, int unit)
{
    static const QString numerals[] = {QStringLiteral("一"), QStringLiteral("二"), QStringLiteral("三"),
                                       QStringLiteral("四"), QStringLiteral("五")};
    return {button,
            numerals[level - 1] + QStringLiteral("级") + QString::number(unit) + QStringLiteral("单元"),
            level,
            unit,
            QString::number(level) + QString::number(unit),
            QStringLiteral("word") + QString::number(4 * (level - 1) + unit)};
}

} // namespace

const std::array<UnitRow, UnitCount>& UnitCatalogue()
{
    // Command1..Command5 are the first unit of each level; Command6..Command20 take units 2 to 4, level by
    // level.
    static const std::array<UnitRow, UnitCount> rows = {
        makeRow("Command1", 1, 1),  makeRow("Command6", 1, 2),  makeRow("Command7", 1, 3),
        makeRow("Command8", 1, 4),  makeRow("Command2", 2, 1),  makeRow("Command9", 2, 2),
        makeRow("Command10", 2, 3), makeRow("Command11", 2, 4), makeRow("Command3", 3, 1),
        makeRow("Command12", 3, 2), makeRow("Command13", 3, 3), makeRow("Command14", 3, 4),
        makeRow("Command4", 4, 1),  makeRow("Command15", 4, 2), makeRow("Command16", 4, 3),
        makeRow("Command17", 4, 4), makeRow("Command5", 5, 1),  makeRow("Command18", 5, 2),
        makeRow("Command19", 5, 3), makeRow("Command20", 5, 4),
    };
    return rows;
}

std::optional<UnitRow> unitByCode(const QString& code)
{
    const auto& rows = UnitCatalogue();
    const auto it =
        std::find_if(rows.begin(), rows.end(), [&](const UnitRow& row) { return row.UnitCode == code; });
    return it == rows.end() ? std::nullopt : std::optional<UnitRow>(*it);
}

std::optional<UnitRow> unitByTable(const QString& table)
{
    const auto& rows = UnitCatalogue();
    const auto it =
        std::find_if(rows.begin(), rows.end(), [&](const UnitRow& row) { return row.UnitTable == table; });
    return it == rows.end() ? std::nullopt : std::optional<UnitRow>(*it);
}
