// SPDX-License-Identifier: GPL-3.0-or-later
#include "WordStore.h"

#include "SqlConnection.h"
#include "WordSql.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {

using Kind = Failure::Kind;

Failure failure(Kind kind, const QString& message, const QString& detail)
{
    return {message, detail, kind};
}

struct Record {
    WordLocation location;
    QVariantList fields;
};

// The records of one unit, or records picked from several: each knows its own table.
class SqliteRecordset final : public Recordset {
public:
    SqliteRecordset(std::unique_ptr<SqlConnection> connection, QString file, QString name,
                    std::vector<Record> records)
        : connection_(std::move(connection)), file_(std::move(file)), table_(std::move(name)),
          records_(std::move(records))
    {
        state_ = records_.empty() ? State::PastLast : State::OnRecord;
    }

    std::optional<Failure> MoveFirst() override
    {
        if (records_.empty())
            return failure(Kind::EmptyTable, QStringLiteral("本单元没有单词了"),
                           QStringLiteral("MoveFirst on %1: the table has no records").arg(table_));
        index_ = 0;
        state_ = State::OnRecord;
        return std::nullopt;
    }

    std::optional<Failure> MoveNext() override
    {
        switch (state_) {
        case State::PastLast:
            return failure(
                records_.empty() ? Kind::EmptyTable : Kind::PastLastRecord,
                QStringLiteral("本单元没有单词了"),
                QStringLiteral("MoveNext on %1: the cursor is already past the last record").arg(table_));
        case State::OnRecord:
            ++index_;
            break;
        case State::OnDeleted:
            break; // the record after the deleted one has moved up into its place
        }
        state_ = index_ < records_.size() ? State::OnRecord : State::PastLast;
        return std::nullopt;
    }

    std::optional<Failure> Delete() override
    {
        if (state_ != State::OnRecord)
            return failure(Kind::NoCurrentRecord, QStringLiteral("没有当前单词，无法删除"),
                           QStringLiteral("Delete on %1: no current record").arg(table_));
        const WordLocation& location = records_[index_].location;
        const auto cannot = [&](const QString& why) {
            return failure(Kind::WriteFailed, QStringLiteral("词库无法写入，单词未删除"),
                           QStringLiteral("Delete of rowid %1 from %2: %3")
                               .arg(location.rowid)
                               .arg(location.table, why));
        };
        // SQLite would happily delete from a file that has been unlinked, and the delete would be lost.
        if (!QFileInfo::exists(file_))
            return cannot(QStringLiteral("the database file %1 is gone").arg(file_));
        QSqlQuery query(connection_->database());
        if (!query.prepare(QStringLiteral("DELETE FROM ") + location.table +
                           QStringLiteral(" WHERE rowid = ?")))
            return cannot(query.lastError().text());
        query.addBindValue(location.rowid);
        if (!query.exec())
            return cannot(query.lastError().text());
        if (query.numRowsAffected() != 1)
            return cannot(QStringLiteral("%1 rows were deleted instead of one").arg(query.numRowsAffected()));
        records_.erase(records_.begin() + qsizetype(index_));
        state_ = State::OnDeleted;
        return std::nullopt;
    }

    int RecordCount() const override { return int(records_.size()); }

    int AbsolutePosition() const override
    {
        switch (state_) {
        case State::OnRecord:
            return int(index_) + 1;
        case State::OnDeleted:
            return Unknown;
        case State::PastLast:
            break;
        }
        return PastLast;
    }

    std::optional<QString> Field(int position) const override
    {
        if (state_ != State::OnRecord || position < 0)
            return std::nullopt;
        const QVariantList& fields = records_[index_].fields;
        if (position >= fields.size() || fields[position].isNull())
            return std::nullopt;
        return fields[position].toString();
    }

    std::optional<WordLocation> Location() const override
    {
        if (state_ != State::OnRecord)
            return std::nullopt;
        return records_[index_].location;
    }

    void Close() override
    {
        records_.clear();
        state_ = State::PastLast;
        connection_.reset();
    }

private:
    enum class State { OnRecord, OnDeleted, PastLast };

    std::unique_ptr<SqlConnection> connection_;
    QString file_;
    QString table_;
    std::vector<Record> records_;
    size_t index_ = 0;
    State state_ = State::PastLast;
};

std::variant<std::unique_ptr<SqlConnection>, Failure>
openConnection(const QString& databaseFile, SqlConnection::Access access = SqlConnection::Access::Write)
{
    const QString file = QDir::toNativeSeparators(databaseFile);
    if (QFileInfo(databaseFile).isDir())
        return failure(Kind::Missing, QStringLiteral("词库 %1 是一个文件夹，不是词库文件").arg(file),
                       QStringLiteral("%1 is a folder, not a word database").arg(databaseFile));
    if (!QFileInfo(databaseFile).isFile())
        return failure(Kind::Missing, QStringLiteral("找不到词库文件 %1").arg(file),
                       QStringLiteral("%1 does not exist").arg(databaseFile));
    auto connection = std::make_unique<SqlConnection>();
    const auto notADatabase = [&](const QString& why) {
        return failure(Kind::NotADatabase, QStringLiteral("%1 不是词库文件").arg(file),
                       QStringLiteral("%1 is not a word database: %2").arg(databaseFile, why));
    };
    if (const auto why = WordSql::open(*connection, databaseFile, access))
        return notADatabase(*why);
    return connection;
}

