// SPDX-License-Identifier: GPL-3.0-or-later
#include "FieldCipher.h"
#include "WordStore.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUuid>
#include <QtTest>
#include <cstdio>
#include <functional>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Kind = Failure::Kind;

// A connection of the test's own, beside the one the store opens.
class Sql {
public:
    explicit Sql(const QString& file) : name_(QUuid::createUuid().toString())
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
        db.setDatabaseName(file);
        db.open();
    }
    ~Sql()
    {
        QSqlDatabase::database(name_, false).close();
        QSqlDatabase::removeDatabase(name_);
    }
    Sql(const Sql&) = delete;
    Sql& operator=(const Sql&) = delete;

    bool run(const QString& statement)
    {
        QSqlQuery query(QSqlDatabase::database(name_, false));
        if (query.exec(statement))
            return true;
        qWarning("%s: %s", qPrintable(statement), qPrintable(query.lastError().text()));
        return false;
    }
    QVariant value(const QString& statement)
    {
        QSqlQuery query(QSqlDatabase::database(name_, false));
        return query.exec(statement) && query.next() ? query.value(0) : QVariant();
    }

private:
    QString name_;
};

QString word(int number)
{
    return QStringLiteral("word%1").arg(number);
}

// A unit table in the stored form with `records` words: id k, "词k" and "wk", both encrypted.
bool createUnit(const QString& file, const QString& table, int records)
{
    Sql sql(file);
    if (!sql.run(QStringLiteral("CREATE TABLE %1 (id INTEGER PRIMARY KEY, chinese TEXT, english TEXT)")
                     .arg(table)) ||
        !sql.run(QStringLiteral("BEGIN")))
        return false;
    for (int k = 1; k <= records; ++k) {
        const auto chinese = encodeField(QStringLiteral("词%1").arg(k));
        const auto english = encodeField(QStringLiteral("w%1").arg(k));
        if (!chinese || !english ||
            !sql.run(QStringLiteral("INSERT INTO %1 VALUES (%2, '%3', '%4')")
                         .arg(table)
                         .arg(k)
                         .arg(*chinese, *english)))
            return false;
    }
    return sql.run(QStringLiteral("COMMIT"));
}

int rowsInFile(const QString& file, const QString& table)
{
    Sql sql(file);
    const QVariant count = sql.value(QStringLiteral("SELECT count(*) FROM %1").arg(table));
    return count.isValid() ? count.toInt() : -1;
}

// The plain word of the current record's english field, "-" without a current record.
QString currentWord(const Recordset& records)
{
    const std::optional<QString> field = records.Field(2);
    if (!field)
        return QStringLiteral("-");
    PPS cipher;
    return textBeforeNul(解密(cipher, *field, QStringLiteral("qv274"), 128).value_or(QStringLiteral("?")));
}

QString state(const Recordset& records)
{
    return QStringLiteral("%1/%2 %3")
        .arg(records.AbsolutePosition())
        .arg(records.RecordCount())
        .arg(currentWord(records));
}

std::unique_ptr<Recordset> openUnit(const QString& file, const QString& table)
{
    auto opened = WordStore::open(file, table);
    if (auto* failure = std::get_if<Failure>(&opened)) {
        qWarning("open %s: %s", qPrintable(table), qPrintable(failure->detail));
        return nullptr;
    }
    return std::move(std::get<std::unique_ptr<Recordset>>(opened));
}

// Root writes through read-only permissions, so as root `body` runs in a child process that has given
// root up. Its exit code, or -1 when that cannot be arranged.
int runWithoutPrivileges(const std::function<int()>& body)
{
    if (geteuid() != 0)
        return body();
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t child = fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        const uid_t nobody = 65534;
        if (setgroups(0, nullptr) != 0 || setgid(nobody) != 0 || setuid(nobody) != 0 || geteuid() == 0)
            _exit(100);
        _exit(body());
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) == 100)
        return -1;
    return WEXITSTATUS(status);
}

} // namespace

class WordStoreTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void navigation_data();
    void navigation();
    void nullAndEmptyFields();
    void snapshotInRowidOrder();
    void deleteReachesTheFileAtOnce();
    void indexesChangeNeitherOrderNorTarget_data();
    void indexesChangeNeitherOrderNorTarget();
    void failedDelete_data();
    void failedDelete();
    void readOnlyDatabase();
    void openFailures_data();
    void openFailures();
    void everyUnitTableOpens();
    void awkwardDirectoryNames_data();
    void awkwardDirectoryNames();
    void pickedRecordsOfSeveralUnits();
    void readWordsOfEveryUnit();

