// SPDX-License-Identifier: GPL-3.0-or-later
#include "SettingsFile.h"
#include "TestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QtTest>
#include <csignal>
#include <cstdio>
#include <functional>
#include <grp.h>
#include <optional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QByteArray gbk(const char* hex)
{
    return QByteArray::fromHex(hex);
}

QByteArray utf16(const QString& text, QSysInfo::Endian order = QSysInfo::LittleEndian)
{
    QByteArray bytes = order == QSysInfo::LittleEndian ? QByteArray("\xFF\xFE") : QByteArray("\xFE\xFF");
    for (const QChar c : text) {
        const char units[2] = {char(c.unicode() & 0xFF), char(c.unicode() >> 8)};
        bytes.append(units[order == QSysInfo::LittleEndian ? 0 : 1])
            .append(units[order == QSysInfo::LittleEndian ? 1 : 0]);
    }
    return bytes;
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// Runs a write in a child process that first calls `setUp`: to give root up (root writes through
// read-only permissions) or to limit the size of files (a full disk). No value when that cannot be
// arranged.
std::optional<IniWriteResult> writeInChild(const std::function<bool()>& setUp,
                                           const std::function<IniWriteResult()>& write)
{
    std::fflush(stdout);
    std::fflush(stderr);
    int result[2];
    if (pipe(result) != 0)
        return std::nullopt;
    const pid_t child = fork();
    if (child < 0)
        return std::nullopt;
    if (child == 0) {
        close(result[0]);
        if (!setUp())
            _exit(3);
        const IniWriteResult written = write();
        const QByteArray reason = written.error ? written.error->message.toUtf8() : QByteArray();
        _exit(::write(result[1], reason.constData(), size_t(reason.size())) == reason.size() ? 0 : 3);
    }
    close(result[1]);
    QByteArray reason;
    char buffer[256];
    for (ssize_t n; (n = read(result[0], buffer, sizeof buffer)) > 0;)
        reason.append(buffer, n);
    close(result[0]);
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    if (reason.isEmpty())
        return IniWriteResult{};
    return IniWriteResult{Failure{QString::fromUtf8(reason), {}}};
}

bool giveUpRoot()
{
    if (geteuid() != 0)
        return true;
    const uid_t nobody = 65534;
    return setgroups(0, nullptr) == 0 && setgid(nobody) == 0 && setuid(nobody) == 0 && geteuid() != 0;
}

} // namespace

class IniFileTest : public QObject {
    Q_OBJECT

private slots:
    void read_data();
    void read();
    void readWithoutFile();
    void write_data();
    void write();
    void keysKeepTheirOrder();
    void writeThenRead_data();
    void writeThenRead();
    void failedWrite_data();
    void failedWrite();
    void orphanedCopiesGoAtTheNextWrite();
    void processesWritingAtOnceLoseNothing();
};

