// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ReviewRecord.h"
#include "StatisticsData.h"

#include <QDateTime>
#include <QString>

// What the statistics window shows, read from the learning record, the word database and the settings
// file of the data folder. Files that cannot be read are named in `problems`; the rest is shown. The
// views of the review schedule come from `reviews`, read beforehand off the window's thread; without it
// they say that it is still being read.
StatisticsData collectStatistics(const QString& dataDirectory, const QDateTime& now,
                                 const ReviewState* reviews = nullptr,
                                 double targetRetention = MemoryModel::DefaultRetention);
