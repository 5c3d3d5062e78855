// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SpeechModule.h"

#include <QLibrary>
#include <QObject>

// The speaker that the study window talks to. The speech synthesis behind it is loaded from its module at
// the first word to speak; without the module, words are dropped and one line on stderr says why.
class ModuleSpeaker final : public QObject, public Speaker {
    Q_OBJECT
public:
    explicit ModuleSpeaker(const char* moduleName = SpeechModuleName, QObject* parent = nullptr);

    void speak(const QString& text) override;
    QString unavailableReason() const override;

private:
    const char* moduleName_;
    bool tried_ = false;
    QLibrary module_;            // stays loaded when this object goes, so its speaker can be deleted after it
    Speaker* speaker_ = nullptr; // a child of this object
    QString unavailable_;        // the module could not be loaded
};
