// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Messenger.h"

// The learner's message boxes: the given title, the text, an OK button only (是 and 否 for a question), no
// icon, application modal. Returns when the learner has closed the box; timers keep running meanwhile.
class MessageBoxMessenger final : public Messenger, public Questioner {
public:
    void showMessage(const QString& text, const QString& title) override;
    // Esc and closing the box say no.
    bool askYesNo(const QString& text, const QString& title) override;
};