void IniFileTest::read_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");

    QTest::newRow("CRLF") << QByteArray("[Main]\r\nDate=2017/11/1\r\n") << "Main"
                          << "Date"
                          << "2017/11/1";
    QTest::newRow("LF") << QByteArray("[Other]\nDate=no\n[Main]\nDate=yes\n") << "Main"
                        << "Date"
                        << "yes";
    QTest::newRow("lone CR") << QByteArray("[Other]\rDate=no\r[Main]\rDate=yes\r") << "Main"
                             << "Date"
                             << "yes";
    QTest::newRow("mixed endings") << QByteArray("[Other]\r\nA=1\n[Main]\rB=2\r\nDate=yes") << "Main"
                                   << "Date"
                                   << "yes";
    QTest::newRow("LF CR is two endings") << QByteArray("[Main]\n\rDate=yes\n\r") << "Main"
                                          << "Date"
                                          << "yes";
    QTest::newRow("no final line ending") << QByteArray("[Main]\r\nDate=yes") << "Main"
                                          << "Date"
                                          << "yes";
    QTest::newRow("section case") << QByteArray("[MAIN]\r\nDate=yes\r\n") << "main"
                                  << "Date"
                                  << "yes";
    QTest::newRow("key case") << QByteArray("[Main]\r\ndATE=yes\r\n") << "Main"
                              << "Date"
                              << "yes";
    QTest::newRow("blanks around names") << QByteArray(" \t[ Main\t]  \r\n\t Date \t=yes\r\n") << "Main"
                                         << "Date"
                                         << "yes";
    QTest::newRow("blanks around value") << QByteArray("[Main]\r\nDate= \t yes  no\t \r\n") << "Main"
                                         << "Date"
                                         << "yes  no";
    QTest::newRow("blank inside key") << QByteArray("[Main]\r\nLast Date = yes\r\n") << "Main"
                                      << "Last Date"
                                      << "yes";
    QTest::newRow("double quotes") << QByteArray("[Main]\r\nDate=\"yes\"\r\n") << "Main"
                                   << "Date"
                                   << "yes";
    QTest::newRow("single quotes") << QByteArray("[Main]\r\nDate='yes'\r\n") << "Main"
                                   << "Date"
                                   << "yes";
    QTest::newRow("blanks inside quotes kept") << QByteArray("[Main]\r\nDate =  \" yes \"  \r\n") << "Main"
                                               << "Date"
                                               << " yes ";
    QTest::newRow("one pair of quotes only") << QByteArray("[Main]\r\nDate=\"\"yes\"\"\r\n") << "Main"
                                             << "Date"
                                             << "\"yes\"";
    QTest::newRow("unmatched quotes kept") << QByteArray("[Main]\r\nDate=\"yes'\r\n") << "Main"
                                           << "Date"
                                           << "\"yes'";
    QTest::newRow("lone quote kept") << QByteArray("[Main]\r\nDate=\"\r\n") << "Main"
                                     << "Date"
                                     << "\"";
    QTest::newRow("empty quotes") << QByteArray("[Main]\r\nDate=''\r\n") << "Main"
                                  << "Date"
                                  << "";
    QTest::newRow("empty value") << QByteArray("[Main]\r\nDate=\r\nOther=x\r\n") << "Main"
                                 << "Date"
                                 << "";
    QTest::newRow("equals sign in value") << QByteArray("[Main]\r\nDate=a=b\r\n") << "Main"
                                          << "Date"
                                          << "a=b";
    QTest::newRow("semicolon inside value") << QByteArray("[Main]\r\nDate=a ;b\r\n") << "Main"
                                            << "Date"
                                            << "a ;b";
    QTest::newRow("commented key") << QByteArray("[Main]\r\n;Date=old\r\nDate=new\r\n") << "Main"
                                   << "Date"
                                   << "new";
    QTest::newRow("a comment is no key") << QByteArray("[Main]\r\n;Date=old\r\n") << "Main"
                                         << ";Date"
                                         << "";
    QTest::newRow("indented comment") << QByteArray("[Main]\r\n \t; Date=old\r\n") << "Main"
                                      << "; Date"
                                      << "";
    QTest::newRow("commented section") << QByteArray(";[Main]\r\nDate=no\r\n") << "Main"
                                       << "Date"
                                       << "";
    QTest::newRow("commented section inside another")
        << QByteArray("[Main]\r\nDate=yes\r\n;[Other]\r\nMore=also\r\n") << "Main"
        << "More"
        << "also";
    QTest::newRow("line without equals sign") << QByteArray("[Main]\r\nDate\r\nDate=yes\r\n") << "Main"
                                              << "Date"
                                              << "yes";
    QTest::newRow("first duplicate key") << QByteArray("[Main]\r\nDate=first\r\ndate=second\r\n") << "Main"
                                         << "Date"
                                         << "first";
    QTest::newRow("first duplicate section")
        << QByteArray("[Main]\r\nDate=first\r\n[Other]\r\n[main]\r\nDate=second\r\n") << "Main"
        << "Date"
        << "first";
    QTest::newRow("key only in second duplicate section")
        << QByteArray("[Main]\r\nA=1\r\n[Other]\r\n[Main]\r\nDate=second\r\n") << "Main"
        << "Date"
        << "";
    QTest::newRow("key of another section") << QByteArray("[Other]\r\nDate=no\r\n[Main]\r\nA=1\r\n") << "Main"
                                            << "Date"
                                            << "";
    QTest::newRow("key before every section") << QByteArray("Date=no\r\n[Main]\r\n") << "Main"
                                              << "Date"
                                              << "";
    QTest::newRow("missing section") << QByteArray("[Other]\r\nDate=no\r\n") << "Main"
                                     << "Date"
                                     << "";
    QTest::newRow("empty file") << QByteArray() << "Main"
                                << "Date"
                                << "";
    QTest::newRow("GBK section, key and value")
        << "[" + gbk("b5a5d4aa") + "]\r\n" + gbk("c8d5c6da") + "=" + gbk("b6fea996d2bbc6dfc4ea") + "\r\n"
        << "单元"
        << "日期"
        << "二〇一七年";
    QTest::newRow("GBK quoted value") << "[Main]\r\nWord=\"" + gbk("c6bbb9fb") + "\"\r\n"
                                      << "Main"
                                      << "Word"
                                      << "苹果";
    QTest::newRow("vertical tabs are blanks") << QByteArray("\v[\vMain\v]\r\n\vDate\v=\vyes\v\r\n") << "Main"
                                              << "Date"
                                              << "yes";
    QTest::newRow("caller's names padded") << QByteArray("[Main]\r\nDate=yes\r\n") << " Main\t"
                                           << "\vDate "
                                           << "yes";
    QTest::newRow("']' as second byte of a GBK character") << "[" + gbk("815d") + "]\r\nDate=yes\r\n"
                                                           << QStringLiteral("乚") << "Date"
                                                           << "yes";
    QTest::newRow("UTF-16LE") << utf16("[单元]\r\n日期 = \"二〇一七年\"\r\n") << "单元"
                              << "日期"
                              << "二〇一七年";
    QTest::newRow("UTF-16BE") << utf16("[单元]\n日期=二〇一七年", QSysInfo::BigEndian) << "单元"
                              << "日期"
                              << "二〇一七年";
    QTest::newRow("UTF-8 with byte order mark")
        << "\xEF\xBB\xBF" + QStringLiteral("[单元]\r\n日期=是\r\n").toUtf8() << "单元"
        << "日期"
        << "是";
    QTest::newRow("1024 characters") << "[Main]\r\nLong=" + QByteArray(1024, 'x') + "\r\n"
                                     << "Main"
                                     << "Long" << QString(1024, u'x');
    QTest::newRow("1025 characters") << "[Main]\r\nLong=" + QByteArray(1025, 'x') + "\r\n"
                                     << "Main"
                                     << "Long" << QString(1024, u'x');
    QTest::newRow("1500 characters") << "[Main]\r\nLong=" + QByteArray(1499, 'x') + "y\r\nNext=1\r\n"
                                     << "Main"
                                     << "Long" << QString(1024, u'x');
    QTest::newRow("1500 Chinese characters") << "[Main]\r\nLong=" + gbk("d6d0").repeated(1500) + "\r\n"
                                             << "Main"
                                             << "Long" << QString(1024, u'中');
}

