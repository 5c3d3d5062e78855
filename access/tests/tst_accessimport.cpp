#include "AccessFile.h"
#include "AccessImport.h"
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
    // Table2 (89 columns, no records) becomes a second word table, its name in capitals as Access allows.
    QVERIFY(write(access, renamed("word11-jet4.mdb", "Table2", "WORD12")));
    QVERIFY(makeDatabase(database));

    const auto result = AccessImport::importWordTables(access, database);
    if (const auto* failure = std::get_if<Failure>(&result))
        QFAIL(qPrintable(failure->detail));
    const auto& units = std::get<std::vector<AccessImport::ImportedUnit>>(result);
    QCOMPARE(units.size(), size_t(2));
    QCOMPARE(units[0].unit.UnitTable, QStringLiteral("word11"));
    QCOMPARE(units[0].words, 2);
    QCOMPARE(units[1].unit.UnitTable, QStringLiteral("word12"));
    QCOMPARE(units[1].words, 0);

    // Columns 1 and 2 of the file, B and C, as stored; the other units as they were.
    QCOMPARE(rows(database, "word11"), (QList<QStringList>{{"hijklmnop", "2"}, {"b", "0"}}));
    QCOMPARE(rows(database, "word12"), QList<QStringList>{});
    QCOMPARE(rows(database, "word13"), (QList<QStringList>{{"prompt word13", "answer word13"}}));
}

void TestAccessImport::failureLeavesTheDatabaseUnchanged_data()
{
    QTest::addColumn<QString>("fixture"); // the Access file: a sample, "missing" or "text"
    QTest::addColumn<int>("keptPages");   // the sample cut after so many pages; 0 keeps it whole
    QTest::addColumn<QString>("without"); // a unit table that the word database lacks
    QTest::addColumn<QString>("detail");  // a part of the message for stderr
    QTest::addColumn<QString>("reason");  // a part of the learner's message

    QTest::newRow("missing") << "missing" << 0 << ""
                             << "old.mdb does not exist"
                             << "找不到";
    QTest::newRow("not an Access file") << "text" << 0 << ""
                                        << "old.mdb is not an Access database"
                                        << "不是 Access";
    QTest::newRow("no word tables") << "no-tables.mdb" << 0 << ""
                                    << "old.mdb has none of the word tables"
                                    << "没有单词表";
    QTest::newRow("two columns, behind a password") << "word11-with-password.mdb" << 0 << ""
                                                    << "old.mdb: table word11 has 2 column(s)"
                                                    << "只有 2 列";
    // The sample's records lie on page 27; its catalogue and table definitions before.
    QTest::newRow("damaged halfway") << "word11-jet4.mdb" << 26 << ""
                                     << "old.mdb: table word11: read 0 of its 2 records"
                                     << "读取出错";
    QTest::newRow("unit table missing in the database") << "word11-jet4.mdb" << 0 << "word11"
                                                        << "there is no table word11"
                                                        << "无法写入";
}

void TestAccessImport::failureLeavesTheDatabaseUnchanged()
{
    QFETCH(QString, fixture);
    QFETCH(int, keptPages);
    QFETCH(QString, without);
    QFETCH(QString, detail);
    QFETCH(QString, reason);

    QTemporaryDir dir;
    const QString access = dir.filePath("old.mdb");
    if (fixture == "text")
        QVERIFY(write(access, "english,chinese\napple,苹果\n"));
    else if (fixture != "missing")
        QVERIFY(write(access, keptPages ? contents(Fixtures + u'/' + fixture).left(keptPages * 4096)
                                        : contents(Fixtures + u'/' + fixture)));
    const QString database = dir.filePath("MyDatas.db");
    QVERIFY(makeDatabase(database, without));
    const QByteArray before = contents(database);

    const auto result = AccessImport::importWordTables(access, database);
    QVERIFY(std::holds_alternative<Failure>(result));
    const auto& failure = std::get<Failure>(result);
    QVERIFY2(failure.detail.contains(detail), qPrintable(failure.detail));
    QVERIFY2(failure.message.contains(reason), qPrintable(failure.message));
    QCOMPARE(contents(database), before);
}

QTEST_GUILESS_MAIN(TestAccessImport)
#include "tst_accessimport.moc"
