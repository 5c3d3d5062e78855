// SPDX-License-Identifier: GPL-3.0-or-later
#include "HistoryFile.h"

#include "SqlConnection.h"
#include "Statistics.h"
#include "WordEventLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStorageInfo>
#include <QTimeZone>
#include <algorithm>
#include <numeric>

namespace {

QDateTime utcMoment(qint64 secondsSinceEpoch)
{
    // Qt 6.5 brought a light UTC zone in place of Qt::UTC; Qt 6.4 has only Qt::UTC.
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
    return QDateTime::fromSecsSinceEpoch(secondsSinceEpoch, QTimeZone::UTC);
#else
    return QDateTime::fromSecsSinceEpoch(secondsSinceEpoch, Qt::UTC);
#endif
}

// A date and time as a clock read them, in Qt's UTC form: nothing is looked up in the time zone's rules.
QDateTime clockReading(const QDate& date, const QTime& time)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
    return QDateTime(date, time, QTimeZone::UTC);
#else
    return QDateTime(date, time, Qt::UTC);
#endif
}

// 1: the first record. 2: word events say whether the answer was on screen, an answer's response time,
// whether a reveal was heard, and the kind of their drill; drills of today's reviews.
constexpr int SchemaVersion = 2;

// Codes of the word events in the event table.
int eventCode(DrillEvent::Kind kind)
{
    switch (kind) {
    case DrillEvent::Kind::Answered:
        return 1;
    case DrillEvent::Kind::Passed:
        return 2;
    case DrillEvent::Kind::Revealed:
        return 3;
    case DrillEvent::Kind::Deleted:
        return 4;
    default:
        return 0;
    }
}

int drillCode(DrillKind kind)
{
    switch (kind) {
    case DrillKind::ErrorBook:
        return 1;
    case DrillKind::Review:
        return 2;
    case DrillKind::Unit:
        break;
    }
    return 0;
}

DrillKind drillOfCode(int code)
{
    return code == 1 ? DrillKind::ErrorBook : code == 2 ? DrillKind::Review : DrillKind::Unit;
}

const char* const Schema[] = {
    // kind: 0 a unit, 1 the error book, 2 today's reviews. test: started in test mode. tested: in test mode
    // throughout.
    "CREATE TABLE drill (id INTEGER PRIMARY KEY, kind INTEGER NOT NULL, unit TEXT, test INTEGER NOT NULL, "
    "started TEXT NOT NULL, completed TEXT, accuracy INTEGER, tested INTEGER)",
    "CREATE INDEX drill_completed ON drill (completed) WHERE completed IS NOT NULL",
    // A word is its enciphered prompt and answer; misses counts its passes and reveals.
    "CREATE TABLE word (id INTEGER PRIMARY KEY, prompt BLOB NOT NULL, answer BLOB NOT NULL, "
    "misses INTEGER NOT NULL DEFAULT 0, UNIQUE (answer, prompt))",
    "CREATE INDEX word_misses ON word (misses) WHERE misses > 0",
    // kind: 1 answered, 2 passed over, 3 revealed, 4 deleted as mastered. unit_table and record: where the
    // word was. shown: the answer was on screen when the word was typed, passed over or revealed.
    // response_ms: an answer's time from the word shown to the correct entry. spoken: revealed by hearing it.
    // drill_kind: as the drill's kind, also where the drill's start is not in the record.
    "CREATE TABLE event (id INTEGER PRIMARY KEY, drill INTEGER, at TEXT NOT NULL, kind INTEGER NOT NULL, "
    "word INTEGER NOT NULL, unit_table TEXT, record INTEGER, shown INTEGER, response_ms INTEGER, "
    "spoken INTEGER, drill_kind INTEGER)",
    "CREATE TABLE answered_day (day INTEGER PRIMARY KEY, words INTEGER NOT NULL)",
    "CREATE TABLE error_book (word INTEGER PRIMARY KEY, unit_table TEXT, record INTEGER, "
    "streak INTEGER NOT NULL, since TEXT NOT NULL)",
};

