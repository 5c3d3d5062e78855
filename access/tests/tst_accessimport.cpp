// SPDX-License-Identifier: GPL-3.0-or-later
#include "AccessFile.h"
#include "AccessImport.h"
#include "FieldCipher.h"
#include "TestSupport.h"
#include "WordStore.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString Fixtures = TestSupport::fixture(QStringLiteral("mdb"));

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A word database whose every unit but `without` holds one record, ("prompt <table>", "answer <table>").
bool makeDatabase(const QString& file, const QString& without = {})
{
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "maker");
        db.setDatabaseName(file);
        ok = db.open() && db.transaction();
        QSqlQuery query(db);
        for (const UnitRow& unit : UnitCatalogue()) {
            if (ok && unit.UnitTable != without)
                ok = query.exec(WordStore::createTableStatement(unit.UnitTable)) &&
                     query.exec(QStringLiteral("INSERT INTO %1 (chinese, english) VALUES ('prompt %1', "
                                               "'answer %1')")
                                    .arg(unit.UnitTable));
        }
        ok = ok && db.commit();
    }
    QSqlDatabase::removeDatabase("maker");
    return ok;
}

QList<QStringList> rows(const QString& file, const QString& table)
{
    QList<QStringList> result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "reader");
        db.setDatabaseName(file);
        db.open();
        QSqlQuery query(QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(table), db);
        while (query.next())
            result.append({query.value(1).toString(), query.value(2).toString()});
    }
    QSqlDatabase::removeDatabase("reader");
    return result;
}

// The stored fields of the word12 samples, in Access's order, and what the learner sees of them.
const QList<QStringList> Word12 = {{"开始（b）", "begin"},  {"冰淇淋", "ice cream"}, {"图书馆", "library"},
                                   {"星期三", "Wednesday"}, {"老师", "teacher"},     {"学生", "student"},
                                   {"铅笔", "pencil"}};

QList<QStringList> shown(const QList<QStringList>& stored)
{
    PPS cipher;
    QList<QStringList> words;
    for (const QStringList& record : stored)
        words.append(QStringList{textShown(cipher, record.value(0)), textShown(cipher, record.value(1))});
    return words;
}

// A stand-in for the Access reader: a shell script.
QString fakeReader(const QTemporaryDir& dir, const QString& body)
{
    const QString path = dir.filePath("reader.sh");
    if (!write(path, "#!/bin/sh\n" + body.toUtf8() + '\n') ||
        !QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ExeOwner))
        return {};
    return path;
}

// The sample with one more table renamed in place, in its catalogue's UTF-16 text.
QByteArray renamed(const QString& fixture, const QString& from, const QString& to)
{
    const auto utf16 = [](const QString& text) {
        return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    };
    return contents(Fixtures + u'/' + fixture).replace(utf16(from), utf16(to));
}

} // namespace

class TestAccessImport : public QObject {
    Q_OBJECT
private slots:
    void readsThroughTheDatabasePassword();
    void replacesTheUnitsOfTheFileVerbatim();
    void readsRecordsAsAccessDoes_data();
    void readsRecordsAsAccessDoes();
    void leavesOutATableWithoutWords();
    void failureLeavesTheDatabaseUnchanged_data();
    void failureLeavesTheDatabaseUnchanged();
};

void TestAccessImport::readsThroughTheDatabasePassword()
{
    auto opened = AccessFile::open(Fixtures + QStringLiteral("/word11-with-password.mdb"));
    QVERIFY(std::holds_alternative<std::unique_ptr<AccessFile>>(opened));
    const auto& file = *std::get<std::unique_ptr<AccessFile>>(opened);
    QCOMPARE(file.tableNames(), QStringList{"word11"});
    auto read = file.read("word11", {1, 0, 2});
    QVERIFY(std::holds_alternative<AccessFile::Table>(read));
    const auto& table = std::get<AccessFile::Table>(read);
    QCOMPARE(table.columnCount, 2);
    const std::vector<QVariantList> expected{{"One", "1"}, {"Two", "2"}, {"Three", "3"}};
    QCOMPARE(table.records, expected);
}

