#pragma once

#include <QIcon>

// The program's icon: a globe, blue sea with green land, in 32x32 and 16x16.
QIcon programIcon();
