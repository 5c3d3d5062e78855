// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DrillEvent.h"
#include "Failure.h"

#include <QString>
#include <optional>
#include <vector>

// The events that the program could not write into History.db before it ended, kept beside it in
// "History.db.journal" until the next start writes them in. A text file (UTF-8, one line each):
//
//   vokabo-journal 2
//   drill <n>        the unfinished drill in History.db that the first events belong to (when there is one)
//   <event>          tab-separated: kind (started, answered, passed, revealed, deleted, completed), time
//                    (ISO 8601, local), drill (unit, errorbook, review), unit code, test mode (1/0), unit
//                    table, record, prompt, answer (enciphered, as in the word database), answer shown
//                    (1/0), accuracy (empty when none), response time in ms (empty when none), heard (1/0)
//
// A journal of version 1, which an older Vokabo left, has the events without the last two fields.
// Later events go after earlier ones; the file is replaced whole (QSaveFile), readable by its owner only.
// Like the record, it holds no clear text of a word.
struct EventJournal {
    std::optional<qint64> drill;
    std::vector<DrillEvent> events;
    int unreadableLines = 0; // left out when read

    static QString path(const QString& historyFile);
    // No journal is an empty one.
    static Result<EventJournal> read(const QString& file);
    [[nodiscard]] std::optional<Failure> write(const QString& file) const;
};
