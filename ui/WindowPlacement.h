// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QSize;
class QWidget;

// Centres a top-level window on its screen by its outer frame, title bar and borders included.
//
// Before a window is first shown, the window manager has not framed it yet, so its frame is taken to be
// that of the last window that was framed (none at all for the first one). Once the window manager has
// framed it, the window is centred again if its real frame differs.
void centreOnScreen(QWidget& window);

// Gives a resizable window the size `preferred`, or as much of it as the screen's available area holds
// together with the window's frame (before the window is framed, the last framed window's).
void fitOnScreen(QWidget& window, const QSize& preferred);
