// SPDX-License-Identifier: GPL-3.0-or-later
#include "Catalogue.h"
#include "DataDirectory.h"
#include "FieldCipher.h"
#include "TestSupport.h"
#include "WordStore.h"

#include <QElapsedTimer>
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

// A stand-in for the Access reader: a shell script.
QString fakeReader(const QString& directory, const QByteArray& body)
{
    const QString path = QDir(directory).filePath("reader.sh");
    if (!write(path, "#!/bin/sh\n" + body + '\n') ||
        !QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ExeOwner))
        return {};
    return path;
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
    void perUserFolderFollowsTheXdgRule_data();
    void perUserFolderFollowsTheXdgRule();
    void requestedFolderMustBeUtf8_data();
    void requestedFolderMustBeUtf8();
    void damagedAccessFileIsToldOnce_data();
    void damagedAccessFileIsToldOnce();
    void importThatAnotherStartOvertookIsNotTold();
    void staleDraftsAreRemoved();
    void folderInTheDatabasesPlaceIsRefused();
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
    QVERIFY(QFile::copy(Fixtures + "/word12-overflow.mdb", access));
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
    QCOMPARE(contents(access), contents(Fixtures + "/word12-overflow.mdb"));
    if (!imported) {
        QVERIFY(!ready.notice);
        QCOMPARE(contents(database), before);
        return;
    }
    QVERIFY(ready.notice);
    QCOMPARE(*ready.notice, QStringLiteral("已从旧词库 %1 导入 1 个单元，共 7 个单词。").arg(access));
    QCOMPARE(answers(database, "word12").value(0), "C5204CA12D88DF7DC292069A68B775A4");
    QCOMPARE(answers(database, "word12").size(), 7);
    QCOMPARE(answers(database, "word11").size(), withCourse ? 50 : 0);
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

void TestDataDirectory::perUserFolderFollowsTheXdgRule_data()
{
    QTest::addColumn<QByteArray>("xdgDataHome");
    QTest::addColumn<QString>("folder");
    QTest::newRow("not set") << QByteArray() << "/home/learner/.local/share/vokabo";
    QTest::newRow("absolute") << QByteArray("/data/share") << "/data/share/vokabo";
    QTest::newRow("relative, to be ignored") << QByteArray("share") << "/home/learner/.local/share/vokabo";
}

void TestDataDirectory::perUserFolderFollowsTheXdgRule()
{
    QFETCH(QByteArray, xdgDataHome);
    QFETCH(QString, folder);
    QCOMPARE(DataDirectory::perUserFolder(xdgDataHome, "/home/learner"), folder);
}

void TestDataDirectory::requestedFolderMustBeUtf8_data()
{
    QTest::addColumn<QByteArrayList>("arguments");
    QTest::addColumn<QByteArray>("environment");
    QTest::addColumn<QString>("folder"); // "refused" for a failure
    QTest::newRow("neither") << QByteArrayList{} << QByteArray() << "";
    QTest::newRow("option") << QByteArrayList{"--data-dir", "/词库"} << QByteArray("/env") << "/词库";
    QTest::newRow("option with =") << QByteArrayList{"--data-dir=/a", "--data-dir=/b"} << QByteArray()
                                   << "/b";
    QTest::newRow("environment") << QByteArrayList{} << QByteArray("/env") << "/env";
    QTest::newRow("option not UTF-8")
        << QByteArrayList{"--data-dir", "/\xb4\xca\xbf\xe2"} << QByteArray() << "refused";
    QTest::newRow("environment not UTF-8") << QByteArrayList{} << QByteArray("/\xb4\xca") << "refused";
}

void TestDataDirectory::requestedFolderMustBeUtf8()
{
    QFETCH(QByteArrayList, arguments);
    QFETCH(QByteArray, environment);
    QFETCH(QString, folder);
    std::vector<const char*> argv{"vokabo"};
    for (const QByteArray& argument : arguments)
        argv.push_back(argument.constData());
    const auto result = DataDirectory::requestedFolder(int(argv.size()), argv.data(), environment);
    if (folder == "refused") {
        QVERIFY(std::holds_alternative<Failure>(result));
        QVERIFY(std::get<Failure>(result).message.contains("UTF-8"));
    } else {
        QCOMPARE(std::get<QString>(result), folder);
    }
}

void TestDataDirectory::damagedAccessFileIsToldOnce_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<int>("keptBytes");     // 0: all of it
    QTest::addColumn<int>("damagedByte");   // set to 0x80; -1 for none
    QTest::addColumn<QByteArray>("reader"); // a stand-in for the reader; empty: the reader
    QTest::newRow("a usage map pointer that crashes libmdb")
        << "word11-with-password.mdb" << 0 << 0x2d037 << QByteArray();
    QTest::newRow("a file cut where libmdb loops")
        << "word11-with-password.mdb" << 248512 << -1 << QByteArray();
    QTest::newRow("a file cut where libmdb loops and warns")
        << "word11-jet4.mdb" << 2891776 << -1 << QByteArray();
    QTest::newRow("the reader crashes") << "word12-overflow.mdb" << 0 << -1 << QByteArray("kill -SEGV $$");
}

