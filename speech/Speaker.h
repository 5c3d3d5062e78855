#pragma once

#include <QString>

// Says a word aloud. Returns at once: the word is spoken while the program goes on.
class Speaker {
public:
    virtual ~Speaker() = default;
    // Cuts short whatever is still being spoken and starts on `text`.
    virtual void speak(const QString& text) = 0;
};
