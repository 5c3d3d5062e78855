#include "Catalogue.h"
#include "DataDirectory.h"
#include "TestSupport.h"
#include "WordStore.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <filesystem>
#include <sys/resource.h>

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

// A course database: every unit holds `words` records.
bool makeCourse(const QString& file, int words = 1)
{
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "maker");
        db.setDatabaseName(file);
        ok = db.open() && db.transaction();
        QSqlQuery query(db);
        for (const UnitRow& unit : UnitCatalogue()) {
            ok = ok && query.exec(WordStore::createTableStatement(unit.UnitTable));
            for (int i = 0; ok && i < words; ++i)
                ok = query.exec(QStringLiteral("INSERT INTO %1 (chinese, english) VALUES ('%2', 'course')")
                                    .arg(unit.UnitTable)
                                    .arg(i));
        }
        ok = ok && db.commit();
    }
    QSqlDatabase::removeDatabase("maker");
    return ok;
}

// The words of a unit, as stored: column 2 of each record.
QStringList answers(const QString& file, const QString& table)
{
    QStringList result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "reader");
        db.setDatabaseName(file);
        db.open();
        QSqlQuery query(QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(table), db);
        while (query.next())
            result.append(query.value(2).toString());
    }
    QSqlDatabase::removeDatabase("reader");
    return result;
}

bool ownersOnly(const QString& path)
{
    namespace fs = std::filesystem;
    return fs::status(path.toStdString()).permissions() == (fs::perms::owner_read | fs::perms::owner_write);
}

QStringList entries(const QString& directory)
{
    return QDir(directory).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

class TestDataDirectory : public QObject {
    Q_OBJECT
    QTemporaryDir scratch_;
    QString course_;

private slots:
    void initTestCase()
    {
        course_ = scratch_.filePath("share/vokabo/MyDatas.db");
        QVERIFY(QDir().mkpath(scratch_.filePath("share/vokabo")));
        QVERIFY(makeCourse(course_, 50));
    }
    void choosesTheFirstThatApplies_data();
    void choosesTheFirstThatApplies();
    void seedsOnceAsTheLearnersOwn();
    void bringsOverAnOldAccessDatabase_data();
    void bringsOverAnOldAccessDatabase();
    void failureLeavesNothingBehind_data();
    void failureLeavesNothingBehind();
};

void TestDataDirectory::choosesTheFirstThatApplies_data()
{
    QTest::addColumn<QString>("requested");
    QTest::addColumn<QString>("besideProgram"); // a file put beside the program, if any
    QTest::addColumn<QString>("chosen");
    QTest::newRow("asked for") << "/asked"
                               << "MyDatas.db"
                               << "/asked";
    QTest::newRow("word database beside the program") << ""
                                                      << "MyDatas.db"
                                                      << "program";
    QTest::newRow("old Access database beside the program") << ""
                                                            << "MyDatas.mdb"
                                                            << "program";
    QTest::newRow("settings alone beside the program") << ""
                                                       << "Syset.ini"
                                                       << "user";
}

void TestDataDirectory::choosesTheFirstThatApplies()
{
    QFETCH(QString, requested);
    QFETCH(QString, besideProgram);
    QFETCH(QString, chosen);
    QTemporaryDir program;
    QVERIFY(write(program.filePath(besideProgram), "x"));
    const QString result =
        DataDirectory::choose({requested, program.path(), "/home/learner/.local/share/vokabo"});
    QCOMPARE(result, chosen == "program" ? program.path()
                     : chosen == "user"  ? "/home/learner/.local/share/vokabo"
                                         : chosen);
}

void TestDataDirectory::seedsOnceAsTheLearnersOwn()
{
    QTemporaryDir home;
    const QString directory = home.filePath(".local/share/vokabo");
    const auto first = DataDirectory::prepare(directory, course_);
    QVERIFY(std::holds_alternative<DataDirectory::Ready>(first));
    const QString database = directory + "/MyDatas.db";
    QCOMPARE(contents(database), contents(course_));
    QVERIFY(ownersOnly(database));
    QCOMPARE(entries(directory), QStringList{"MyDatas.db"});

    // The learner's progress: the next start keeps it.
    QVERIFY(write(database, "the learner's words"));
    const auto second = DataDirectory::prepare(directory, course_);
    QVERIFY(std::holds_alternative<DataDirectory::Ready>(second));
    QCOMPARE(contents(database), QByteArray("the learner's words"));
}

void TestDataDirectory::bringsOverAnOldAccessDatabase_data()
{
    QTest::addColumn<QString>("present"); // what lies beside MyDatas.mdb: "", "seeded copy", "used copy"
    QTest::addColumn<bool>("withCourse"); // whether a course is installed
    QTest::addColumn<bool>("imported");
    QTest::newRow("no word database yet") << "" << true << true;
    QTest::newRow("no course installed") << "" << false << true;
    QTest::newRow("beside an untouched seeded copy") << "seeded copy" << true << true;
    QTest::newRow("beside a copy in use") << "used copy" << true << false;
}

void TestDataDirectory::bringsOverAnOldAccessDatabase()
{
    QFETCH(QString, present);
    QFETCH(bool, withCourse);
    QFETCH(bool, imported);
    QTemporaryDir directory;
    const QString access = directory.filePath("MyDatas.mdb");
    const QString database = directory.filePath("MyDatas.db");
    QVERIFY(QFile::copy(Fixtures + "/word11-jet4.mdb", access));
    if (!present.isEmpty()) {
        QVERIFY(QFile::copy(course_, database));
        if (present == "used copy") {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "learner");
            db.setDatabaseName(database);
            QVERIFY(db.open());
            QVERIFY(QSqlQuery(db).exec("DELETE FROM word3 WHERE rowid = 1"));
            db.close();
        }
    }
    QSqlDatabase::removeDatabase("learner");
    const QByteArray before = contents(database);

    const auto result =
        DataDirectory::prepare(directory.path(), withCourse ? course_ : directory.filePath("none"));
    QVERIFY(std::holds_alternative<DataDirectory::Ready>(result));
    const auto& ready = std::get<DataDirectory::Ready>(result);
    QCOMPARE(contents(access), contents(Fixtures + "/word11-jet4.mdb"));
    if (!imported) {
        QVERIFY(!ready.notice);
        QCOMPARE(contents(database), before);
        return;
    }
    QVERIFY(ready.notice);
    QCOMPARE(*ready.notice, QStringLiteral("已从旧词库 %1 导入 1 个单元，共 2 个单词。").arg(access));
    QCOMPARE(answers(database, "word11"), (QStringList{"2", "0"}));
    QCOMPARE(answers(database, "word12").size(), withCourse ? 50 : 0);
    QCOMPARE(answers(database, "word20").size(), withCourse ? 50 : 0);
    QVERIFY(ownersOnly(database));
    QCOMPARE(entries(directory.path()), (QStringList{"MyDatas.db", "MyDatas.mdb"}));
}

