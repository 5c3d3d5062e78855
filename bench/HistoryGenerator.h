// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QString>

// Writes a learning record of about `events` events into `historyFile`, as a learner would have made it
// over the `days` days up to `lastDay`: unit drills mostly in test mode, now and then an error-book drill,
// over the words of the word database `wordDatabase`. The same arguments give the same record.
// Returns the number of events written, or -1 (with a message on stderr) when it could not be made.
qint64 generateRecord(const QString& historyFile, const QString& wordDatabase, qint64 events, int days,
                      const QDate& lastDay);

// A word database of twenty units of `words` words each in `directory`: its path, or the empty text when
// it could not be made.
QString makeWordDatabase(const QString& directory, int words);