// What the first record lacks, worked out from what it has. It kept `shown` for answers only: a pass or a
// reveal in it counts as hidden when its drill was in test mode throughout (or is unfinished and began in
// test mode), as most drills are; and an event's drill kind is its drill's.
const QString Version1Shown = QStringLiteral(
    "coalesce((SELECT CASE WHEN d.test = 1 AND coalesce(d.tested, 1) = 1 THEN 0 ELSE 1 END FROM drill d "
    "WHERE d.id = event.drill), 0)");
const QString Version1DrillKind =
    QStringLiteral("coalesce((SELECT kind FROM drill WHERE drill.id = event.drill), 0)");

// From the first record to the second, in place; the new columns come last, as in a new record.
const QStringList FromVersion1 = {
    QStringLiteral("ALTER TABLE event ADD COLUMN response_ms INTEGER"),
    QStringLiteral("ALTER TABLE event ADD COLUMN spoken INTEGER"),
    QStringLiteral("ALTER TABLE event ADD COLUMN drill_kind INTEGER"),
    QStringLiteral("UPDATE event SET drill_kind = ") + Version1DrillKind,
    QStringLiteral("UPDATE event SET shown = ") + Version1Shown +
        QStringLiteral(" WHERE shown IS NULL AND kind IN (2, 3)"),
    QStringLiteral("PRAGMA user_version = 2"),
};

QString timeText(const QDateTime& moment)
{
    return moment.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

Failure openFailure(const QString& file, const QString& reason, const QString& detail,
                    Failure::Kind kind = Failure::Kind::Other)
{
    return {QStringLiteral("%1（%2）").arg(reason, QDir::toNativeSeparators(file)),
            QStringLiteral("%1: %2").arg(file, detail), kind};
}

// SQLite says "disk I/O error" when a full disk stops it making the -shm of a WAL file, and "unable to
// open" when there is no room for a file at all: the free space tells what the learner should hear.
bool diskFull(const QString& file)
{
    constexpr qint64 NearlyFull = 1 << 20;
    const QStorageInfo volume(QFileInfo(file).absolutePath());
    return volume.isValid() && volume.bytesAvailable() < NearlyFull;
}

} // namespace

QString HistoryFile::path(const QString& applicationDirectory)
{
    return QDir(applicationDirectory).filePath(QStringLiteral("History.db"));
}

HistoryFile::HistoryFile(std::unique_ptr<SqlConnection> connection, QString file)
    : connection_(std::move(connection)), file_(std::move(file))
{
}

HistoryFile::~HistoryFile() = default;

Failure HistoryFile::failure(const QString& what, const QSqlError& error) const
{
    QString reason;
    const int code = error.nativeErrorCode().toInt() & 0xFF;
    switch (code) {
    case 13: // SQLITE_FULL
        reason = QStringLiteral("磁盘已满");
        break;
    case 8: // SQLITE_READONLY
        reason = QStringLiteral("文件是只读的");
        break;
    case 10: // SQLITE_IOERR
    case 14: // SQLITE_CANTOPEN
        reason = diskFull(file_) ? QStringLiteral("磁盘已满")
                 : code == 14    ? QStringLiteral("无法打开文件")
                                 : QStringLiteral("读写出错");
        break;
    case 11: // SQLITE_CORRUPT
    case 26: // SQLITE_NOTADB
        reason = QStringLiteral("文件已损坏，或不是学习记录");
        break;
    case 5: // SQLITE_BUSY
    case 6: // SQLITE_LOCKED
        reason = QStringLiteral("文件正被其他程序使用");
        break;
    default:
        reason = QStringLiteral("读写出错");
        break;
    }
    return openFailure(file_, reason, QStringLiteral("%1: %2").arg(what, error.text()));
}

