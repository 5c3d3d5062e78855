#pragma once

#include "Messenger.h"

// The learner's message boxes: the given title, the text, an OK button only, no icon, application modal.
// Returns when the learner has closed the box; timers keep running meanwhile.
class MessageBoxMessenger final : public Messenger {
public:
    void showMessage(const QString& text, const QString& title) override;
};