void TestAccessImport::replacesTheUnitsOfTheFileVerbatim()
{
    QTemporaryDir dir;
    const QString access = dir.filePath("old.mdb");
    const QString database = dir.filePath("MyDatas.db");
    // The table's name in capitals, as Access allows.
    QVERIFY(write(access, renamed("word12-overflow.mdb", "word12", "WORD12")));
    QVERIFY(makeDatabase(database));

    const auto result = AccessImport::importWordTables(access, database);
    if (const auto* failure = std::get_if<Failure>(&result))
        QFAIL(qPrintable(failure->detail));
    const auto& units = std::get<AccessImport::Imported>(result).units;
    QCOMPARE(units.size(), size_t(1));
    QCOMPARE(units[0].unit.UnitTable, QStringLiteral("word12"));
    QCOMPARE(units[0].words, 7);

    // Columns 1 and 2 of the file as stored, blanks and all; the other units as they were.
    const QList<QStringList> stored = rows(database, "word12");
    QCOMPARE(stored.value(0),
             (QStringList{"D3083D6556FC036F9387D06AB5A1A172", "C5204CA12D88DF7DC292069A68B775A4"}));
    QCOMPARE(stored.value(3).value(0), " 86 49 49 CB C2 44 21 F8 B0 6D 9A 87 F1 94 C4 C3 ");
    QCOMPARE(rows(database, "word13"), (QList<QStringList>{{"prompt word13", "answer word13"}}));
}

void TestAccessImport::readsRecordsAsAccessDoes_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QList<QStringList>>("words");
    // Records 3 and 5 lie on other pages than their home rows.
    QTest::newRow("overflow rows where their home rows stand") << "word12-overflow.mdb" << Word12;
    QList<QStringList> deleted = Word12;
    deleted.removeAt(4);
    QTest::newRow("a deleted overflow row left out") << "word12-deleted-overflow.mdb" << deleted;
}

void TestAccessImport::readsRecordsAsAccessDoes()
{
    QFETCH(QString, fixture);
    QFETCH(QList<QStringList>, words);
    QTemporaryDir dir;
    const QString database = dir.filePath("MyDatas.db");
    QVERIFY(makeDatabase(database));
    const auto result = AccessImport::importWordTables(Fixtures + u'/' + fixture, database);
    if (const auto* failure = std::get_if<Failure>(&result))
        QFAIL(qPrintable(failure->detail));
    QCOMPARE(shown(rows(database, "word12")), words);
}

// A table whose fields are not enciphered text holds no words of this program; the others come over.
void TestAccessImport::leavesOutATableWithoutWords()
{
    QTemporaryDir dir;
    const QString access = dir.filePath("old.mdb");
    const QString database = dir.filePath("MyDatas.db");
    // Table2 (89 columns, no records) becomes a second word table.
    QVERIFY(write(access, renamed("word11-jet4.mdb", "Table2", "WORD12")));
    QVERIFY(makeDatabase(database));

    const auto result = AccessImport::importWordTables(access, database);
    if (const auto* failure = std::get_if<Failure>(&result))
        QFAIL(qPrintable(failure->detail));
    const auto& imported = std::get<AccessImport::Imported>(result);
    QCOMPARE(imported.refused, QStringList{"word11"});
    QCOMPARE(imported.units.size(), size_t(1));
    QCOMPARE(imported.units[0].unit.UnitTable, QStringLiteral("WORD12").toLower());
    QCOMPARE(rows(database, "word11"), (QList<QStringList>{{"prompt word11", "answer word11"}}));
    QCOMPARE(rows(database, "word12"), QList<QStringList>{});
}

