// The entry point of the pronunciation module, which the program loads at the first word to speak.
#include "SpeechModule.h"
#include "TextToSpeechSpeaker.h"

extern "C" Q_DECL_EXPORT Speaker* vokabo_createSpeaker(QObject* parent)
{
    return new TextToSpeechSpeaker(parent);
}
