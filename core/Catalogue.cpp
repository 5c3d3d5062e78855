// SPDX-License-Identifier: GPL-3.0-or-later
#include "Catalogue.h"

#include <algorithm>

namespace {

UnitRow makeRow(int level, int unit)
{
    static const QString numerals[] = {QStringLiteral("一"), QStringLiteral("二"), QStringLiteral("三"),
                                       QStringLiteral("四"), QStringLiteral("五")};
    return {numerals[level - 1] + QStringLiteral("级") + QString::number(unit) + QStringLiteral("单元"),
            level, unit, QString::number(level) + QString::number(unit),
            QStringLiteral("word") + QString::number(4 * (level - 1) + unit)};
}

} // namespace

const std::array<UnitRow, UnitCount>& UnitCatalogue()
{
    static const std::array<UnitRow, UnitCount> rows = [] {
        std::array<UnitRow, UnitCount> made;
        for (int i = 0; i < UnitCount; ++i)
            made[std::size_t(i)] = makeRow(i / 4 + 1, i % 4 + 1);
        return made;
    }();
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

bool isUnitTable(const QString& table)
{
    return unitByTable(table).has_value();
}
