// SPDX-License-Identifier: GPL-3.0-or-later
// The entry point of the pronunciation module, which the program loads at the first word to speak.
#include "SpeechModule.h"
#include "TextToSpeechSpeaker.h"

namespace {

Speaker* createSpeaker(QObject* parent)
{
    return new TextToSpeechSpeaker(parent);
}

} // namespace

VOKABO_MODULE_ENTRY(CreateSpeaker, &createSpeaker)
