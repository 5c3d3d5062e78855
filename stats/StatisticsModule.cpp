// SPDX-License-Identifier: GPL-3.0-or-later
// The entry point of the statistics module, which the program loads when the window is first opened.
#include "StatisticsWindow.h"

namespace {

StatisticsView* createStatisticsView()
{
    return new StatisticsWindow;
}

} // namespace

VOKABO_MODULE_ENTRY(CreateStatisticsView, &createStatisticsView)