Result<std::unique_ptr<HistoryFile>> HistoryFile::open(const QString& file, Mode mode)
{
    if (mode == Mode::Read && !QFileInfo(file).isFile())
        return openFailure(file, QStringLiteral("找不到文件"), QStringLiteral("does not exist"),
                           Failure::Kind::Missing);
    auto connection = std::make_unique<SqlConnection>();
    if (!connection->open(file,
                          mode == Mode::Write ? SqlConnection::Access::Create : SqlConnection::Access::Write))
        return openFailure(file, diskFull(file) ? QStringLiteral("磁盘已满") : QStringLiteral("无法打开文件"),
                           connection->lastError());
    std::unique_ptr<HistoryFile> history(new HistoryFile(std::move(connection), file));
    const QSqlDatabase db = history->connection_->database();

    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next())
        return history->failure(QStringLiteral("reading the schema version"), query.lastError());
    const int version = query.value(0).toInt();
    if (version > SchemaVersion)
        return openFailure(
            file, QStringLiteral("文件由更新版本的 Vokabo 写成"),
            QStringLiteral("schema version %1, this program knows %2").arg(version).arg(SchemaVersion));
    if (version == 0) {
        if (!query.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")) || !query.next())
            return history->failure(QStringLiteral("reading the tables"), query.lastError());
        if (query.value(0).toInt() != 0)
            return openFailure(file, QStringLiteral("文件不是学习记录"),
                               QStringLiteral("a database with tables but no schema version"),
                               Failure::Kind::NotADatabase);
        if (mode == Mode::Read)
            return history; // an empty record
        // Nothing of the record depends on the last moments before a power cut; the rest stays whole.
        if (!query.exec(QStringLiteral("PRAGMA journal_mode=WAL")))
            return history->failure(QStringLiteral("choosing the journal"), query.lastError());
        SqlTransaction transaction(db);
        if (const auto& error = transaction.beginError())
            return history->failure(QStringLiteral("creating the tables"), *error);
        for (const char* statement : Schema) {
            if (!query.exec(QLatin1String(statement)))
                return history->failure(QStringLiteral("creating the tables"), query.lastError());
        }
        if (!query.exec(QStringLiteral("PRAGMA user_version = %1").arg(SchemaVersion)))
            return history->failure(QStringLiteral("creating the tables"), query.lastError());
        if (const auto error = transaction.commit())
            return history->failure(QStringLiteral("creating the tables"), *error);
    }
    history->version_ = version == 0 ? SchemaVersion : version;
    // Reading leaves an older record as it is; the writer brings it up to date.
    if (version == 1 && mode == Mode::Write) {
        history->version_ = SchemaVersion;
        if (auto failed = history->upgradeFromVersion1())
            return *failed;
    }
    if (!query.exec(QStringLiteral("PRAGMA synchronous=NORMAL")))
        return history->failure(QStringLiteral("setting up"), query.lastError());
    return history;
}

std::optional<Failure> HistoryFile::upgradeFromVersion1()
{
    const QSqlDatabase db = connection_->database();
    const QString what = QStringLiteral("upgrading the record to schema version %1").arg(SchemaVersion);
    // Immediate: another connection upgrading at the same moment waits here, then finds it done.
    SqlTransaction transaction(db, SqlTransaction::Lock::Immediate);
    if (const auto& error = transaction.beginError())
        return failure(what, *error);
    {
        QSqlQuery query(db);
        if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next())
            return failure(what, query.lastError());
        if (query.value(0).toInt() == 1) {
            query.finish();
            for (const QString& statement : FromVersion1) {
                if (!query.exec(statement))
                    return failure(what, query.lastError());
            }
        }
    }
    if (const auto error = transaction.commit())
        return failure(what, *error);
    return std::nullopt;
}

Result<QString> HistoryFile::setAside(const QString& file, const QDate& day)
{
    const QString stem = file + QStringLiteral(".damaged-") + day.toString(Qt::ISODate);
    QString name = stem;
    for (int n = 2; QFileInfo::exists(name) || QFileInfo::exists(name + QStringLiteral("-wal")); ++n)
        name = stem + QStringLiteral("-%1").arg(n);
    // The -wal first: left behind, it would be read into the new record made under the old name.
    for (const char* part : {"-wal", "-shm", ""}) {
        const QString from = file + QLatin1String(part);
        if (QFileInfo::exists(from) && !QFile::rename(from, name + QLatin1String(part)))
            return openFailure(
                file, QStringLiteral("损坏的学习记录无法移开"),
                QStringLiteral("cannot rename %1 to %2").arg(from, name + QLatin1String(part)));
    }
    return name;
}