private:
    std::unique_ptr<QTemporaryDir> dir_;
    QString file_;
};

void WordStoreTest::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    file_ = dir_->filePath(QStringLiteral("MyDatas.db"));
}

void WordStoreTest::navigation_data()
{
    QTest::addColumn<int>("records");
    // Each step: an operation ("open", "next", "first", "delete"; a trailing '!' when it must fail), then
    // position/count and the current word afterwards.
    QTest::addColumn<QStringList>("steps");

    QTest::newRow("walk past the end")
        << 3 << QStringList{"open 1/3 w1", "next 2/3 w2", "next 3/3 w3", "next -3/3 -"};
    QTest::newRow("next when already past the end fails")
        << 1 << QStringList{"open 1/1 w1", "next -3/1 -", "next! -3/1 -", "first 1/1 w1"};
    QTest::newRow("empty table") << 0
                                 << QStringList{"open -3/0 -", "first! -3/0 -", "next! -3/0 -",
                                                "delete! -3/0 -"};
    QTest::newRow("delete the middle record")
        << 3 << QStringList{"open 1/3 w1", "next 2/3 w2", "delete -1/2 -", "next 2/2 w3", "next -3/2 -"};
    QTest::newRow("delete the first record")
        << 3 << QStringList{"open 1/3 w1", "delete -1/2 -", "next 1/2 w2"};
    QTest::newRow("delete the last record")
        << 3 << QStringList{"open 1/3 w1",   "next 2/3 w2", "next 3/3 w3",
                            "delete -1/2 -", "next -3/2 -", "first 1/2 w1"};
    QTest::newRow("delete the only record")
        << 1 << QStringList{"open 1/1 w1", "delete -1/0 -", "next -3/0 -", "first! -3/0 -"};
    QTest::newRow("delete every record in turn")
        << 3 << QStringList{"open 1/3 w1", "delete -1/2 -", "next 1/2 w2", "delete -1/1 -",
                            "next 1/1 w3", "delete -1/0 -", "next -3/0 -"};
    QTest::newRow("a deleted record cannot be deleted again")
        << 3 << QStringList{"open 1/3 w1", "next 2/3 w2", "delete -1/2 -", "delete! -1/2 -", "next 2/2 w3"};
    QTest::newRow("nothing to delete past the end")
        << 2 << QStringList{"open 1/2 w1", "next 2/2 w2", "next -3/2 -", "delete! -3/2 -"};
    QTest::newRow("first after a delete")
        << 3 << QStringList{"open 1/3 w1", "next 2/3 w2", "delete -1/2 -", "first 1/2 w1", "next 2/2 w3"};
}

void WordStoreTest::navigation()
{
    QFETCH(int, records);
    QFETCH(QStringList, steps);

    QVERIFY(createUnit(file_, QStringLiteral("word7"), records));
    std::unique_ptr<Recordset> unit;
    for (const QString& step : steps) {
        const qsizetype blank = step.indexOf(u' ');
        QString operation = step.left(blank);
        const bool mustFail = operation.endsWith(u'!');
        operation.remove(u'!');

        std::optional<Failure> failure;
        if (operation == QLatin1String("open"))
            QVERIFY(unit = openUnit(file_, QStringLiteral("word7")));
        else if (operation == QLatin1String("next"))
            failure = unit->MoveNext();
        else if (operation == QLatin1String("first"))
            failure = unit->MoveFirst();
        else if (operation == QLatin1String("delete"))
            failure = unit->Delete();
        else
            QFAIL(qPrintable(step));

        QVERIFY2(failure.has_value() == mustFail,
                 qPrintable(step + (failure ? QStringLiteral(": failed: ") + failure->detail : QString())));
        if (failure)
            QVERIFY(!failure->message.isEmpty() && !failure->detail.isEmpty());
        QCOMPARE(operation + u' ' + state(*unit), operation + step.mid(blank));
    }
    QCOMPARE(rowsInFile(file_, QStringLiteral("word7")), unit->RecordCount());
}

