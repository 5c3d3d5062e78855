// SPDX-License-Identifier: GPL-3.0-or-later
#include "SettingsFile.h"
#include "Snapshots.h"
#include "TestSupport.h"

#include <QLockFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <functional>
#include <sys/resource.h>

namespace {

struct Run {
    int exitCode;
    QString out;
    QString err;
};

Run run(const QStringList& arguments, const QString& directory, const QByteArray& input = {},
        const std::function<void()>& inChild = {})
{
    QProcess process;
    process.setWorkingDirectory(directory);
    if (inChild)
        process.setChildProcessModifier(inChild);
    process.start(QStringLiteral(VOKABO_WORDS), arguments);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit)
        return {-1, {}, QStringLiteral("did not finish")};
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

} // namespace

class WordsCommandTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

private slots:
    void answersArguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out"); // what the standard output starts with; empty: nothing on it
        QTest::addColumn<QString>("err"); // a part of the standard error
        QTest::newRow("help") << QStringList{"help"} << 0 << "Usage: vokabo-words COMMAND"
                              << "";
        QTest::newRow("--help") << QStringList{"--help"} << 0 << "Usage: vokabo-words COMMAND"
                                << "";
        QStringList syntax{
            "create [options] [DB]", "import [options] DB UNIT FILE", "export [options] DB UNIT [FILE]",
            "list [options] [DB]",   "check [options] [DB]",          "import-all [options] DB DIR"};
        syntax << "import-mdb [options] OLD.mdb DB"
               << "snapshots [options] DIR"
               << "restore [options] DIR DATE"
               << "due [options] DATA_DIR";
        for (const QString& usage : syntax) {
            const QString command = usage.section(u' ', 0, 0);
            const QString line = "Usage: vokabo-words " + usage + '\n';
            QTest::newRow(qPrintable("help " + command)) << QStringList{"help", command} << 0 << line << "";
            QTest::newRow(qPrintable(command + " --help"))
                << QStringList{command, "--help"} << 0 << line << "";
        }
        QTest::newRow("--version") << QStringList{"--version"} << 0 << "vokabo-words " VOKABO_VERSION "\n"
                                   << "";
        QTest::newRow("nothing") << QStringList{} << 2 << ""
                                 << "Usage: vokabo-words COMMAND";
        QTest::newRow("unknown command") << QStringList{"remove"} << 2 << ""
                                         << "no such command 'remove'";
        QTest::newRow("help on unknown") << QStringList{"help", "remove"} << 2 << ""
                                         << "no such command";
        QTest::newRow("unknown option") << QStringList{"list", "--all"} << 2 << ""
                                        << "Unknown option 'all'";
        QTest::newRow("too few") << QStringList{"export", "a.db"} << 2 << ""
                                 << "takes DB UNIT [FILE]";
        QTest::newRow("too many") << QStringList{"list", "a.db", "b.db"} << 2 << ""
                                  << "takes [DB]";
        QTest::newRow("bad unit") << QStringList{"export", "a.db", "word21"} << 2 << ""
                                  << "'word21' is not a unit";
        QTest::newRow("bad format") << QStringList{"import", "a.db", "23", "-", "--format", "xls"} << 2 << ""
                                    << "--format takes csv or tsv";
        QTest::newRow("bad date") << QStringList{"restore", ".", "2026-3-8"} << 2 << ""
                                  << "'2026-3-8' is not a date";
        QTest::newRow("default database missing") << QStringList{"check"} << 1 << ""
                                                  << "MyDatas.db does not exist";
        QTest::newRow("due: not a day") << QStringList{"due", ".", "--at", "2027-02-30"} << 2 << ""
                                        << "--at takes a day as YYYY-MM-DD, not '2027-02-30'";
        QTest::newRow("due: not a data folder") << QStringList{"due", "."} << 1 << ""
                                                << "holds no MyDatas.db";
    }

    void answersArguments()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        const Run result = run(arguments, dir_.path());
        QCOMPARE(result.exitCode, exitCode);
        QVERIFY2(out.isEmpty() ? result.out.isEmpty() : result.out.startsWith(out), qPrintable(result.out));
        QVERIFY2(result.err.contains(err), qPrintable(result.err));
    }

    // The whole way through the program, with the default database name.
    void importListExportCheck()
    {
        QTemporaryDir dir;
        const QByteArray list = "english,chinese\n\"ice, cream\",冰淇淋\nsmile,微笑\n";
        QCOMPARE(run({"create"}, dir.path()).exitCode, 0);
        QVERIFY(QFileInfo::exists(dir.filePath("MyDatas.db")));
        QCOMPARE(run({"create"}, dir.path()).exitCode, 1);
        QCOMPARE(run({"import", "MyDatas.db", "23", "-"}, dir.path(), list).exitCode, 0);

        const Run bad = run({"import", "MyDatas.db", "word7", "-"}, dir.path(), "ok,好\nsmile\n");
        QCOMPARE(bad.exitCode, 1);
        QVERIFY2(bad.err.startsWith("<stdin>:2: "), qPrintable(bad.err));

        const Run listed = run({"list"}, dir.path());
        QCOMPARE(listed.exitCode, 0);
        QCOMPARE(listed.out.count(u'\n'), 20);
        QVERIFY(listed.out.contains("\n23\tword7\t二级3单元\t2\n"));

        const Run exported = run({"export", "MyDatas.db", "word7"}, dir.path());
        QCOMPARE(exported.exitCode, 0);
        QCOMPARE(exported.out, "ice, cream\t冰淇淋\nsmile\t微笑\n");
        QCOMPARE(run({"export", "MyDatas.db", "23", "out.tsv"}, dir.path()).exitCode, 0);
        QFile file(dir.filePath("out.tsv"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()), exported.out);

        QCOMPARE(run({"check"}, dir.path()).exitCode, 0);
        const Run course = run({"check", "--course"}, dir.path());
        QCOMPARE(course.exitCode, 1);
        QVERIFY2(course.err.contains("unit 11 (word1): 0 words"), qPrintable(course.err));
    }

    void importMdb()
    {
        const QString sample = TestSupport::fixture(QStringLiteral("mdb/word12-overflow.mdb"));
        QTemporaryDir dir;
        QCOMPARE(run({"create"}, dir.path()).exitCode, 0);
        const Run imported = run({"import-mdb", sample, "MyDatas.db"}, dir.path());
        QCOMPARE(imported.exitCode, 0);
        QCOMPARE(imported.out,
                 QStringLiteral("word12 (三级4单元): 7 words\n7 words in 1 unit(s) from %1 into MyDatas.db\n")
                     .arg(sample));

        // A file on which libmdb crashes: the reader's end is reported, and this command ends as it should.
        QFile damaged(dir.filePath("damaged.mdb"));
        QFile source(TestSupport::fixture(QStringLiteral("mdb/word11-with-password.mdb")));
        QVERIFY(source.open(QIODevice::ReadOnly) && damaged.open(QIODevice::WriteOnly));
        QVERIFY(damaged.write(source.read(248512)) == 248512);
        damaged.close();
        const Run failed = run({"import-mdb", "damaged.mdb", "MyDatas.db"}, dir.path());
        QCOMPARE(failed.exitCode, 1);
        QVERIFY2(failed.err.contains("the Access reader") && failed.err.contains("nothing was imported"),
                 qPrintable(failed.err));

        const Run refused = run({"import-mdb", "MyDatas.db", "MyDatas.db"}, dir.path());
        QCOMPARE(refused.exitCode, 1);
        QVERIFY2(refused.err.contains("MyDatas.db is not an Access database\nnothing was imported; "
                                      "MyDatas.db is unchanged"),
                 qPrintable(refused.err));
    }

    // Damage fails the check, a spelling of its own only makes a note, and the export goes on.
    void damagedAndOddlySpelledFields()
    {
        QTemporaryDir dir;
        QCOMPARE(run({"create"}, dir.path()).exitCode, 0);
        QCOMPARE(run({"import", "MyDatas.db", "23", "-"}, dir.path(), "ice,冰\nsmile,微笑\n").exitCode, 0);
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "damage");
            db.setDatabaseName(dir.filePath("MyDatas.db"));
            QVERIFY(db.open());
            QSqlQuery query(db);
            QVERIFY(query.exec("UPDATE word7 SET english = NULL WHERE rowid = 1"));
            QVERIFY(query.exec("UPDATE word7 SET chinese = lower(chinese) WHERE rowid = 2"));
        }
        QSqlDatabase::removeDatabase("damage");

        const Run checked = run({"check"}, dir.path());
        QCOMPARE(checked.exitCode, 1);
        QVERIFY2(checked.err.startsWith("unit 23 (word7) row 1, english: Null\nnote: unit 23 (word7) row 2, "
                                        "chinese: not in the canonical form"),
                 qPrintable(checked.err));

        const Run exported = run({"export", "MyDatas.db", "23"}, dir.path());
        QCOMPARE(exported.exitCode, 0);
        QCOMPARE(exported.out, "\t冰\nsmile\t微笑\n");
        QCOMPARE(exported.err, "unit 23 (word7) row 1, english: Null\n");
    }

    // A data folder's snapshots listed with their check, and one put back in place; not while a Vokabo
    // holds the folder, nor from a damaged copy.
    void snapshotsListedAndRestored()
    {
        QTemporaryDir dir;
        const QDir data(dir.path());
        QCOMPARE(run({"create"}, dir.path()).exitCode, 0);
        QCOMPARE(run({"import", "MyDatas.db", "23", "-"}, dir.path(), "ice,冰\nsmile,微笑\n").exitCode, 0);
        QVERIFY(mdlINI(dir.path()).WriteIniValue("LastDate", "23", "2026/3/8 10:00:00"));
        QVERIFY(!Snapshots::take(dir.path(), QDate(2026, 3, 8)));
        QVERIFY(!Snapshots::take(dir.path(), QDate(2026, 3, 9)));
        QFile damaged(data.filePath("snapshots/2026-03-09/MyDatas.db"));
        QVERIFY(damaged.open(QIODevice::WriteOnly) && damaged.write(QByteArray(4096, 'x')) == 4096);
        damaged.close();

        const Run listed = run({"snapshots", dir.path()}, dir.path());
        QCOMPARE(listed.exitCode, 1);
        const auto size = [&](const QString& file) { return QFileInfo(data.filePath(file)).size(); };
        QCOMPARE(listed.out, QStringLiteral("2026-03-09\tMyDatas.db\t4096\tdamaged\n"
                                            "2026-03-09\tSyset.ini\t%1\t-\n"
                                            "2026-03-08\tMyDatas.db\t%2\tok\n"
                                            "2026-03-08\tSyset.ini\t%1\t-\n")
                                 .arg(size("Syset.ini"))
                                 .arg(size("snapshots/2026-03-08/MyDatas.db")));
        QVERIFY2(listed.err.contains("2026-03-09/MyDatas.db: file is not a database"),
                 qPrintable(listed.err));

        QCOMPARE(run({"import", "--replace", "MyDatas.db", "23", "-"}, dir.path(), "sun,太阳\n").exitCode, 0);
        QVERIFY(mdlINI(dir.path()).WriteIniValue("LastDate", "23", "2026/3/10 10:00:00"));
        const auto unchanged = [&] {
            return run({"export", "MyDatas.db", "23"}, dir.path()).out == "sun\t太阳\n" &&
                   data.entryList({"*.replaced-*"}).isEmpty();
        };
        {
            QLockFile running(data.filePath(".vokabo.lock"));
            QVERIFY(running.tryLock(0));
            const Run refused = run({"restore", dir.path(), "2026-03-08"}, dir.path());
            QCOMPARE(refused.exitCode, 1);
            QVERIFY2(refused.err.contains("quit it first"), qPrintable(refused.err));
            QVERIFY(unchanged());
        }
        const Run fromDamaged = run({"restore", dir.path(), "2026-03-09"}, dir.path());
        QCOMPARE(fromDamaged.exitCode, 1);
        QVERIFY2(fromDamaged.err.contains("fails quick_check"), qPrintable(fromDamaged.err));
        QVERIFY(unchanged());

        const Run restored = run({"restore", dir.path(), "2026-03-08"}, dir.path());
        QCOMPARE(restored.exitCode, 0);
        QCOMPARE(run({"export", "MyDatas.db", "23"}, dir.path()).out, "ice\t冰\nsmile\t微笑\n");
        QCOMPARE(mdlINI(dir.path()).ReadIniValue("LastDate", "23"), "2026/3/8 10:00:00");
        const QStringList kept = data.entryList({"*.replaced-*"});
        QCOMPARE(kept.size(), 2);
        const QRegularExpression keptName(R"(^(MyDatas\.db|Syset\.ini)\.replaced-\d{4}-\d\d-\d\d-\d{6}$)");
        for (const QString& name : kept)
            QVERIFY2(keptName.match(name).hasMatch(), qPrintable(name));
        QCOMPARE(run({"export", kept.filter("MyDatas.db").value(0), "23"}, dir.path()).out, "sun\t太阳\n");
    }

    // A file that cannot be written whole is not put in place.
    void exportToAFullDisk()
    {
        QTemporaryDir dir;
        QCOMPARE(run({"create"}, dir.path()).exitCode, 0);
        QCOMPARE(
            run({"import", "MyDatas.db", "23", "-"}, dir.path(), (QByteArray(50, 'a') + ",甲\n").repeated(5))
                .exitCode,
            0);
        const Run full = run({"export", "MyDatas.db", "23", "out.tsv"}, dir.path(), {}, [] {
            const rlimit limit{100, 100};
            std::signal(SIGXFSZ, SIG_IGN);
            setrlimit(RLIMIT_FSIZE, &limit);
        });
        QCOMPARE(full.exitCode, 1);
        QVERIFY2(full.err.startsWith("cannot write out.tsv"), qPrintable(full.err));
        QVERIFY(!QFileInfo::exists(dir.filePath("out.tsv")));
    }
};

QTEST_GUILESS_MAIN(WordsCommandTest)
#include "TestSupport.h"
#include "WordsCommandTest.moc"
