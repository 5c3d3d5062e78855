#include "AccessImport.h"

#include "AccessFile.h"
#include "WordDatabase.h"

#include <QFileInfo>
#include <algorithm>
#include <optional>

namespace AccessImport {

namespace {

std::variant<std::vector<WordDatabase::StoredUnit>, Failure> readUnits(const QString& accessFile)
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

    std::vector<WordDatabase::StoredUnit> units;
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
        std::vector<WordSql::Fields> records;
        records.reserve(table.records.size());
        for (const QVariantList& record : table.records)
            records.push_back({record.value(0), record.value(1)});
        units.push_back({unit, std::move(records)});
    }
    if (units.empty())
        return Failure{QStringLiteral("其中没有单词表（word1 至 word20）"),
                       QStringLiteral("%1 has none of the word tables word1 … word20; tables: %2")
                           .arg(accessFile, tables.isEmpty() ? QStringLiteral("none") : tables.join(u", "))};
    return units;
}

} // namespace

std::variant<std::vector<ImportedUnit>, Failure> importWordTables(const QString& accessFile,
                                                                  const QString& database)
{
    auto read = readUnits(accessFile);
    if (Failure* failure = std::get_if<Failure>(&read))
        return std::move(*failure);
    const auto& units = std::get<std::vector<WordDatabase::StoredUnit>>(read);
    if (auto failure = WordDatabase::replaceUnits(database, units))
        return std::move(*failure);
    std::vector<ImportedUnit> imported;
    for (const WordDatabase::StoredUnit& unit : units)
        imported.push_back({unit.unit, int(unit.records.size())});
    return imported;
}

} // namespace AccessImport
