// SPDX-License-Identifier: GPL-3.0-or-later
#include "CourseCheck.h"

#include <QtTest>

using WordFile::Word;
using namespace Qt::StringLiterals;

namespace {

// Twenty units of distinct words; the first unit has `firstUnitSize` of them, the others 100. The first
// two words of unit 11 are fixed, for the cases to collide with.
std::vector<std::vector<Word>> course(int firstUnitSize)
{
    std::vector<std::vector<Word>> units(UnitCount);
    units[0] = {{"ice cream", "冰淇淋"}, {"start", "开始（s）"}};
    int next = 0;
    for (size_t i = 0; i < units.size(); ++i) {
        const size_t size = i == 0 ? size_t(firstUnitSize) : 100;
        while (units[i].size() < size) {
            const QString english =
                QString(QChar(u'a' + next / 676)) + QChar(u'a' + next / 26 % 26) + QChar(u'a' + next % 26);
            units[i].push_back({english, QStringLiteral("词%1").arg(next)});
            ++next;
        }
    }
    return units;
}

} // namespace

class CourseCheckTest : public QObject {
    Q_OBJECT

private slots:
    void findings_data()
    {
        QTest::addColumn<int>("firstUnitSize");
        QTest::addColumn<QString>("english"); // replaces the first word of unit 23 when not empty
        QTest::addColumn<QString>("chinese");
        QTest::addColumn<QString>("finding"); // a part of the one finding; empty: none

        QTest::newRow("smallest unit") << 90 << QString() << QString() << QString();
        QTest::newRow("largest unit") << 130 << QString() << QString() << QString();
        QTest::newRow("unit too small") << 89 << QString() << QString() << u"unit 11 (word1): 89 words"_s;
        QTest::newRow("unit too large") << 131 << QString() << QString() << u"unit 11 (word1): 131 words"_s;
        QTest::newRow("answer again, other case")
            << 100 << u"Ice Cream"_s << u"雪糕"_s
            << u"the same answer in 2 places: unit 11 (word1) 'ice cream', unit 23 (word7) 'Ice Cream'"_s;
        QTest::newRow("prompt again, half-width brackets")
            << 100 << u"begin"_s << u"开始(s)"_s
            << u"unit 11 (word1) 'start' = '开始（s）', unit 23 (word7) 'begin' = '开始(s)'"_s;
        QTest::newRow("prompt of 8 characters") << 100 << u"relevant"_s << u"（与主题）相关的"_s << QString();
        QTest::newRow("prompt of 9 characters")
            << 100 << u"relevant"_s << u"（与主题）相关的的"_s << u"has 9 characters"_s;
        QTest::newRow("hyphen and apostrophe") << 100 << u"o'clock T-shirt"_s << u"点钟"_s << QString();
        QTest::newRow("full-width letter") << 100 << u"ｄog"_s << u"狗"_s << u"not plain English letters"_s;
    }

    void findings()
    {
        QFETCH(int, firstUnitSize);
        QFETCH(QString, english);
        QFETCH(QString, chinese);
        QFETCH(QString, finding);
        auto units = course(firstUnitSize);
        if (!english.isEmpty())
            units[6][0] = {english, chinese};
        const QStringList found = CourseCheck::findings(units);
        QCOMPARE(found.size(), finding.isEmpty() ? 0 : 1);
        if (!finding.isEmpty())
            QVERIFY2(found[0].contains(finding), qPrintable(found[0]));
    }

    void wideWordsAreWarnedOf_data()
    {
        QTest::addColumn<QString>("english");
        QTest::addColumn<QString>("chinese");
        QTest::addColumn<QString>("warning"); // a part of the one warning; empty: none
        QTest::newRow("both fit") << u"relevant"_s << u"（与主题）相关的"_s << QString();
        QTest::newRow("wide answer") << u"comprehensive"_s << u"全面的"_s
                                     << u"unit 23 (word7) 'comprehensive': the answer is"_s;
        QTest::newRow("wide prompt") << u"kite"_s << u"一二三四五六七八九十"_s
                                     << u"'kite': the prompt '一二三四五六七八九十' is"_s;
    }

    void wideWordsAreWarnedOf()
    {
        QFETCH(QString, english);
        QFETCH(QString, chinese);
        QFETCH(QString, warning);
        auto units = course(100);
        units[6][0] = {english, chinese};
        const QStringList warned = CourseCheck::warnings(units);
        QCOMPARE(warned.size(), warning.isEmpty() ? 0 : 1);
        if (!warning.isEmpty())
            QVERIFY2(warned[0].contains(warning), qPrintable(warned[0]));
    }
};

QTEST_MAIN(CourseCheckTest)
#include "CourseCheckTest.moc"
