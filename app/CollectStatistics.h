#pragma once

#include "StatisticsData.h"

#include <QDateTime>
#include <QString>

// What the statistics window shows, read from the learning record, the word database and the settings
// file of the data folder. Files that cannot be read are named in `problems`; the rest is shown.
StatisticsData collectStatistics(const QString& dataDirectory, const QDateTime& now);
