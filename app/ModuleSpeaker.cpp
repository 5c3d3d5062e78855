#include "ModuleSpeaker.h"

#include "ProgramModule.h"

#include <cstdio>

ModuleSpeaker::ModuleSpeaker(const char* moduleName, QObject* parent)
    : QObject(parent), moduleName_(moduleName)
{
}

void ModuleSpeaker::speak(const QString& text)
{
    if (!tried_) {
        tried_ = true;
        auto loaded = loadProgramModule<CreateSpeaker>(module_, moduleName_, CreateSpeakerSymbol);
        if (auto* create = std::get_if<CreateSpeaker>(&loaded))
            speaker_ = (*create)(this);
        else
            std::fprintf(stderr, "vokabo: pronunciation is off: its module %s cannot be loaded: %s\n",
                         moduleName_, qUtf8Printable(std::get<QString>(loaded)));
    }
    if (speaker_)
        speaker_->speak(text);
}