void WordStoreTest::nullAndEmptyFields()
{
    {
        Sql sql(file_);
        QVERIFY(sql.run(
            QStringLiteral("CREATE TABLE word2 (id INTEGER PRIMARY KEY, chinese TEXT, english TEXT)")));
        QVERIFY(sql.run(QStringLiteral("INSERT INTO word2 VALUES (1, NULL, 'apple')")));
        QVERIFY(sql.run(QStringLiteral("INSERT INTO word2 VALUES (2, '', NULL)")));
    }
    auto unit = openUnit(file_, QStringLiteral("word2"));
    QVERIFY(unit);
    QCOMPARE(unit->Field(0), std::optional<QString>(QStringLiteral("1")));
    QCOMPARE(unit->Field(1), std::nullopt);
    QCOMPARE(unit->Field(2), std::optional<QString>(QStringLiteral("apple")));
    QCOMPARE(unit->Field(3), std::nullopt);
    QCOMPARE(unit->Field(-1), std::nullopt);
    QVERIFY(!unit->MoveNext());
    QCOMPARE(unit->Field(1), std::optional<QString>(QString()));
    QVERIFY(unit->Field(1).has_value());
    QCOMPARE(unit->Field(2), std::nullopt);
    QVERIFY(!unit->MoveNext());
    for (int position = 0; position < 3; ++position)
        QCOMPARE(unit->Field(position), std::nullopt);
}

void WordStoreTest::snapshotInRowidOrder()
{
    {
        Sql sql(file_);
        QVERIFY(sql.run(QStringLiteral(
            "CREATE TABLE word20 (id INTEGER PRIMARY KEY, chinese TEXT, english TEXT, note TEXT)")));
        QVERIFY(sql.run(QStringLiteral("INSERT INTO word20 VALUES (5, 'b', 'five', 'x')")));
        QVERIFY(sql.run(QStringLiteral("INSERT INTO word20 VALUES (2, 'a', 'two', 'y')")));
        QVERIFY(sql.run(QStringLiteral("INSERT INTO word20 VALUES (9, 'c', 'nine', 'z')")));
    }
    auto unit = openUnit(file_, QStringLiteral("word20"));
    QVERIFY(unit);

    // Changes made after opening do not reach the open unit.
    Sql other(file_);
    QVERIFY(other.run(QStringLiteral("INSERT INTO word20 VALUES (1, 'd', 'one', 'w')")));
    QVERIFY(other.run(QStringLiteral("UPDATE word20 SET english = 'changed' WHERE id = 5")));

    QStringList seen;
    while (unit->AbsolutePosition() > 0) {
        seen << unit->Field(0).value_or("?") + u':' + unit->Field(2).value_or("?") + u':' +
                    unit->Field(3).value_or("?");
        QVERIFY(!unit->MoveNext());
    }
    QCOMPARE(seen, (QStringList{"2:two:y", "5:five:x", "9:nine:z"}));
    QCOMPARE(unit->RecordCount(), 3);
}

void WordStoreTest::deleteReachesTheFileAtOnce()
{
    {
        Sql sql(file_);
        QVERIFY(sql.run(
            QStringLiteral("CREATE TABLE word1 (id INTEGER PRIMARY KEY, chinese TEXT, english TEXT)")));
        QVERIFY(sql.run(QStringLiteral("INSERT INTO word1 VALUES (1, 'a', 'alpha')")));
        QVERIFY(sql.run(QStringLiteral("INSERT INTO word1 VALUES (2, 'b', 'QUIXOTICZEPHYRMARKER')")));
        QVERIFY(sql.run(QStringLiteral("INSERT INTO word1 VALUES (3, 'c', 'gamma')")));
    }
    auto unit = openUnit(file_, QStringLiteral("word1"));
    QVERIFY(unit);
    QVERIFY(!unit->MoveNext());
    QVERIFY(!unit->Delete());

    // Seen by another connection while the unit is still open, and the words themselves wiped from the file.
    {
        Sql other(file_);
        QCOMPARE(other.value(QStringLiteral("SELECT count(*) FROM word1")).toInt(), 2);
        QCOMPARE(other.value(QStringLiteral("SELECT group_concat(id) FROM word1")).toString(),
                 QStringLiteral("1,3"));
    }
    QFile raw(file_);
    QVERIFY(raw.open(QIODevice::ReadOnly));
    QVERIFY(!raw.readAll().contains("QUIXOTICZEPHYRMARKER"));

    unit->Close();
    unit.reset();
    auto again = openUnit(file_, QStringLiteral("word1"));
    QVERIFY(again);
    QCOMPARE(again->RecordCount(), 2);
}

