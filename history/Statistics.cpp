// SPDX-License-Identifier: GPL-3.0-or-later
#include "Statistics.h"

#include <QFileInfo>

Result<LearningStatistics> readStatistics(const QString& historyFile, const QDate& firstDay, int mostMissed)
{
    if (!QFileInfo::exists(historyFile))
        return LearningStatistics{};
    auto opened = HistoryFile::open(historyFile, HistoryFile::Mode::Read);
    if (auto* failed = std::get_if<Failure>(&opened))
        return *failed;
    return std::get<std::unique_ptr<HistoryFile>>(opened)->readStatistics(firstDay, mostMissed);
}
