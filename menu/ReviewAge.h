#pragma once

#include "IniFile.h"
#include "UnitCatalogue.h"

#include <QColor>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <array>
#include <optional>

// How long ago a unit was last completed, in four bands: the menu colours each unit button by its band so
// that the units due for review stand out.
enum class ReviewBand { Best, Good, Fair, Poor };

// Calendar days from the stored date to today; negative when the stored date lies ahead.
int dayCount(const QDate& stored, const QDate& today);

ReviewBand bandOfDayCount(int days);

// The band's colour as a colour number, &H00BBGGRR.
quint32 bandColourNumber(ReviewBand band);
// The legend's caption for the band: "最佳", "良好", "一般", "较差".
QString bandCaption(ReviewBand band);

// &H00BBGGRR to a colour.
QColor colourOfNumber(quint32 number);

// The band of one unit from its stored completion moment. No value for the empty text (never completed)
// and for a text that does not read as a date; `unreadable` tells the two apart.
std::optional<ReviewBand> bandOfStoredMoment(const QString& stored, const QDateTime& now,
                                             bool* unreadable = nullptr);

// Every unit's band in catalogue order, from section "LastDate" of the settings, read once. A stored value
// that does not read as a date leaves its unit without a band and is reported on stderr.
std::array<std::optional<ReviewBand>, UnitCount> reviewBands(const SettingsFile& settings,
                                                             const QDateTime& now);
