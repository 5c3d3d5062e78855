#include "ReviewAge.h"

#include "DateText.h"

#include <cstdio>

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

quint32 bandColourNumber(ReviewBand band)
{
    switch (band) {
    case ReviewBand::Best:
        return 0x0000C000;
    case ReviewBand::Good:
        return 0x00C00000;
    case ReviewBand::Fair:
        return 0x0000C0C0;
    case ReviewBand::Poor:
        break;
    }
    return 0x000000C0;
}

QString bandCaption(ReviewBand band)
{
    switch (band) {
    case ReviewBand::Best:
        return QStringLiteral("最佳");
    case ReviewBand::Good:
        return QStringLiteral("良好");
    case ReviewBand::Fair:
        return QStringLiteral("一般");
    case ReviewBand::Poor:
        break;
    }
    return QStringLiteral("较差");
}

QColor colourOfNumber(quint32 number)
{
    return QColor(int(number & 0xFF), int((number >> 8) & 0xFF), int((number >> 16) & 0xFF));
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
            std::fprintf(
                stderr, "vokabo: Syset.ini [LastDate] %s=%s is not a date; unit %s left uncoloured\n",
                qUtf8Printable(rows[i].UnitCode), qUtf8Printable(stored), qUtf8Printable(rows[i].UnitCode));
    }
    return bands;
}
