// SPDX-License-Identifier: GPL-3.0-or-later
#include "DrillEngine.h"
#include "FieldCipher.h"
#include "LearningRecord.h"
#include "ReviewRecord.h"
#include "TestSupport.h"
#include "WordEventLog.h"
#include "WordStore.h"

#include <QTest>

namespace {

using namespace TestSupport;

const char* const DrillNames[] = {"unit", "errorbook", "review"};

// "a1*j:3000": what the record keeps of a word event, read back from History.db: a answered, p passed
// over, r revealed, d deleted; the record's rowid; * with the answer on screen, j heard; an answer's
// response time.
QString describe(const RecordedWordEvent& event, int record)
{
    return QStringLiteral("%1%2%3%4%5")
        .arg(QChar(u"?aprd"[int(event.kind)]))
        .arg(record)
        .arg(event.answerShown ? QStringLiteral("*") : QString())
        .arg(event.spoken ? QStringLiteral("j") : QString())
        .arg(event.responseMs ? QStringLiteral(":%1").arg(*event.responseMs) : QString());
}

} // namespace

// What the drill engine records, through the learning record into History.db and back, and the grades
// that the schedule takes from it: a word's first meeting on a day, in test mode with the answer hidden.
class TestRecordedGrades : public QObject {
    Q_OBJECT
private slots:
    void engineRecordsWhatGrades_data()
    {
        QTest::addColumn<QString>("drill");
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("recorded");
        QTest::addColumn<QString>("grades"); // each graded word: its reviews, the day after the first, grade
        // Script: s Start, a an answer after 2 s, A one after 10 s (slow for five letters: 4.5 s), n pass
        // over after 1 s, g give up after 1 s, j Ctrl+J after 1 s, d an answer after 2 s with the mastered
        // box ticked, p practice mode, t test mode, + the next day.
        QTest::newRow("answered, passed, revealed") << "unit"
                                                    << "sanga"
                                                    << "a1:2000 p2 r3 a3*:3000"
                                                    << "word1 0 Good; word2 0 Again; word3 0 Again";
        QTest::newRow("heard before typing") << "unit"
                                             << "sjaaa"
                                             << "r1j a1*:3000 a2:2000 a3:2000"
                                             << "word1 0 Again; word2 0 Good; word3 0 Good";
        QTest::newRow("practice") << "unit"
                                  << "psana"
                                  << "a1*:2000 p2* a3*:2000"
                                  << "";
        QTest::newRow("test mode from the second word, which keeps its answer on screen")
            << "unit"
            << "psataa"
            << "a1*:2000 a2*:2000 a3:2000"
            << "word3 0 Good";
        QTest::newRow("slow answer") << "unit"
                                     << "sAaa"
                                     << "a1:10000 a2:2000 a3:2000"
                                     << "word1 0 Hard; word2 0 Good; word3 0 Good";
        QTest::newRow("second meeting the same day, then the next day")
            << "unit"
            << "saaasn+sn"
            << "a1:2000 a2:2000 a3:2000 p1 p1"
            << "word1 0 Good, 1 Again; word2 0 Good; word3 0 Good";
        QTest::newRow("deleted as mastered") << "unit"
                                             << "sdaa"
                                             << "a1:2000 d1 a2:2000 a3:2000"
                                             << "word2 0 Good; word3 0 Good";
        QTest::newRow("error-book drill") << "errorbook"
                                          << "snAa"
                                          << "p1 a2:10000 a3:2000"
                                          << "word1 0 Again; word2 0 Hard; word3 0 Good";
        QTest::newRow("review drill") << "review"
                                      << "sgaAd"
                                      << "r1 a1*:3000 a2:10000 a3:2000 d3"
                                      << "word1 0 Again; word2 0 Hard";
    }
    void engineRecordsWhatGrades()
    {
        QFETCH(QString, drill);
        QFETCH(QString, script);
        DataFolder folder;
        QVERIFY(writeUnit(folder.wordDatabase(), QStringLiteral("word7"), numberedWords(3)));
        mdlINI settings(folder.path());
        RecordingMessenger messenger;
        FixedClock clock;
        const QDate firstDay = clock.moment.date();
        RecordingSpeaker speaker;
        DrillEngine engine(settings, messenger, clock);
        engine.setSpeaker(&speaker);
        LearningRecord record(folder.history());
        engine.setObserver(&record);

        const auto kind = DrillKind(std::find(std::begin(DrillNames), std::end(DrillNames), drill) -
                                    std::begin(DrillNames));
        auto opened = kind == DrillKind::Unit
                          ? WordStore::open(folder.wordDatabase(), QStringLiteral("word7"))
                          : WordStore::open(folder.wordDatabase(),
                                            std::vector<WordLocation>{{QStringLiteral("word7"), 1},
                                                                      {QStringLiteral("word7"), 2},
                                                                      {QStringLiteral("word7"), 3}});
        QVERIFY(std::holds_alternative<std::unique_ptr<Recordset>>(opened));
        engine.open(std::move(std::get<std::unique_ptr<Recordset>>(opened)), kind, QStringLiteral("23"));

        const auto after = [&](int seconds) { clock.moment = clock.moment.addSecs(seconds); };
        const auto answer = [&](int seconds, bool mastered) {
            after(seconds);
            engine.tick(engine.view().answer, mastered);
        };
        for (const QChar step : script) {
            switch (step.unicode()) {
            case 's':
                engine.start();
                break;
            case 'a':
                answer(2, false);
                break;
            case 'A':
                answer(10, false);
                break;
            case 'd':
                answer(2, true);
                break;
            case 'n':
                after(1);
                engine.passOver();
                break;
            case 'g':
                after(1);
                engine.giveUp();
                break;
            case 'j':
                after(1);
                engine.speakAnswer();
                break;
            case 'p':
                engine.changeMode(DrillMode::Practice);
                break;
            case 't':
                engine.changeMode(DrillMode::Test);
                break;
            case '+':
                clock.moment = clock.moment.addDays(1);
                break;
            }
        }
        QVERIFY(record.flush());

        auto read = readWordEvents(folder.history());
        QVERIFY(std::holds_alternative<WordEventLog>(read));
        const WordEventLog& log = std::get<WordEventLog>(read);
        PPS cipher;
        const auto english = [&](qsizetype word) {
            return textShown(cipher, QString::fromLatin1(log.words[size_t(word)].answer.toHex()));
        };
        QStringList recorded;
        for (const RecordedWordEvent& event : log.events) {
            QCOMPARE(event.drill, kind);
            recorded << describe(event, english(event.word).mid(4).toInt()); // "word2": record 2
        }
        QTEST(recorded.join(u' '), "recorded");

        static const char* const grades[] = {"", "Again", "Hard", "Good", "Easy"};
        const EventsByWord byWord = eventsByWord(log);
        QStringList graded;
        for (size_t word = 0; word < log.words.size(); ++word) {
            QStringList reviews;
            for (const Review& review : reviewsOf(byWord.of(word)))
                reviews << QStringLiteral("%1 %2")
                               .arg(firstDay.daysTo(review.day))
                               .arg(grades[int(review.grade)]);
            if (!reviews.isEmpty())
                graded << english(qsizetype(word)) + u' ' + reviews.join(QStringLiteral(", "));
        }
        graded.sort();
        QTEST(graded.join(QStringLiteral("; ")), "grades");
    }
};

QTEST_GUILESS_MAIN(TestRecordedGrades)
#include "tst_recordedgrades.moc"
