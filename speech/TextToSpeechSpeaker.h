// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Speaker.h"

#include <QList>
#include <QObject>
#include <QTimer>

class QTextToSpeech;

// The machine's own speech synthesis, through Qt TextToSpeech: the flite engine where it is installed,
// since it needs no daemon, else speech-dispatcher. Nothing is loaded until the first word. When the
// machine cannot speak English aloud, one line on stderr says what is missing, unavailableReason() says it
// to the learner, and words are dropped.
class TextToSpeechSpeaker final : public QObject, public Speaker {
    Q_OBJECT
public:
    explicit TextToSpeechSpeaker(QObject* parent = nullptr);
    ~TextToSpeechSpeaker() override;

    void speak(const QString& text) override;
    QString unavailableReason() const override { return unavailable_; }

    // Creates the engine on the first call. Null when no engine can speak English here; problem() says why.
    QTextToSpeech* engine();
    QString problem() const { return problem_; }

signals:
    // The text of the last speak() has been spoken to its end, or given up. A text cut short by the next
    // speak() ends without it.
    void finished(bool spoken);

private:
    struct Attempt {
        QString voice; // empty: the engine's own
        double rate;
    };

    void sayAttempt();
    void noteEngineState(int state);
    void onStateChanged(int state);
    void onError(const QString& error);
    void report(const QString& problem);

    bool tried_ = false;
    QTextToSpeech* engine_ = nullptr;
    QString engineName_;
    QList<Attempt> attempts_;
    QTimer settle_;
    QString text_;
    qsizetype attempt_ = 0;
    bool busy_ = false;     // a word has been handed to the engine and has not ended yet
    bool speaking_ = false; // and it is being heard
    // Whether the engine has played out or stopped everything that it was given, cut-short words included.
    bool engineQuiet_ = true;
    bool engineHeard_ = false; // the last word given to the engine has been heard
    QString problem_;
    QString unavailable_;
};
