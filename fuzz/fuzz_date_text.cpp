// SPDX-License-Identifier: GPL-3.0-or-later
// The completion date text. Any text reads as a valid moment or as none; a moment read back from the text
// written for it is the same moment to the second. The first eight bytes also make a moment of their own,
// any second from the year 1 to the year 9999.
#include "DateText.h"
#include "FuzzCheck.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void roundTrip(const QDateTime& moment)
{
    const QString text = formatMomentText(moment);
    const std::optional<QDateTime> back = parseMomentText(text);
    FUZZ_CHECK(back && back->isValid(), text);
    FUZZ_CHECK(back->date() == moment.date(), text);
    FUZZ_CHECK(back->time() == QTime(moment.time().hour(), moment.time().minute(), moment.time().second()),
               text);
}

} // namespace

// Daylight saving puts days without a midnight and hours that come twice into the calendar.
extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    setenv("TZ", "America/Sao_Paulo", 0);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    if (const std::optional<QDateTime> moment = parseMomentText(text)) {
        FUZZ_CHECK(moment->isValid(), text);
        roundTrip(*moment);
    }

    if (size >= 8) {
        uint32_t day = 0;
        uint32_t second = 0;
        std::memcpy(&day, data, 4);
        std::memcpy(&second, data + 4, 4);
        const qint64 first = QDate(1, 1, 1).toJulianDay();
        const qint64 days = QDate(9999, 12, 31).toJulianDay() - first + 1;
        const QDate date = QDate::fromJulianDay(first + day % days);
        const QDateTime moment(date, QTime(0, 0).addSecs(int(second % 86400)));
        if (moment.isValid()) // not inside a daylight saving gap
            roundTrip(moment);
    }
    return 0;
}