void TestAccessImport::failureLeavesTheDatabaseUnchanged_data()
{
    QTest::addColumn<QString>("fixture"); // the Access file: a sample, "missing" or "text"
    QTest::addColumn<int>("keptBytes");   // the sample cut after so many bytes; 0 keeps it whole
    QTest::addColumn<int>("damagedByte"); // the offset of a byte set to 0x80; -1 for none
    QTest::addColumn<QString>("reader");  // a shell script standing in for the reader; empty: the reader
    QTest::addColumn<QString>("without"); // a unit table that the word database lacks
    QTest::addColumn<QString>("detail");  // a part of the message for stderr
    QTest::addColumn<QString>("reason");  // a part of the learner's message
    QTest::addColumn<bool>("damaged");    // a failure of kind ReadFailed

    QTest::newRow("missing") << "missing" << 0 << -1 << ""
                             << ""
                             << "old.mdb does not exist"
                             << "找不到" << false;
    QTest::newRow("not an Access file") << "text" << 0 << -1 << ""
                                        << ""
                                        << "old.mdb is not an Access database"
                                        << "不是 Access" << false;
    QTest::newRow("no word tables") << "no-tables.mdb" << 0 << -1 << ""
                                    << ""
                                    << "old.mdb has none of the word tables"
                                    << "没有单词表" << false;
    QTest::newRow("two columns, behind a password") << "word11-with-password.mdb" << 0 << -1 << ""
                                                    << ""
                                                    << "old.mdb: table word11 has 2 column(s)"
                                                    << "只有 2 列" << false;
    QTest::newRow("no enciphered field") << "word11-jet4.mdb" << 0 << -1 << ""
                                         << ""
                                         << "not one field of word11 is enciphered"
                                         << "没有一个加密的单词" << false;
    // The sample's records lie on page 27; its catalogue and table definitions before.
    QTest::newRow("damaged halfway") << "word11-jet4.mdb" << 26 * 4096 << -1 << ""
                                     << ""
                                     << "old.mdb: table word11: read 0 of its 2 records"
                                     << "读取出错" << true;
    QTest::newRow("unit table missing in the database") << "word12-overflow.mdb" << 0 << -1 << ""
                                                        << "word12"
                                                        << "there is no table word12"
                                                        << "无法写入" << false;
    // Files on which libmdb crashes, loops for ever, or loops printing without end.
    QTest::newRow("a usage map pointer that crashes libmdb")
        << "word11-with-password.mdb" << 0 << 0x2d037 << ""
        << ""
        << "old.mdb: table word11: the table's usage map"
        << "读取出错" << true;
    QTest::newRow("a file cut where libmdb loops") << "word11-with-password.mdb" << 248512 << -1 << ""
                                                   << ""
                                                   << "old.mdb: the Access reader"
                                                   << "文件已损坏" << true;
    QTest::newRow("a file cut where libmdb loops and warns") << "word11-jet4.mdb" << 2891776 << -1 << ""
                                                             << ""
                                                             << "old.mdb: the Access reader"
                                                             << "文件已损坏" << true;
    // Whatever the reader does, this process reports it.
    QTest::newRow("reader crashes") << "word12-overflow.mdb" << 0 << -1 << "kill -SEGV $$"
                                    << ""
                                    << "the Access reader stopped with signal 11"
                                    << "文件已损坏，读取时出错中止" << true;
    QTest::newRow("reader writes garbage") << "word12-overflow.mdb" << 0 << -1 << "echo hello"
                                           << ""
                                           << "gave output not in its format"
                                           << "文件已损坏，读出的内容无法识别" << true;
    QTest::newRow("reader writes without end") << "word12-overflow.mdb" << 0 << -1 << "yes; yes >&2"
                                               << ""
                                               << "wrote more than"
                                               << "文件已损坏，读出的内容过多" << true;
    QTest::newRow("reader hangs, printing warnings") << "word12-overflow.mdb" << 0 << -1 << "yes warning >&2"
                                                     << ""
                                                     << "did not finish within 4 s and was stopped; it wrote"
                                                     << "4 秒内未能读完" << true;
}

void TestAccessImport::failureLeavesTheDatabaseUnchanged()
{
    QFETCH(QString, fixture);
    QFETCH(int, keptBytes);
    QFETCH(int, damagedByte);
    QFETCH(QString, reader);
    QFETCH(QString, without);
    QFETCH(QString, detail);
    QFETCH(QString, reason);
    QFETCH(bool, damaged);

    QTemporaryDir dir;
    const QString access = dir.filePath("old.mdb");
    if (fixture == "text") {
        QVERIFY(write(access, "english,chinese\napple,苹果\n"));
    } else if (fixture != "missing") {
        QByteArray bytes = contents(Fixtures + u'/' + fixture);
        if (keptBytes)
            bytes.truncate(keptBytes);
        if (damagedByte >= 0)
            bytes[damagedByte] = char(0x80);
        QVERIFY(write(access, bytes));
    }
    const QString database = dir.filePath("MyDatas.db");
    QVERIFY(makeDatabase(database, without));
    const QByteArray before = contents(database);
    const QByteArray accessBefore = contents(access);

    const auto result = reader.isEmpty()
                            ? AccessImport::importWordTables(access, database)
                            : AccessImport::importWordTables(access, database, fakeReader(dir, reader));
    QVERIFY(std::holds_alternative<Failure>(result));
    const auto& failure = std::get<Failure>(result);
    QVERIFY2(failure.detail.contains(detail), qPrintable(failure.detail));
    QVERIFY2(failure.message.contains(reason), qPrintable(failure.message));
    QCOMPARE(failure.kind == Failure::Kind::ReadFailed, damaged);
    QCOMPARE(contents(database), before);
    QCOMPARE(contents(access), accessBefore);
}

QTEST_GUILESS_MAIN(TestAccessImport)
#include "tst_accessimport.moc"