void TestDataDirectory::failureLeavesNothingBehind_data()
{
    QTest::addColumn<QString>("trouble");
    QTest::addColumn<QString>("message"); // a part of the learner's message, after the path
    QTest::newRow("folder cannot be made") << "file in the way"
                                           << "路径中有同名的文件";
    QTest::newRow("no course installed") << "no course"
                                         << "请重新安装";
    QTest::newRow("disk full halfway") << "disk full"
                                       << "磁盘空间不足";
    QTest::newRow("old database unreadable") << "bad mdb"
                                             << "这不是 Access 数据库文件";
}

void TestDataDirectory::failureLeavesNothingBehind()
{
    QFETCH(QString, trouble);
    QFETCH(QString, message);
    QTemporaryDir home;
    QString directory = home.filePath("vokabo");
    QString course = course_;
    if (trouble == "file in the way") {
        QVERIFY(write(home.filePath("data"), "a file, not a folder"));
        directory = home.filePath("data/vokabo");
    } else if (trouble == "no course") {
        course = home.filePath("missing/MyDatas.db");
    } else if (trouble == "bad mdb") {
        QVERIFY(QDir().mkpath(directory));
        QVERIFY(write(directory + "/MyDatas.mdb", "not an Access database"));
    }
    QVERIFY(contents(course_).size() > 8192);

    // A file size limit stands in for a full disk: writes beyond it fail.
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto restore = qScopeGuard([&] { setrlimit(RLIMIT_FSIZE, &saved); });
    if (trouble == "disk full") {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 8192;
        QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
    }
    const auto result = DataDirectory::prepare(directory, course);
    setrlimit(RLIMIT_FSIZE, &saved);

    QVERIFY(std::holds_alternative<Failure>(result));
    const auto& failure = std::get<Failure>(result);
    QVERIFY2(failure.message.contains(directory) && failure.message.contains(message),
             qPrintable(failure.message));
    QVERIFY(!failure.detail.isEmpty());
    QVERIFY(!QFileInfo::exists(directory + "/MyDatas.db"));
    const QStringList left = QFileInfo(directory).isDir() ? entries(directory) : QStringList();
    QCOMPARE(left, trouble == "bad mdb" ? QStringList{"MyDatas.mdb"} : QStringList{});
}

QTEST_GUILESS_MAIN(TestDataDirectory)
#include "tst_datadirectory.moc"
