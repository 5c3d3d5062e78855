#pragma once

#include <QString>

// What the menu window and the study window share for the whole run. One instance, owned by the
// application shell; the drill engine sees it through a reference.
struct SharedState {
    QString UnitCode;            // the unit opened last, empty until the first open
    QString UnitTable;           // its word table
    bool ReturnedToMenu = false; // set on the way back to the menu, cleared by the study window's next tick
};
