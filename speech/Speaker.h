// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Says a word aloud. Returns at once: the word is spoken while the program goes on.
class Speaker {
public:
    virtual ~Speaker() = default;
    // Cuts short whatever is still being spoken and starts on `text`.
    virtual void speak(const QString& text) = 0;
    // Why nothing can be heard here, for the learner ("朗读不可用：没有声音服务"); empty while words can be
    // heard, and before the first word has shown whether they can.
    virtual QString unavailableReason() const { return {}; }
};
