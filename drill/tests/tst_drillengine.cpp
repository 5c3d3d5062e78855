// SPDX-License-Identifier: GPL-3.0-or-later
#include "DrillEngine.h"
#include "TestSupport.h"
#include "WordStore.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <variant>

namespace {

using namespace TestSupport;

// The drill's events in short: S started, a answered (* with the answer on screen), p passed over,
// r revealed, d deleted, C completed; with the record's rowid, the mode (t or p) and the accuracy.
struct RecordingObserver final : DrillObserver {
    QStringList log;
    QList<DrillEvent> events;
    void drillEvent(const DrillEvent& event) override
    {
        events.append(event);
        const bool test = event.testMode;
        switch (event.kind) {
        case DrillEvent::Kind::Started:
            log << QStringLiteral("S") + (test ? u't' : u'p');
            break;
        case DrillEvent::Kind::Completed:
            log << QStringLiteral("C%1").arg(event.accuracy ? QString::number(*event.accuracy)
                                                            : QStringLiteral("-")) +
                       (test ? u't' : u'p');
            break;
        default:
            log << QStringLiteral("%1%2%3")
                       .arg(QChar(u"SaprdC"[int(event.kind)]))
                       .arg(event.word.location.rowid)
                       .arg(event.answerShown ? QStringLiteral("*") : QString());
        }
    }
};

// One drill: a temporary data folder with a word database, and an engine over it.
class Drill {
public:
    explicit Drill(const QList<Word>& words, const QString& table = QStringLiteral("word7"))
        : settings(folder.path()), engine(settings, messenger, clock)
    {
        messenger.onShow = [this](const QString&, const QString&) { screens.append(engine.view()); };
        engine.setSpeaker(&speaker);
        QVERIFY(writeUnit(databaseFile(), table, words));
        open(table);
    }

    QString databaseFile() const { return folder.wordDatabase(); }

    void open(const QString& table)
    {
        auto opened = WordStore::open(databaseFile(), table);
        QVERIFY(std::holds_alternative<std::unique_ptr<Recordset>>(opened));
        engine.open(std::move(std::get<std::unique_ptr<Recordset>>(opened)), DrillKind::Unit,
                    QStringLiteral("23"));
    }

    // The learner types the current answer; the next tick judges it.
    void answer(bool markMastered = false)
    {
        const QString typed = engine.view().answer;
        engine.typedChanged(typed);
        engine.tick(typed, markMastered);
    }

    // Plays a script: 'a' answers correctly, 'n' passes the word over, 'd' answers with the mastered box
    // ticked, 's' starts, 'g' gives up, 'j' asks for the word to be spoken.
    void play(const QString& script)
    {
        for (const QChar step : script) {
            if (step == u'a')
                answer();
            else if (step == u'd')
                answer(true);
            else if (step == u's')
                engine.start();
            else if (step == u'g')
                engine.giveUp();
            else if (step == u'j')
                engine.speakAnswer();
            else
                engine.passOver();
        }
    }

    const StudyView& screen() const { return engine.view(); }

    DataFolder folder;
    mdlINI settings;
    RecordingMessenger messenger;
    QList<StudyView> screens; // what the window showed behind each message
    FixedClock clock;
    RecordingSpeaker speaker;
    DrillEngine engine;
};

QString progress(int count, int position)
{
    return QStringLiteral("当前单元中共有") + numberWithSign(count) + QStringLiteral(" 个单词,当前为 第 ") +
           numberWithSign(position) + QStringLiteral(" 个");
}

} // namespace

class TestDrillEngine : public QObject {
    Q_OBJECT

private slots:
    void startShowsFirstWord()
    {
        Drill drill(numberedWords(20));
        const StudyStep started = drill.engine.start();
        QCOMPARE(drill.screen().prompt, QStringLiteral("词1"));
        QCOMPARE(drill.screen().answer, QStringLiteral("word1"));
        QCOMPARE(drill.screen().progress, QStringLiteral("当前单元中共有 20 个单词,当前为 第  1 个"));
        QCOMPARE(drill.screen().accuracy, QString());
        QVERIFY(!drill.screen().answerShown);
        QVERIFY(drill.screen().judging);
        QVERIFY(drill.screen().canPassOver && drill.screen().canGiveUp);
        QVERIFY(started.focusInput);
    }

