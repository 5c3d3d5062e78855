// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ModuleEntry.h"
#include "StatisticsData.h"

class QWidget;

// The statistics window as the program sees it. It lives in a module of its own that the program loads
// when the window is first opened, so that Qt Charts and its OpenGL libraries stay out of start-up.
class StatisticsView {
public:
    virtual ~StatisticsView() = default;
    virtual QWidget* widget() = 0;
    // Shows what the program has gathered.
    virtual void display(const StatisticsData& data) = 0;
};

// What the module makes: a new statistics window.
using CreateStatisticsView = StatisticsView* (*)();
inline constexpr char StatisticsModuleName[] = "vokabo_statistics";
