// SPDX-License-Identifier: GPL-3.0-or-later
#include "FieldCipher.h"
#include "WordDatabase.h"

#include <QDir>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QtTest>

using WordFile::Word;

namespace {

const UnitRow& unit23()
{
    return UnitCatalogue()[6];
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

// Runs statements on a database file behind the tool's back; the rows of the last one come back.
QList<QVariantList> sql(const QString& file, const QStringList& statements, const QVariantList& values = {})
{
    QList<QVariantList> rows;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "test");
        db.setDatabaseName(file);
        if (!db.open())
            qFatal("cannot open %s", qPrintable(file));
        for (const QString& statement : statements) {
            QSqlQuery query(db);
            query.prepare(statement);
            for (const QVariant& value : values)
                query.addBindValue(value);
            if (!query.exec())
                qFatal("%s failed", qPrintable(statement));
            rows.clear();
            while (query.next()) {
                QVariantList row;
                for (int i = 0; i < query.record().count(); ++i)
                    row.append(query.value(i));
                rows.append(row);
            }
        }
    }
    QSqlDatabase::removeDatabase("test");
    return rows;
}

// Encrypts raw bytes the way a field is stored, whatever they are.
QString storedBytes(const QByteArray& plaintext)
{
    PPS cipher;
    cipher.SetCipherKey(cipher.计算密码(QString::fromUtf16(FieldPassPhrase)), FieldKeyBits);
    QByteArray ciphertext;
    return cipher.ArrayEncrypt(plaintext, ciphertext) ? QString::fromLatin1(ciphertext.toHex().toUpper())
                                                      : QString();
}

template <typename T> T value(const Result<T>& result)
{
    if (const Failure* failure = std::get_if<Failure>(&result))
        qFatal("unexpected failure: %s", qPrintable(failure->detail));
    return std::get<T>(result);
}

QString failureText(const std::optional<Failure>& failure)
{
    return failure ? failure->detail : QString();
}

template <typename T> QString failureText(const Result<T>& result)
{
    const Failure* failure = std::get_if<Failure>(&result);
    return failureText(failure ? std::optional(*failure) : std::nullopt);
}

} // namespace

class WordDatabaseTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    QString path(const QString& name) const { return dir_->filePath(name); }

    // A database with two words in unit 23.
    QString filledDatabase(const QString& name)
    {
        const QString db = path(name);
        write(path("seed.tsv"), "one\t一\ntwo\t二\n");
        if (WordDatabase::create(db) ||
            WordDatabase::importFile(db, unit23(), path("seed.tsv"), {}, false).index())
            qFatal("cannot make %s", qPrintable(db));
        return db;
    }