// Whatever reading MyDatas.mdb does, the program starts with the course, says so once, and leaves the file
// as it is; it reads the file again only once it has changed.
void TestDataDirectory::damagedAccessFileIsToldOnce()
{
    QFETCH(QString, fixture);
    QFETCH(int, keptBytes);
    QFETCH(int, damagedByte);
    QFETCH(QByteArray, reader);
    QTemporaryDir directory;
    const QString access = directory.filePath("MyDatas.mdb");
    QByteArray bytes = contents(Fixtures + '/' + fixture);
    if (keptBytes)
        bytes.truncate(keptBytes);
    if (damagedByte >= 0)
        bytes[damagedByte] = char(0x80);
    QVERIFY(write(access, bytes));
    QTemporaryDir scripts;
    const QString program =
        reader.isEmpty() ? DataDirectory::installedReader() : fakeReader(scripts.path(), reader);

    QElapsedTimer clock;
    clock.start();
    const auto first = DataDirectory::prepare(directory.path(), course_, program);
    QVERIFY2(clock.elapsed() < 15'000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(std::holds_alternative<DataDirectory::Ready>(first));
    const auto& notice = std::get<DataDirectory::Ready>(first).notice;
    QVERIFY(notice);
    QVERIFY2(notice->startsWith("旧词库 MyDatas.mdb 无法读取："), qPrintable(*notice));
    QCOMPARE(contents(directory.filePath("MyDatas.db")), contents(course_));
    QCOMPARE(contents(access), bytes);

    QFile::remove(directory.filePath("MyDatas.db"));
    const auto second = DataDirectory::prepare(directory.path(), course_, program);
    QVERIFY(std::holds_alternative<DataDirectory::Ready>(second));
    QVERIFY(!std::get<DataDirectory::Ready>(second).notice);
    QCOMPARE(contents(directory.filePath("MyDatas.db")), contents(course_));
    if (!reader.isEmpty()) {
        QFile::remove(directory.filePath("MyDatas.db"));
        QVERIFY(write(access, bytes + "changed"));
        const auto third = DataDirectory::prepare(directory.path(), course_, program);
        QVERIFY(std::holds_alternative<DataDirectory::Ready>(third));
        QVERIFY(std::get<DataDirectory::Ready>(third).notice);
    }
}

// Another start of the program put its word database in place while this one was importing: this one's
// import is not the one in use, and is not told as if it were.
void TestDataDirectory::importThatAnotherStartOvertookIsNotTold()
{
    QTemporaryDir directory;
    QVERIFY(QFile::copy(Fixtures + "/word12-overflow.mdb", directory.filePath("MyDatas.mdb")));
    const QByteArray field = encodeField(QStringLiteral("苹果")).value().toLatin1();
    const QByteArray script = "cp '" + QFile::encodeName(course_) + "' \"$(dirname \"$1\")/MyDatas.db\"\n" +
                              "printf 'V 19\\nvokabo-mdb-reader 1\\nT 8\\nword12\\t3\\nS 32\\n" + field +
                              "\\nS 32\\n" + field + "\\nZ 0\\n\\n'";
    QTemporaryDir scripts;
    const auto result = DataDirectory::prepare(directory.path(), course_, fakeReader(scripts.path(), script));
    QVERIFY(std::holds_alternative<DataDirectory::Ready>(result));
    QVERIFY(!std::get<DataDirectory::Ready>(result).notice);
    QCOMPARE(contents(directory.filePath("MyDatas.db")), contents(course_));
    QCOMPARE(entries(directory.path()), (QStringList{"MyDatas.db", "MyDatas.mdb"}));
}

// Copies that interrupted starts left behind go; a copy still being written and the learner's files stay.
void TestDataDirectory::staleDraftsAreRemoved()
{
    QTemporaryDir directory;
    QVERIFY(QFile::copy(course_, directory.filePath("MyDatas.db")));
    const QStringList names{".MyDatas.db.vokabo-draft-Xy12Zw",
                            ".MyDatas.db.Ab12Cd",
                            ".MyDatas.db.vokabo-draft-fresh1",
                            ".MyDatas.db.backup1",
                            ".MyDatas.db.backup",
                            "MyDatas.db.Ab12Cd"};
    for (const QString& name : names) {
        QFile file(directory.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        if (name != ".MyDatas.db.vokabo-draft-fresh1")
            QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-120),
                                     QFileDevice::FileModificationTime));
    }
    QVERIFY(std::holds_alternative<DataDirectory::Ready>(DataDirectory::prepare(directory.path(), course_)));
    QCOMPARE(entries(directory.path()),
             (QStringList{".MyDatas.db.backup", ".MyDatas.db.backup1", ".MyDatas.db.vokabo-draft-fresh1",
                          "MyDatas.db", "MyDatas.db.Ab12Cd"}));
}

void TestDataDirectory::folderInTheDatabasesPlaceIsRefused()
{
    QTemporaryDir directory;
    QVERIFY(QDir(directory.path()).mkdir("MyDatas.db"));
    const auto result = DataDirectory::prepare(directory.path(), course_);
    QVERIFY(std::holds_alternative<Failure>(result));
    QVERIFY2(std::get<Failure>(result).message.contains("是一个文件夹"),
             qPrintable(std::get<Failure>(result).message));
}

QTEST_GUILESS_MAIN(TestDataDirectory)
#include "tst_datadirectory.moc"