void IniFileTest::read()
{
    QFETCH(QByteArray, contents);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    mdlINI ini(dir.path());
    QVERIFY(writeBytes(ini.path(), contents));
    QCOMPARE(ini.ReadIniValue(section, key), value);
    QCOMPARE(ini.ReadIniSection(section).value(key), value);
    QCOMPARE(readBytes(ini.path()), contents);
}

void IniFileTest::readWithoutFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    mdlINI ini(dir.path());
    QCOMPARE(ini.ReadIniValue(QStringLiteral("Main"), QStringLiteral("Date")), QString());
    QVERIFY(!QFile::exists(ini.path()));
}

void IniFileTest::write_data()
{
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("no file") << false << QByteArray() << "Main"
                             << "Date"
                             << "2017/11/1" << QByteArray("[Main]\r\nDate=2017/11/1\r\n");
    QTest::newRow("empty file") << true << QByteArray() << "Main"
                                << "Date"
                                << "x" << QByteArray("[Main]\r\nDate=x\r\n");
    QTest::newRow("section appended at the end")
        << true << QByteArray("; settings\r\n[Other]\r\nA = 'kept'\r\n\r\n") << "Main"
        << "Date"
        << "x" << QByteArray("; settings\r\n[Other]\r\nA = 'kept'\r\n\r\n[Main]\r\nDate=x\r\n");
    QTest::newRow("section appended after a last line without ending")
        << true << QByteArray("[Other]\r\nA=1") << "Main"
        << "Date"
        << "x" << QByteArray("[Other]\r\nA=1\r\n[Main]\r\nDate=x\r\n");
    QTest::newRow("key after the last key of its section")
        << true << QByteArray("[Main]\r\nA=1\r\nB=2\r\n\r\n[Other]\r\nC=3\r\n") << "Main"
        << "Date"
        << "x" << QByteArray("[Main]\r\nA=1\r\nB=2\r\nDate=x\r\n\r\n[Other]\r\nC=3\r\n");
    QTest::newRow("key before a comment that follows the last key")
        << true << QByteArray("[Main]\r\nA=1\r\n; Other=next\r\n[Other]\r\n") << "Main"
        << "Date"
        << "x" << QByteArray("[Main]\r\nA=1\r\nDate=x\r\n; Other=next\r\n[Other]\r\n");
    QTest::newRow("key in a section without keys")
        << true << QByteArray("[Main]\r\n[Other]\r\nC=3\r\n") << "Main"
        << "Date"
        << "x" << QByteArray("[Main]\r\nDate=x\r\n[Other]\r\nC=3\r\n");
    QTest::newRow("key in a last section without ending") << true << QByteArray("[Main]") << "Main"
                                                          << "Date"
                                                          << "x" << QByteArray("[Main]\r\nDate=x\r\n");
    QTest::newRow("key after a last key without ending") << true << QByteArray("[Main]\r\nA=1") << "Main"
                                                         << "Date"
                                                         << "x" << QByteArray("[Main]\r\nA=1\r\nDate=x\r\n");
    QTest::newRow("key goes to the first duplicate section")
        << true << QByteArray("[Main]\r\nA=1\r\n[Other]\r\n[Main]\r\nB=2\r\n") << "Main"
        << "Date"
        << "x" << QByteArray("[Main]\r\nA=1\r\nDate=x\r\n[Other]\r\n[Main]\r\nB=2\r\n");
    QTest::newRow("value replaced in place")
        << true << QByteArray("[Other]\r\nDate=o\r\n[Main]\r\nA=1\r\nDate=old\r\nB=2\r\n") << "Main"
        << "Date"
        << "new" << QByteArray("[Other]\r\nDate=o\r\n[Main]\r\nA=1\r\nDate=new\r\nB=2\r\n");
    QTest::newRow("spelling of section and key kept")
        << true << QByteArray("[MAIN]\r\ndate=old\r\n") << "Main"
        << "Date"
        << "new" << QByteArray("[MAIN]\r\ndate=new\r\n");
    QTest::newRow("first duplicate key replaced")
        << true << QByteArray("[Main]\r\nDate=1\r\nDate=2\r\n") << "Main"
        << "Date"
        << "x" << QByteArray("[Main]\r\nDate=x\r\nDate=2\r\n");
    QTest::newRow("commented key left alone")
        << true << QByteArray("[Main]\r\n;Date=old\r\nA=1\r\n") << "Main"
        << "Date"
        << "x" << QByteArray("[Main]\r\n;Date=old\r\nA=1\r\nDate=x\r\n");
    QTest::newRow("LF file: only the written line gets CRLF")
        << true << QByteArray("[Main]\nA=1\n[Other]\nB=2\n") << "Main"
        << "Date"
        << "x" << QByteArray("[Main]\nA=1\nDate=x\r\n[Other]\nB=2\n");
    QTest::newRow("LF file: replaced line") << true << QByteArray("[Main]\nDate=old\nB=2\n") << "Main"
                                            << "Date"
                                            << "x" << QByteArray("[Main]\nDate=x\r\nB=2\n");
    QTest::newRow("CR file: replaced line") << true << QByteArray("[Main]\rDate=old\rB=2\r") << "Main"
                                            << "Date"
                                            << "x" << QByteArray("[Main]\rDate=x\r\nB=2\r");
    QTest::newRow("replaced last line without ending") << true << QByteArray("[Main]\r\nDate=old") << "Main"
                                                       << "Date"
                                                       << "x" << QByteArray("[Main]\r\nDate=x\r\n");
    QTest::newRow("caller's padded names find section and key")
        << true << QByteArray("[Main]\r\nDate=old\r\n") << " Main\v"
        << "\tDate "
        << "new" << QByteArray("[Main]\r\nDate=new\r\n");
    QTest::newRow("caller's padded names written trimmed") << false << QByteArray() << " Main "
                                                           << " Date\v"
                                                           << "x" << QByteArray("[Main]\r\nDate=x\r\n");
    QTest::newRow("UTF-16LE file stays UTF-16LE")
        << true << utf16("[Main]\r\nA=1\r\n") << "Main"
        << "Date"
        << "二〇一七年" << utf16("[Main]\r\nA=1\r\nDate=二〇一七年\r\n");
    QTest::newRow("UTF-16LE file, new section, any character")
        << true << utf16("[Other]\r\nA=1") << "Main"
        << "Date" << QStringLiteral("\U0001F600")
        << utf16(QStringLiteral("[Other]\r\nA=1\r\n[Main]\r\nDate=\U0001F600\r\n"));
    QTest::newRow("UTF-8 file stays UTF-8")
        << true << "\xEF\xBB\xBF" + QStringLiteral("[Main]\r\nDate=旧\r\n").toUtf8() << "Main"
        << "Date"
        << "新"
        << "\xEF\xBB\xBF" + QStringLiteral("[Main]\r\nDate=新\r\n").toUtf8();
    QTest::newRow("GBK text") << false << QByteArray() << "单元"
                              << "日期"
                              << "二〇一七年"
                              << "[" + gbk("b5a5d4aa") + "]\r\n" + gbk("c8d5c6da") + "=" +
                                     gbk("b6fea996d2bbc6dfc4ea") + "\r\n";
    QTest::newRow("GBK bytes elsewhere kept")
        << true << "; " + gbk("c1b7cfb0") + "\r\n[Main]\r\nWord=" + gbk("c6bbb9fb") + "\r\n"
        << "Main"
        << "Date"
        << "x"
        << "; " + gbk("c1b7cfb0") + "\r\n[Main]\r\nWord=" + gbk("c6bbb9fb") + "\r\nDate=x\r\n";
}

