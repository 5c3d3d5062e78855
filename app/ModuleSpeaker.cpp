// SPDX-License-Identifier: GPL-3.0-or-later
#include "ModuleSpeaker.h"

#include "Logging.h"
#include "ProgramModule.h"

ModuleSpeaker::ModuleSpeaker(const char* moduleName, QObject* parent)
    : QObject(parent), moduleName_(moduleName)
{
}

void ModuleSpeaker::speak(const QString& text)
{
    if (!tried_) {
        tried_ = true;
        auto loaded = loadProgramModule<CreateSpeaker>(module_, moduleName_);
        if (auto* create = std::get_if<CreateSpeaker>(&loaded)) {
            speaker_ = (*create)(this);
        } else {
            const Failure& failure = std::get<Failure>(loaded);
            qCWarning(lcApp, "pronunciation is off: %s", qUtf8Printable(failure.detail));
            unavailable_ = QStringLiteral("朗读不可用：") + failure.message;
        }
    }
    if (speaker_)
        speaker_->speak(text);
}

QString ModuleSpeaker::unavailableReason() const
{
    return speaker_ ? speaker_->unavailableReason() : unavailable_;
}
