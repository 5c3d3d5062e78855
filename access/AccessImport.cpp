#include "AccessImport.h"

#include "AccessFile.h"
#include "SqlConnection.h"

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <algorithm>
#include <optional>

namespace AccessImport {

namespace {

struct UnitRecords {
    UnitRow unit;
    std::vector<QVariantList> records; // columns 1 and 2
};

QString quoted(const QString& identifier)
{
    return u'"' + QString(identifier).replace(u'"', QStringLiteral("\"\"")) + u'"';
}

std::variant<std::vector<UnitRecords>, Failure> readUnits(const QString& accessFile)
{
    auto opened = AccessFile::open(accessFile);
    if (const auto* error = std::get_if<AccessFile::OpenFailure>(&opened)) {
        using Kind = AccessFile::OpenFailure::Kind;
        return Failure{error->kind == Kind::Missing ? QStringLiteral("找不到这个文件")
                       : error->kind == Kind::NotAccess
                           ? QStringLiteral("这不是 Access 数据库文件")
                           : QStringLiteral("缺少读取 Access 文件的组件 libmdb3"),
                       error->detail};
    }
    const AccessFile& file = *std::get<std::unique_ptr<AccessFile>>(opened);
    const QStringList tables = file.tableNames();

    std::vector<UnitRecords> units;
    for (const UnitRow& unit : UnitCatalogue()) {
        const auto name = std::find_if(tables.begin(), tables.end(), [&](const QString& table) {
            return table.compare(unit.UnitTable, Qt::CaseInsensitive) == 0;
        });
        if (name == tables.end())
            continue;
        auto read = file.read(*name, {1, 2});
        if (const QString* error = std::get_if<QString>(&read))
            return Failure{QStringLiteral("单词表 %1 读取出错，文件可能已损坏").arg(*name),
                           QStringLiteral("%1: %2").arg(accessFile, *error)};
        AccessFile::Table& table = std::get<AccessFile::Table>(read);
        if (table.columnCount < 3)
            return Failure{QStringLiteral("单词表 %1 只有 %2 列，不是单词表（至少要有 3 列）")
                               .arg(*name)
                               .arg(table.columnCount),
                           QStringLiteral("%1: table %2 has %3 column(s); a word table has at least 3 "
                                          "(number, prompt, answer)")
                               .arg(accessFile, *name)
                               .arg(table.columnCount)};
        units.push_back({unit, std::move(table.records)});
    }
    if (units.empty())
        return Failure{QStringLiteral("其中没有单词表（word1 至 word20）"),
                       QStringLiteral("%1 has none of the word tables word1 … word20; tables: %2")
                           .arg(accessFile, tables.isEmpty() ? QStringLiteral("none") : tables.join(u", "))};
    return units;
}

std::optional<Failure> writeUnits(const QString& database, const std::vector<UnitRecords>& units)
{
    const auto cannot = [&](const QString& why) {
        return Failure{QStringLiteral("词库无法写入"),
                       QStringLiteral("cannot write %1: %2").arg(database, why)};
    };
    if (!QFileInfo(database).isFile())
        return cannot(QStringLiteral("the file does not exist"));
    SqlConnection connection;
    if (!connection.open(database, SqlConnection::Access::Write))
        return cannot(connection.lastError());
    QSqlDatabase db = connection.database();
    if (!db.transaction())
        return cannot(db.lastError().text());
    for (const UnitRecords& unit : units) {
        const QSqlRecord columns = db.record(unit.unit.UnitTable);
        if (columns.count() < 3) {
            db.rollback();
            return cannot(columns.isEmpty()
                              ? QStringLiteral("there is no table %1").arg(unit.unit.UnitTable)
                              : QStringLiteral("table %1 has fewer than 3 columns").arg(unit.unit.UnitTable));
        }
        QSqlQuery query(db);
        // The store reads columns by position, whatever their names.
        const bool ok = query.exec(QStringLiteral("DELETE FROM ") + quoted(unit.unit.UnitTable)) &&
                        query.prepare(QStringLiteral("INSERT INTO %1 (%2, %3) VALUES (?, ?)")
                                          .arg(quoted(unit.unit.UnitTable), quoted(columns.fieldName(1)),
                                               quoted(columns.fieldName(2))));
        bool inserted = ok;
        for (auto record = unit.records.begin(); inserted && record != unit.records.end(); ++record) {
            query.bindValue(0, record->value(0, QVariant(QMetaType::fromType<QString>())));
            query.bindValue(1, record->value(1, QVariant(QMetaType::fromType<QString>())));
            inserted = query.exec();
        }
        if (!inserted) {
            const QString why = query.lastError().text();
            db.rollback();
            return cannot(QStringLiteral("%1: %2").arg(unit.unit.UnitTable, why));
        }
    }
    if (!db.commit()) {
        const QString why = db.lastError().text();
        db.rollback();
        return cannot(why);
    }
    return std::nullopt;
}

} // namespace

std::variant<std::vector<ImportedUnit>, Failure> importWordTables(const QString& accessFile,
                                                                  const QString& database)
{
    auto read = readUnits(accessFile);
    if (Failure* failure = std::get_if<Failure>(&read))
        return std::move(*failure);
    const auto& units = std::get<std::vector<UnitRecords>>(read);
    if (auto failure = writeUnits(database, units))
        return std::move(*failure);
    std::vector<ImportedUnit> imported;
    for (const UnitRecords& unit : units)
        imported.push_back({unit.unit, int(unit.records.size())});
    return imported;
}

} // namespace AccessImport