void IniFileTest::write()
{
    QFETCH(bool, exists);
    QFETCH(QByteArray, before);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QByteArray, after);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    mdlINI ini(dir.path());
    if (exists)
        QVERIFY(writeBytes(ini.path(), before));
    QVERIFY(ini.WriteIniValue(section, key, value));
    QCOMPARE(readBytes(ini.path()), after);
    QCOMPARE(ini.ReadIniValue(section, key), value);
    // Nothing is left behind beside the file.
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{QStringLiteral("Syset.ini")});
}

void IniFileTest::keysKeepTheirOrder()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    mdlINI ini(dir.path());
    QVERIFY(ini.WriteIniValue(QStringLiteral("Finish"), QStringLiteral("11"), QStringLiteral("2017/11/1")));
    QVERIFY(ini.WriteIniValue(QStringLiteral("Finish"), QStringLiteral("34"), QStringLiteral("2017/11/2")));
    QVERIFY(ini.WriteIniValue(QStringLiteral("Other"), QStringLiteral("A"), QStringLiteral("1")));
    QVERIFY(ini.WriteIniValue(QStringLiteral("Finish"), QStringLiteral("21"), QStringLiteral("2017/11/3")));
    QVERIFY(ini.WriteIniValue(QStringLiteral("finish"), QStringLiteral("11"),
                              QStringLiteral("2018/1/5 9:00:00")));
    QCOMPARE(
        readBytes(ini.path()),
        QByteArray("[Finish]\r\n11=2018/1/5 9:00:00\r\n34=2017/11/2\r\n21=2017/11/3\r\n[Other]\r\nA=1\r\n"));
}

