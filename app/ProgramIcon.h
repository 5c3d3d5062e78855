// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QIcon>
#include <QImage>

// The program's icon: a globe, blue sea with green land, in 32x32 and 16x16.
QIcon programIcon();

// The same globe at any size, and as SVG, for the desktop's icon theme.
QImage programIconImage(int size);
QByteArray programIconSvg();
