// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Catalogue.h"
#include "SettingsFile.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <array>
#include <optional>

// How long ago a unit was last completed, in four bands, so that the units due for review stand out.
enum class ReviewBand { Best, Good, Fair, Poor };

// Calendar days from the stored date to today; negative when the stored date lies ahead.
int dayCount(const QDate& stored, const QDate& today);

ReviewBand bandOfDayCount(int days);

// The band of one unit from its stored completion moment. No value for the empty text (never completed)
// and for a text that does not read as a date; `unreadable` tells the two apart.
std::optional<ReviewBand> bandOfStoredMoment(const QString& stored, const QDateTime& now,
                                             bool* unreadable = nullptr);

// Every unit's band in catalogue order, from section "LastDate" of the settings, read once. A stored value
// that does not read as a date leaves its unit without a band and is reported on stderr.
std::array<std::optional<ReviewBand>, UnitCount> reviewBands(const SettingsFile& settings,
                                                             const QDateTime& now);