private slots:
    void init() { dir_ = std::make_unique<QTemporaryDir>(); }

    void resolvesUnits_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("table"); // empty: no unit
        QTest::newRow("code") << "23"
                              << "word7";
        QTest::newRow("first code") << "11"
                                    << "word1";
        QTest::newRow("last code") << "54"
                                   << "word20";
        QTest::newRow("table") << "word7"
                               << "word7";
        QTest::newRow("last table") << "word20"
                                    << "word20";
        for (const char* bad :
             {"", "10", "15", "55", "023", " 23", "7", "word0", "word21", "Word7", "word07", "word"})
            QTest::newRow(qPrintable(QStringLiteral("bad '%1'").arg(bad))) << bad << "";
    }

    void resolvesUnits()
    {
        QFETCH(QString, text);
        QFETCH(QString, table);
        const auto unit = WordDatabase::resolveUnit(text);
        QCOMPARE(unit ? unit->UnitTable : QString(), table);
    }

    void createMakesTheTwentyTables()
    {
        const QString db = path("new.db");
        QVERIFY(!WordDatabase::create(db));
        const auto tables = sql(db, {"SELECT name, sql FROM sqlite_master ORDER BY rowid"});
        QCOMPARE(tables.size(), UnitCount);
        for (int i = 0; i < UnitCount; ++i) {
            const QString table = QStringLiteral("word%1").arg(i + 1);
            QCOMPARE(tables[i][1].toString(),
                     "CREATE TABLE " + table + " (id INTEGER PRIMARY KEY, chinese TEXT, english TEXT)");
            QCOMPARE(sql(db, {"SELECT count(*) FROM " + table})[0][0].toInt(), 0);
        }
    }

    void createNeverOverwrites_data()
    {
        QTest::addColumn<bool>("database");
        QTest::newRow("word database") << true;
        QTest::newRow("other file") << false;
    }

    void createNeverOverwrites()
    {
        QFETCH(bool, database);
        const QString file = database ? filledDatabase("a.db") : path("a.db");
        if (!database)
            write(file, "not a database");
        const QByteArray before = contents(file);
        QVERIFY(failureText(WordDatabase::create(file)).contains("already exists"));
        QCOMPARE(contents(file), before);
    }

    void storedFieldsHaveTheEncodedForm_data()
    {
        QTest::addColumn<QString>("english");
        QTest::addColumn<QString>("chinese");
        QTest::newRow("short") << "apple"
                               << "苹果";
        QTest::newRow("one whole block") << "sixteen-letters!"
                                         << "八个汉字八个汉字";
        QTest::newRow("one byte over") << "seventeen letters"
                                       << "八个汉字八个汉字a";
        QTest::newRow("longest") << QString(255, u'z') << QString(127, u'长');
    }

    void storedFieldsHaveTheEncodedForm()
    {
        QFETCH(QString, english);
        QFETCH(QString, chinese);
        const QString db = path("a.db");
        QVERIFY(!WordDatabase::create(db));
        write(path("one.tsv"), (english + u'\t' + chinese).toUtf8());
        QCOMPARE(value(WordDatabase::importFile(db, unit23(), path("one.tsv"), {}, false)), 1);

        const auto rows = sql(db, {"select * from word7"});
        QCOMPARE(rows.size(), 1);
        PPS cipher;
        for (const auto& [stored, text] : {std::pair{rows[0][1], chinese}, std::pair{rows[0][2], english}}) {
            const QString field = stored.toString();
            QVERIFY2(QRegularExpression("^([0-9A-F]{32})+$").match(field).hasMatch(), qPrintable(field));
            QStringEncoder gbk("GBK");
            const QByteArray bytes = gbk.encode(text);
            QCOMPARE(field.size(), (bytes.size() + 15) / 16 * 32); // no block more than the text needs

            const auto decrypted = 解密(cipher, field, QString::fromUtf16(FieldPassPhrase), FieldKeyBits);
            QVERIFY(decrypted && decrypted->startsWith(text));
            QCOMPARE(decrypted->mid(text.size()), QString((field.size() / 2) - bytes.size(), QChar(u'\0')));
        }
    }

    void importExportImportKeepsTheRecords_data()
    {
        QTest::addColumn<QByteArray>("list");
        QTest::newRow("tsv") << QByteArray("mother\t妈妈\nfather\t爸爸\nice cream\t冰淇淋\n");
        QTest::newRow("csv with header, comments, quotes")
            << QByteArray("english,chinese\n# fruit\n\"apple, red\",苹果\n\"\"\"quoted\"\"\",\"引号, 引用\"\n"
                          "English,chinese\n");
        QTest::newRow("long fields") << (QByteArray(255, 'x') + ',' + QString(127, u'长').toUtf8() +
                                         "\nC#,#号\n");
    }

    void importExportImportKeepsTheRecords()
    {
        QFETCH(QByteArray, list);
        write(path("list.txt"), list);
        const auto expected = WordFile::parse(list, "list.txt", {}).words;
        const QString first = path("first.db");
        const QString second = path("second.db");
        QVERIFY(!WordDatabase::create(first) && !WordDatabase::create(second));
        value(WordDatabase::importFile(first, unit23(), path("list.txt"), {}, false));
        const QByteArray exported = value(WordDatabase::exportUnit(first, unit23())).text;
        write(path("exported.tsv"), exported);
        value(WordDatabase::importFile(second, unit23(), path("exported.tsv"), {}, false));

        QCOMPARE(value(WordDatabase::readUnit(first, unit23())), expected);
        QCOMPARE(value(WordDatabase::readUnit(second, unit23())), expected);
        QCOMPARE(sql(second, {"select * from word7"}), sql(first, {"select * from word7"}));
        QCOMPARE(value(WordDatabase::exportUnit(second, unit23())).text, exported);
    }

    void replaceEmptiesTheUnitFirst_data()
    {
        QTest::addColumn<bool>("replace");
        QTest::addColumn<QStringList>("english");
        QTest::newRow("append") << false << QStringList{"one", "two", "three"};
        QTest::newRow("replace") << true << QStringList{"three"};
    }

    void replaceEmptiesTheUnitFirst()
    {
        QFETCH(bool, replace);
        QFETCH(QStringList, english);
        const QString db = filledDatabase("a.db");
        write(path("more.tsv"), "three\t三\n");
        value(WordDatabase::importFile(db, unit23(), path("more.tsv"), {}, replace));
        QStringList words;
        for (const Word& word : value(WordDatabase::readUnit(db, unit23())))
            words.append(word.english);
        QCOMPARE(words, english);
    }

    // Readers take the prompt and the answer by position; so does every insert, whatever the names.
    void importsIntoColumnsByPosition()
    {
        const QString db = path("a.db");
        sql(db, {"CREATE TABLE word7 (n INTEGER PRIMARY KEY, meaning TEXT, word TEXT, note TEXT)"});
        write(path("list.tsv"), "three\t三\n");
        QCOMPARE(value(WordDatabase::importFile(db, unit23(), path("list.tsv"), {}, false)), 1);
        QCOMPARE(value(WordDatabase::readUnit(db, unit23())), (std::vector<Word>{{"three", "三"}}));
    }

    void unitHoldsAtMost100000Words()
    {
        const QString db = filledDatabase("a.db");
        const QByteArray before = contents(db);
        const std::vector<Word> words(WordFile::MaxUnitWords - 1, Word{"w", "词"});
        QVERIFY(failureText(WordDatabase::addWords(db, unit23(), words, false))
                    .contains("more than the 100,000"));
        QCOMPARE(contents(db), before);
    }

    void badImportChangesNothing_data()
    {
        QTest::addColumn<QByteArray>("list");
        QTest::addColumn<QList<int>>("badLines");
        QTest::newRow("empty field") << QByteArray("apple\t苹果\nbook\t\n") << QList<int>{2};
        QTest::newRow("emoji") << QByteArray("smile,😀\n") << QList<int>{1};
        QTest::newRow("unterminated quote") << QByteArray("a,甲\n\"b,乙\nc,丙\n") << QList<int>{2};
        QTest::newRow("over-long field") << ("x," + QString(128, u'长').toUtf8()) << QList<int>{1};
        QTest::newRow("wrong field count") << QByteArray("a\t甲\nb\n\nc\t丙\td\n") << QList<int>{2, 4};
        QTest::newRow("several") << QByteArray("# c\n,甲\nok,好\n😀,乙\n\"x,丙\n") << QList<int>{2, 4, 5};
    }

    void badImportChangesNothing()
    {
        QFETCH(QByteArray, list);
        QFETCH(QList<int>, badLines);
        const QString db = filledDatabase("a.db");
        const QByteArray before = contents(db);
        const QString file = path("list.txt");
        write(file, list);
        for (const bool replace : {false, true}) {
            const QString text = failureText(WordDatabase::importFile(db, unit23(), file, {}, replace));
            QCOMPARE(text.count(file + u':'), badLines.size());
            for (const int line : badLines)
                QVERIFY2(text.contains(QStringLiteral("%1:%2: ").arg(file).arg(line)), qPrintable(text));
            QCOMPARE(contents(db), before);
        }
    }

    void importNeedsAWordDatabase_data()
    {
        QTest::addColumn<QByteArray>("file"); // "missing": no file at all
        QTest::addColumn<QString>("message");
        QTest::newRow("missing") << QByteArray("missing") << "create";
        QTest::newRow("not a database") << QByteArray("hello\n") << "not an SQLite database";
        QTest::newRow("no unit table") << QByteArray() << "has no table word7";
    }

    void importNeedsAWordDatabase()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, message);
        const QString db = path("a.db");
        if (file.isEmpty())
            sql(db, {"CREATE TABLE other (x)"});
        else if (file != "missing")
            write(db, file);
        const QByteArray before = contents(db);
        write(path("list.tsv"), "a\t甲\n");
        QVERIFY(failureText(WordDatabase::importFile(db, unit23(), path("list.tsv"), {}, false))
                    .contains(message));
        QCOMPARE(QFileInfo::exists(db), file != "missing");
        QCOMPARE(contents(db), before);
    }

    // The spellings of a field that the study window reads, and the damage that it shows wrong.
    void fieldsAsTheStudyWindowShowsThem_data()
    {
        QTest::addColumn<QVariant>("english");
        QTest::addColumn<QString>("shown");   // in the study window, so in the export
        QTest::addColumn<QString>("finding"); // empty: none
        QTest::addColumn<QString>("note");    // empty: none
        QTest::addColumn<bool>("exports");
        const QString apple = *encodeField("apple");
        QString wide; // every digit in a character whose low byte is that digit
        for (const QChar c : apple)
            wide += QChar(char16_t(0x100 + c.unicode()));
        QString spaced;
        for (qsizetype i = 0; i < apple.size(); i += 2)
            spaced += apple.mid(i, 2) + u' ';

        QTest::newRow("canonical") << QVariant(apple) << "apple"
                                   << ""
                                   << "" << true;
        QTest::newRow("lower-case digits") << QVariant(apple.toLower()) << "apple"
                                           << ""
                                           << "lower-case digits" << true;
        QTest::newRow("blanks between pairs") << QVariant(spaced) << "apple"
                                              << ""
                                              << "separators or blanks" << true;
        QTest::newRow("hyphen inside a pair") << QVariant(apple.left(1) + u'-' + apple.mid(1)) << "apple"
                                              << ""
                                              << "separators or blanks" << true;
        QTest::newRow("leading blanks, trailing CRLF") << QVariant("  " + apple + "\r\n") << "apple"
                                                       << ""
                                                       << "separators or blanks" << true;
        QTest::newRow("odd last digit") << QVariant(apple + u'F') << "apple"
                                        << ""
                                        << "an odd last digit" << true;
        QTest::newRow("digits by their low byte") << QVariant(wide) << "apple"
                                                  << ""
                                                  << "outside ASCII" << true;
        QTest::newRow("null") << QVariant() << ""
                              << "Null"
                              << "" << true;
        QTest::newRow("no digit pair") << QVariant("XYZ7") << ""
                                       << "no complete pair of hexadecimal digits"
                                       << "separators or blanks" << true;
        QTest::newRow("31 digits") << QVariant(apple.chopped(1)) << ""
                                   << "15 bytes, not a whole number of 16-byte blocks"
                                   << "an odd last digit" << true;
        QTest::newRow("17 bytes") << QVariant(apple + "AB") << ""
                                  << "17 bytes, not a whole number of 16-byte blocks"
                                  << "" << true;
        QTest::newRow("empty text") << QVariant(storedBytes(QByteArray(16, '\0'))) << ""
                                    << "empty once decrypted"
                                    << "" << true;
        QTest::newRow("65,536 characters") << QVariant(*encodeField(QString(65536, u'a'))) << ""
                                           << "65,536 characters or more once decrypted"
                                           << "" << true;
        QTest::newRow("not GBK") << QVariant(storedBytes(QByteArray("a\x81 b").leftJustified(16, '\0')))
                                 << "a\uFFFD b"
                                 << "not valid GBK once decrypted"
                                 << "" << true;
        QTest::newRow("lead byte at the very end") << QVariant(storedBytes(QByteArray(15, 'a') + '\xA1'))
                                                   << QString(15, u'a') << "not valid GBK once decrypted"
                                                   << "" << true;
        QTest::newRow("sound but not for tsv") << QVariant(*encodeField("#tag")) << "#tag"
                                               << ""
                                               << "" << false;
    }

    void fieldsAsTheStudyWindowShowsThem()
    {
        QFETCH(QVariant, english);
        QFETCH(QString, shown);
        QFETCH(QString, finding);
        QFETCH(QString, note);
        QFETCH(bool, exports);
        const QString db = filledDatabase("a.db");
        sql(db, {"INSERT INTO word7 (id, chinese, english) VALUES (7, ?, ?)"},
            {*encodeField("苹果"), english});
        const QString field = "unit 23 (word7) row 7, english: ";

        const auto report = value(WordDatabase::check(db));
        QCOMPARE(report.records, 3);
        QCOMPARE(report.findings, finding.isEmpty() ? QStringList{} : QStringList{field + finding});
        QCOMPARE(report.notes.size(), note.isEmpty() ? 0 : 1);
        QVERIFY(note.isEmpty() || (report.notes[0].startsWith(field) && report.notes[0].contains(note)));

        QCOMPARE(value(WordDatabase::readUnit(db, unit23())).back(), (Word{shown, "苹果"}));
        const auto exported = WordDatabase::exportUnit(db, unit23());
        QCOMPARE(failureText(exported).isEmpty(), exports);
        if (!exports) {
            QVERIFY(failureText(exported).startsWith("unit 23 (word7) row 7"));
            return;
        }
        // The rest of the unit goes out too; the damaged field as it is shown, and reported.
        QCOMPARE(value(exported).text, "one\t一\ntwo\t二\n" + (shown + "\t苹果\n").toUtf8());
        QCOMPARE(value(exported).problems, report.findings);
    }

    void missingTableIsReported()
    {
        const QString db = filledDatabase("a.db");
        // Table names are not case-sensitive in SQLite: "Word7" is the table word7.
        sql(db, {"DROP TABLE word20", "ALTER TABLE word7 RENAME TO t", "ALTER TABLE t RENAME TO Word7"});
        QCOMPARE(value(WordDatabase::check(db)).findings, QStringList{"unit 54 (word20): table missing"});
        for (const auto& count : value(WordDatabase::countWords(db)))
            QCOMPARE(count.words, count.unit.UnitTable == "word20"  ? std::nullopt
                                  : count.unit.UnitTable == "word7" ? std::optional(2)
                                                                    : std::optional(0));
    }

    void importAllBuildsWholeOrNothing_data()
    {
        QTest::addColumn<QString>("damage"); // a code: which list to spoil
        QTest::addColumn<QByteArray>("list");
        QTest::addColumn<bool>("existing");
        QTest::addColumn<bool>("force");
        QTest::addColumn<QString>("message"); // empty: success
        QTest::newRow("new") << "" << QByteArray() << false << false << "";
        QTest::newRow("replaced") << "" << QByteArray() << true << true << "";
        QTest::newRow("existing kept") << "" << QByteArray() << true << false << "already exists";
        QTest::newRow("missing list") << "32" << QByteArray("missing") << false << false << "32.tsv: missing";
        QTest::newRow("bad line") << "41" << QByteArray("a\t甲\nb\t乙\nc\n") << false << false
                                  << "41.tsv:3: ";
        QTest::newRow("bad line, existing") << "41" << QByteArray("a\t😀\n") << true << true << "41.tsv:1: ";
        QTest::newRow("no words") << "54" << QByteArray("# none yet\n") << false << false
                                  << "54.tsv: no words";
    }

    void importAllBuildsWholeOrNothing()
    {
        QFETCH(QString, damage);
        QFETCH(QByteArray, list);
        QFETCH(bool, existing);
        QFETCH(bool, force);
        QFETCH(QString, message);
        QVERIFY(QDir(dir_->path()).mkpath("lists") && QDir(dir_->path()).mkpath("out"));
        for (const UnitRow& unit : UnitCatalogue())
            write(path("lists/" + unit.UnitCode + ".tsv"),
                  ("a" + unit.UnitCode + "\t甲\nb\t" + unit.caption).toUtf8());
        if (damage.isEmpty()) {
        } else if (list == "missing") {
            QVERIFY(QFile::remove(path("lists/" + damage + ".tsv")));
        } else {
            write(path("lists/" + damage + ".tsv"), list);
        }
        const QString db = path("out/MyDatas.db");
        if (existing)
            write(db, "an older database");
        const QByteArray before = contents(db);

        const auto result = WordDatabase::importAll(db, path("lists"), force);
        QVERIFY2(failureText(result).contains(message), qPrintable(failureText(result)));
        QCOMPARE(QDir(path("out")).entryList(QDir::Files | QDir::Hidden),
                 existing || message.isEmpty() ? QStringList{"MyDatas.db"} : QStringList{});
        if (!message.isEmpty()) {
            QCOMPARE(contents(db), before);
            return;
        }
        QCOMPARE(value(result), 2 * UnitCount);
        QCOMPARE(value(WordDatabase::check(db)).findings, QStringList{});
        for (const UnitRow& unit : UnitCatalogue())
            QCOMPARE(value(WordDatabase::readUnit(db, unit)),
                     (std::vector<Word>{{"a" + unit.UnitCode, "甲"}, {"b", unit.caption}}));
    }
};

QTEST_GUILESS_MAIN(WordDatabaseTest)
#include "tst_worddatabase.moc"
