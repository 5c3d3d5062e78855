#include "DrillEngine.h"
#include "RecordingSpeaker.h"
#include "WordStore.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <variant>

namespace {

struct RecordingMessenger final : Messenger {
    struct Shown {
        QString text;
        QString title;
        StudyControls screen; // what the window showed behind the message
    };
    const DrillEngine* engine = nullptr;
    QList<Shown> shown;
    void showMessage(const QString& text, const QString& title) override
    {
        shown.append({text, title, engine ? engine->controls() : StudyControls{}});
    }
};

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

struct FixedClock final : Clock {
    QDateTime moment{QDate(2026, 3, 9), QTime(14, 5, 9)};
    QDateTime now() const override { return moment; }
};

// A word as stored: no value stands for a Null column.
struct Word {
    std::optional<QString> chinese;
    std::optional<QString> english;
};

QList<Word> numberedWords(int count)
{
    QList<Word> words;
    for (int i = 1; i <= count; ++i)
        words.append({QStringLiteral("词%1").arg(i), QStringLiteral("word%1").arg(i)});
    return words;
}

void writeTable(const QString& file, const QString& table, const QList<Word>& words)
{
    const QString name = QStringLiteral("fixture");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        QVERIFY(db.open());
        QSqlQuery query(db);
        QVERIFY(
            query.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (id INTEGER PRIMARY KEY, chinese TEXT, "
                                      "english TEXT)")
                           .arg(table)));
        for (const Word& word : words) {
            QVERIFY(
                query.prepare(QStringLiteral("INSERT INTO %1 (chinese, english) VALUES (?, ?)").arg(table)));
            const auto stored = [](const std::optional<QString>& text) {
                return text ? QVariant(*encodeField(*text)) : QVariant(QMetaType(QMetaType::QString));
            };
            query.addBindValue(stored(word.chinese));
            query.addBindValue(stored(word.english));
            QVERIFY(query.exec());
        }
    }
    QSqlDatabase::removeDatabase(name);
}

int rowsInFile(const QString& file, const QString& table)
{
    int rows = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("count"));
        db.setDatabaseName(file);
        db.open();
        QSqlQuery query(QStringLiteral("SELECT count(*) FROM ") + table, db);
        if (query.next())
            rows = query.value(0).toInt();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("count"));
    return rows;
}

// One drill: a temporary application directory with a word database, and an engine over it.
class Drill {
public:
    explicit Drill(const QList<Word>& words, const QString& table = QStringLiteral("word7"))
        : settings(dir.path()), engine(shared, settings, messenger, clock)
    {
        messenger.engine = &engine;
        engine.setSpeaker(&speaker);
        shared.UnitCode = QStringLiteral("23");
        shared.UnitTable = table;
        writeTable(databaseFile(), table, words);
        open(table);
    }

    QString databaseFile() const { return WordStore::databasePath(dir.path()); }

    void open(const QString& table)
    {
        auto opened = WordStore::open(databaseFile(), table);
        QVERIFY(std::holds_alternative<std::unique_ptr<Recordset>>(opened));
        engine.setRecordset(std::move(std::get<std::unique_ptr<Recordset>>(opened)));
    }

    // The learner types the current answer; the next tick judges it.
    void answer(bool markMastered = false)
    {
        const QString typed = engine.controls().Label5;
        engine.setText6(typed);
        engine.Timer1_Timer(typed, markMastered);
    }

    // Plays a script: 'a' answers correctly, 'n' passes the word over, 'd' answers with delCheck ticked,
    // 's' starts, 'g' gives up, 'j' asks for the word to be spoken.
    void play(const QString& script)
    {
        for (const QChar step : script) {
            if (step == u'a')
                answer();
            else if (step == u'd')
                answer(true);
            else if (step == u's')
                engine.Command5_Click();
            else if (step == u'g')
                engine.Command6_Click();
            else if (step == u'j')
                engine.speakAnswer();
            else
                engine.Command7_Click();
        }
    }

    const StudyControls& screen() const { return engine.controls(); }

