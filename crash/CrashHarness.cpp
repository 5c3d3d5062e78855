// SPDX-License-Identifier: GPL-3.0-or-later
// Crash consistency: a child process drills for real, through the word store and the drill engine,
// deleting mastered words, completing units and writing their dates; the parent kills it with SIGKILL at
// a random moment, and then checks the files as the next start of Vokabo would find them:
//   - PRAGMA integrity_check of MyDatas.db is "ok";
//   - every delete that the child reported is gone, and nothing else is (a delete under way may be either);
//   - Syset.ini is exactly the old whole file or the new one.
//
//   vokabo_crash_harness KILLS [SEED]     the parent: KILLS kills, a random seed without SEED
//   vokabo_crash_harness --child DIR SEED the child (started by the parent)
#include "Catalogue.h"
#include "DrillEngine.h"
#include "SqlConnection.h"
#include "WordDatabase.h"
#include "WordStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSet>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int WordsPerUnit = 30;
constexpr int RefillBelow = 300; // rows left in all units together

const QString LogName = QStringLiteral("child.log");

// ---- The child -------------------------------------------------------------------------------------

// The child's account of what it does, one line a step, written straight to the file so that a kill
// loses at most the line of the step it interrupts.
class Log {
public:
    explicit Log(const QString& file)
        : fd_(::open(QFile::encodeName(file).constData(), O_WRONLY | O_APPEND | O_CREAT, 0644))
    {
    }
    ~Log() { ::close(fd_); }
    Log(const Log&) = delete;
    Log& operator=(const Log&) = delete;

    void line(const QString& text)
    {
        const QByteArray bytes = (text + u'\n').toUtf8();
        if (::write(fd_, bytes.constData(), size_t(bytes.size())) != bytes.size())
            std::_Exit(3);
    }

private:
    int fd_;
};

// Reports every delete before it is sent ("D") and once it has gone through ("d").
class ReportingRecordset final : public Recordset {
public:
    ReportingRecordset(std::unique_ptr<Recordset> inner, QString table, Log& log)
        : inner_(std::move(inner)), table_(std::move(table)), log_(log)
    {
    }
    std::optional<Failure> MoveFirst() override { return inner_->MoveFirst(); }
    std::optional<Failure> MoveNext() override { return inner_->MoveNext(); }
    std::optional<Failure> Delete() override
    {
        const QString record = table_ + u' ' + inner_->Field(0).value_or(QStringLiteral("?"));
        log_.line(QStringLiteral("D ") + record);
        auto failed = inner_->Delete();
        if (!failed)
            log_.line(QStringLiteral("d ") + record);
        return failed;
    }
    int RecordCount() const override { return inner_->RecordCount(); }
    int AbsolutePosition() const override { return inner_->AbsolutePosition(); }
    std::optional<QString> Field(int position) const override { return inner_->Field(position); }
    void Close() override { inner_->Close(); }

private:
    std::unique_ptr<Recordset> inner_;
    QString table_;
    Log& log_;
};

// Reports every write of a completion date before it starts ("W") and once it has gone through ("w").
class ReportingSettings final : public SettingsFile {
public:
    ReportingSettings(const QString& directory, Log& log) : file_(directory), log_(log) {}
    QString ReadIniValue(const QString& section, const QString& key) const override
    {
        return file_.ReadIniValue(section, key);
    }
    IniSection ReadIniSection(const QString& section) const override { return file_.ReadIniSection(section); }
    IniWriteResult WriteIniValue(const QString& section, const QString& key, const QString& value) override
    {
        log_.line(QStringLiteral("W %1 %2 %3").arg(section, key, value));
        IniWriteResult written = file_.WriteIniValue(section, key, value);
        if (written)
            log_.line(QStringLiteral("w"));
        return written;
    }

private:
    mdlINI file_;
    Log& log_;
};

struct SilentMessenger final : Messenger {
    void showMessage(const QString&, const QString&) override {}
};

