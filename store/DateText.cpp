#include "DateText.h"

#include <QRegularExpression>

QString formatMomentText(const QDateTime& moment)
{
    const QDate date = moment.date();
    const QTime time = moment.time();
    QString text = QStringLiteral("%1/%2/%3").arg(date.year()).arg(date.month()).arg(date.day());
    if (time.hour() != 0 || time.minute() != 0 || time.second() != 0)
        text += QLatin1Char(' ') + time.toString(QStringLiteral("H:mm:ss"));
    return text;
}

std::optional<QDateTime> parseMomentText(const QString& text)
{
    static const QRegularExpression local(QStringLiteral(
        R"(^\s*(\d{4})([/-])(\d{1,2})\2(\d{1,2})(?:\s+(\d{1,2}):(\d{1,2})(?::(\d{1,2}))?)?\s*$)"));
    const QRegularExpressionMatch m = local.match(text);
    if (m.hasMatch()) {
        const QDate date(m.captured(1).toInt(), m.captured(3).toInt(), m.captured(4).toInt());
        QTime time(0, 0, 0);
        if (m.hasCaptured(5))
            time = QTime(m.captured(5).toInt(), m.captured(6).toInt(),
                         m.hasCaptured(7) ? m.captured(7).toInt() : 0);
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