Result<QStringList> HistoryFile::problems() const
{
    QSqlQuery query(connection_->database());
    query.setForwardOnly(true);
    QStringList found;
    if (query.exec(QStringLiteral("PRAGMA quick_check"))) {
        while (query.next()) {
            if (const QString line = query.value(0).toString(); line != QLatin1String("ok"))
                found << line;
        }
    }
    if (const QSqlError error = query.lastError(); error.isValid()) {
        const int code = error.nativeErrorCode().toInt() & 0xFF;
        if (code != 11 && code != 26) // SQLITE_CORRUPT, SQLITE_NOTADB
            return failure(QStringLiteral("checking the file"), error);
        found << error.databaseText();
    }
    return found;
}

// The statements of writing, prepared once: a drill of a thousand words runs each a thousand times.
struct HistoryFile::Statements {
    explicit Statements(const QSqlDatabase& db)
        : addDrill(db), completeDrill(db), findWord(db), addWord(db), addEvent(db), countDay(db),
          countMiss(db), putEntry(db), removeEntry(db)
    {
    }
    // The error of the first statement that does not prepare.
    std::optional<QSqlError> prepare()
    {
        const bool prepared =
            addDrill.prepare(
                QStringLiteral("INSERT INTO drill (kind, unit, test, started) VALUES (?, ?, ?, ?)")) &&
            completeDrill.prepare(
                QStringLiteral("UPDATE drill SET completed = ?, accuracy = ?, tested = ? WHERE id = ?")) &&
            findWord.prepare(QStringLiteral("SELECT id FROM word WHERE answer = ? AND prompt = ?")) &&
            addWord.prepare(QStringLiteral("INSERT INTO word (prompt, answer) VALUES (?, ?)")) &&
            addEvent.prepare(QStringLiteral(
                "INSERT INTO event (drill, at, kind, word, unit_table, record, shown, response_ms, spoken, "
                "drill_kind) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")) &&
            countDay.prepare(QStringLiteral("INSERT INTO answered_day (day, words) VALUES (?, 1) "
                                            "ON CONFLICT (day) DO UPDATE SET words = words + 1")) &&
            countMiss.prepare(QStringLiteral("UPDATE word SET misses = misses + 1 WHERE id = ?")) &&
            putEntry.prepare(
                QStringLiteral("INSERT INTO error_book (word, unit_table, record, streak, since) "
                               "VALUES (?, ?, ?, ?, ?) ON CONFLICT (word) DO UPDATE SET "
                               "unit_table = excluded.unit_table, record = excluded.record, "
                               "streak = excluded.streak")) &&
            removeEntry.prepare(QStringLiteral("DELETE FROM error_book WHERE word = ?"));
        if (prepared)
            return std::nullopt;
        for (const QSqlQuery* query : {&addDrill, &completeDrill, &findWord, &addWord, &addEvent, &countDay,
                                       &countMiss, &putEntry, &removeEntry}) {
            if (query->lastError().isValid())
                return query->lastError();
        }
        return QSqlError();
    }
    QSqlQuery addDrill, completeDrill, findWord, addWord, addEvent, countDay, countMiss, putEntry,
        removeEntry;
};

std::optional<Failure> HistoryFile::run(QSqlQuery& query, const QVariantList& values, const QString& what)
{
    for (int i = 0; i < values.size(); ++i)
        query.bindValue(i, values[i]);
    if (query.exec())
        return std::nullopt;
    return failure(what, query.lastError());
}

std::variant<qint64, Failure> HistoryFile::wordId(const DrillWord& word)
{
    const WordKey key = wordKey(word.prompt, word.answer);
    if (const auto known = wordIds_.constFind(key); known != wordIds_.cend())
        return *known;
    QSqlQuery& find = statements_->findWord;
    if (auto failed = run(find, {key.answer, key.prompt}, QStringLiteral("finding a word")))
        return *failed;
    qint64 id = 0;
    if (find.next()) {
        id = find.value(0).toLongLong();
        find.finish();
    } else {
        find.finish();
        if (auto failed =
                run(statements_->addWord, {key.prompt, key.answer}, QStringLiteral("adding a word")))
            return *failed;
        id = statements_->addWord.lastInsertId().toLongLong();
    }
    wordIds_.insert(key, id);
    newWordIds_.push_back(key);
    return id;
}