// Completion moments all over the calendar, so that the settings file changes size as well as content.
class RandomClock final : public Clock {
public:
    explicit RandomClock(std::mt19937& random) : random_(random) {}
    QDateTime now() const override
    {
        const QDate day = QDate(2000, 1, 1).addDays(std::uniform_int_distribution<int>(0, 11000)(random_));
        return QDateTime(day, QTime(0, 0).addSecs(std::uniform_int_distribution<int>(0, 86399)(random_)));
    }

private:
    std::mt19937& random_;
};

[[noreturn]] void drillForever(const QString& directory, unsigned seed)
{
    std::mt19937 random(seed);
    Log log(QDir(directory).filePath(LogName));
    ReportingSettings settings(directory, log);
    SilentMessenger messenger;
    RandomClock clock(random);
    DrillEngine engine(settings, messenger, clock);
    const QString database = WordStore::databasePath(directory);
    for (;;) {
        const UnitRow& unit =
            UnitCatalogue()[std::uniform_int_distribution<size_t>(0, UnitCount - 1)(random)];
        auto opened = WordStore::open(database, unit.UnitTable);
        if (auto* failure = std::get_if<Failure>(&opened)) {
            std::fprintf(stderr, "child: %s\n", qUtf8Printable(failure->detail));
            std::_Exit(4);
        }
        engine.open(std::make_unique<ReportingRecordset>(
                        std::move(std::get<std::unique_ptr<Recordset>>(opened)), unit.UnitTable, log),
                    DrillKind::Unit, unit.UnitCode);
        engine.start();
        // The learner types every answer; one word in four is ticked as mastered.
        while (engine.view().judging) {
            const QString answer = engine.view().answer;
            if (answer.isEmpty())
                engine.passOver();
            else
                engine.tick(answer, std::uniform_int_distribution<int>(0, 3)(random) == 0);
        }
    }
}

// ---- The parent ------------------------------------------------------------------------------------

using Rows = QSet<QString>; // "word7 12": table and id

[[nodiscard]] bool fail(const QString& what)
{
    std::fprintf(stderr, "vokabo_crash_harness: %s\n", qUtf8Printable(what));
    return false;
}

bool makeDatabase(const QString& file)
{
    QFile::remove(file);
    QFile::remove(file + QStringLiteral("-journal"));
    if (auto failure = WordDatabase::create(file))
        return fail(failure->detail);
    std::vector<WordFile::Word> words;
    for (int i = 1; i <= WordsPerUnit; ++i)
        words.push_back({QStringLiteral("word%1").arg(i), QStringLiteral("词%1").arg(i)});
    for (const UnitRow& unit : UnitCatalogue()) {
        if (auto failure = WordDatabase::addWords(file, unit, words, false))
            return fail(failure->detail);
    }
    return true;
}

// Opens the database as the next start of the program would, which rolls back a delete that was cut off.
std::optional<Rows> checkedRows(const QString& file)
{
    SqlConnection connection;
    if (!connection.open(file, SqlConnection::Access::Write)) {
        (void)fail(QStringLiteral("cannot open %1: %2").arg(file, connection.lastError()));
        return std::nullopt;
    }
    QSqlQuery query(connection.database());
    if (!query.exec(QStringLiteral("PRAGMA integrity_check")) || !query.next() ||
        query.value(0).toString() != QStringLiteral("ok")) {
        (void)fail(QStringLiteral("integrity_check: %1").arg(query.value(0).toString()));
        return std::nullopt;
    }
    Rows rows;
    const auto words = WordStore::readWords(file);
    if (const auto* failure = std::get_if<Failure>(&words)) {
        (void)fail(QStringLiteral("cannot read %1: %2").arg(file, failure->detail));
        return std::nullopt;
    }
    for (const StoredWord& word : std::get<std::vector<StoredWord>>(words))
        rows.insert(word.location.table + u' ' + QString::number(word.location.rowid));
    return rows;
}

