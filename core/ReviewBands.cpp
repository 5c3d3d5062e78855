// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReviewBands.h"

#include "DateText.h"
#include "Logging.h"

int dayCount(const QDate& stored, const QDate& today)
{
    return int(stored.daysTo(today));
}

ReviewBand bandOfDayCount(int days)
{
    if (days < 4)
        return ReviewBand::Best;
    if (days < 7)
        return ReviewBand::Good;
    if (days < 15)
        return ReviewBand::Fair;
    return ReviewBand::Poor;
}

std::optional<ReviewBand> bandOfStoredMoment(const QString& stored, const QDateTime& now, bool* unreadable)
{
    if (unreadable)
        *unreadable = false;
    if (stored.isEmpty())
        return std::nullopt;
    const std::optional<QDateTime> moment = parseMomentText(stored);
    if (!moment) {
        if (unreadable)
            *unreadable = true;
        return std::nullopt;
    }
    return bandOfDayCount(dayCount(moment->date(), now.date()));
}

std::array<std::optional<ReviewBand>, UnitCount> reviewBands(const SettingsFile& settings,
                                                             const QDateTime& now)
{
    std::array<std::optional<ReviewBand>, UnitCount> bands;
    const IniSection dates = settings.ReadIniSection(QStringLiteral("LastDate"));
    const auto& rows = UnitCatalogue();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const QString stored = dates.value(rows[i].UnitCode);
        bool unreadable = false;
        bands[i] = bandOfStoredMoment(stored, now, &unreadable);
        // A value edited by hand must not stop the program; the unit simply shows as never studied.
        if (unreadable)
            qCWarning(lcSettings, "Syset.ini [LastDate] %s=%s is not a date; unit %s left uncoloured",
                      qUtf8Printable(rows[i].UnitCode), qUtf8Printable(stored),
                      qUtf8Printable(rows[i].UnitCode));
    }
    return bands;
}
