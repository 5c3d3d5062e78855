// SPDX-License-Identifier: GPL-3.0-or-later
#include "TextToSpeechSpeaker.h"

#include <QLoggingCategory>

#include <QEventLoop>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTextToSpeech>
#include <memory>
#include <optional>

namespace {

// The program prints its categories as "vokabo: <message>".
Q_LOGGING_CATEGORY(lcSpeech, "vokabo.speech")

struct Candidate {
    const char* engine;
    const char* daemon; // the program, and its package, that the engine talks to; none for flite
};

const Candidate Candidates[] = {
    {"flite", nullptr},
    {"speechd", "speech-dispatcher"},
};

const QString FlitePackage = QStringLiteral("qt6-speech-flite-plugin");

// What the learner is told, in the status bar, for each way of not being heard.
const QString NoSoundServer = QStringLiteral("朗读不可用：没有声音服务");
const QString NoEnglishVoice = QStringLiteral("朗读不可用：没有英语语音");
const QString NoFlite = QStringLiteral("朗读不可用：缺少 ") + FlitePackage;
const QString EngineFailed = QStringLiteral("朗读不可用：语音引擎无法启动");

// Slower than the engines' normal pace, for a learner listening to a single word.
constexpr double CalmRate = -0.2;

struct FliteAttempt {
    const char* voice;
    double rate;
};

// Qt 6.4's flite plugin gives up with "Audio streaming error" whenever flite ends a word on an empty piece
// of sound, which happens to about one word in five, depending on the voice and the length of the sound.
// A word that fails is said again a little faster or slower, then with another voice: in trials over the
// course's words, fewer than one in a hundred were left unsaid. rms and kal16 are US English men's voices.
const FliteAttempt FliteAttempts[] = {
    {"rms", CalmRate},   {"rms", CalmRate + 0.03},   {"rms", CalmRate - 0.03},
    {"kal16", CalmRate}, {"kal16", CalmRate + 0.03}, {"kal16", CalmRate - 0.03},
};

std::optional<QLocale> englishLocale(const QTextToSpeech& tts)
{
    const QList<QLocale> locales = tts.availableLocales();
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    if (locales.contains(us))
        return us;
    for (const QLocale& locale : locales) {
        if (locale.language() == QLocale::English)
            return locale;
    }
    return std::nullopt;
}

std::optional<QVoice> voiceNamed(const QTextToSpeech& tts, const QString& name)
{
    const QList<QVoice> voices = tts.availableVoices();
    for (const QVoice& voice : voices) {
        if (!name.isEmpty() && voice.name() == name)
            return voice;
    }
    return std::nullopt;
}

bool installed(const QString& program)
{
    return !QStandardPaths::findExecutable(program).isEmpty();
}

// Where a PulseAudio client connects: the socket that PULSE_SERVER names, else the user's own. Empty when
// the server is reached some other way.
QString soundServerSocket()
{
    const QString servers = qEnvironmentVariable("PULSE_SERVER");
    if (servers.isEmpty()) {
        const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
        return runtime.isEmpty() ? QString() : runtime + QStringLiteral("/pulse/native");
    }
    for (const QString& server : servers.split(u' ', Qt::SkipEmptyParts)) {
        if (server.startsWith(QLatin1String("unix:")))
            return server.mid(5);
    }
    return {};
}

// A package is named only when it is missing: a server that is installed and not running needs starting.
QString whyNoSoundServer()
{
    QStringList servers;
    for (const char* program : {"pulseaudio", "pipewire-pulse"}) {
        if (installed(QLatin1String(program)))
            servers << QLatin1String(program);
    }
    if (servers.isEmpty())
        return QStringLiteral("no sound server (install pulseaudio or pipewire-pulse)");
    if (const QString socket = soundServerSocket(); !socket.isEmpty() && QFileInfo::exists(socket))
        return QStringLiteral("the sound server at %1 does not answer").arg(socket);
    return QStringLiteral("no sound server is running (%1 is installed but not running)")
        .arg(servers.join(QStringLiteral(" and ")));
}

struct Problem {
    QString detail; // for stderr
    QString reason; // for the learner
};

// Why the engine cannot say an English word here, or nothing when it can.
std::optional<Problem> whyNot(const QTextToSpeech& tts, const Candidate& candidate, bool fliteInstalled)
{
    if (tts.state() == QTextToSpeech::Error) {
        QString detail = tts.errorString();
        if (candidate.daemon && !installed(QLatin1String(candidate.daemon)))
            detail += QStringLiteral(" (install %1)").arg(QLatin1String(candidate.daemon));
        return Problem{detail, fliteInstalled ? EngineFailed : NoFlite};
    }
    if (tts.errorReason() == QTextToSpeech::ErrorReason::Playback)
        return Problem{QStringLiteral("no audio output: ") + whyNoSoundServer(), NoSoundServer};
    if (!englishLocale(tts))
        return Problem{fliteInstalled ? QStringLiteral("no English voice")
                                      : QStringLiteral("no English voice (install %1)").arg(FlitePackage),
                       NoEnglishVoice};
    return std::nullopt;
}

} // namespace

// Qt 6.4's PulseAudio output crashes when a new word starts while the sound of a stopped or failed one is
// still being wound down, so the next word waits a moment after a stop.
constexpr int SettleMilliseconds = 100;
// The longest that the end of a speaker waits for its engine to stop a word.
constexpr int QuietMilliseconds = 5000;

TextToSpeechSpeaker::TextToSpeechSpeaker(QObject* parent) : QObject(parent)
{
    settle_.setSingleShot(true);
    settle_.setInterval(SettleMilliseconds);
    connect(&settle_, &QTimer::timeout, this, &TextToSpeechSpeaker::sayAttempt);
}