void WordStoreTest::indexesChangeNeitherOrderNorTarget_data()
{
    QTest::addColumn<QString>("index");

    // A database made by another tool may carry indexes; SQLite then may scan one instead of the table.
    QTest::newRow("index on english") << "CREATE INDEX byEnglish ON word9 (english)";
    QTest::newRow("covering index") << "CREATE INDEX byEnglish ON word9 (english, chinese)";
}

void WordStoreTest::indexesChangeNeitherOrderNorTarget()
{
    QFETCH(QString, index);

    {
        Sql sql(file_);
        QVERIFY(sql.run(
            QStringLiteral("CREATE TABLE word9 (id INTEGER PRIMARY KEY, chinese TEXT, english TEXT)")));
        QVERIFY(sql.run(QStringLiteral("INSERT INTO word9 VALUES (1, 'c1', 'delta'), (2, 'c2', 'charlie'), "
                                       "(3, 'c3', 'bravo'), (4, 'c4', 'alpha')")));
        QVERIFY(sql.run(index));
    }
    auto unit = openUnit(file_, QStringLiteral("word9"));
    QVERIFY(unit);
    QStringList seen;
    while (unit->AbsolutePosition() > 0) {
        seen << unit->Field(0).value_or("?") + u':' + unit->Field(2).value_or("?");
        QVERIFY(!unit->MoveNext());
    }
    QCOMPARE(seen, (QStringList{"1:delta", "2:charlie", "3:bravo", "4:alpha"}));

    QVERIFY(!unit->MoveFirst());
    QVERIFY(!unit->MoveNext());
    QCOMPARE(unit->Field(2), std::optional<QString>(QStringLiteral("charlie")));
    QVERIFY(!unit->Delete());
    // The record shown is the record deleted.
    Sql other(file_);
    const QString inIdOrder =
        QStringLiteral("SELECT group_concat(english) FROM (SELECT english FROM word9 ORDER BY id)");
    const QString left = other.value(inIdOrder).toString();
    QCOMPARE(left, QStringLiteral("delta,bravo,alpha"));
}

void WordStoreTest::failedDelete_data()
{
    QTest::addColumn<QString>("obstacle");
    QTest::addColumn<int>("rowsLeft");

    QTest::newRow("file removed from disk") << "removed" << -1;
    QTest::newRow("locked by another program") << "locked" << 3;
    QTest::newRow("record already deleted elsewhere") << "gone" << 2;
}

void WordStoreTest::failedDelete()
{
    QFETCH(QString, obstacle);
    QFETCH(int, rowsLeft);

    QVERIFY(createUnit(file_, QStringLiteral("word4"), 3));
    auto unit = openUnit(file_, QStringLiteral("word4"));
    QVERIFY(unit);
    QVERIFY(!unit->MoveNext());

    std::unique_ptr<Sql> other;
    if (obstacle == QLatin1String("removed")) {
        QVERIFY(QFile::remove(file_));
    } else {
        other = std::make_unique<Sql>(file_);
        if (obstacle == QLatin1String("locked"))
            QVERIFY(other->run(QStringLiteral("BEGIN EXCLUSIVE")));
        else
            QVERIFY(other->run(QStringLiteral("DELETE FROM word4 WHERE id = 2")));
    }

    const std::optional<Failure> failure = unit->Delete();
    QVERIFY(failure.has_value());
    QCOMPARE(failure->kind, Kind::WriteFailed);
    QVERIFY(!failure->message.isEmpty());
    QCOMPARE(state(*unit), QStringLiteral("2/3 w2"));

    if (obstacle == QLatin1String("removed")) {
        QVERIFY(!QFile::exists(file_));
        return;
    }
    if (obstacle == QLatin1String("locked"))
        QVERIFY(other->run(QStringLiteral("ROLLBACK")));
    QCOMPARE(rowsInFile(file_, QStringLiteral("word4")), rowsLeft);

    // The unit stays usable after the failure.
    QVERIFY(!unit->MoveNext());
    QCOMPARE(state(*unit), QStringLiteral("3/3 w3"));
    if (obstacle == QLatin1String("locked")) {
        QVERIFY(!unit->Delete());
        QCOMPARE(rowsInFile(file_, QStringLiteral("word4")), 2);
    }
}