// All records and columns of a unit table, in rowid order.
std::variant<std::vector<Record>, Failure> readTable(SqlConnection& connection, const QString& databaseFile,
                                                     const QString& table)
{
    QSqlQuery query(connection.database());
    query.setForwardOnly(true);
    const auto notADatabase = [&](const QString& why) {
        return failure(Kind::NotADatabase,
                       QStringLiteral("%1 不是词库文件").arg(QDir::toNativeSeparators(databaseFile)),
                       QStringLiteral("%1 is not a word database: %2").arg(databaseFile, why));
    };
    // SQLite's names are not case-sensitive: a table made as "Word7" is word7.
    if (!query.prepare(QStringLiteral(
            "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = ? COLLATE NOCASE")))
        return notADatabase(query.lastError().text());
    query.addBindValue(table);
    if (!query.exec() || !query.next())
        return notADatabase(query.lastError().text());
    if (query.value(0).toInt() == 0)
        return failure(Kind::TableMissing, QStringLiteral("词库中没有本单元的单词表 %1").arg(table),
                       QStringLiteral("%1 has no table %2").arg(databaseFile, table));

    const auto readFailed = [&](const QString& why) {
        return failure(Kind::ReadFailed, QStringLiteral("无法读取单词表 %1").arg(table),
                       QStringLiteral("reading %1 from %2: %3").arg(table, databaseFile, why));
    };
    // The rowid comes along so that a delete hits exactly the record shown; ordering by it keeps the
    // records in the order they were added even where an index would make SQLite scan in another order.
    std::vector<Record> records;
    if (!query.exec(QStringLiteral("select rowid, * from ") + table + QStringLiteral(" order by rowid")))
        return readFailed(query.lastError().text());
    const int columns = query.record().count() - 1;
    if (columns < 3)
        return failure(Kind::TooFewColumns, QStringLiteral("单词表 %1 的格式不对").arg(table),
                       QStringLiteral("%1 in %2 has %3 columns; a unit table needs at least 3")
                           .arg(table, databaseFile)
                           .arg(columns));
    while (query.next()) {
        QVariantList fields;
        fields.reserve(columns);
        for (int i = 1; i <= columns; ++i)
            fields.append(query.value(i));
        records.push_back({{table, query.value(0).toLongLong()}, std::move(fields)});
    }
    if (query.lastError().isValid())
        return readFailed(query.lastError().text());
    return records;
}

} // namespace

namespace WordStore {

QString databasePath(const QString& applicationDirectory)
{
    return QDir(applicationDirectory).filePath(QStringLiteral("MyDatas.db"));
}

QString createTableStatement(const QString& table)
{
    return QStringLiteral("CREATE TABLE %1 (id INTEGER PRIMARY KEY, chinese TEXT, english TEXT)").arg(table);
}

std::variant<std::unique_ptr<Recordset>, Failure> open(const QString& databaseFile, const QString& table)
{
    if (!::isUnitTable(table))
        return failure(Kind::TableMissing, QStringLiteral("没有这个单元：%1").arg(table),
                       QStringLiteral("%1 is not a unit table name").arg(table));
    auto connection = openConnection(databaseFile);
    if (auto* failed = std::get_if<Failure>(&connection))
        return *failed;
    auto& opened = std::get<std::unique_ptr<SqlConnection>>(connection);
    auto records = readTable(*opened, databaseFile, table);
    if (auto* failed = std::get_if<Failure>(&records))
        return *failed;
    return std::make_unique<SqliteRecordset>(std::move(opened), databaseFile, table,
                                             std::move(std::get<std::vector<Record>>(records)));
}

std::variant<std::unique_ptr<Recordset>, Failure> open(const QString& databaseFile,
                                                       const std::vector<WordLocation>& picked)
{
    auto connection = openConnection(databaseFile);
    if (auto* failed = std::get_if<Failure>(&connection))
        return *failed;
    auto& opened = std::get<std::unique_ptr<SqlConnection>>(connection);
    QHash<QString, QHash<qint64, QVariantList>> tables;
    for (const WordLocation& location : picked) {
        if (tables.contains(location.table) || !::isUnitTable(location.table))
            continue;
        auto records = readTable(*opened, databaseFile, location.table);
        if (auto* failed = std::get_if<Failure>(&records)) {
            if (failed->kind != Kind::TableMissing && failed->kind != Kind::TooFewColumns)
                return *failed;
        }
        QHash<qint64, QVariantList>& rows = tables[location.table];
        if (auto* read = std::get_if<std::vector<Record>>(&records)) {
            for (const Record& record : *read)
                rows.insert(record.location.rowid, record.fields);
        }
    }
    std::vector<Record> records;
    for (const WordLocation& location : picked) {
        const auto rows = tables.constFind(location.table);
        if (rows == tables.cend())
            continue;
        if (const auto row = rows->constFind(location.rowid); row != rows->cend())
            records.push_back({location, *row});
    }
    return std::make_unique<SqliteRecordset>(std::move(opened), databaseFile, QStringLiteral("picked words"),
                                             std::move(records));
}

std::variant<std::vector<StoredWord>, Failure> readWords(const QString& databaseFile)
{
    auto connection = openConnection(databaseFile, SqlConnection::Access::Read);
    if (auto* failed = std::get_if<Failure>(&connection))
        return *failed;
    std::vector<StoredWord> words;
    for (int n = 1; n <= 20; ++n) {
        const QString table = QStringLiteral("word%1").arg(n);
        auto records = readTable(*std::get<std::unique_ptr<SqlConnection>>(connection), databaseFile, table);
        if (auto* failed = std::get_if<Failure>(&records)) {
            if (failed->kind == Kind::TableMissing || failed->kind == Kind::TooFewColumns)
                continue; // the unit has no words to offer; opening it says why
            return *failed;
        }
        for (const Record& record : std::get<std::vector<Record>>(records))
            words.push_back({record.location, record.fields[1].toString(), record.fields[2].toString()});
    }
    return words;
}

} // namespace WordStore
