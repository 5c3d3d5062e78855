// SPDX-License-Identifier: GPL-3.0-or-later
#include "FieldCipher.h"
#include "ReviewRecord.h"
#include "SettingsFile.h"
#include "TestSupport.h"

#include <QTest>

namespace {

const QDate Monday(2026, 3, 2);

WordKey keyOf(const QString& english)
{
    return wordKey(*encodeField(english + QStringLiteral("的意思")), *encodeField(english));
}

RecordedWordEvent met(qint32 word, int day, DrillEvent::Kind kind = DrillEvent::Kind::Answered)
{
    RecordedWordEvent event;
    event.word = word;
    event.at = QDateTime(Monday.addDays(day), QTime(9, 0));
    event.kind = kind;
    event.responseMs = 2000;
    return event;
}

} // namespace

class TestReviewRecord : public QObject {
    Q_OBJECT
private slots:
    void settings_data()
    {
        QTest::addColumn<QString>("retention"); // as written in [Review]; empty: not there
        QTest::addColumn<QString>("dailyLimit");
        QTest::addColumn<double>("retentionUsed");
        QTest::addColumn<int>("dailyLimitUsed");
        QTest::addColumn<int>("stderrLines");
        QTest::newRow("not there") << ""
                                   << "" << 0.90 << 200 << 0;
        QTest::newRow("lowest") << "0.70"
                                << "1" << 0.70 << 1 << 0;
        QTest::newRow("highest") << "0.97"
                                 << "10000" << 0.97 << 10000 << 0;
        QTest::newRow("retention too high") << "0.98"
                                            << "150" << 0.90 << 150 << 1;
        QTest::newRow("a percentage") << "85"
                                      << "" << 0.90 << 200 << 1;
        QTest::newRow("not numbers") << "high"
                                     << "-5" << 0.90 << 200 << 2;
        QTest::newRow("no limit at all") << "0.8"
                                         << "0" << 0.80 << 200 << 1;
    }
    void settings()
    {
        QFETCH(QString, retention);
        QFETCH(QString, dailyLimit);
        TestSupport::DataFolder folder;
        mdlINI settings(folder.path());
        for (const auto& [key, value] : {std::pair{"Retention", retention}, {"DailyLimit", dailyLimit}}) {
            if (!value.isEmpty())
                QVERIFY(settings.WriteIniValue(QStringLiteral("Review"), QLatin1String(key), value));
        }
        TestSupport::StderrCapture captured;
        const ReviewSettings read = readReviewSettings(settings);
        const QStringList lines = QString::fromUtf8(captured.text()).split(u'\n', Qt::SkipEmptyParts);
        QTEST(read.retention, "retentionUsed");
        QTEST(read.dailyLimit, "dailyLimitUsed");
        QTEST(int(lines.size()), "stderrLines");
        for (const QString& line : lines)
            QVERIFY2(line.startsWith(QStringLiteral("vokabo: settings: [Review] ")), qPrintable(line));
    }

    // Five words typed on Monday are due on Thursday. On Thursday one has been typed again and one passed
    // over: two due reviews done, one of them recalled, and the daily limit holds them against the drill.
    // An early review, on Tuesday, is not a due one.
    void todaysDrillCountsTheReviewsDoneToday()
    {
        WordEventLog log;
        for (const char* english : {"apple", "berry", "cherry", "dates", "elder"})
            log.words.push_back(keyOf(QLatin1String(english)));
        for (qint32 word = 0; word < 5; ++word)
            log.events.push_back(met(word, 0));
        log.events.push_back(met(4, 1));
        log.events.push_back(met(0, 3));
        log.events.push_back(met(1, 3, DrillEvent::Kind::Passed));

        const MemoryModel model;
        QCOMPARE(model.firstReview(Grade::Good).interval, 3);
        const std::optional<ReviewRecord> record = replayRecord(log, model);
        QVERIFY(record);
        QCOMPARE(record->words.size(), size_t(5));
        QCOMPARE(record->dueReviews.size(), size_t(1));
        QCOMPARE(record->dueReviewsOn(Monday.addDays(3)), 2);
        QCOMPARE(record->dueReviews.at(Monday.addDays(3)).recalled, 1);

        std::vector<StoredWord> stored;
        for (const char* english : {"apple", "berry", "cherry", "dates", "elder"}) {
            const QString word = QLatin1String(english);
            stored.push_back({{QStringLiteral("word1"), qint64(stored.size() + 1)},
                              *encodeField(word + QStringLiteral("的意思")),
                              *encodeField(word)});
        }
        stored.pop_back(); // elder has gone from the word database
        const std::vector<ReviewWord> words = locateScheduled(*record, stored);
        QCOMPARE(words.size(), size_t(4));

        const auto drill = [&](int limit) {
            QStringList picked;
            for (const DueWord& due : todaysDrill(words, *record, Monday.addDays(3), model, limit))
                picked << QString::number(words[size_t(due.word)].stored.location.rowid);
            return picked.join(u' ');
        };
        QCOMPARE(drill(200), QStringLiteral("3 4")); // cherry and dates; apple and berry are done
        QCOMPARE(drill(3), QStringLiteral("3"));
        QCOMPARE(drill(2), QString());
    }
};

QTEST_GUILESS_MAIN(TestReviewRecord)
#include "tst_reviewrecord.moc"