void IniFileTest::writeThenRead_data()
{
    QTest::addColumn<QString>("value");

    QTest::newRow("date") << "2017/11/1 14:05:09";
    QTest::newRow("Chinese") << "已完成";
    QTest::newRow("empty") << "";
    QTest::newRow("semicolon and equals") << "a;b=c";
    QTest::newRow("1024 characters") << QString(1024, u'z');
}

void IniFileTest::writeThenRead()
{
    QFETCH(QString, value);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    mdlINI ini(dir.path());
    QVERIFY(writeBytes(ini.path(), "[Finish]\r\n11=old\r\n[Other]\r\n11=other\r\n"));
    QVERIFY(ini.WriteIniValue(QStringLiteral("Finish"), QStringLiteral("11"), value));
    QVERIFY(ini.WriteIniValue(QStringLiteral("Finish"), QStringLiteral("12"), value));
    QCOMPARE(ini.ReadIniValue(QStringLiteral("Finish"), QStringLiteral("11")), value);
    QCOMPARE(ini.ReadIniValue(QStringLiteral("FINISH"), QStringLiteral("12")), value);
    QCOMPARE(ini.ReadIniValue(QStringLiteral("Other"), QStringLiteral("11")), QStringLiteral("other"));
}

void IniFileTest::failedWrite_data()
{
    QTest::addColumn<QString>("obstacle");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("reason"); // part of the learner's message

    QTest::newRow("read-only file") << "file"
                                    << "Main"
                                    << "x"
                                    << "是只读的";
    QTest::newRow("unreadable file") << "unreadable"
                                     << "Main"
                                     << "x"
                                     << "无法读取";
    QTest::newRow("read-only directory") << "directory"
                                         << "Main"
                                         << "x"
                                         << "无法在";
    QTest::newRow("full disk") << "full"
                               << "Main" << QString(600, u'x') << "磁盘可能已满";
    QTest::newRow("directory path runs through a file") << "not a directory"
                                                        << "Main"
                                                        << "x"
                                                        << "无法在";
    QTest::newRow("value outside code page 936")
        << ""
        << "Main" << QStringLiteral("\U0001F600") << "无法保存的字符";
    QTest::newRow("section outside code page 936") << "" << QStringLiteral("\U0001F600") << "x"
                                                   << "无法保存的字符";
    QTest::newRow("value with CR LF") << ""
                                      << "Main"
                                      << "x\r\n[Other]"
                                      << "换行符";
    QTest::newRow("value with LF") << ""
                                   << "Main"
                                   << "x\nDate=y"
                                   << "换行符";
}