std::optional<Failure> HistoryFile::writeOne(const HistoryWrite& write)
{
    const DrillEvent& event = write.event;
    Statements& sql = *statements_;
    switch (event.kind) {
    case DrillEvent::Kind::Started: {
        const bool unit = event.drill == DrillKind::Unit;
        if (auto failed = run(sql.addDrill,
                              {drillCode(event.drill),
                               unit ? QVariant(event.unitCode) : QVariant(QMetaType(QMetaType::QString)),
                               event.testMode ? 1 : 0, timeText(event.at)},
                              QStringLiteral("adding a drill")))
            return failed;
        drill_ = sql.addDrill.lastInsertId().toLongLong();
        return std::nullopt;
    }
    case DrillEvent::Kind::Completed:
        if (!drill_)
            return std::nullopt; // its start is not in the record
        return run(sql.completeDrill,
                   {timeText(event.at),
                    event.accuracy ? QVariant(*event.accuracy) : QVariant(QMetaType(QMetaType::Int)),
                    event.testMode ? 1 : 0, *drill_},
                   QStringLiteral("completing a drill"));
    default:
        break;
    }

    const auto found = wordId(event.word);
    if (const auto* failed = std::get_if<Failure>(&found))
        return *failed;
    const qint64 word = std::get<qint64>(found);
    const QVariant none{QMetaType(QMetaType::Int)};
    if (auto failed = run(sql.addEvent,
                          {drill_ ? QVariant(*drill_) : none, timeText(event.at), eventCode(event.kind), word,
                           event.word.location.table, event.word.location.rowid, event.answerShown ? 1 : 0,
                           event.responseMs ? QVariant(*event.responseMs) : none, event.spoken ? 1 : 0,
                           drillCode(event.drill)},
                          QStringLiteral("adding an event")))
        return failed;

    // The totals that the statistics window shows at once, kept with the events that make them.
    if (event.kind == DrillEvent::Kind::Answered) {
        if (auto failed = run(sql.countDay, {event.at.date().toJulianDay()},
                              QStringLiteral("counting the day's words")))
            return failed;
    } else if (event.kind == DrillEvent::Kind::Passed || event.kind == DrillEvent::Kind::Revealed) {
        if (auto failed = run(sql.countMiss, {word}, QStringLiteral("counting a miss")))
            return failed;
    }

    const ErrorBookChange& change = write.change;
    if (change.kind == ErrorBookChange::Kind::Put)
        return run(sql.putEntry,
                   {word, change.entry.location.table, change.entry.location.rowid, change.entry.streak,
                    timeText(change.entry.since)},
                   QStringLiteral("updating the error book"));
    if (change.kind == ErrorBookChange::Kind::Remove)
        return run(sql.removeEntry, {word}, QStringLiteral("updating the error book"));
    return std::nullopt;
}

std::optional<Failure> HistoryFile::write(const std::vector<HistoryWrite>& batch,
                                          const std::function<bool()>& mayCommit)
{
    if (!QFileInfo::exists(file_))
        return openFailure(file_, QStringLiteral("学习记录文件已被删除"),
                           QStringLiteral("the file is gone; what is written now would be lost"),
                           Failure::Kind::Missing);
    const QSqlDatabase db = connection_->database();
    if (!statements_) {
        auto statements = std::make_unique<Statements>(db);
        if (const auto error = statements->prepare())
            return failure(QStringLiteral("preparing the statements"), *error);
        statements_ = std::move(statements);
    }
    const std::optional<qint64> drillBefore = drill_;
    newWordIds_.clear();
    std::optional<Failure> failed;
    {
        SqlTransaction transaction(db);
        if (const auto& error = transaction.beginError())
            failed = failure(QStringLiteral("starting a transaction"), *error);
        for (auto write = batch.begin(); !failed && write != batch.end(); ++write)
            failed = writeOne(*write);
        if (!failed && mayCommit && !mayCommit())
            failed =
                Failure{QStringLiteral("学习记录未写入"),
                        QStringLiteral("%1: not committed, as asked").arg(file_), Failure::Kind::WriteFailed};
        if (!failed) {
            if (const auto error = transaction.commit())
                failed = failure(QStringLiteral("committing"), *error);
        }
    }
    if (failed) {
        drill_ = drillBefore;
        for (const WordKey& key : newWordIds_)
            wordIds_.remove(key);
        // A write that failed on a full disk may have grown the WAL: give the space back while it is there.
        QSqlQuery(db).exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    }
    return failed;
}

