// SPDX-License-Identifier: GPL-3.0-or-later
#include "ErrorBook.h"
#include "FieldCipher.h"

#include <QtTest>

namespace {

DrillWord word(const QString& english, const QString& table = QStringLiteral("word3"), qint64 rowid = 1)
{
    return {{table, rowid}, *encodeField(english + QStringLiteral("的意思")), *encodeField(english)};
}

// One step of a script: lower case in a unit drill, upper case in an error-book drill.
// p passed over, r revealed, a answered with the answer hidden, s answered with it shown, d deleted.
DrillEvent step(QChar code, const DrillWord& word)
{
    static const QHash<QChar, DrillEvent::Kind> kinds{{u'p', DrillEvent::Kind::Passed},
                                                      {u'r', DrillEvent::Kind::Revealed},
                                                      {u'a', DrillEvent::Kind::Answered},
                                                      {u's', DrillEvent::Kind::Answered},
                                                      {u'd', DrillEvent::Kind::Deleted}};
    DrillEvent event;
    event.kind = kinds.value(code.toLower());
    event.at = QDateTime(QDate(2026, 3, 9), QTime(10, 0));
    event.drill = code.isUpper() ? DrillKind::ErrorBook : DrillKind::Unit;
    event.word = word;
    event.answerShown = code.toLower() == u's';
    return event;
}

} // namespace

class TestErrorBook : public QObject {
    Q_OBJECT
private slots:
    void rules_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("streak"); // -1: not in the book
        QTest::newRow("passed over") << "p" << 0;
        QTest::newRow("revealed") << "r" << 0;
        QTest::newRow("answered, never missed") << "aA" << -1;
        QTest::newRow("answers in unit drills do not count") << "paaa" << 0;
        QTest::newRow("one clean error-book drill") << "pA" << 1;
        QTest::newRow("two clean error-book drills") << "rAA" << -1;
        QTest::newRow("a miss between starts again") << "pAPA" << 1;
        QTest::newRow("a miss in a unit drill starts again") << "pArA" << 1;
        QTest::newRow("an answer on screen breaks the row") << "pASA" << 1;
        QTest::newRow("revealed, then typed") << "pARS" << 0;
        QTest::newRow("deleted in a unit drill") << "pd" << -1;
        QTest::newRow("deleted in an error-book drill") << "pAD" << -1;
        QTest::newRow("gone for good after leaving") << "pAAA" << -1;
        QTest::newRow("back after leaving") << "pAAp" << 0;
    }
    void rules()
    {
        QFETCH(QString, script);
        QFETCH(int, streak);
        ErrorBook book;
        const DrillWord apple = word(QStringLiteral("apple"));
        for (const QChar code : script)
            book.apply(step(code, apple));
        const auto entries = book.entries();
        QCOMPARE(entries.empty() ? -1 : entries.front().streak, streak);
        QCOMPARE(book.size(), streak < 0 ? 0 : 1);
    }

    void changesForTheFile()
    {
        ErrorBook book;
        const DrillWord apple = word(QStringLiteral("apple"));
        QCOMPARE(int(book.apply(step(u'a', apple)).kind), int(ErrorBookChange::Kind::None));
        QCOMPARE(int(book.apply(step(u'p', apple)).kind), int(ErrorBookChange::Kind::Put));
        QCOMPARE(int(book.apply(step(u'A', apple)).kind), int(ErrorBookChange::Kind::Put));
        const ErrorBookChange left = book.apply(step(u'A', apple));
        QCOMPARE(int(left.kind), int(ErrorBookChange::Kind::Remove));
        QCOMPARE(left.entry.key, wordKey(apple.prompt, apple.answer));
    }

    void identityIgnoresTheHexSpelling()
    {
        ErrorBook book;
        const DrillWord apple = word(QStringLiteral("apple"));
        book.apply(step(u'p', apple));
        DrillWord elsewhere = apple;
        elsewhere.location = {QStringLiteral("word17"), 40};
        elsewhere.answer = apple.answer.toLower();
        book.apply(step(u'D', elsewhere));
        QCOMPARE(book.size(), 0);
    }

    void locateFollowsTheWord()
    {
        ErrorBook book;
        for (const char* english : {"one", "two", "three", "four"})
            book.apply(step(u'p', word(QLatin1String(english), QStringLiteral("word3"), 1)));
        const auto stored = [](const QString& english, const QString& table, qint64 rowid) {
            const DrillWord w = word(english, table, rowid);
            return StoredWord{w.location, w.prompt, w.answer};
        };
        // "one" is still at its record and also imported elsewhere; "two" moved to another unit; "three"
        // was imported again into its own; "four" is in no unit any more.
        const std::vector<StoredWord> words{stored("two", "word9", 5), stored("one", "word2", 1),
                                            stored("one", "word3", 1), stored("three", "word3", 8)};
        const std::vector<WordLocation> expected{{"word3", 1}, {"word9", 5}, {"word3", 8}};
        QCOMPARE(book.locate(words), expected);
        QCOMPARE(book.size(), 4);
    }
};

QTEST_GUILESS_MAIN(TestErrorBook)
#include "tst_errorbook.moc"
