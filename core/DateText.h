// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

// The text form of a completion moment in the settings file: "2017/11/1 14:05:09", or the date alone
// at exactly midnight. This is the form Chinese regional settings give on Windows, so files written
// there read back here.
QString formatMomentText(const QDateTime& moment);

// Reads the written form and the forms that Windows writes under Chinese regional settings: '/', '-' or
// '.' between the date's parts, leading zeros, a two-digit year, a 12-hour time after 上午 or 下午, or a
// date alone; also ISO 8601. Anything else gives no value.
std::optional<QDateTime> parseMomentText(const QString& text);