void HistoryFile::resumeDrill(qint64 drill)
{
    QSqlQuery query(connection_->database());
    query.prepare(QStringLiteral("SELECT count(*) FROM drill WHERE id = ? AND completed IS NULL"));
    query.addBindValue(drill);
    if (query.exec() && query.next() && query.value(0).toInt() == 1)
        drill_ = drill;
}

Result<std::vector<ErrorBookEntry>> HistoryFile::readErrorBook() const
{
    QSqlQuery query(connection_->database());
    query.setForwardOnly(true);
    if (!query.exec(
            QStringLiteral("SELECT w.prompt, w.answer, e.unit_table, e.record, e.streak, e.since "
                           "FROM error_book e JOIN word w ON w.id = e.word ORDER BY e.since, e.rowid")))
        return failure(QStringLiteral("reading the error book"), query.lastError());
    std::vector<ErrorBookEntry> entries;
    while (query.next()) {
        entries.push_back(
            {{query.value(0).toByteArray(), query.value(1).toByteArray()},
             {query.value(2).toString(), query.value(3).toLongLong()},
             query.value(4).toInt(),
             QDateTime::fromString(query.value(5).toString(), QStringLiteral("yyyy-MM-dd HH:mm:ss"))});
    }
    if (query.lastError().isValid())
        return failure(QStringLiteral("reading the error book"), query.lastError());
    return entries;
}

Result<LearningStatistics> HistoryFile::readStatistics(const QDate& firstDay, int mostMissed) const
{
    LearningStatistics statistics;
    QSqlQuery query(connection_->database());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = 'drill'")) ||
        !query.next())
        return failure(QStringLiteral("reading the tables"), query.lastError());
    if (query.value(0).toInt() == 0)
        return statistics; // created, never written

    const auto read = [&](const QString& statement, const QVariantList& values,
                          auto&& take) -> std::optional<Failure> {
        query.prepare(statement);
        for (int i = 0; i < values.size(); ++i)
            query.bindValue(i, values[i]);
        if (!query.exec())
            return failure(QStringLiteral("reading the statistics"), query.lastError());
        while (query.next())
            take();
        if (query.lastError().isValid())
            return failure(QStringLiteral("reading the statistics"), query.lastError());
        return std::nullopt;
    };

    if (auto failed = read(QStringLiteral("SELECT day, words FROM answered_day WHERE day >= ?"),
                           {firstDay.toJulianDay()}, [&] {
                               statistics.answeredPerDay[QDate::fromJulianDay(query.value(0).toLongLong())] =
                                   query.value(1).toInt();
                           }))
        return *failed;
    // SQLite turns the local times into seconds far faster than a date parser would, drill by drill.
    if (auto failed =
            read(QStringLiteral("SELECT strftime('%s', completed, 'utc'), "
                                "CAST(julianday(substr(completed, 1, 10)) + 0.5 AS INTEGER), unit, accuracy, "
                                "kind FROM drill WHERE completed IS NOT NULL AND tested = 1 "
                                "AND accuracy IS NOT NULL ORDER BY completed"),
                 {}, [&] {
                     statistics.testDrills.push_back({utcMoment(query.value(0).toLongLong()),
                                                      QDate::fromJulianDay(query.value(1).toLongLong()),
                                                      query.value(2).toString(), query.value(3).toInt(),
                                                      drillOfCode(query.value(4).toInt())});
                 }))
        return *failed;
    if (auto failed =
            read(QStringLiteral("SELECT unit, count(*), count(CASE WHEN tested = 1 THEN accuracy END), "
                                "total(CASE WHEN tested = 1 THEN accuracy END) FROM drill "
                                "WHERE completed IS NOT NULL AND kind = 0 GROUP BY unit"),
                 {}, [&] {
                     statistics.units[query.value(0).toString()] = {
                         query.value(1).toInt(), query.value(2).toInt(), query.value(3).toDouble()};
                 }))
        return *failed;
    if (auto failed = read(QStringLiteral("SELECT prompt, answer, misses FROM word WHERE misses > 0 "
                                          "ORDER BY misses DESC, id LIMIT ?"),
                           {mostMissed}, [&] {
                               statistics.mostMissed.push_back(
                                   {{query.value(0).toByteArray(), query.value(1).toByteArray()},
                                    query.value(2).toInt()});
                           }))
        return *failed;
    query.finish();

    auto book = readErrorBook();
    if (auto* failed = std::get_if<Failure>(&book))
        return *failed;
    statistics.errorBook = std::move(std::get<std::vector<ErrorBookEntry>>(book));
    return statistics;
}

