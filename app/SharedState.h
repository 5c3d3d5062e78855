// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// What the shell keeps of the unit opened last, for the whole run. It changes only when another unit is
// opened; a return to the menu keeps it.
struct SharedState {
    QString UnitCode;  // empty until the first open
    QString UnitTable; // its word table
};