void WordStoreTest::readOnlyDatabase()
{
    QVERIFY(createUnit(file_, QStringLiteral("word4"), 3));
    const auto all = [](QFile::Permissions owner) {
        const int bits = owner.toInt();
        return QFile::Permissions::fromInt(bits | bits >> 4 | bits >> 8 | bits >> 12);
    };
    QVERIFY(QFile::setPermissions(file_, all(QFile::ReadOwner)));
    QVERIFY(QFile::setPermissions(dir_->path(), all(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)));
    const auto restore = qScopeGuard([&] {
        QFile::setPermissions(dir_->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::setPermissions(file_, QFile::ReadOwner | QFile::WriteOwner);
    });

    // Each check that fails exits with its own number; QtTest cannot report from a child process.
    const int outcome = runWithoutPrivileges([&] {
        auto unit = openUnit(file_, QStringLiteral("word4"));
        if (!unit)
            return 1;
        if (unit->MoveNext())
            return 2;
        const std::optional<Failure> failure = unit->Delete();
        if (!failure || failure->kind != Kind::WriteFailed)
            return 3;
        if (state(*unit) != QLatin1String("2/3 w2"))
            return 4;
        if (unit->MoveNext() || state(*unit) != QLatin1String("3/3 w3"))
            return 5;
        return 0;
    });
    if (outcome < 0)
        QSKIP("running as root, and root could not be given up");
    QCOMPARE(outcome, 0);
    QCOMPARE(rowsInFile(file_, QStringLiteral("word4")), 3);
}

void WordStoreTest::openFailures_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<QString>("table");
    QTest::addColumn<Kind>("kind");

    QTest::newRow("no file") << "none"
                             << "word1" << Kind::Missing;
    QTest::newRow("a directory") << "directory"
                                 << "word1" << Kind::Missing;
    QTest::newRow("a text file") << "text"
                                 << "word1" << Kind::NotADatabase;
    QTest::newRow("unit table missing") << "units"
                                        << "word2" << Kind::TableMissing;
    QTest::newRow("two columns") << "units"
                                 << "word3" << Kind::TooFewColumns;
    QTest::newRow("word21 even though the file has it") << "units"
                                                        << "word21" << Kind::TableMissing;
    QTest::newRow("word0") << "units"
                           << "word0" << Kind::TableMissing;
    QTest::newRow("word01") << "units"
                            << "word01" << Kind::TableMissing;
    QTest::newRow("empty name") << "units"
                                << "" << Kind::TableMissing;
    QTest::newRow("SQL in the name") << "units"
                                     << "word1; drop table word3" << Kind::TableMissing;
    QTest::newRow("SQL after a unit table") << "units"
                                            << "word1 where 0" << Kind::TableMissing;
}

void WordStoreTest::openFailures()
{
    QFETCH(QString, content);
    QFETCH(QString, table);
    QFETCH(Kind, kind);

    const QByteArray text("id,chinese,english\n1,苹果,apple\n");
    if (content == QLatin1String("text")) {
        QFile file(file_);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
    } else if (content == QLatin1String("directory")) {
        QVERIFY(QDir().mkdir(file_));
    } else if (content == QLatin1String("units")) {
        QVERIFY(createUnit(file_, QStringLiteral("word1"), 2));
        QVERIFY(createUnit(file_, QStringLiteral("word21"), 2));
        Sql sql(file_);
        QVERIFY(sql.run(QStringLiteral("CREATE TABLE word3 (id INTEGER PRIMARY KEY, chinese TEXT)")));
        QVERIFY(sql.run(QStringLiteral("INSERT INTO word3 VALUES (1, 'a')")));
    }

    auto opened = WordStore::open(file_, table);
    const Failure* failure = std::get_if<Failure>(&opened);
    QVERIFY(failure);
    QCOMPARE(failure->kind, kind);
    QVERIFY(!failure->message.isEmpty() && !failure->detail.isEmpty());
    // A folder in the file's place is named as what it is, not as a missing file.
    QCOMPARE(failure->message.contains(QStringLiteral("文件夹")), content == QLatin1String("directory"));

    if (content == QLatin1String("none")) {
        QVERIFY(!QFileInfo::exists(file_));
    } else if (content == QLatin1String("text")) {
        QFile file(file_);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), text);
    } else if (content == QLatin1String("units")) {
        QCOMPARE(rowsInFile(file_, QStringLiteral("word1")), 2);
        QCOMPARE(rowsInFile(file_, QStringLiteral("word3")), 1);
        QCOMPARE(rowsInFile(file_, QStringLiteral("word21")), 2);
    }
}