Result<QStringList> HistoryFile::problemsOf(const QString& file)
{
    if (!QFileInfo(file).isFile())
        return openFailure(file, QStringLiteral("找不到文件"), QStringLiteral("does not exist"),
                           Failure::Kind::Missing);
    auto connection = std::make_unique<SqlConnection>();
    if (!connection->open(file, SqlConnection::Access::Read))
        return openFailure(file, QStringLiteral("无法打开文件"), connection->lastError());
    return HistoryFile(std::move(connection), file).problems();
}

namespace {

std::optional<Failure> vacuumInto(const QString& file, const QString& target, SqlConnection::Access access)
{
    const auto cannot = [&](const QString& detail) {
        return openFailure(file, QStringLiteral("学习记录无法复制"),
                           QStringLiteral("cannot copy into %1: %2").arg(target, detail));
    };
    SqlConnection connection;
    if (!connection.open(file, access))
        return cannot(connection.lastError());
    if (const auto why = SqlConnection::makeOwnerFile(target))
        return cannot(*why);
    QSqlQuery query(connection.database());
    if (!query.prepare(QStringLiteral("VACUUM INTO ?")))
        return cannot(query.lastError().text());
    query.addBindValue(QFileInfo(target).absoluteFilePath());
    if (!query.exec())
        return cannot(query.lastError().text());
    return std::nullopt;
}

} // namespace

std::optional<Failure> HistoryFile::copyInto(const QString& file, const QString& target)
{
    // Read and write, as the record's own connections: the last one to close takes the -wal and -shm away.
    if (!QFileInfo(file).isFile())
        return openFailure(file, QStringLiteral("找不到文件"), QStringLiteral("does not exist"),
                           Failure::Kind::Missing);
    return vacuumInto(file, target, SqlConnection::Access::Write);
}

std::optional<Failure> HistoryFile::restoreInto(const QString& copy, const QString& target)
{
    if (auto failed = vacuumInto(copy, target, SqlConnection::Access::Read))
        return failed;
    SqlConnection connection;
    if (!connection.open(target, SqlConnection::Access::Write))
        return openFailure(target, QStringLiteral("无法打开文件"), connection.lastError());
    QSqlQuery query(connection.database());
    if (!query.exec(QStringLiteral("PRAGMA journal_mode=WAL")))
        return openFailure(target, QStringLiteral("读写出错"),
                           QStringLiteral("choosing the journal: %1").arg(query.lastError().text()));
    return std::nullopt;
}

