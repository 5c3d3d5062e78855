// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ModuleEntry.h"
#include "Speaker.h"

class QObject;

// The speaker as the program loads it: the machine's speech synthesis lives in a module of its own that the
// program opens at the first word to speak, so that Qt TextToSpeech, its engines and the sound output stay
// out of start-up.

// What the module makes: a new speaker, a QObject deleted with `parent`.
using CreateSpeaker = Speaker* (*)(QObject* parent);
inline constexpr char SpeechModuleName[] = "vokabo_pronunciation";