void IniFileTest::failedWrite()
{
    QFETCH(QString, obstacle);
    QFETCH(QString, section);
    QFETCH(QString, value);
    QFETCH(QString, reason);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray before("; kept\r\n[Main]\r\nDate=old\r\n");
    QString directory = dir.path();
    if (obstacle == QLatin1String("not a directory")) {
        QVERIFY(writeBytes(dir.filePath(QStringLiteral("plain")), "not a directory"));
        directory = dir.filePath(QStringLiteral("plain"));
    } else {
        QVERIFY(writeBytes(mdlINI(directory).path(), before));
    }
    mdlINI ini(directory);

    const auto restore = qScopeGuard([&] {
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::setPermissions(ini.path(), QFile::ReadOwner | QFile::WriteOwner);
    });
    const auto all = [](QFile::Permissions owner) {
        const int bits = owner.toInt();
        return QFile::Permissions::fromInt(bits | bits >> 4 | bits >> 8 | bits >> 12);
    };
    // Only the named obstacle stands in the way, also for the unprivileged account of a root run.
    const QFile::Permissions openDirectory = all(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (obstacle == QLatin1String("file")) {
        QVERIFY(QFile::setPermissions(dir.path(), openDirectory));
        QVERIFY(QFile::setPermissions(ini.path(), all(QFile::ReadOwner)));
    } else if (obstacle == QLatin1String("unreadable")) {
        QVERIFY(QFile::setPermissions(dir.path(), openDirectory));
        QVERIFY(QFile::setPermissions(ini.path(), all(QFile::WriteOwner)));
    } else if (obstacle == QLatin1String("directory")) {
        QVERIFY(QFile::setPermissions(dir.path(), all(QFile::ReadOwner | QFile::ExeOwner)));
        QVERIFY(QFile::setPermissions(ini.path(), all(QFile::ReadOwner | QFile::WriteOwner)));
    }

    TestSupport::StderrCapture capture;
    const auto write = [&] { return ini.WriteIniValue(section, QStringLiteral("Date"), value); };
    std::optional<IniWriteResult> written;
    if (obstacle == QLatin1String("full")) {
        // A file may not grow past 300 bytes: as good as a full disk for the copy that replaces the file.
        written = writeInChild(
            [] {
                const rlimit limit{300, 300};
                return std::signal(SIGXFSZ, SIG_IGN) != SIG_ERR && setrlimit(RLIMIT_FSIZE, &limit) == 0;
            },
            write);
    } else if (QStringList{"file", "unreadable", "directory"}.contains(obstacle)) {
        written = writeInChild(giveUpRoot, write);
    } else {
        written = write();
    }
    const QByteArray printed = capture.text();
    if (!written)
        QSKIP("the obstacle could not be arranged in a child process");
    QVERIFY(!*written);
    QVERIFY2(written->error->message.contains(reason), qPrintable(written->error->message));
    QCOMPARE(printed.count('\n'), 1);
    QVERIFY(printed.endsWith('\n') && printed.size() > 1);

    if (obstacle == QLatin1String("not a directory")) {
        QVERIFY(!QFileInfo::exists(ini.path()));
        QCOMPARE(ini.ReadIniValue(QStringLiteral("Main"), QStringLiteral("Date")), QString());
    } else {
        QFile::setPermissions(ini.path(), QFile::ReadOwner | QFile::WriteOwner);
        QCOMPARE(readBytes(ini.path()), before);
        QCOMPARE(ini.ReadIniValue(QStringLiteral("Main"), QStringLiteral("Date")), QStringLiteral("old"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList{QStringLiteral("Syset.ini")});
    }
}

void IniFileTest::orphanedCopiesGoAtTheNextWrite()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    mdlINI ini(dir.path());
    // What a cut-off write of ours leaves, long ago and a moment ago (another process still writing it).
    const QString orphan = QStringLiteral(".Syset.ini.vokabo-write-AbC123");
    const QString live = QStringLiteral(".Syset.ini.vokabo-write-x9Y8z7");
    // The learner's own copies, whatever their names.
    const QStringList others{"Syset.ini.backup", "Syset.ini.AbC123", "Syset.ini.bak", "Other.ini.AbC123"};
    for (const QString& name : others + QStringList{orphan, live})
        QVERIFY(writeBytes(dir.filePath(name), "[LastDate]\r\n"));
    QFile old(dir.filePath(orphan));
    QVERIFY(old.open(QIODevice::ReadWrite));
    QVERIFY(old.setFileTime(QDateTime::currentDateTime().addSecs(-120), QFileDevice::FileModificationTime));
    old.close();

    QVERIFY(ini.WriteIniValue(QStringLiteral("LastDate"), QStringLiteral("11"), QStringLiteral("2017/11/1")));
    QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    QStringList expected = others + QStringList{"Syset.ini", live};
    expected.sort();
    QCOMPARE(left, expected);
}

void IniFileTest::processesWritingAtOnceLoseNothing()
{
    // Three processes, each writing 300 values of its own, as fast as they can: every value is there at the
    // end. In memory where there is a file system there, since every write waits for the disk.
    QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                          ? QStringLiteral("/dev/shm/tst_settingsfile-XXXXXX")
                          : QString());
    QVERIFY(dir.isValid());
    constexpr int Processes = 3;
    constexpr int Writes = 300;
    std::fflush(stdout);
    std::fflush(stderr);
    QList<pid_t> children;
    for (int p = 0; p < Processes; ++p) {
        const pid_t child = fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            mdlINI ini(dir.path());
            int failed = 0;
            for (int i = 0; i < Writes; ++i, usleep(1000))
                failed +=
                    !ini.WriteIniValue(QStringLiteral("LastDate"), QStringLiteral("%1-%2").arg(p).arg(i),
                                       QStringLiteral("2026/12/8 10:00:00"));
            _exit(failed == 0 ? 0 : 1);
        }
        children << child;
    }
    for (const pid_t child : children) {
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const IniSection dates = mdlINI(dir.path()).ReadIniSection(QStringLiteral("LastDate"));
    QCOMPARE(dates.keys().size(), Processes * Writes);
}

QTEST_GUILESS_MAIN(IniFileTest)
#include "tst_settingsfile.moc"