void WordStoreTest::everyUnitTableOpens()
{
    // Table names are not case-sensitive in SQLite: "Word7" is the table word7.
    for (int number = 1; number <= 20; ++number)
        QVERIFY(createUnit(file_, number % 3 ? word(number) : QStringLiteral("Word%1").arg(number), number));
    for (int number = 1; number <= 20; ++number) {
        auto unit = openUnit(file_, word(number));
        QVERIFY2(unit, qPrintable(word(number)));
        QCOMPARE(unit->RecordCount(), number);
        QVERIFY(isUnitTable(word(number)));
    }
}

void WordStoreTest::awkwardDirectoryNames_data()
{
    QTest::addColumn<QString>("directory");

    QTest::newRow("Chinese and a blank") << "背单词 软件";
    QTest::newRow("URL characters") << "copy #2?mode=ro&x=%41";
    QTest::newRow("percent sign") << "100% words";
}

void WordStoreTest::awkwardDirectoryNames()
{
    QFETCH(QString, directory);

    QVERIFY(QDir(dir_->path()).mkdir(directory));
    const QString file = QDir(dir_->filePath(directory)).filePath(QStringLiteral("MyDatas.db"));
    QVERIFY(createUnit(file, QStringLiteral("word6"), 2));
    auto unit = openUnit(file, QStringLiteral("word6"));
    QVERIFY(unit);
    QCOMPARE(state(*unit), QStringLiteral("1/2 w1"));
    QVERIFY(!unit->Delete());
    QCOMPARE(rowsInFile(file, QStringLiteral("word6")), 1);
    // Nothing was made beside the database under a mangled name.
    QCOMPARE(QDir(dir_->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{directory});
    QCOMPARE(QDir(dir_->filePath(directory)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("MyDatas.db")});
}

void WordStoreTest::pickedRecordsOfSeveralUnits()
{
    QVERIFY(createUnit(file_, QStringLiteral("word3"), 3));
    QVERIFY(createUnit(file_, QStringLiteral("word9"), 2));
    // Given order, not table order; a record or a table that is gone is left out.
    auto opened = WordStore::open(file_, std::vector<WordLocation>{{QStringLiteral("word9"), 2},
                                                                   {QStringLiteral("word3"), 7},
                                                                   {QStringLiteral("word3"), 1},
                                                                   {QStringLiteral("word12"), 1},
                                                                   {QStringLiteral("word3"), 3}});
    QVERIFY(std::holds_alternative<std::unique_ptr<Recordset>>(opened));
    auto& records = *std::get<std::unique_ptr<Recordset>>(opened);
    QCOMPARE(state(records), QStringLiteral("1/3 w2"));
    QCOMPARE(records.Location(), WordLocation({QStringLiteral("word9"), 2}));
    QVERIFY(!records.MoveNext());
    QCOMPARE(state(records), QStringLiteral("2/3 w1"));
    // A delete removes the record from its own table and nothing else.
    QVERIFY(!records.Delete());
    QCOMPARE(records.Location(), std::nullopt);
    QCOMPARE(rowsInFile(file_, QStringLiteral("word3")), 2);
    QCOMPARE(rowsInFile(file_, QStringLiteral("word9")), 2);
    QVERIFY(!records.MoveNext());
    QCOMPARE(state(records), QStringLiteral("2/2 w3"));
    QCOMPARE(records.Location(), WordLocation({QStringLiteral("word3"), 3}));
}

void WordStoreTest::readWordsOfEveryUnit()
{
    QVERIFY(createUnit(file_, QStringLiteral("word20"), 1));
    QVERIFY(createUnit(file_, QStringLiteral("word2"), 2));
    {
        Sql sql(file_);
        QVERIFY(sql.run(QStringLiteral("CREATE TABLE word5 (id INTEGER PRIMARY KEY, chinese TEXT)")));
    }
    const auto read = WordStore::readWords(file_);
    QVERIFY(std::holds_alternative<std::vector<StoredWord>>(read));
    const auto& words = std::get<std::vector<StoredWord>>(read);
    QCOMPARE(words.size(), size_t(3));
    QCOMPARE(words[0].location, WordLocation({QStringLiteral("word2"), 1}));
    QCOMPARE(words[2].location, WordLocation({QStringLiteral("word20"), 1}));
    QCOMPARE(words[1].answer, *encodeField(QStringLiteral("w2")));
    QCOMPARE(words[1].prompt, *encodeField(QStringLiteral("词2")));
    QVERIFY(std::holds_alternative<Failure>(WordStore::readWords(dir_->filePath(QStringLiteral("none.db")))));
}

QTEST_GUILESS_MAIN(WordStoreTest)
#include "tst_wordstore.moc"