Result<WordEventLog> HistoryFile::readWordEvents(const std::atomic<bool>* cancelled) const
{
    WordEventLog log;
    QSqlQuery query(connection_->database());
    query.setForwardOnly(true);
    const QString what = QStringLiteral("reading the word events");
    if (!query.exec(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = 'event'")) ||
        !query.next())
        return failure(what, query.lastError());
    if (query.value(0).toInt() == 0)
        return log; // created, never written
    query.finish();

    QHash<qint64, qint32> wordIndex;
    if (!query.exec(QStringLiteral("SELECT id, prompt, answer FROM word ORDER BY id")))
        return failure(what, query.lastError());
    while (query.next()) {
        wordIndex.insert(query.value(0).toLongLong(), qint32(log.words.size()));
        log.words.push_back({query.value(1).toByteArray(), query.value(2).toByteArray()});
    }
    if (query.lastError().isValid())
        return failure(what, query.lastError());
    query.finish();

    // The learner's clock reading as the seconds of a clock that knows no zones: whole days and the time of
    // day follow by division, far faster than parsing the text. The word and the small columns come packed
    // into one number, each column costing Qt a value; and in the order written, which is the order of time
    // but for a clock set back: sorting a million rows in SQLite costs more than checking them here.
    const QString columns =
        version_ == 1
            ? QStringLiteral("word * 128 + kind + 8 * (CASE WHEN shown IS NULL AND kind IN (2, 3) THEN %1 "
                             "ELSE coalesce(shown, 0) END) + 32 * %2, %3, NULL")
                  .arg(Version1Shown, Version1DrillKind)
            : QStringLiteral("word * 128 + kind + 8 * coalesce(shown, 0) + 16 * coalesce(spoken, 0) + "
                             "32 * coalesce(drill_kind, 0), %3, response_ms");
    if (!query.exec(QStringLiteral("SELECT %1 FROM event ORDER BY id")
                        .arg(columns.arg(
                            QStringLiteral("CAST(round((julianday(at) - 2440587.5) * 86400) AS INTEGER)")))))
        return failure(what, query.lastError());
    constexpr qint64 JulianDayOf1970 = 2440588;
    constexpr qint64 DaySeconds = 86400;
    constexpr DrillEvent::Kind kinds[] = {DrillEvent::Kind::Answered, DrillEvent::Kind::Passed,
                                          DrillEvent::Kind::Revealed, DrillEvent::Kind::Deleted};
    std::vector<qint64> secondsOf;
    bool inOrder = true;
    while (query.next()) {
        if (cancelled && (log.events.size() & 0xFFF) == 0 && cancelled->load())
            return Failure{QStringLiteral("读取已取消"), QStringLiteral("%1: reading cancelled").arg(file_)};
        const qint64 packed = query.value(0).toLongLong();
        const auto word = wordIndex.constFind(packed >> 7);
        const int code = int(packed & 7);
        if (word == wordIndex.cend() || code < 1 || code > 4)
            continue;
        const qint64 seconds = query.value(1).toLongLong();
        const qint64 day = seconds >= 0 ? seconds / DaySeconds : -((-seconds + DaySeconds - 1) / DaySeconds);
        RecordedWordEvent event;
        event.word = *word;
        event.at = clockReading(QDate::fromJulianDay(JulianDayOf1970 + day),
                                QTime::fromMSecsSinceStartOfDay(int(seconds - day * DaySeconds) * 1000));
        event.kind = kinds[code - 1];
        event.answerShown = packed & 8;
        event.spoken = packed & 16;
        event.drill = drillOfCode(int(packed >> 5) & 3);
        if (const QVariant ms = query.value(2); !ms.isNull())
            event.responseMs = ms.toInt();
        inOrder = inOrder && (secondsOf.empty() || secondsOf.back() <= seconds);
        secondsOf.push_back(seconds);
        log.events.push_back(std::move(event));
    }
    if (query.lastError().isValid())
        return failure(what, query.lastError());
    if (!inOrder) {
        std::vector<size_t> order(log.events.size());
        std::iota(order.begin(), order.end(), size_t(0));
        std::stable_sort(order.begin(), order.end(),
                         [&](size_t a, size_t b) { return secondsOf[a] < secondsOf[b]; });
        std::vector<RecordedWordEvent> sorted;
        sorted.reserve(order.size());
        for (size_t i : order)
            sorted.push_back(std::move(log.events[i]));
        log.events = std::move(sorted);
    }
    return log;
}
