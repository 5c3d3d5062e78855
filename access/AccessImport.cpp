// SPDX-License-Identifier: GPL-3.0-or-later
#include "AccessImport.h"

#include "FieldCipher.h"
#include "WordDatabase.h"

#include <QFileInfo>
#include <algorithm>

namespace AccessImport {

namespace {

bool decodes(PPS& cipher, const QVariant& field)
{
    if (field.isNull())
        return false;
    const FieldReading reading =
        readField(cipher, field.toString(), QString::fromUtf16(FieldPassPhrase), FieldKeyBits);
    return reading.outcome == FieldReading::Outcome::Text && reading.validAnsi &&
           !textBeforeNul(reading.text).isEmpty();
}

// Whether any field of the records is enciphered text.
bool holdsWords(const std::vector<WordSql::Fields>& records)
{
    PPS cipher;
    return std::any_of(records.begin(), records.end(), [&](const WordSql::Fields& record) {
        return decodes(cipher, record.prompt) || decodes(cipher, record.answer);
    });
}

struct Units {
    std::vector<WordDatabase::StoredUnit> units;
    QStringList refused;
};

Result<Units> readUnits(const QString& accessFile, const QString& reader)
{
    auto read = AccessReader::read(accessFile, reader, AccessReader::limitsFor(QFileInfo(accessFile).size()));
    if (Failure* failure = std::get_if<Failure>(&read))
        return std::move(*failure);
    std::vector<AccessReader::Table>& tables = std::get<AccessReader::Output>(read).tables;

    Units units;
    for (const UnitRow& unit : UnitCatalogue()) {
        const auto table = std::find_if(tables.begin(), tables.end(), [&](const AccessReader::Table& table) {
            return table.name.compare(unit.UnitTable, Qt::CaseInsensitive) == 0;
        });
        if (table == tables.end())
            continue;
        const QString& name = table->name;
        if (table->error)
            return Failure{QStringLiteral("单词表 %1 读取出错，文件可能已损坏").arg(name),
                           accessFile + QStringLiteral(": ") + *table->error, Failure::Kind::ReadFailed};
        if (table->columnCount < 3)
            return Failure{QStringLiteral("单词表 %1 只有 %2 列，不是单词表（至少要有 3 列）")
                               .arg(name)
                               .arg(table->columnCount),
                           QStringLiteral("%1: table %2 has %3 column(s); a word table has at least 3 "
                                          "(number, prompt, answer)")
                               .arg(accessFile, name)
                               .arg(table->columnCount)};
        if (!table->records.empty() && !holdsWords(table->records)) {
            units.refused.append(name);
            continue;
        }
        units.units.push_back({unit, std::move(table->records)});
    }
    if (units.units.empty() && !units.refused.isEmpty())
        return Failure{QStringLiteral("单词表 %1 中没有一个加密的单词，不是 Vokabo 的单词表")
                           .arg(units.refused.join(QStringLiteral("、"))),
                       QStringLiteral("%1: not one field of %2 is enciphered text; nothing to import")
                           .arg(accessFile, units.refused.join(QStringLiteral(", ")))};
    if (units.units.empty())
        return Failure{QStringLiteral("其中没有单词表（word1 至 word20）"),
                       QStringLiteral("%1 has none of the word tables word1 … word20").arg(accessFile)};
    return units;
}

} // namespace

Result<Imported> importWordTables(const QString& accessFile, const QString& database, const QString& reader)
{
    auto read = readUnits(accessFile, reader);
    if (Failure* failure = std::get_if<Failure>(&read))
        return std::move(*failure);
    const Units& units = std::get<Units>(read);
    if (auto failure = WordDatabase::replaceUnits(database, units.units))
        return std::move(*failure);
    Imported imported{{}, units.refused};
    for (const WordDatabase::StoredUnit& unit : units.units)
        imported.units.push_back({unit.unit, int(unit.records.size())});
    return imported;
}

} // namespace AccessImport