    void accuracyFollowsPassedWords_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("progressLine");
        QTest::addColumn<QString>("accuracy");
        QTest::addColumn<int>("wrong");
        QTest::newRow("one passed of one") << "n" << progress(20, 2) << "正确率是0%" << 1;
        QTest::newRow("one passed of two")
            << "an" << QStringLiteral("当前单元中共有 20 个单词,当前为 第  3 个") << "正确率是50%" << 1;
        QTest::newRow("one of three") << "ana" << progress(20, 4) << "正确率是67%" << 1;
        QTest::newRow("87.5 rounds up") << "aaanaaaa" << progress(20, 9) << "正确率是88%" << 1;
        QTest::newRow("62.5 rounds down") << "ananaana" << progress(20, 9) << "正确率是62%" << 3;
        QTest::newRow("none passed") << "aaaa" << progress(20, 5) << "正确率是100%，你真棒！" << 0;
        QTest::newRow("mastered words leave the count")
            << "dda" << progress(18, 2) << "正确率是100%，你真棒！" << 0;
    }
    void accuracyFollowsPassedWords()
    {
        QFETCH(QString, script);
        Drill drill(numberedWords(20));
        drill.engine.start();
        drill.play(script);
        QTEST(drill.screen().progress, "progressLine");
        QTEST(drill.screen().accuracy, "accuracy");
        QTEST(drill.engine.wrongCount(), "wrong");
    }

    void accuracyStaysWithinBounds()
    {
        // Passing words of one unit and going on in another that has fewer records behind the cursor.
        Drill drill(numberedWords(5));
        QVERIFY(writeUnit(drill.databaseFile(), QStringLiteral("word8"), numberedWords(5)));
        drill.engine.start();
        drill.play(QStringLiteral("nn"));
        drill.open(QStringLiteral("word8"));
        drill.play(QStringLiteral("n"));
        QCOMPARE(drill.engine.wrongCount(), 3);
        QCOMPARE(drill.engine.doneCount(), 1);
        QCOMPARE(drill.screen().accuracy, QStringLiteral("正确率是0%"));
    }

    void inputMustMatchExactly_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("exact") << "word1" << true;
        QTest::newRow("case") << "Word1" << false;
        QTest::newRow("trailing blank") << "word1 " << false;
        QTest::newRow("prefix") << "word" << false;
        QTest::newRow("full-width") << "ｗｏｒｄ1" << false;
        QTest::newRow("empty") << "" << false;
    }
    void inputMustMatchExactly()
    {
        QFETCH(QString, typed);
        QFETCH(bool, accepted);
        Drill drill(numberedWords(3));
        drill.engine.start();
        drill.engine.tick(typed, false);
        QCOMPARE(drill.screen().prompt, accepted ? QStringLiteral("词2") : QStringLiteral("词1"));
        QCOMPARE(drill.screen().typed, accepted ? QString() : typed);
    }

    void emptyInputNeverMatchesEmptyAnswer()
    {
        Drill drill(
            {{QStringLiteral("空"), QStringLiteral("")}, {QStringLiteral("二"), QStringLiteral("two")}});
        drill.engine.start();
        QCOMPARE(drill.screen().answer, QString());
        drill.engine.tick(QString(), false);
        QCOMPARE(drill.screen().prompt, QStringLiteral("空"));
    }

    void modes()
    {
        Drill drill(numberedWords(4));
        drill.engine.start();
        drill.engine.changeMode(DrillMode::Practice);
        QVERIFY(drill.screen().answerShown && drill.screen().answerShown);
        QVERIFY(!drill.screen().accuracyShown);
        drill.play(QStringLiteral("a"));
        QVERIFY(drill.screen().answerShown); // practice keeps the answer shown

        drill.engine.changeMode(DrillMode::Test);
        QVERIFY(drill.screen().accuracyShown);
        QVERIFY(drill.screen().answerShown); // hidden only when the next word comes
        drill.play(QStringLiteral("n"));
        QVERIFY(!drill.screen().answerShown && !drill.screen().answerShown);
    }

    void givingUpShowsTheAnswerWithoutCounting()
    {
        Drill drill(numberedWords(4));
        drill.engine.start();
        drill.engine.giveUp();
        QVERIFY(drill.screen().answerShown && drill.screen().answerShown);
        drill.answer();
        QCOMPARE(drill.engine.wrongCount(), 0);
        QCOMPARE(drill.screen().prompt, QStringLiteral("词2"));
        QVERIFY(!drill.screen().answerShown);
    }

    void startKeepsTypedTextAndTheTickTakesIt()
    {
        Drill drill(numberedWords(3));
        drill.engine.typedChanged(QStringLiteral("word1"));
        drill.engine.start();
        QCOMPARE(drill.screen().typed, QStringLiteral("word1"));
        drill.engine.tick(drill.screen().typed, false);
        QCOMPARE(drill.screen().prompt, QStringLiteral("词2"));
    }

    void masteredWordIsDeletedOnACorrectAnswer()
    {
        Drill drill(numberedWords(3));
        drill.engine.start();
        drill.play(QStringLiteral("a"));
        drill.answer(true); // word2
        QCOMPARE(drill.screen().prompt, QStringLiteral("词3"));
        QCOMPARE(drill.screen().progress, progress(2, 2));
        QVERIFY(!drill.screen().masteredTicked);
        QCOMPARE(rowsIn(drill.databaseFile(), QStringLiteral("word7")), 2);

        // The next drill over the unit no longer meets the word.
        drill.open(QStringLiteral("word7"));
        drill.engine.start();
        drill.play(QStringLiteral("a"));
        QCOMPARE(drill.screen().prompt, QStringLiteral("词3"));
    }

    void nextKeepsAMarkedWord()
    {
        Drill drill(numberedWords(3));
        drill.engine.start();
        drill.engine.masteredTickedChanged(true);
        drill.engine.passOver();
        QVERIFY(!drill.screen().masteredTicked);
        QCOMPARE(rowsIn(drill.databaseFile(), QStringLiteral("word7")), 3);
        QCOMPARE(drill.screen().progress, progress(3, 2));
    }

    void tickShowsTheMasteredCaption_data()
    {
        QTest::addColumn<bool>("ticked");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<quint32>("colour");
        QTest::newRow("ticked") << true << "填写正确后将删除此单词" << quint32(0x000000FF);
        QTest::newRow("unticked") << false << "已完全掌握这个单词，从词库删除" << quint32(0x80000012);
    }
    void tickShowsTheMasteredCaption()
    {
        QFETCH(bool, ticked);
        Drill drill(numberedWords(2));
        drill.engine.start();
        drill.engine.tick(QStringLiteral("w"), !ticked);
        drill.engine.tick(QStringLiteral("w"), ticked);
        QTEST(drill.screen().masteredCaption, "caption");
        QTEST(drill.screen().masteredColour, "colour");
    }

    void completion_data()
    {
        QTest::addColumn<int>("words");
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("rowsLeft");
        QTest::newRow("one word answered") << 1 << "a" << 1;
        QTest::newRow("last word passed over") << 3 << "aan" << 3;
        QTest::newRow("last word mastered") << 3 << "aad" << 2;
        QTest::newRow("only word mastered") << 1 << "d" << 0;
    }
    void completion()
    {
        QFETCH(int, words);
        QFETCH(QString, script);
        Drill drill(numberedWords(words));
        drill.engine.start();
        drill.play(script);

        QCOMPARE(drill.messenger.shown.size(), 1);
        const auto& message = drill.messenger.shown.front();
        const StudyView& behind = drill.screens.front();
        QCOMPARE(message.text, QStringLiteral("恭喜您，终于完成练习了"));
        QCOMPARE(message.title, QStringLiteral("提示信息"));
        // Behind the message the last word still stands, with the position past the end.
        QVERIFY(behind.progress.endsWith(QStringLiteral("第 -3 个")));
        QCOMPARE(behind.answer, script.endsWith(u'd') && words == 1 ? QStringLiteral("word1")
                                                                    : QStringLiteral("word%1").arg(words));
        QCOMPARE(behind.typed, QString());
        QCOMPARE(behind.masteredCaption, UntickedCaption);
        QCOMPARE(behind.masteredColour, ButtonTextColour);

        QCOMPARE(drill.settings.ReadIniValue(QStringLiteral("LastDate"), QStringLiteral("23")),
                 QStringLiteral("2026/3/9 14:05:09"));
        const StudyView& after = drill.screen();
        QVERIFY(!after.judging && !after.canPassOver && !after.canGiveUp);
        QCOMPARE(after.prompt, QString());
        QCOMPARE(after.answer, QString());
        QCOMPARE(after.progress, QString());
        QCOMPARE(after.accuracy, QString());
        QCOMPARE(after.masteredCaption, UntickedCaption);
        QFETCH(int, rowsLeft);
        QCOMPARE(rowsIn(drill.databaseFile(), QStringLiteral("word7")), rowsLeft);
    }

    void completingAgainOverwritesTheDate()
    {
        Drill drill(numberedWords(1));
        drill.engine.start();
        drill.play(QStringLiteral("a"));
        drill.clock.moment = QDateTime(QDate(2026, 4, 1), QTime(0, 0));
        drill.engine.start();
        drill.play(QStringLiteral("a"));
        QCOMPARE(drill.settings.ReadIniValue(QStringLiteral("LastDate"), QStringLiteral("23")),
                 QStringLiteral("2026/4/1"));
    }

    void unsavedCompletionIsTold()
    {
        Drill drill(numberedWords(1));
        QVERIFY(QDir(drill.folder.path()).mkdir(QStringLiteral("Syset.ini"))); // cannot be read as a file
        drill.engine.start();
        drill.play(QStringLiteral("a"));
        QCOMPARE(drill.messenger.shown.size(), 2);
        QCOMPARE(drill.messenger.shown[0].text, QStringLiteral("恭喜您，终于完成练习了"));
        QVERIFY2(drill.messenger.shown[1].text.startsWith(QStringLiteral("完成日期无法保存：设置文件 ")),
                 qPrintable(drill.messenger.shown[1].text));
        QCOMPARE(drill.messenger.shown[1].title, QStringLiteral("提示信息"));
        QVERIFY(!drill.screen().judging);
    }

    void sameAnswerTwiceDoesNotEndTheUnit()
    {
        Drill drill({{QStringLiteral("一"), QStringLiteral("same")},
                     {QStringLiteral("二"), QStringLiteral("same")},
                     {QStringLiteral("三"), QStringLiteral("three")}});
        drill.engine.start();
        drill.play(QStringLiteral("a"));
        QCOMPARE(drill.screen().prompt, QStringLiteral("二"));
        QVERIFY(drill.messenger.shown.isEmpty());
        drill.play(QStringLiteral("n"));
        QCOMPARE(drill.screen().prompt, QStringLiteral("三"));
    }

    void nullFieldsShowAsNothing_data()
    {
        QTest::addColumn<bool>("nullPrompt");
        QTest::addColumn<bool>("nullAnswer");
        QTest::newRow("answer") << false << true;
        QTest::newRow("prompt") << true << false;
        QTest::newRow("both") << true << true;
    }
    void nullFieldsShowAsNothing()
    {
        QFETCH(bool, nullPrompt);
        QFETCH(bool, nullAnswer);
        Word broken{QStringLiteral("二"), QStringLiteral("two")};
        if (nullPrompt)
            broken.chinese.reset();
        if (nullAnswer)
            broken.english.reset();
        Drill drill({{QStringLiteral("一"), QStringLiteral("one")},
                     broken,
                     {QStringLiteral("三"), QStringLiteral("three")}});
        drill.engine.start();
        drill.play(QStringLiteral("a"));
        QVERIFY(drill.messenger.shown.isEmpty()); // not taken for the end of the unit
        QCOMPARE(drill.screen().prompt, nullPrompt ? QString() : QStringLiteral("二"));
        QCOMPARE(drill.screen().answer, nullAnswer ? QString() : QStringLiteral("two"));
        // The previous word's answer is no answer for this one.
        drill.engine.tick(QStringLiteral("one"), false);
        QCOMPARE(drill.screen().progress, progress(3, 2));
    }

    void malformedFieldShowsNothingAfterTheMessage()
    {
        Drill drill(numberedWords(2));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("edit"));
            db.setDatabaseName(drill.databaseFile());
            QVERIFY(db.open());
            QSqlQuery query(db);
            // 31 digits: 15 bytes, not a whole block.
            QVERIFY(query.exec(
                QStringLiteral("UPDATE word7 SET english = '%1' WHERE id = 2").arg(QString(31, u'A'))));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("edit"));
        drill.open(QStringLiteral("word7"));
        drill.engine.start();
        drill.play(QStringLiteral("a"));
        QCOMPARE(drill.messenger.shown.size(), 1);
        QCOMPARE(drill.messenger.shown.front().text, QStringLiteral("密文的大小不是多块大小"));
        QCOMPARE(drill.screen().answer, QString());
        QCOMPARE(drill.screen().prompt, QStringLiteral("词2"));
    }

    void returningToTheMenuBlanksAtTheNextTick()
    {
        Drill drill(numberedWords(3));
        drill.engine.start();
        drill.engine.returnedToMenu();
        drill.engine.tick(QString(), false);
        QCOMPARE(drill.screen().prompt, QString());
        QCOMPARE(drill.screen().answer, QString());
        QCOMPARE(drill.screen().progress, QString());
        // Once only: the next drill's word stays.
        drill.engine.start();
        drill.engine.tick(QString(), false);
        QCOMPARE(drill.screen().prompt, QStringLiteral("词1"));
    }

    void startClearsAPendingReturn()
    {
        Drill drill(numberedWords(3));
        drill.engine.returnedToMenu();
        drill.engine.start();
        drill.engine.tick(QString(), false);
        QCOMPARE(drill.screen().prompt, QStringLiteral("词1"));
    }

    void emptyUnit_data()
    {
        QTest::addColumn<bool>("running");
        QTest::newRow("start") << false;
        QTest::newRow("next after another unit was opened") << true;
    }
    void emptyUnit()
    {
        QFETCH(bool, running);
        Drill drill(numberedWords(running ? 3 : 0));
        QVERIFY(writeUnit(drill.databaseFile(), QStringLiteral("word8"), {}));
        if (running) {
            drill.engine.start();
            drill.open(QStringLiteral("word8"));
            drill.engine.passOver();
        } else {
            drill.engine.start();
        }
        QCOMPARE(drill.messenger.shown.size(), 1);
        QCOMPARE(drill.messenger.shown.front().text, QStringLiteral("本单元没有单词了"));
        QCOMPARE(drill.messenger.shown.front().title, QStringLiteral("提示信息"));
        QVERIFY(!drill.screen().judging);
        QVERIFY(!drill.screen().canPassOver && !drill.screen().canGiveUp);
        QVERIFY(drill.settings.ReadIniValue(QStringLiteral("LastDate"), QStringLiteral("23")).isEmpty());
    }

    void failedDeleteKeepsTheWord()
    {
        Drill drill(numberedWords(3));
        drill.engine.start();
        QVERIFY(QFile::rename(drill.databaseFile(), drill.databaseFile() + QStringLiteral(".away")));
        drill.answer(true);
        QCOMPARE(drill.messenger.shown.size(), 1);
        QVERIFY(drill.messenger.shown.front().text.contains(QStringLiteral("单词未删除")));
        // The word is still in the unit and the drill goes on.
        QCOMPARE(drill.screen().progress, progress(3, 2));
        QVERIFY(drill.screen().judging);
        QVERIFY(QFile::rename(drill.databaseFile() + QStringLiteral(".away"), drill.databaseFile()));
        QCOMPARE(rowsIn(drill.databaseFile(), QStringLiteral("word7")), 3);
    }

    void tickInsideAMessageJudgesNothing()
    {
        // A message box runs its own event loop, so ticks arrive while a handler is still running.
        Drill drill(numberedWords(2));
        drill.messenger.onShow = [&](const QString&, const QString&) {
            drill.engine.tick(QStringLiteral("word2"), true);
        };
        drill.engine.start();
        drill.engine.passOver();
        drill.engine.tick(QStringLiteral("word2"), false); // completes; the message ticks with word2 typed
        QCOMPARE(rowsIn(drill.databaseFile(), QStringLiteral("word7")), 2);
        QCOMPARE(drill.screen().masteredCaption, UntickedCaption);
    }

    void whatIsSpoken_data()
    {
        QTest::addColumn<bool>("autoSpeak");
        QTest::addColumn<QString>("script");
        QTest::addColumn<QStringList>("spoken");
        QTest::newRow("key: the hidden answer") << false << "sj" << QStringList{"word1"};
        QTest::newRow("key: the word now on screen") << false << "saj" << QStringList{"word2"};
        QTest::newRow("key: nothing before Start") << false << "j" << QStringList{};
        QTest::newRow("key: nothing after the unit") << false << "saaaj" << QStringList{};
        QTest::newRow("off: answering and giving up are silent") << false << "sagn" << QStringList{};
        QTest::newRow("on: each word answered, the last too")
            << true << "saaa" << QStringList{"word1", "word2", "word3"};
        QTest::newRow("on: a mastered word before it goes") << true << "sd" << QStringList{"word1"};
        QTest::newRow("on: giving up, then answering") << true << "sga" << QStringList{"word1", "word1"};
        QTest::newRow("on: passing over is silent") << true << "sn" << QStringList{};
    }
    void whatIsSpoken()
    {
        QFETCH(bool, autoSpeak);
        QFETCH(QString, script);
        Drill drill(numberedWords(3));
        if (autoSpeak)
            drill.engine.toggleAutoSpeak();
        drill.play(script);
        QTEST(drill.speaker.spoken, "spoken");
    }

    void unheardWordSaysWhyAndRevealsNothing()
    {
        Drill drill(numberedWords(1));
        RecordingObserver observer;
        drill.engine.setObserver(&observer);
        drill.speaker.unavailable = QStringLiteral("朗读不可用：没有声音服务");
        drill.engine.start();
        const StudyStep step = drill.engine.speakAnswer();
        QCOMPARE(step.notice, drill.speaker.unavailable);
        QCOMPARE(step.noticeSeconds, 3);
        drill.play(QStringLiteral("a"));
        QCOMPARE(observer.log.join(u' '), QStringLiteral("St a1 C100t"));
    }

    void autoSpeakIsKeptInItsOwnSection()
    {
        Drill drill(numberedWords(1));
        QVERIFY(!drill.engine.autoSpeak()); // no section: off
        drill.play(QStringLiteral("sa"));   // a completion date in [LastDate]
        const QString completed =
            drill.settings.ReadIniValue(QStringLiteral("LastDate"), QStringLiteral("23"));
        QVERIFY(!completed.isEmpty());

        QCOMPARE(drill.engine.toggleAutoSpeak().notice, QStringLiteral("自动朗读：开"));
        QVERIFY(DrillEngine(drill.settings, drill.messenger, drill.clock).autoSpeak());
        QCOMPARE(drill.engine.toggleAutoSpeak().notice, QStringLiteral("自动朗读：关"));
        QVERIFY(!DrillEngine(drill.settings, drill.messenger, drill.clock).autoSpeak());

        QCOMPARE(drill.settings.ReadIniValue(QStringLiteral("Speech"), QStringLiteral("Auto")),
                 QStringLiteral("0"));
        QCOMPARE(drill.settings.ReadIniValue(QStringLiteral("LastDate"), QStringLiteral("23")), completed);
    }

    void autoSpeakThatCannotBeKeptHoldsForTheRun()
    {
        Drill drill(numberedWords(2));
        mdlINI unwritable(drill.folder.file(QStringLiteral("missing/folder")));
        DrillEngine engine(unwritable, drill.messenger, drill.clock);
        QCOMPARE(engine.toggleAutoSpeak().notice, QStringLiteral("自动朗读：开（设置未能保存）"));
        QVERIFY(engine.autoSpeak());
    }

    void eventsOfADrill_data()
    {
        QTest::addColumn<int>("words");
        QTest::addColumn<bool>("practice");
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("log");
        QTest::newRow("answered, passed, revealed")
            << 3 << false << "anga" << QString("St a1 p2 r3 a3* C67t");
        QTest::newRow("revealed twice, told once") << 1 << false << "gga" << QString("St r1 a1* C100t");
        QTest::newRow("mastered") << 2 << false << "ad" << QString("St a1 a2 d2 C100t");
        QTest::newRow("no word left to measure") << 1 << false << "d" << QString("St a1 d1 C-t");
        QTest::newRow("practice shows every answer") << 2 << true << "an" << QString("Sp a1* p2* C50p");
        QTest::newRow("no word past the end") << 1 << false << "n" << QString("St p1 C0t");
        QTest::newRow("hearing the hidden answer reveals it, once")
            << 2 << false << "jjaa" << QString("St r1 a1* a2 C100t");
        QTest::newRow("heard after giving up, told once")
            << 1 << false << "gja" << QString("St r1 a1* C100t");
        QTest::newRow("heard while shown in practice") << 1 << true << "ja" << QString("Sp a1* C100p");
    }
    void eventsOfADrill()
    {
        QFETCH(int, words);
        QFETCH(bool, practice);
        QFETCH(QString, script);
        Drill drill(numberedWords(words));
        RecordingObserver observer;
        drill.engine.setObserver(&observer);
        if (practice)
            drill.engine.changeMode(DrillMode::Practice);
        drill.engine.start();
        drill.play(script);
        QTEST(observer.log.join(u' '), "log");
        QCOMPARE(observer.events.front().unitCode, QStringLiteral("23"));
        QCOMPARE(observer.events.front().at, drill.clock.moment);
        QCOMPARE(observer.events[1].word.location.table, QStringLiteral("word7"));
        QCOMPARE(observer.events[1].word.answer, *encodeField(QStringLiteral("word1")));
    }

    void switchingToPracticeMarksTheDrill()
    {
        Drill drill(numberedWords(2));
        RecordingObserver observer;
        drill.engine.setObserver(&observer);
        drill.engine.start();
        drill.engine.changeMode(DrillMode::Practice);
        drill.engine.changeMode(DrillMode::Test);
        drill.play(QStringLiteral("aa"));
        QCOMPARE(observer.log.join(u' '), QStringLiteral("St a1* a2 C100p"));
    }

    void errorBookDrillRecordsNoDate()
    {
        Drill drill(numberedWords(2));
        RecordingObserver observer;
        drill.engine.setObserver(&observer);
        auto picked =
            WordStore::open(drill.databaseFile(), std::vector<WordLocation>{{QStringLiteral("word7"), 2}});
        drill.engine.open(std::move(std::get<std::unique_ptr<Recordset>>(picked)), DrillKind::ErrorBook);
        QCOMPARE(drill.screen().drillSummary, QStringLiteral("错题本：1 个单词"));
        drill.engine.start();
        QCOMPARE(drill.screen().progress, QStringLiteral("错题本中共有 1 个单词,当前为 第  1 个"));
        drill.play(QStringLiteral("d"));
        QCOMPARE(drill.messenger.shown.size(), 1);
        QCOMPARE(drill.messenger.shown.front().text, QStringLiteral("恭喜您，终于完成练习了"));
        QVERIFY(!QFile::exists(drill.settings.path()));
        QCOMPARE(observer.log.join(u' '), QStringLiteral("St a2 d2 C-t"));
        QCOMPARE(observer.events.front().drill, DrillKind::ErrorBook);
        QVERIFY(observer.events.front().unitCode.isEmpty());
        QCOMPARE(rowsIn(drill.databaseFile(), QStringLiteral("word7")), 1);

        // Opening a unit again makes its drills record their dates again.
        drill.open(QStringLiteral("word7"));
        QCOMPARE(drill.screen().drillName, QString());
        QCOMPARE(drill.screen().drillSummary, QString());
        drill.engine.start();
        QCOMPARE(drill.screen().progress, progress(1, 1));
        drill.play(QStringLiteral("a"));
        QCOMPARE(drill.settings.ReadIniValue(QStringLiteral("LastDate"), QStringLiteral("23")),
                 QStringLiteral("2026/3/9 14:05:09"));
    }
};

QTEST_GUILESS_MAIN(TestDrillEngine)
#include "tst_drillengine.moc"
