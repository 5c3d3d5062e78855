#include "FieldCipher.h"
#include "HistoryFile.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <fcntl.h>
#include <functional>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

bool writeProcFile(const char* file, const QByteArray& text)
{
    const int fd = ::open(file, O_WRONLY);
    const bool written = fd >= 0 && ::write(fd, text.constData(), size_t(text.size())) == text.size();
    if (fd >= 0)
        ::close(fd);
    return written;
}

// A mount namespace of this process's own, as root or through a user namespace.
bool ownMountNamespace()
{
    const uid_t uid = getuid();
    const gid_t gid = getgid();
    if (unshare(CLONE_NEWNS) != 0) {
        if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
            return false;
        writeProcFile("/proc/self/setgroups", "deny");
        if (!writeProcFile("/proc/self/uid_map", QByteArray("0 ") + QByteArray::number(uid) + " 1") ||
            !writeProcFile("/proc/self/gid_map", QByteArray("0 ") + QByteArray::number(gid) + " 1"))
            return false;
    }
    return mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

// Runs `body` in a child process on a file system of 1 MB of its own (tmpfs), which it may fill: what the
// body returns comes back. No value where the machine lets no process mount one.
std::optional<QString> onSmallDisk(const std::function<QString(const QString& folder)>& body)
{
    QTemporaryDir mountPoint;
    int channel[2];
    if (pipe(channel) != 0)
        return std::nullopt;
    const pid_t child = fork();
    if (child == 0) {
        ::close(channel[0]);
        if (!ownMountNamespace() || mount("vokabo-test", QFile::encodeName(mountPoint.path()).constData(),
                                          "tmpfs", 0, "size=1m") != 0)
            _exit(3);
        const QByteArray result = body(mountPoint.path()).toUtf8();
        const bool sent = ::write(channel[1], result.constData(), size_t(result.size())) == result.size();
        _exit(sent ? 0 : 1);
    }
    ::close(channel[1]);
    QByteArray result;
    char buffer[4096];
    for (ssize_t got; (got = ::read(channel[0], buffer, sizeof buffer)) > 0;)
        result.append(buffer, got);
    ::close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) == 3)
        return std::nullopt;
    return QString::fromUtf8(result);
}

// Fills the folder's file system up to `leave` bytes.
bool fill(const QString& folder, qint64 leave)
{
    QFile filler(QDir(folder).filePath(QStringLiteral("filler")));
    if (!filler.open(QIODevice::WriteOnly))
        return false;
    qint64 left = QStorageInfo(folder).bytesAvailable() - leave;
    const QByteArray block(4096, '\0');
    while (left > 0 && filler.write(block.constData(), std::min<qint64>(left, block.size())) > 0)
        left -= block.size();
    return filler.flush();
}

QString described(const Failure& failure)
{
    return failure.message + u'\n' + failure.detail;
}

QString describedOpen(const QString& file)
{
    auto opened = HistoryFile::open(file, HistoryFile::Mode::Write);
    if (auto* failed = std::get_if<Failure>(&opened))
        return described(*failed);
    return QStringLiteral("opened");
}

std::vector<HistoryWrite> aPassedWord(const QString& english)
{
    DrillEvent event;
    event.kind = DrillEvent::Kind::Passed;
    event.at = QDateTime(QDate(2026, 3, 9), QTime(9, 30));
    event.word = {{QStringLiteral("word7"), 1},
                  *encodeField(english + QStringLiteral("的意思")),
                  *encodeField(english)};
    ErrorBook book;
    return {{event, book.apply(event)}};
}

} // namespace

class TestHistoryFile : public QObject {
    Q_OBJECT
private slots:
    // A full disk at each step of using the record is told as such, with SQLite's own reason.
    void fullDiskIsSaidSo_data()
    {
        QTest::addColumn<int>("step");
        QTest::newRow("opening a record") << 0;
        QTest::newRow("creating the tables") << 1;
        QTest::newRow("writing") << 2;
    }
    void fullDiskIsSaidSo()
    {
        QFETCH(int, step);
        const auto result = onSmallDisk([step](const QString& folder) -> QString {
            const QString file = HistoryFile::path(folder);
            if (step == 1) {
                // A database in WAL mode without tables: the tables are the first thing to need room.
                {
                    QSqlDatabase db =
                        QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("wal"));
                    db.setDatabaseName(file);
                    if (!db.open() || !QSqlQuery(db).exec(QStringLiteral("PRAGMA journal_mode=WAL")))
                        return QStringLiteral("cannot make the file");
                }
                QSqlDatabase::removeDatabase(QStringLiteral("wal"));
                // Room for the -shm (32 KB) and little more.
                return fill(folder, 36 * 1024) ? describedOpen(file) : QStringLiteral("cannot fill");
            }
            auto opened = HistoryFile::open(file, HistoryFile::Mode::Write);
            if (auto* failed = std::get_if<Failure>(&opened))
                return described(*failed);
            auto history = std::move(std::get<std::unique_ptr<HistoryFile>>(opened));
            if (history->write(aPassedWord(QStringLiteral("one"))))
                return QStringLiteral("cannot write");
            if (step == 0) {
                history.reset();
                return fill(folder, 0) ? describedOpen(file) : QStringLiteral("cannot fill");
            }
            if (!fill(folder, 0))
                return QStringLiteral("cannot fill");
            const auto failed = history->write(aPassedWord(QStringLiteral("two")));
            return failed ? described(*failed) : QStringLiteral("written");
        });
        if (!result)
            QSKIP("no file system of its own can be mounted here");
        QVERIFY2(result->startsWith(QStringLiteral("磁盘已满")), qPrintable(*result));
        QVERIFY2(result->section(u'\n', 1).contains(QStringLiteral("disk")), qPrintable(*result));
    }
};

QTEST_GUILESS_MAIN(TestHistoryFile)
#include "tst_historyfile.moc"
