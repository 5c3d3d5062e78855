// SPDX-License-Identifier: GPL-3.0-or-later
#include "DateText.h"

#include <QRegularExpression>

QString formatMomentText(const QDateTime& moment)
{
    const QDate date = moment.date();
    const QTime time = moment.time();
    // Four-digit years, also below 1000, so that the reader takes the text for a date.
    QString text = QStringLiteral("%1/%2/%3")
                       .arg(date.year(), 4, 10, QLatin1Char('0'))
                       .arg(date.month())
                       .arg(date.day());
    if (time.hour() != 0 || time.minute() != 0 || time.second() != 0)
        text += QLatin1Char(' ') + time.toString(QStringLiteral("H:mm:ss"));
    return text;
}

std::optional<QDateTime> parseMomentText(const QString& text)
{
    // The short date with '/', '-' or '.' and a two- or four-digit year, then optionally the long time in
    // 24 hours or in 12 with 上午/下午 before it: the forms that Chinese regional settings give on Windows.
    static const QRegularExpression local(QStringLiteral(
        R"(^\s*(\d{4}|\d{2})([/.-])(\d{1,2})\2(\d{1,2})(?:\s+(?:(上午|下午)\s*)?(\d{1,2}):(\d{1,2})(?::(\d{1,2}))?)?\s*$)"));
    const QRegularExpressionMatch m = local.match(text);
    if (m.hasMatch()) {
        int year = m.captured(1).toInt();
        // Windows reads two-digit years as 1950 to 2049.
        if (m.capturedLength(1) == 2)
            year += year < 50 ? 2000 : 1900;
        const QDate date(year, m.captured(3).toInt(), m.captured(4).toInt());
        QTime time(0, 0, 0);
        if (m.hasCaptured(6)) {
            int hour = m.captured(6).toInt();
            if (m.hasCaptured(5)) {
                if (hour < 1 || hour > 12)
                    return std::nullopt;
                hour = hour % 12 + (m.captured(5) == QStringLiteral("下午") ? 12 : 0);
            }
            time = QTime(hour, m.captured(7).toInt(), m.hasCaptured(8) ? m.captured(8).toInt() : 0);
        }
        if (!date.isValid() || !time.isValid())
            return std::nullopt;
        QDateTime moment(date, time);
        // A day whose clocks skip midnight (daylight saving in some zones) still has its calendar date.
        if (!moment.isValid())
            moment = date.startOfDay().addSecs(QTime(0, 0).secsTo(time));
        return moment;
    }
    QDateTime iso = QDateTime::fromString(text.trimmed(), Qt::ISODateWithMs);
    if (!iso.isValid())
        iso = QDateTime::fromString(text.trimmed(), Qt::ISODate);
    if (!iso.isValid())
        return std::nullopt;
    // A moment with an offset counts by the learner's own calendar.
    if (iso.timeSpec() != Qt::LocalTime)
        iso = iso.toLocalTime();
    return iso;
}
