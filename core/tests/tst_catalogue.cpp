// SPDX-License-Identifier: GPL-3.0-or-later
#include "Catalogue.h"

#include <QSet>
#include <QtTest>
#include <iterator>

class UnitCatalogueTest : public QObject {
    Q_OBJECT

private slots:
    void rows_data();
    void rows();
    void lookups_data();
    void lookups();
    void unknownUnits_data();
    void unknownUnits();
    void nothingTwice();
};

void UnitCatalogueTest::rows_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("unit");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("table");

    // Code order: level by level, the table numbered by the place in the course.
    const struct {
        const char* caption;
        int level;
        int unit;
        const char* code;
        const char* table;
    } expected[] = {
        {"一级1单元", 1, 1, "11", "word1"},  {"一级2单元", 1, 2, "12", "word2"},
        {"一级3单元", 1, 3, "13", "word3"},  {"一级4单元", 1, 4, "14", "word4"},
        {"二级1单元", 2, 1, "21", "word5"},  {"二级2单元", 2, 2, "22", "word6"},
        {"二级3单元", 2, 3, "23", "word7"},  {"二级4单元", 2, 4, "24", "word8"},
        {"三级1单元", 3, 1, "31", "word9"},  {"三级2单元", 3, 2, "32", "word10"},
        {"三级3单元", 3, 3, "33", "word11"}, {"三级4单元", 3, 4, "34", "word12"},
        {"四级1单元", 4, 1, "41", "word13"}, {"四级2单元", 4, 2, "42", "word14"},
        {"四级3单元", 4, 3, "43", "word15"}, {"四级4单元", 4, 4, "44", "word16"},
        {"五级1单元", 5, 1, "51", "word17"}, {"五级2单元", 5, 2, "52", "word18"},
        {"五级3单元", 5, 3, "53", "word19"}, {"五级4单元", 5, 4, "54", "word20"},
    };
    static_assert(std::size(expected) == UnitCount);
    int index = 0;
    for (const auto& row : expected) {
        QTest::newRow(row.code) << index++ << QString::fromUtf8(row.caption) << row.level << row.unit
                                << row.code << row.table;
    }
}

void UnitCatalogueTest::rows()
{
    QFETCH(int, index);
    QFETCH(QString, caption);
    QFETCH(int, level);
    QFETCH(int, unit);
    QFETCH(QString, code);
    QFETCH(QString, table);

    const UnitRow& row = UnitCatalogue().at(index);
    QCOMPARE(row.caption, caption);
    QCOMPARE(row.level, level);
    QCOMPARE(row.unit, unit);
    QCOMPARE(row.UnitCode, code);
    QCOMPARE(row.UnitTable, table);
}

void UnitCatalogueTest::lookups_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("table");

    QTest::newRow("first") << "11"
                           << "word1";
    QTest::newRow("level 2 unit 1") << "21"
                                    << "word5";
    QTest::newRow("level 3 unit 4") << "34"
                                    << "word12";
    QTest::newRow("level 4 unit 1") << "41"
                                    << "word13";
    QTest::newRow("last") << "54"
                          << "word20";
}

void UnitCatalogueTest::lookups()
{
    QFETCH(QString, code);
    QFETCH(QString, table);

    const std::optional<UnitRow> byCode = unitByCode(code);
    QVERIFY(byCode);
    QCOMPARE(byCode->UnitTable, table);

    const std::optional<UnitRow> byTable = unitByTable(table);
    QVERIFY(byTable);
    QCOMPARE(byTable->UnitCode, code);
}

void UnitCatalogueTest::unknownUnits_data()
{
    QTest::addColumn<QString>("name");

    QTest::newRow("empty") << "";
    QTest::newRow("unit 5") << "15";
    QTest::newRow("unit 0") << "20";
    QTest::newRow("level 6") << "61";
    QTest::newRow("padded code") << " 11";
    QTest::newRow("word0") << "word0";
    QTest::newRow("word21") << "word21";
    QTest::newRow("upper case table") << "WORD1";
}

void UnitCatalogueTest::unknownUnits()
{
    QFETCH(QString, name);
    QCOMPARE(unitByCode(name).has_value(), false);
    QCOMPARE(unitByTable(name).has_value(), false);
}

void UnitCatalogueTest::nothingTwice()
{
    QSet<QString> codes;
    QSet<QString> tables;
    QSet<QString> captions;
    for (const UnitRow& row : UnitCatalogue()) {
        codes.insert(row.UnitCode);
        tables.insert(row.UnitTable);
        captions.insert(row.caption);
    }
    QCOMPARE(codes.size(), UnitCount);
    QCOMPARE(tables.size(), UnitCount);
    QCOMPARE(captions.size(), UnitCount);
}

QTEST_GUILESS_MAIN(UnitCatalogueTest)
#include "tst_catalogue.moc"
