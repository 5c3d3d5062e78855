// SPDX-License-Identifier: GPL-3.0-or-later
#include "WordFile.h"

#include <QtTest>

using WordFile::Format;
using WordFile::Word;

namespace {

QStringList pairs(const std::vector<Word>& words)
{
    QStringList list;
    for (const Word& word : words)
        list.append(word.english + u'|' + word.chinese);
    return list;
}

QByteArray repeated(const char* utf8, int times)
{
    return QByteArray(utf8).repeated(times);
}

} // namespace

class WordFileTest : public QObject {
    Q_OBJECT

private slots:
    void readsWords_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("format");
        QTest::addColumn<QStringList>("words");
        const int detect = int(Format::Detect);
        QTest::newRow("tsv") << QByteArray("mother\t妈妈\nfather\t爸爸\n") << detect
                             << QStringList{"mother|妈妈", "father|爸爸"};
        QTest::newRow("tsv keeps commas and quotes")
            << QByteArray("apple\t苹果, 苹果树\n\"hi\"\t你好") << detect
            << QStringList{"apple|苹果, 苹果树", "\"hi\"|你好"};
        QTest::newRow("csv quoting") << QByteArray(
                                            "\"ice, cream\",冰淇淋\n \"say \"\"hi\"\"\" , \"打招呼\"\n")
                                     << detect << QStringList{"ice, cream|冰淇淋", "say \"hi\"|打招呼"};
        QTest::newRow("bom, crlf, spaces") << QByteArray("\xEF\xBB\xBF apple , 苹果 \r\nbook,书\r\n")
                                           << detect << QStringList{"apple|苹果", "book|书"};
        QTest::newRow("comments and blank lines")
            << QByteArray("# unit 23\n\n   \n  # indented\ncat\t猫\n\n") << detect << QStringList{"cat|猫"};
        QTest::newRow("english header")
            << QByteArray("English,CHINESE\ndog,狗\n") << detect << QStringList{"dog|狗"};
        QTest::newRow("chinese header after a comment")
            << QByteArray("# list\n英文\t中文\ndog\t狗\n") << detect << QStringList{"dog|狗"};
        QTest::newRow("header only on the first data line")
            << QByteArray("dog,狗\nenglish,chinese\n") << detect << QStringList{"dog|狗", "english|chinese"};
        QTest::newRow("a comment does not decide the format")
            << QByteArray("# a\tcomment\none,一\n") << detect << QStringList{"one|一"};
        QTest::newRow("forced csv") << QByteArray("apple,\t苹果\n") << int(Format::Csv)
                                    << QStringList{"apple|苹果"};
        QTest::newRow("longest fields") << (repeated("a", 255) + '\t' + repeated("中", 127)) << detect
                                        << QStringList{QString(255, u'a') + u'|' + QString(127, u'中')};
        QTest::newRow("empty file") << QByteArray() << detect << QStringList{};
    }

    void readsWords()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, format);
        QFETCH(QStringList, words);
        const WordFile::Parsed parsed = WordFile::parse(content, "list.txt", Format(format));
        QCOMPARE(parsed.problems, QStringList{});
        QCOMPARE(pairs(parsed.words), words);
    }

    void reportsEveryBadLine_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("format");
        QTest::addColumn<QStringList>("problems"); // "LINE: start of the reason"
        const int detect = int(Format::Detect);
        QTest::newRow("empty field") << QByteArray("apple,\n") << detect
                                     << QStringList{"1: Chinese meaning: empty"};
        QTest::newRow("empty tsv field")
            << QByteArray("\t苹果\n") << detect << QStringList{"1: English word: empty"};
        QTest::newRow("emoji") << QByteArray("smile,微笑😀\n") << detect
                               << QStringList{"1: Chinese meaning: '😀' (U+1F600) is not in the GBK"};
        QTest::newRow("unterminated quote")
            << QByteArray("ok,好\n\"ice, cream,冰淇淋\n") << detect << QStringList{"2: unterminated quote"};
        QTest::newRow("quoted line break")
            << QByteArray("\"ice\ncream\",冰淇淋\n") << detect
            << QStringList{"1: unterminated quote", "2: quote inside an unquoted"};
        QTest::newRow("text after a quote")
            << QByteArray("\"ice\" cream,冰淇淋\n") << detect << QStringList{"1: text after a closing quote"};
        QTest::newRow("256 letters") << (repeated("a", 256) + ",长") << detect
                                     << QStringList{"1: English word: 256 bytes in GBK, more than the 255"};
        QTest::newRow("128 chinese characters") << ("long," + repeated("中", 128)) << detect
                                                << QStringList{"1: Chinese meaning: 256 bytes in GBK"};
        QTest::newRow("one field") << QByteArray("apple\n") << detect
                                   << QStringList{"1: 1 field(s) instead of 2"};
        QTest::newRow("three csv fields")
            << QByteArray("apple,苹果,水果\n") << detect
            << QStringList{"1: 3 field(s) instead of 2 (English word, Chinese meaning); "
                           "put a field that has a comma in double quotes"};
        QTest::newRow("trailing tab")
            << QByteArray("apple\t苹果\t\n") << detect << QStringList{"1: 3 field(s)"};
        QTest::newRow("forced tsv on csv")
            << QByteArray("one,一\n") << int(Format::Tsv) << QStringList{"1: 1 field(s)"};
        QTest::newRow("control character") << QByteArray("bell\x07,铃\n") << detect
                                           << QStringList{"1: English word: control character U+0007"};
        QTest::newRow("invalid utf-8")
            << QByteArray("caf\xE9,咖啡\n") << detect << QStringList{"1: not valid UTF-8"};
        QTest::newRow("incomplete utf-8 at the end of a line")
            << QByteArray("apple,苹果\xE8\r\npear,梨\xE6\xA2") << detect
            << QStringList{"1: not valid UTF-8", "2: not valid UTF-8"};
        QTest::newRow("reversed header") << QByteArray("chinese,english\n") << detect
                                         << QStringList{"1: the header has the columns the wrong way round"};
        QTest::newRow("all bad lines, in order")
            << QByteArray("apple,苹果\n,空\nbook,书\nsmile😀,微笑\npen\n") << detect
            << QStringList{"2: English word: empty", "4: English word: '😀'", "5: 1 field(s)"};
        QTest::newRow("both fields of a line")
            << QByteArray(",😀\n") << detect
            << QStringList{"1: English word: empty", "1: Chinese meaning: '😀'"};
    }

    void reportsEveryBadLine()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, format);
        QFETCH(QStringList, problems);
        // A "%1" in the file name comes out as it is.
        const WordFile::Parsed parsed = WordFile::parse(content, "dir/list%1.csv", Format(format));
        QCOMPARE(parsed.problems.size(), problems.size());
        for (qsizetype i = 0; i < problems.size(); ++i)
            QVERIFY2(parsed.problems[i].startsWith("dir/list%1.csv:" + problems[i]),
                     qPrintable(parsed.problems[i]));
    }

    // A hostile list costs bounded memory: the first problems in full, the rest counted; no more words
    // than a unit may hold; a line far too long read past in pieces.
    void keepsWhatIsBounded_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("reported");
        QTest::addColumn<int>("counted");
        QTest::addColumn<int>("words");
        QTest::addColumn<QString>("last"); // the start of the last reported problem
        QTest::newRow("150 bad lines") << repeated("bad\n", 150) << 100 << 150 << 0 << "100: 1 field(s)";
        QTest::newRow("one word too many") << repeated("w\t词\n", WordFile::MaxUnitWords + 1) << 1 << 1
                                           << WordFile::MaxUnitWords << "100001: more than 100,000 words";
        QTest::newRow("a line of a megabyte")
            << (repeated("a", 1 << 20) + "\nw\t词\n") << 1 << 1 << 1 << "1: longer than 65536 bytes";
    }

    void keepsWhatIsBounded()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, reported);
        QFETCH(int, counted);
        QFETCH(int, words);
        QFETCH(QString, last);
        const WordFile::Parsed parsed = WordFile::parse(content, "list", Format::Detect);
        QCOMPARE(parsed.problems.size(), reported);
        QCOMPARE(parsed.problemCount, counted);
        QCOMPARE(int(parsed.words.size()), words);
        QVERIFY2(parsed.problems.last().startsWith("list:" + last), qPrintable(parsed.problems.last()));
    }

    // tsvProblem() must hold exactly for the words that do not come back unchanged from their TSV line.
    void tsvLinesReadBack_data()
    {
        QTest::addColumn<QString>("english");
        QTest::addColumn<QString>("chinese");
        QTest::addColumn<bool>("firstLine");
        QTest::addColumn<bool>("readsBack");
        QTest::newRow("plain") << "ice cream"
                               << "冰淇淋" << true << true;
        QTest::newRow("quotes and commas") << "\"so\", he said"
                                           << "他说，“所以”" << true << true;
        QTest::newRow("hash inside") << "C#"
                                     << "#号" << true << true;
        QTest::newRow("longest") << QString(255, u'a') << QString(127, u'中') << true << true;
        QTest::newRow("header words after the first line") << "English"
                                                           << "chinese" << false << true;
        QTest::newRow("header words first") << "English"
                                            << "chinese" << true << false;
        QTest::newRow("chinese header first") << "英文"
                                              << "中文" << true << false;
        QTest::newRow("reversed header first") << "chinese"
                                               << "english" << true << false;
        QTest::newRow("leading hash") << "#tag"
                                      << "标签" << false << false;
        QTest::newRow("tab") << "a\tb"
                             << "甲乙" << false << false;
        QTest::newRow("line feed") << "a"
                                   << "甲\n乙" << false << false;
        QTest::newRow("spaces around") << " a"
                                       << "甲" << false << false;
        QTest::newRow("empty") << "a"
                               << "" << false << false;
        QTest::newRow("too long") << QString(256, u'a') << "长" << false << false;
    }

    void tsvLinesReadBack()
    {
        QFETCH(QString, english);
        QFETCH(QString, chinese);
        QFETCH(bool, firstLine);
        QFETCH(bool, readsBack);
        const Word word{english, chinese};
        QCOMPARE(!WordFile::tsvProblem(word, firstLine).has_value(), readsBack);

        const Word before{"first", "第一"};
        std::vector<Word> expected = firstLine ? std::vector<Word>{} : std::vector<Word>{before};
        expected.push_back(word);
        const QByteArray content =
            (firstLine ? QByteArray() : WordFile::tsvLine(before)) + WordFile::tsvLine(word);
        const WordFile::Parsed parsed = WordFile::parse(content, "export.tsv", Format::Detect);
        QCOMPARE(parsed.problems.isEmpty() && parsed.words == expected, readsBack);
    }
};

QTEST_GUILESS_MAIN(WordFileTest)
#include "tst_wordfile.moc"
