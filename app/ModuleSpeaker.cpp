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
        if (auto* create = std::get_if<CreateSpeaker>(&loaded))
            speaker_ = (*create)(this);
        else
            qCWarning(lcApp, "pronunciation is off: %s", qUtf8Printable(std::get<Failure>(loaded).detail));
    }
    if (speaker_)
        speaker_->speak(text);
}