// Qt 6.4's flite engine crashes when it is deleted while it is playing a word or about to, so a word still
// under way is stopped first and the engine deleted once it has gone quiet.
TextToSpeechSpeaker::~TextToSpeechSpeaker()
{
    settle_.stop();
    if (!engine_ || engineQuiet_)
        return;
    disconnect(engine_, nullptr, this, nullptr);
    QEventLoop quiet;
    connect(engine_, &QTextToSpeech::stateChanged, &quiet, [&](QTextToSpeech::State state) {
        noteEngineState(state);
        if (engineQuiet_)
            quiet.quit();
    });
    // A sound server that has gone away must not hold up the end of the program for long.
    QTimer::singleShot(QuietMilliseconds, &quiet, &QEventLoop::quit);
    engine_->stop(QTextToSpeech::BoundaryHint::Immediate);
    quiet.exec(QEventLoop::ExcludeUserInputEvents);
}

QTextToSpeech* TextToSpeechSpeaker::engine()
{
    if (tried_)
        return engine_;
    tried_ = true;

    const QStringList engines = QTextToSpeech::availableEngines();
    const bool fliteInstalled = engines.contains(QLatin1String(Candidates[0].engine));
    QStringList problems;
    // Without sound nothing helps; else flite, which needs no daemon, is what to install.
    QString reason = fliteInstalled ? QString() : NoFlite;
    for (const Candidate& candidate : Candidates) {
        const QString name = QLatin1String(candidate.engine);
        if (!engines.contains(name))
            continue;
        auto tts = std::make_unique<QTextToSpeech>(name);
        if (const auto problem = whyNot(*tts, candidate, fliteInstalled)) {
            problems << name + QStringLiteral(": ") + problem->detail;
            if (reason.isEmpty() || problem->reason == NoSoundServer)
                reason = problem->reason;
            continue;
        }
        tts->setLocale(*englishLocale(*tts));
        if (name == QLatin1String("flite")) {
            for (const FliteAttempt& attempt : FliteAttempts) {
                if (voiceNamed(*tts, QLatin1String(attempt.voice)))
                    attempts_.append({QLatin1String(attempt.voice), attempt.rate});
            }
        }
        if (attempts_.isEmpty())
            attempts_.append({QString(), CalmRate});
        tts->setRate(CalmRate);
        engine_ = tts.release();
        engine_->setParent(this);
        engineName_ = name;
        connect(engine_, &QTextToSpeech::stateChanged, this,
                [this](QTextToSpeech::State state) { onStateChanged(state); });
        connect(engine_, &QTextToSpeech::errorOccurred, this,
                [this](QTextToSpeech::ErrorReason, const QString& error) { onError(error); });
        return engine_;
    }
    if (problems.isEmpty())
        problems << QStringLiteral("no text-to-speech engine is installed (install %1)").arg(FlitePackage);
    unavailable_ = reason;
    report(QStringLiteral("pronunciation is off: ") + problems.join(QStringLiteral("; ")));
    return nullptr;
}

void TextToSpeechSpeaker::speak(const QString& text)
{
    QTextToSpeech* tts = engine();
    if (!tts || text.isEmpty())
        return;
    text_ = text;
    attempt_ = 0;
    if (busy_) {
        busy_ = false;
        speaking_ = false;
        tts->stop(QTextToSpeech::BoundaryHint::Immediate);
        settle_.start();
    } else if (!settle_.isActive()) {
        sayAttempt();
    }
}

void TextToSpeechSpeaker::sayAttempt()
{
    if (text_.isEmpty())
        return;
    if (engine_->state() == QTextToSpeech::Speaking || engine_->state() == QTextToSpeech::Paused) {
        settle_.start(); // the stop has not reached the engine yet
        return;
    }
    const Attempt& attempt = attempts_.at(attempt_);
    if (const auto voice = voiceNamed(*engine_, attempt.voice); voice && engine_->voice() != *voice)
        engine_->setVoice(*voice);
    engine_->setRate(attempt.rate);
    busy_ = true;
    speaking_ = false;
    engineQuiet_ = false;
    engineHeard_ = false;
    engine_->say(text_);
}

void TextToSpeechSpeaker::noteEngineState(int state)
{
    // A word is heard before its end or its stop; the engine may report ready before it starts one.
    if (state == QTextToSpeech::Speaking)
        engineHeard_ = true;
    else if (state == QTextToSpeech::Error || (state == QTextToSpeech::Ready && engineHeard_))
        engineQuiet_ = true;
}

void TextToSpeechSpeaker::onStateChanged(int state)
{
    noteEngineState(state);
    if (!busy_)
        return;
    if (state == QTextToSpeech::Speaking) {
        speaking_ = true;
    } else if (state == QTextToSpeech::Ready && speaking_) {
        busy_ = false;
        speaking_ = false;
        text_.clear();
        emit finished(true);
    }
}

void TextToSpeechSpeaker::onError(const QString& error)
{
    if (!busy_)
        return; // a word already given up or cut short
    busy_ = false;
    speaking_ = false;
    // The engine has stopped the failed word on its own; the next one waits as after any stop.
    settle_.start();
    if (++attempt_ < attempts_.size())
        return;
    report(QStringLiteral("pronunciation failed: %1: %2 (saying \"%3\")").arg(engineName_, error, text_));
    text_.clear();
    emit finished(false);
}

void TextToSpeechSpeaker::report(const QString& problem)
{
    // Once per run: a learner pressing the key again needs no second line.
    if (!problem_.isEmpty())
        return;
    problem_ = problem;
    qCWarning(lcSpeech, "%s", qUtf8Printable(problem));
}
