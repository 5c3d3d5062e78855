// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "WordDatabase.h"

#include <QStringList>
#include <vector>

// What a whole course needs beyond sound fields: units of a drillable size, one answer per prompt and
// one prompt per answer, prompts that show whole and answers that can be typed.
namespace CourseCheck {

inline constexpr int MinUnitWords = 90;
inline constexpr int MaxUnitWords = 130;
// The meaning label holds one line of eight characters of its font; a longer prompt is drawn much smaller.
inline constexpr int MaxPromptCharacters = 8;

// One finding a line; `units` holds the words of the twenty units in catalogue order.
QStringList findings(const std::vector<std::vector<WordFile::Word>>& units);

// The words that the study window draws smaller than its font, since at it they are wider than their
// label: one line each. They can be read and typed, so they are no finding. Measures with the screen's
// fonts: needs a QGuiApplication (the offscreen platform will do).
QStringList warnings(const std::vector<std::vector<WordFile::Word>>& units);

struct Report {
    QStringList findings;
    QStringList warnings;
};

// findings() and warnings() on the units of a word database whose fields are all readable.
Result<Report> check(const QString& databaseFile);

} // namespace CourseCheck
