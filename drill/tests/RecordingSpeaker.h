#pragma once

#include "Speaker.h"

#include <QStringList>

// Keeps every text that the drill asked to have spoken.
struct RecordingSpeaker final : Speaker {
    void speak(const QString& text) override { spoken.append(text); }
    QStringList spoken;
};
