// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestSupport.h"
#include "TextToSpeechSpeaker.h"

#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryFile>
#include <QTextToSpeech>
#include <QtTest>
#include <unistd.h>

namespace {

bool went(const QSignalSpy& states, QTextToSpeech::State state)
{
    return std::any_of(states.begin(), states.end(), [state](const QList<QVariant>& arguments) {
        return arguments.at(0).value<QTextToSpeech::State>() == state;
    });
}

} // namespace

// Runs twice under CTest: with a sound server (the engine must speak English) and without one (the
// learner's machine without sound: one line on stderr, nothing else). Each run skips the other's cases.
class TestTextToSpeechSpeaker : public QObject {
    Q_OBJECT
private slots:
    void speaksEnglish_data();
    void speaksEnglish();
    void speakingAgainRestarts();
    void endsWhileAWordIsUnderWay_data();
    void endsWhileAWordIsUnderWay();
    void machineWithoutSoundSaysWhyOnce_data();
    void machineWithoutSoundSaysWhyOnce();

private:
    QTextToSpeech* speakingEngine(TextToSpeechSpeaker& speaker);
};

QTextToSpeech* TestTextToSpeechSpeaker::speakingEngine(TextToSpeechSpeaker& speaker)
{
    QTextToSpeech* engine = speaker.engine();
    if (!engine)
        qInfo("no engine can speak here: %s", qUtf8Printable(speaker.problem()));
    return engine;
}

void TestTextToSpeechSpeaker::speaksEnglish_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("word") << "vocabulary";
    QTest::newRow("hyphen and digits") << "T-shirt 42";
    QTest::newRow("phrase") << "ice cream, vanilla";
}

void TestTextToSpeechSpeaker::speaksEnglish()
{
    QFETCH(QString, text);
    TextToSpeechSpeaker speaker;
    QTextToSpeech* engine = speakingEngine(speaker);
    if (!engine)
        QSKIP("no speech engine with audio output on this machine (see the line above)");
    QCOMPARE(engine->locale().language(), QLocale::English);
    QCOMPARE(engine->voice().locale().language(), QLocale::English);
    QVERIFY(engine->rate() < 0);

    QSignalSpy states(engine, &QTextToSpeech::stateChanged);
    QSignalSpy finished(&speaker, &TextToSpeechSpeaker::finished);
    speaker.speak(text);
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 30000);
    QVERIFY2(finished.front().front().toBool(), qPrintable(speaker.problem()));
    QVERIFY(went(states, QTextToSpeech::Speaking));
    QCOMPARE(engine->state(), QTextToSpeech::Ready);
}

void TestTextToSpeechSpeaker::speakingAgainRestarts()
{
    TextToSpeechSpeaker speaker;
    QTextToSpeech* engine = speakingEngine(speaker);
    if (!engine)
        QSKIP("no speech engine with audio output on this machine (see the line above)");
    QSignalSpy finished(&speaker, &TextToSpeechSpeaker::finished);
    speaker.speak(QStringList(30, QStringLiteral("vocabulary")).join(u' '));
    QTRY_COMPARE_WITH_TIMEOUT(engine->state(), QTextToSpeech::Speaking, 30000);
    // The long text takes half a minute; cut short, it ends without a word. A learner pressing the key
    // again and again restarts the new word each time: Qt 6.4's sound output crashed on such restarts.
    QSignalSpy states(engine, &QTextToSpeech::stateChanged);
    for (int press = 0; press < 10; ++press) {
        speaker.speak(QStringLiteral("yes"));
        // The next press comes once the engine has heard of this one.
        const qsizetype before = states.size();
        QTRY_VERIFY_WITH_TIMEOUT(states.size() > before, 30000);
    }
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 30000);
    QVERIFY(finished.front().front().toBool());
}

void TestTextToSpeechSpeaker::endsWhileAWordIsUnderWay_data()
{
    QTest::addColumn<bool>("heard");
    QTest::addColumn<bool>("restarted");
    QTest::newRow("handed to the engine") << false << false;
    QTest::newRow("being heard") << true << false;
    QTest::newRow("cut short by the next") << true << true;
}

// The learner closes the program while a word is spoken: the engine must not take the program down with it.
void TestTextToSpeechSpeaker::endsWhileAWordIsUnderWay()
{
    QFETCH(bool, heard);
    QFETCH(bool, restarted);
    auto speaker = std::make_unique<TextToSpeechSpeaker>();
    QTextToSpeech* engine = speakingEngine(*speaker);
    if (!engine)
        QSKIP("no speech engine with audio output on this machine (see the line above)");
    speaker->speak(QStringList(30, QStringLiteral("vocabulary")).join(u' '));
    if (heard)
        QTRY_COMPARE_WITH_TIMEOUT(engine->state(), QTextToSpeech::Speaking, 30000);
    if (restarted)
        speaker->speak(QStringLiteral("yes"));
    const QPointer<QTextToSpeech> watched(engine);
    QSignalSpy states(engine, &QTextToSpeech::stateChanged);
    speaker.reset();
    // The engine goes with the speaker, and a word that was under way was stopped before it went.
    QVERIFY(watched.isNull());
    if (heard)
        QVERIFY2(went(states, QTextToSpeech::Ready), "the engine was deleted while it was still speaking");
}

void TestTextToSpeechSpeaker::machineWithoutSoundSaysWhyOnce_data()
{
    QTest::addColumn<QStringList>("programs"); // what the search path holds
    QTest::addColumn<QString>("said");
    QTest::newRow("no sound server installed") << QStringList() << "install pulseaudio or pipewire-pulse";
    QTest::newRow("installed, not running")
        << QStringList{"pulseaudio"} << "pulseaudio is installed but not running";
}

// Where no sound server answers (PULSE_SERVER names no socket), whether one is installed or not.
void TestTextToSpeechSpeaker::machineWithoutSoundSaysWhyOnce()
{
    QFETCH(QStringList, programs);
    QFETCH(QString, said);
    QTemporaryDir bin;
    for (const QString& program : programs) {
        QFile file(bin.filePath(program));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n");
        file.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    }
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin.path()));
    const auto restore = qScopeGuard([&] { qputenv("PATH", path); });

    TestSupport::StderrCapture captured;
    QString problem, reason;
    bool speaks = false;
    {
        TextToSpeechSpeaker speaker;
        for (int press = 0; press < 3; ++press)
            speaker.speak(QStringLiteral("vocabulary"));
        speaks = speaker.engine() != nullptr;
        problem = speaker.problem();
        reason = speaker.unavailableReason();
    }
    const QByteArray printed = captured.text();
    if (speaks)
        QSKIP("this machine has an engine with audio output");

    const QStringList ours =
        QString::fromUtf8(printed).split(u'\n').filter(QRegularExpression(QStringLiteral("^vokabo:")));
    QCOMPARE(ours.size(), 1);
    QVERIFY(ours.front().contains(problem));
    QVERIFY2(ours.front().contains(said), qPrintable(ours.front()));
    QCOMPARE(ours.front().count(QStringLiteral("install ")), programs.isEmpty() ? 1 : 0);
    QCOMPARE(reason, QStringLiteral("朗读不可用：没有声音服务"));
}

QTEST_GUILESS_MAIN(TestTextToSpeechSpeaker)
#include "tst_texttospeechspeaker.moc"
