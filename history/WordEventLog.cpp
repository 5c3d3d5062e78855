// SPDX-License-Identifier: GPL-3.0-or-later
#include "WordEventLog.h"

#include "HistoryFile.h"

#include <QFileInfo>

Result<WordEventLog> readWordEvents(const QString& historyFile, const std::atomic<bool>* cancelled)
{
    if (!QFileInfo::exists(historyFile))
        return WordEventLog{};
    auto opened = HistoryFile::open(historyFile, HistoryFile::Mode::Read);
    if (auto* failed = std::get_if<Failure>(&opened))
        return *failed;
    return std::get<std::unique_ptr<HistoryFile>>(opened)->readWordEvents(cancelled);
}
