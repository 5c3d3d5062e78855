// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLoggingCategory>

// Diagnostics for whoever debugs, by part of the program. Warnings are on by default and reach stderr as
// "vokabo: <message>"; QT_LOGGING_RULES switches on the debug output of a category.
Q_DECLARE_LOGGING_CATEGORY(lcCore)
Q_DECLARE_LOGGING_CATEGORY(lcSettings)
Q_DECLARE_LOGGING_CATEGORY(lcWords)
Q_DECLARE_LOGGING_CATEGORY(lcHistory)
Q_DECLARE_LOGGING_CATEGORY(lcDrill)
Q_DECLARE_LOGGING_CATEGORY(lcStatistics)
Q_DECLARE_LOGGING_CATEGORY(lcApp)

// Prints the program's own categories as "vokabo: <message>", the way its stderr lines have always read,
// and hands everything else to Qt's usual output. Installed once by each program's main().
void installMessageFormat();