    QTemporaryDir dir;
    SharedState shared;
    mdlINI settings;
    RecordingMessenger messenger;
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
        drill.engine.Command5_Click();
        QCOMPARE(drill.screen().Label4, QStringLiteral("词1"));
        QCOMPARE(drill.screen().Label5, QStringLiteral("word1"));
        QCOMPARE(drill.screen().Label7, QStringLiteral("当前单元中共有 20 个单词,当前为 第  1 个"));
        QCOMPARE(drill.screen().rightSum, QString());
        QVERIFY(!drill.screen().Label5Visible);
        QVERIFY(!drill.screen().Label3Visible);
        QVERIFY(drill.screen().Timer1Enabled);
        QVERIFY(drill.screen().Command7Enabled && drill.screen().Command6Enabled);
        QVERIFY(drill.screen().focusText6);
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
        drill.engine.Command5_Click();
        drill.play(script);
        QTEST(drill.screen().Label7, "progressLine");
        QTEST(drill.screen().rightSum, "accuracy");
        QTEST(drill.engine.WrongCount, "wrong");
    }

    void accuracyStaysWithinBounds()
    {
        // Passing words of one unit and going on in another that has fewer records behind the cursor.
        Drill drill(numberedWords(5));
        writeTable(drill.databaseFile(), QStringLiteral("word8"), numberedWords(5));
        drill.engine.Command5_Click();
        drill.play(QStringLiteral("nn"));
        drill.open(QStringLiteral("word8"));
        drill.play(QStringLiteral("n"));
        QCOMPARE(drill.engine.WrongCount, 3);
        QCOMPARE(drill.engine.DoneCount, 1);
        QCOMPARE(drill.screen().rightSum, QStringLiteral("正确率是0%"));
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
        drill.engine.Command5_Click();
        drill.engine.Timer1_Timer(typed, false);
        QCOMPARE(drill.screen().Label4, accepted ? QStringLiteral("词2") : QStringLiteral("词1"));
        QCOMPARE(drill.screen().Text6, accepted ? QString() : typed);
    }

    void emptyInputNeverMatchesEmptyAnswer()
    {
        Drill drill(
            {{QStringLiteral("空"), QStringLiteral("")}, {QStringLiteral("二"), QStringLiteral("two")}});
        drill.engine.Command5_Click();
        QCOMPARE(drill.screen().Label5, QString());
        drill.engine.Timer1_Timer(QString(), false);
        QCOMPARE(drill.screen().Label4, QStringLiteral("空"));
    }

    void modes()
    {
        Drill drill(numberedWords(4));
        drill.engine.Command5_Click();
        drill.engine.Option2_Click();
        QVERIFY(drill.screen().Label3Visible && drill.screen().Label5Visible);
        QVERIFY(!drill.screen().rightSumVisible);
        drill.play(QStringLiteral("a"));
        QVERIFY(drill.screen().Label5Visible); // practice keeps the answer shown

        drill.engine.Option1_Click();
        QVERIFY(drill.screen().rightSumVisible);
        QVERIFY(drill.screen().Label5Visible); // hidden only when the next word comes
        drill.play(QStringLiteral("n"));
        QVERIFY(!drill.screen().Label5Visible && !drill.screen().Label3Visible);
    }

    void givingUpShowsTheAnswerWithoutCounting()
    {
        Drill drill(numberedWords(4));
        drill.engine.Command5_Click();
        drill.engine.Command6_Click();
        QVERIFY(drill.screen().Label5Visible && drill.screen().Label3Visible);
        drill.answer();
        QCOMPARE(drill.engine.WrongCount, 0);
        QCOMPARE(drill.screen().Label4, QStringLiteral("词2"));
        QVERIFY(!drill.screen().Label5Visible);
    }

    void startKeepsTypedTextAndTheTickTakesIt()
    {
        Drill drill(numberedWords(3));
        drill.engine.setText6(QStringLiteral("word1"));
        drill.engine.Command5_Click();
        QCOMPARE(drill.screen().Text6, QStringLiteral("word1"));
        drill.engine.Timer1_Timer(drill.screen().Text6, false);
        QCOMPARE(drill.screen().Label4, QStringLiteral("词2"));
    }

    void masteredWordIsDeletedOnACorrectAnswer()
    {
        Drill drill(numberedWords(3));
        drill.engine.Command5_Click();
        drill.play(QStringLiteral("a"));
        drill.answer(true); // word2
        QCOMPARE(drill.screen().Label4, QStringLiteral("词3"));
        QCOMPARE(drill.screen().Label7, progress(2, 2));
        QVERIFY(!drill.screen().delCheckTicked);
        QCOMPARE(rowsInFile(drill.databaseFile(), QStringLiteral("word7")), 2);

        // The next drill over the unit no longer meets the word.
        drill.open(QStringLiteral("word7"));
        drill.engine.Command5_Click();
        drill.play(QStringLiteral("a"));
        QCOMPARE(drill.screen().Label4, QStringLiteral("词3"));
    }

    void nextKeepsAMarkedWord()
    {
        Drill drill(numberedWords(3));
        drill.engine.Command5_Click();
        drill.engine.setDelCheckTicked(true);
        drill.engine.Command7_Click();
        QVERIFY(!drill.screen().delCheckTicked);
        QCOMPARE(rowsInFile(drill.databaseFile(), QStringLiteral("word7")), 3);
        QCOMPARE(drill.screen().Label7, progress(3, 2));
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
        drill.engine.Command5_Click();
        drill.engine.Timer1_Timer(QStringLiteral("w"), !ticked);
        drill.engine.Timer1_Timer(QStringLiteral("w"), ticked);
        QTEST(drill.screen().delCheckCaption, "caption");
        QTEST(drill.screen().delCheckColour, "colour");
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
        drill.engine.Command5_Click();
        drill.play(script);

        QCOMPARE(drill.messenger.shown.size(), 1);
        const auto& message = drill.messenger.shown.front();
        QCOMPARE(message.text, QStringLiteral("恭喜您，终于完成练习了"));
        QCOMPARE(message.title, QStringLiteral("提示信息"));
        // Behind the message the last word still stands, with the position past the end.
        QVERIFY(message.screen.Label7.endsWith(QStringLiteral("第 -3 个")));
        QCOMPARE(message.screen.Label5, script.endsWith(u'd') && words == 1
                                            ? QStringLiteral("word1")
                                            : QStringLiteral("word%1").arg(words));
        QCOMPARE(message.screen.Text6, QString());
        QCOMPARE(message.screen.delCheckCaption, UntickedCaption);
        QCOMPARE(message.screen.delCheckColour, ButtonTextColour);

        QCOMPARE(drill.settings.ReadIniValue(QStringLiteral("LastDate"), QStringLiteral("23")),
                 QStringLiteral("2026/3/9 14:05:09"));
        const StudyControls& after = drill.screen();
        QVERIFY(!after.Timer1Enabled && !after.Command7Enabled && !after.Command6Enabled);
        QCOMPARE(after.Label4, QString());
        QCOMPARE(after.Label5, QString());
        QCOMPARE(after.Label7, QString());
        QCOMPARE(after.rightSum, QString());
        QCOMPARE(after.delCheckCaption, UntickedCaption);
        QFETCH(int, rowsLeft);
        QCOMPARE(rowsInFile(drill.databaseFile(), QStringLiteral("word7")), rowsLeft);
    }

    void completingAgainOverwritesTheDate()
    {
        Drill drill(numberedWords(1));
        drill.engine.Command5_Click();
        drill.play(QStringLiteral("a"));
        drill.clock.moment = QDateTime(QDate(2026, 4, 1), QTime(0, 0));
        drill.engine.Command5_Click();
        drill.play(QStringLiteral("a"));
        QCOMPARE(drill.settings.ReadIniValue(QStringLiteral("LastDate"), QStringLiteral("23")),
                 QStringLiteral("2026/4/1"));
    }

    void unsavedCompletionIsTold()
    {
        Drill drill(numberedWords(1));
        QVERIFY(QDir(drill.dir.path()).mkdir(QStringLiteral("Syset.ini"))); // cannot be read as a file
        drill.engine.Command5_Click();
        drill.play(QStringLiteral("a"));
        QCOMPARE(drill.messenger.shown.size(), 2);
        QCOMPARE(drill.messenger.shown[0].text, QStringLiteral("恭喜您，终于完成练习了"));
        QVERIFY2(drill.messenger.shown[1].text.startsWith(QStringLiteral("完成日期无法保存：设置文件 ")),
                 qPrintable(drill.messenger.shown[1].text));
        QCOMPARE(drill.messenger.shown[1].title, QStringLiteral("提示信息"));
        QVERIFY(!drill.screen().Timer1Enabled);
    }

    void sameAnswerTwiceDoesNotEndTheUnit()
    {
        Drill drill({{QStringLiteral("一"), QStringLiteral("same")},
                     {QStringLiteral("二"), QStringLiteral("same")},
                     {QStringLiteral("三"), QStringLiteral("three")}});
        drill.engine.Command5_Click();
        drill.play(QStringLiteral("a"));
        QCOMPARE(drill.screen().Label4, QStringLiteral("二"));
        QVERIFY(drill.messenger.shown.isEmpty());
        drill.play(QStringLiteral("n"));
        QCOMPARE(drill.screen().Label4, QStringLiteral("三"));
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
        drill.engine.Command5_Click();
        drill.play(QStringLiteral("a"));
        QVERIFY(drill.messenger.shown.isEmpty()); // not taken for the end of the unit
        QCOMPARE(drill.screen().Label4, nullPrompt ? QString() : QStringLiteral("二"));
        QCOMPARE(drill.screen().Label5, nullAnswer ? QString() : QStringLiteral("two"));
        // The previous word's answer is no answer for this one.
        drill.engine.Timer1_Timer(QStringLiteral("one"), false);
        QCOMPARE(drill.screen().Label7, progress(3, 2));
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
        drill.engine.Command5_Click();
        drill.play(QStringLiteral("a"));
        QCOMPARE(drill.messenger.shown.size(), 1);
        QCOMPARE(drill.messenger.shown.front().text, QStringLiteral("密文的大小不是多块大小"));
        QCOMPARE(drill.screen().Label5, QString());
        QCOMPARE(drill.screen().Label4, QStringLiteral("词2"));
    }

    void returningToTheMenuBlanksAtTheNextTick()
    {
        Drill drill(numberedWords(3));
        drill.engine.Command5_Click();
        drill.shared.ReturnedToMenu = true;
        drill.engine.Timer1_Timer(QString(), false);
        QCOMPARE(drill.screen().Label4, QString());
        QCOMPARE(drill.screen().Label5, QString());
        QCOMPARE(drill.screen().Label7, QString());
        QVERIFY(!drill.shared.ReturnedToMenu);
    }

    void startClearsAPendingReturn()
    {
        Drill drill(numberedWords(3));
        drill.shared.ReturnedToMenu = true;
        drill.engine.Command5_Click();
        drill.engine.Timer1_Timer(QString(), false);
        QCOMPARE(drill.screen().Label4, QStringLiteral("词1"));
        QVERIFY(!drill.shared.ReturnedToMenu);
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
        writeTable(drill.databaseFile(), QStringLiteral("word8"), {});
        if (running) {
            drill.engine.Command5_Click();
            drill.open(QStringLiteral("word8"));
            drill.engine.Command7_Click();
        } else {
            drill.engine.Command5_Click();
        }
        QCOMPARE(drill.messenger.shown.size(), 1);
        QCOMPARE(drill.messenger.shown.front().text, QStringLiteral("本单元没有单词了"));
        QCOMPARE(drill.messenger.shown.front().title, QStringLiteral("提示信息"));
        QVERIFY(!drill.screen().Timer1Enabled);
        QVERIFY(!drill.screen().Command7Enabled && !drill.screen().Command6Enabled);
        QVERIFY(drill.settings.ReadIniValue(QStringLiteral("LastDate"), QStringLiteral("23")).isEmpty());
    }

    void failedDeleteKeepsTheWord()
    {
        Drill drill(numberedWords(3));
        drill.engine.Command5_Click();
        QVERIFY(QFile::rename(drill.databaseFile(), drill.databaseFile() + QStringLiteral(".away")));
        drill.answer(true);
        QCOMPARE(drill.messenger.shown.size(), 1);
        QVERIFY(drill.messenger.shown.front().text.contains(QStringLiteral("单词未删除")));
        // The word is still in the unit and the drill goes on.
        QCOMPARE(drill.screen().Label7, progress(3, 2));
        QVERIFY(drill.screen().Timer1Enabled);
        QVERIFY(QFile::rename(drill.databaseFile() + QStringLiteral(".away"), drill.databaseFile()));
        QCOMPARE(rowsInFile(drill.databaseFile(), QStringLiteral("word7")), 3);
    }

    void tickInsideAMessageJudgesNothing()
    {
        // A message box runs its own event loop, so ticks arrive while a handler is still running.
        struct TickingMessenger final : Messenger {
            DrillEngine* engine = nullptr;
            void showMessage(const QString&, const QString&) override
            {
                engine->Timer1_Timer(QStringLiteral("word2"), true);
            }
        };
        QTemporaryDir dir;
        writeTable(WordStore::databasePath(dir.path()), QStringLiteral("word7"), numberedWords(2));
        SharedState shared{QStringLiteral("23"), QStringLiteral("word7"), false};
        mdlINI settings(dir.path());
        TickingMessenger messenger;
        FixedClock clock;
        DrillEngine engine(shared, settings, messenger, clock);
        messenger.engine = &engine;
        engine.setRecordset(std::get<std::unique_ptr<Recordset>>(
            WordStore::open(WordStore::databasePath(dir.path()), QStringLiteral("word7"))));
        engine.Command5_Click();
        engine.Command7_Click();
        engine.Timer1_Timer(QStringLiteral("word2"), false); // completes; the message ticks with word2 typed
        QCOMPARE(rowsInFile(WordStore::databasePath(dir.path()), QStringLiteral("word7")), 2);
        QCOMPARE(engine.controls().delCheckCaption, UntickedCaption);
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

    void autoSpeakIsKeptInItsOwnSection()
    {
        Drill drill(numberedWords(1));
        QVERIFY(!drill.engine.autoSpeak()); // no section: off
        drill.play(QStringLiteral("sa"));   // a completion date in [LastDate]
        const QString completed =
            drill.settings.ReadIniValue(QStringLiteral("LastDate"), QStringLiteral("23"));
        QVERIFY(!completed.isEmpty());

        drill.engine.toggleAutoSpeak();
        QCOMPARE(drill.screen().statusMessage, QStringLiteral("自动朗读：开"));
        QVERIFY(DrillEngine(drill.shared, drill.settings, drill.messenger, drill.clock).autoSpeak());
        drill.engine.toggleAutoSpeak();
        QCOMPARE(drill.screen().statusMessage, QStringLiteral("自动朗读：关"));
        QVERIFY(!DrillEngine(drill.shared, drill.settings, drill.messenger, drill.clock).autoSpeak());

        QCOMPARE(drill.settings.ReadIniValue(QStringLiteral("Speech"), QStringLiteral("Auto")),
                 QStringLiteral("0"));
        QCOMPARE(drill.settings.ReadIniValue(QStringLiteral("LastDate"), QStringLiteral("23")), completed);
    }

    void autoSpeakThatCannotBeKeptHoldsForTheRun()
    {
        Drill drill(numberedWords(2));
        mdlINI unwritable(drill.dir.filePath(QStringLiteral("missing/folder")));
        DrillEngine engine(drill.shared, unwritable, drill.messenger, drill.clock);
        engine.toggleAutoSpeak();
        QVERIFY(engine.autoSpeak());
        QCOMPARE(engine.controls().statusMessage, QStringLiteral("自动朗读：开（设置未能保存）"));
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
        QTest::newRow("practice shows every answer") << 2 << true << "an" << QString("Sp a1* p2 C50p");
        QTest::newRow("no word past the end") << 1 << false << "n" << QString("St p1 C0t");
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
            drill.engine.Option2_Click();
        drill.engine.Command5_Click();
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
        drill.engine.Command5_Click();
        drill.engine.Option2_Click();
        drill.engine.Option1_Click();
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
        drill.engine.setRecordset(std::move(std::get<std::unique_ptr<Recordset>>(picked)),
                                  DrillKind::ErrorBook);
        drill.engine.Command5_Click();
        drill.play(QStringLiteral("d"));
        QCOMPARE(drill.messenger.shown.size(), 1);
        QCOMPARE(drill.messenger.shown.front().text, QStringLiteral("恭喜您，终于完成练习了"));
        QVERIFY(!QFile::exists(drill.settings.path()));
        QCOMPARE(observer.log.join(u' '), QStringLiteral("St a2 d2 C-t"));
        QCOMPARE(observer.events.front().drill, DrillKind::ErrorBook);
        QVERIFY(observer.events.front().unitCode.isEmpty());
        QCOMPARE(rowsInFile(drill.databaseFile(), QStringLiteral("word7")), 1);

        // Opening a unit again makes its drills record their dates again.
        drill.open(QStringLiteral("word7"));
        drill.engine.Command5_Click();
        drill.play(QStringLiteral("a"));
        QCOMPARE(drill.settings.ReadIniValue(QStringLiteral("LastDate"), QStringLiteral("23")),
                 QStringLiteral("2026/3/9 14:05:09"));
    }

    void mouseMovesSetTheNoticeWeight()
    {
        Drill drill(numberedWords(1));
        drill.engine.Label1_MouseMove();
        QVERIFY(drill.screen().Label1Bold);
        drill.engine.Form_MouseMove();
        QVERIFY(!drill.screen().Label1Bold);
    }
};

QTEST_GUILESS_MAIN(TestDrillEngine)
#include "tst_drillengine.moc"