std::optional<QByteArray> fileContents(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

QStringList orphanedCopies(const QString& directory)
{
    return QDir(directory).entryList({QStringLiteral(".Syset.ini.vokabo-write-??????")},
                                     QDir::Files | QDir::Hidden);
}

// A write removes only the copies that other writes left more than a minute ago: the kills come faster,
// so the copies found before a kill are made to look old.
void ageOrphanedCopies(const QString& directory, const QStringList& orphans)
{
    for (const QString& orphan : orphans) {
        QFile file(QDir(directory).filePath(orphan));
        if (file.open(QIODevice::ReadWrite))
            file.setFileTime(QDateTime::currentDateTime().addSecs(-120), QFileDevice::FileModificationTime);
    }
}

struct Totals {
    int kills = 0;
    int deletes = 0;    // reported by the child
    int writes = 0;     // reported by the child
    int cutDeletes = 0; // kills that fell between a delete's start and its report
    int cutWrites = 0;  // kills that fell between a write's start and its report
    int deletesRolledBack = 0;
    int orphansSeen = 0;
};

// One kill: start a child, let it drill for a random while, kill it, check what it left.
bool killOnce(const QString& program, const QString& directory, std::mt19937& random, Totals& totals)
{
    const QString database = WordStore::databasePath(directory);
    const QString settingsPath = mdlINI(directory).path();
    const std::optional<Rows> before = checkedRows(database);
    if (!before)
        return false;
    const std::optional<QByteArray> settingsBefore = fileContents(settingsPath);
    const QStringList orphansBefore = orphanedCopies(directory);
    ageOrphanedCopies(directory, orphansBefore);
    const QString logPath = QDir(directory).filePath(LogName);
    QFile::remove(logPath);

    const unsigned seed = unsigned(random());
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t child = fork();
    if (child < 0)
        return fail(QStringLiteral("fork: %1").arg(qt_error_string(errno)));
    if (child == 0) {
        // The drill's own reports (empty units, mostly) go to a file beside the log.
        const int errors = ::open(QFile::encodeName(QDir(directory).filePath(QStringLiteral("child.err"))),
                                  O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (errors >= 0)
            dup2(errors, STDERR_FILENO);
        const QByteArray path = QFile::encodeName(program);
        const QByteArray dir = QFile::encodeName(directory);
        const QByteArray seedText = QByteArray::number(seed);
        execl(path.constData(), path.constData(), "--child", dir.constData(), seedText.constData(), nullptr);
        std::_Exit(127);
    }
    std::this_thread::sleep_for(
        std::chrono::milliseconds(std::uniform_int_distribution<int>(5, 400)(random)));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFSIGNALED(status) || WTERMSIG(status) != SIGKILL)
        return fail(
            QStringLiteral("the child ended by itself (status %1) before it was killed: %2")
                .arg(status)
                .arg(QString::fromUtf8(
                    fileContents(QDir(directory).filePath(QStringLiteral("child.err"))).value_or(""))));
    ++totals.kills;

    // What the child reported, in order.
    const QStringList lines = QString::fromUtf8(fileContents(logPath).value_or(QByteArray())).split(u'\n');
    QSet<QString> deleted;
    std::optional<QString> deleting;
    QByteArray settings = settingsBefore.value_or(QByteArray());
    bool settingsExist = settingsBefore.has_value();
    std::optional<QByteArray> writing;
    bool wrote = false;
    for (const QString& line : lines) {
        if (line.startsWith(QStringLiteral("D "))) {
            deleting = line.mid(2);
        } else if (line.startsWith(QStringLiteral("d ")) && deleting == line.mid(2)) {
            deleted.insert(line.mid(2));
            deleting.reset();
            ++totals.deletes;
        } else if (line.startsWith(QStringLiteral("W "))) {
            const QStringList parts = line.mid(2).split(u' ');
            if (parts.size() < 3)
                continue; // cut off by the kill before the write began
            auto next = IniText::writeValue(settings, parts[0], parts[1], parts.mid(2).join(u' '));
            if (!std::holds_alternative<QByteArray>(next))
                return fail(QStringLiteral("the child wrote what cannot be written: %1").arg(line));
            writing = std::get<QByteArray>(next);
        } else if (line == QStringLiteral("w") && writing) {
            settings = *writing;
            settingsExist = true;
            writing.reset();
            wrote = true;
            ++totals.writes;
        }
    }
    totals.cutDeletes += deleting ? 1 : 0;
    totals.cutWrites += writing ? 1 : 0;

    const std::optional<Rows> after = checkedRows(database);
    if (!after)
        return false;
    for (const QString& row : *after) {
        if (!before->contains(row))
            return fail(QStringLiteral("row %1 appeared").arg(row));
        if (deleted.contains(row))
            return fail(QStringLiteral("row %1 was reported deleted but is still there").arg(row));
    }
    for (const QString& row : *before) {
        if (!after->contains(row) && !deleted.contains(row) && row != deleting)
            return fail(QStringLiteral("row %1 is gone although it was never deleted").arg(row));
    }
    if (deleting && after->contains(*deleting))
        ++totals.deletesRolledBack;

    const std::optional<QByteArray> settingsAfter = fileContents(settingsPath);
    const bool isOld = settingsAfter ? settingsExist && *settingsAfter == settings : !settingsExist;
    const bool isNew = writing && settingsAfter && *settingsAfter == *writing;
    if (!isOld && !isNew)
        return fail(QStringLiteral("Syset.ini is neither the old file nor the new one (%1 bytes)")
                        .arg(settingsAfter ? settingsAfter->size() : -1));

    // A finished write removes what an earlier cut-off write left behind.
    const QStringList orphans = orphanedCopies(directory);
    totals.orphansSeen += int(orphans.size());
    if (wrote) {
        for (const QString& orphan : orphansBefore) {
            if (orphans.contains(orphan))
                return fail(QStringLiteral("%1 outlived a finished write").arg(orphan));
        }
    }

    if (after->size() < RefillBelow)
        return makeDatabase(database);
    return true;
}

int runParent(const QString& program, int kills, unsigned seed)
{
    QTemporaryDir directory;
    if (!directory.isValid()) {
        std::fprintf(stderr, "vokabo_crash_harness: no temporary directory\n");
        return 1;
    }
    if (!makeDatabase(WordStore::databasePath(directory.path())))
        return 1;
    std::printf("vokabo_crash_harness: %d kills, seed %u, in %s\n", kills, seed,
                qPrintable(directory.path()));
    std::mt19937 random(seed);
    Totals totals;
    const auto started = std::chrono::steady_clock::now();
    for (int i = 0; i < kills; ++i) {
        if (!killOnce(program, directory.path(), random, totals)) {
            directory.setAutoRemove(false);
            std::fprintf(stderr, "vokabo_crash_harness: failed after %d kill(s); the files are kept in %s\n",
                         totals.kills, qPrintable(directory.path()));
            return 1;
        }
    }
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("%d kills in %.0f s: %d deletes and %d date writes reported and found; kills inside a delete "
                "%d (%d rolled back), inside a date write %d; orphaned copies seen %d; no findings\n",
                totals.kills, seconds, totals.deletes, totals.writes, totals.cutDeletes,
                totals.deletesRolledBack, totals.cutWrites, totals.orphansSeen);
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() == 4 && arguments[1] == QStringLiteral("--child"))
        drillForever(arguments[2], arguments[3].toUInt());

    bool valid = arguments.size() == 2 || arguments.size() == 3;
    const int kills = valid ? arguments[1].toInt(&valid) : 0;
    unsigned seed = std::random_device()();
    if (valid && arguments.size() == 3)
        seed = arguments[2].toUInt(&valid);
    if (!valid || kills < 1) {
        std::fprintf(stderr, "usage: vokabo_crash_harness KILLS [SEED]\n");
        return 2;
    }
    return runParent(QCoreApplication::applicationFilePath(), kills, seed);
}
