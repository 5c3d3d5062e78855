// SPDX-License-Identifier: GPL-3.0-or-later
#include "WordDatabase.h"

#include "FieldCipher.h"
#include "SqlConnection.h"
#include "WordSql.h"
#include "WordStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryFile>
#include <filesystem>
#include <memory>
#include <system_error>

namespace WordDatabase {

namespace {

using WordFile::MaxUnitWords;
using WordFile::Word;

Failure failure(const QString& message)
{
    return Failure{QString(), message};
}

QString unitName(const UnitRow& unit)
{
    return QStringLiteral("unit %1 (%2)").arg(unit.UnitCode, unit.UnitTable);
}

// Opens a database file that must already exist: SQLite is told not to create one (mode=ro / mode=rw).
Result<std::unique_ptr<SqlConnection>> openExisting(const QString& file, SqlConnection::Access access)
{
    const QFileInfo info(file);
    if (!info.exists())
        return failure(
            QStringLiteral("%1 does not exist; make a word database first with 'vokabo-words create %1'")
                .arg(file));
    if (!info.isFile())
        return failure(QStringLiteral("%1 is not a file").arg(file));

    auto connection = std::make_unique<SqlConnection>();
    if (const auto why = WordSql::open(*connection, file, access))
        return failure(QStringLiteral("%1: %2").arg(file, *why));
    return connection;
}

Result<bool> hasTable(const QSqlDatabase& db, const QString& table)
{
    QSqlQuery query(db);
    // SQLite's names are not case-sensitive: a table made as "Word7" is word7.
    if (!query.prepare(QStringLiteral(
            "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = ? COLLATE NOCASE")))
        return failure(query.lastError().text());
    query.addBindValue(table);
    if (!query.exec() || !query.next())
        return failure(query.lastError().text());
    return query.value(0).toInt() > 0;
}

// The table of a unit that is expected to be there.
std::optional<Failure> requireTable(const QSqlDatabase& db, const QString& file, const UnitRow& unit)
{
    const auto present = hasTable(db, unit.UnitTable);
    if (const Failure* error = std::get_if<Failure>(&present))
        return failure(QStringLiteral("cannot read %1: %2").arg(file, error->detail));
    if (!std::get<bool>(present))
        return failure(
            QStringLiteral("%1 has no table %2; is it a word database? ('vokabo-words create' makes one)")
                .arg(file, unit.UnitTable));
    return std::nullopt;
}

struct StoredRecord {
    qint64 rowid;
    QVariant chinese; // column 1, the prompt
    QVariant english; // column 2, the answer
};

// The records in the order the learner's program reads them ("select *" walks the rowid order).
Result<std::vector<StoredRecord>> readStored(const QSqlDatabase& db, const UnitRow& unit)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT rowid, * FROM ") + unit.UnitTable +
                    QStringLiteral(" ORDER BY rowid")))
        return failure(QStringLiteral("%1: cannot read: %2").arg(unitName(unit), query.lastError().text()));
    const int columns = query.record().count() - 1;
    if (columns < 3)
        return failure(QStringLiteral("%1: the table has %2 column(s); a unit table has 3")
                           .arg(unitName(unit))
                           .arg(columns));
    std::vector<StoredRecord> records;
    while (query.next())
        records.push_back({query.value(0).toLongLong(), query.value(2), query.value(3)});
    if (query.lastError().isValid())
        return failure(QStringLiteral("%1: cannot read: %2").arg(unitName(unit), query.lastError().text()));
    return records;
}

// Reads stored fields with the program's own decoder, and says what the learner would see wrong.
class FieldReader {
public:
    struct Decoded {
        QString shown;                  // what the study window shows: up to the first U+0000
        std::optional<QString> problem; // what the learner would see wrong
        std::optional<QString> note;    // read fine, but not in the canonical form
    };

    Decoded decode(const QVariant& value)
    {
        if (value.isNull())
            return {{}, QStringLiteral("Null"), {}};
        const QString stored = value.toString();
        const FieldReading reading =
            readField(cipher_, stored, QString::fromUtf16(FieldPassPhrase), FieldKeyBits);
        Decoded decoded{textBeforeNul(reading.text), problemOf(reading), spellingNote(stored)};
        if (!decoded.problem && decoded.shown.isEmpty())
            decoded.problem = QStringLiteral("empty once decrypted");
        return decoded;
    }

private:
    static std::optional<QString> problemOf(const FieldReading& reading)
    {
        switch (reading.outcome) {
        case FieldReading::Outcome::Text:
            break;
        case FieldReading::Outcome::NoDigitPair:
            return QStringLiteral("no complete pair of hexadecimal digits");
        case FieldReading::Outcome::NotWholeBlocks:
            return QStringLiteral("%1 bytes, not a whole number of 16-byte blocks").arg(reading.bytes);
        case FieldReading::Outcome::TooLong:
            return QStringLiteral("65,536 characters or more once decrypted");
        case FieldReading::Outcome::CipherError:
            return QStringLiteral("cannot be decrypted");
        }
        if (!reading.validAnsi)
            return QStringLiteral("not valid GBK once decrypted");
        return std::nullopt;
    }

    // The canonical form is upper-case digits, two a byte, and nothing else. The decoder reads the low
    // byte of every character and skips what is not a digit, so other spellings read the same.
    static std::optional<QString> spellingNote(const QString& stored)
    {
        QStringList differences;
        int digits = 0;
        bool lowerCase = false;
        bool others = false;
        bool wide = false;
        for (const QChar c : stored) {
            const char16_t unit = c.unicode();
            const char16_t low = unit & 0xFF;
            const bool digit =
                (low >= u'0' && low <= u'9') || (low >= u'A' && low <= u'F') || (low >= u'a' && low <= u'f');
            if (!digit) {
                others = true;
                continue;
            }
            ++digits;
            wide = wide || unit > 0xFF;
            lowerCase = lowerCase || (low >= u'a' && low <= u'f');
        }
        if (lowerCase)
            differences.append(QStringLiteral("lower-case digits"));
        if (others)
            differences.append(QStringLiteral("separators or blanks"));
        if (wide)
            differences.append(QStringLiteral("characters outside ASCII read as digits by their low byte"));
        if (digits % 2 != 0)
            differences.append(QStringLiteral("an odd last digit, which is dropped"));
        if (differences.isEmpty())
            return std::nullopt;
        return QStringLiteral("not in the canonical form (upper-case digits only): ") +
               differences.join(QStringLiteral(", "));
    }

    PPS cipher_; // no message sink: the size is reported as a problem instead
};

QString fieldName(const UnitRow& unit, qint64 rowid, const char16_t* column)
{
    return QStringLiteral("%1 row %2, %3").arg(unitName(unit)).arg(rowid).arg(QString::fromUtf16(column));
}

struct ReadRecord {
    qint64 rowid;
    Word word;
    bool damaged; // a field of it is among the unit's problems
};

bool breaksLine(const QString& text)
{
    return text.contains(u'\t') || text.contains(u'\n') || text.contains(u'\r');
}

struct ReadUnit {
    std::vector<ReadRecord> records;
    QStringList problems; // "unit 24 (word8) row 5, english: ..."
};

// The records as the study window shows them, with what the learner would see wrong in them.
Result<ReadUnit> readRecords(const QString& file, const UnitRow& unit)
{
    auto opened = openExisting(file, SqlConnection::Access::Read);
    if (Failure* error = std::get_if<Failure>(&opened))
        return std::move(*error);
    const QSqlDatabase db = std::get<std::unique_ptr<SqlConnection>>(opened)->database();
    if (auto missing = requireTable(db, file, unit))
        return std::move(*missing);
    auto stored = readStored(db, unit);
    if (Failure* error = std::get_if<Failure>(&stored))
        return std::move(*error);

    FieldReader reader;
    ReadUnit read;
    for (const StoredRecord& record : std::get<std::vector<StoredRecord>>(stored)) {
        const auto english = reader.decode(record.english);
        const auto chinese = reader.decode(record.chinese);
        for (const auto& [column, decoded] :
             {std::pair{u"english", english}, std::pair{u"chinese", chinese}}) {
            if (decoded.problem)
                read.problems.append(fieldName(unit, record.rowid, column) + QStringLiteral(": ") +
                                     *decoded.problem);
        }
        read.records.push_back(
            {record.rowid, {english.shown, chinese.shown}, english.problem || chinese.problem});
    }
    return read;
}

std::optional<QString> insertWords(const QSqlDatabase& db, const QString& table,
                                   const std::vector<Word>& words)
{
    std::vector<WordSql::Fields> records;
    records.reserve(words.size());
    for (const Word& word : words) {
        const auto chinese = encodeField(word.chinese);
        const auto english = encodeField(word.english);
        if (!chinese || !english)
            return QStringLiteral("'%1' cannot be encoded").arg(word.english);
        records.push_back({*chinese, *english});
    }
    return WordSql::insert(db, table, records);
}

// Writes the twenty unit tables, with the words of each unit when `units` has them, into an empty file.
std::optional<Failure> build(const QString& file, const std::vector<std::vector<Word>>& units)
{
    auto opened = openExisting(file, SqlConnection::Access::Write);
    if (Failure* error = std::get_if<Failure>(&opened))
        return std::move(*error);
    QSqlDatabase db = std::get<std::unique_ptr<SqlConnection>>(opened)->database();
    const auto cannot = [&](const QString& why) {
        return failure(QStringLiteral("cannot write %1: %2").arg(file, why));
    };
    SqlTransaction transaction(db);
    if (const auto& why = transaction.beginError())
        return cannot(why->text());
    for (size_t i = 0; i < UnitCatalogue().size(); ++i) {
        const QString& table = UnitCatalogue()[i].UnitTable;
        std::optional<QString> error;
        {
            QSqlQuery query(db);
            if (!query.exec(WordStore::createTableStatement(table)))
                error = query.lastError().text();
        }
        if (!error && i < units.size())
            error = insertWords(db, table, units[i]);
        if (error)
            return cannot(*error);
    }
    if (const auto why = transaction.commit())
        return cannot(why->text());
    return std::nullopt;
}

bool occupied(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

} // namespace

std::optional<UnitRow> resolveUnit(const QString& text)
{
    if (auto unit = unitByCode(text))
        return unit;
    return unitByTable(text);
}

std::optional<Failure> create(const QString& databaseFile)
{
    if (occupied(databaseFile))
        return failure(QStringLiteral("%1 already exists; it has been left as it is").arg(databaseFile));
    // NewOnly claims the name, so a file that appears meanwhile is not overwritten either.
    QFile claim(databaseFile);
    if (!claim.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return failure(QStringLiteral("cannot create %1: %2").arg(databaseFile, claim.errorString()));
    claim.close();
    if (auto error = build(databaseFile, {})) {
        QFile::remove(databaseFile);
        return error;
    }
    return std::nullopt;
}

std::optional<Failure> makeUnitTables(const QString& emptyFile)
{
    return build(emptyFile, {});
}

std::optional<Failure> addWords(const QString& databaseFile, const UnitRow& unit,
                                const std::vector<Word>& words, bool replace)
{
    auto opened = openExisting(databaseFile, SqlConnection::Access::Write);
    if (Failure* error = std::get_if<Failure>(&opened))
        return std::move(*error);
    QSqlDatabase db = std::get<std::unique_ptr<SqlConnection>>(opened)->database();
    if (auto missing = requireTable(db, databaseFile, unit))
        return std::move(*missing);
    const auto cannot = [&](const QString& why) {
        return failure(QStringLiteral("cannot write %1 to %2: %3; nothing was imported")
                           .arg(unitName(unit), databaseFile, why));
    };
    SqlTransaction transaction(db);
    if (const auto& why = transaction.beginError())
        return cannot(why->text());
    if (!replace) {
        QSqlQuery count(db);
        if (!count.exec(QStringLiteral("SELECT count(*) FROM ") + WordSql::quoted(unit.UnitTable)) ||
            !count.next())
            return cannot(count.lastError().text());
        if (const qint64 total = count.value(0).toLongLong() + qint64(words.size()); total > MaxUnitWords)
            return failure(QStringLiteral("%1 would hold %L2 words, more than the %L3 a unit may hold; "
                                          "nothing was imported")
                               .arg(unitName(unit))
                               .arg(total)
                               .arg(MaxUnitWords));
    }
    if (words.size() > size_t(MaxUnitWords))
        return failure(QStringLiteral("%L1 words are more than the %L2 a unit may hold; nothing was imported")
                           .arg(words.size())
                           .arg(MaxUnitWords));
    if (replace) {
        QSqlQuery empty(db);
        if (!empty.exec(QStringLiteral("DELETE FROM ") + WordSql::quoted(unit.UnitTable)))
            return cannot(empty.lastError().text());
    }
    if (const auto why = insertWords(db, unit.UnitTable, words))
        return cannot(*why);
    if (const auto why = transaction.commit())
        return cannot(why->text());
    return std::nullopt;
}

Result<int> importFile(const QString& databaseFile, const UnitRow& unit, const QString& wordFile,
                       WordFile::Format format, bool replace)
{
    if (!occupied(databaseFile))
        return failure(QStringLiteral("%1 does not exist; make it first with 'vokabo-words create %1'")
                           .arg(databaseFile));
    WordFile::Parsed parsed = WordFile::read(wordFile, format);
    if (parsed.problemCount > 0) {
        const QString name = wordFile == QStringLiteral("-") ? QStringLiteral("<stdin>") : wordFile;
        QString summary = QString::number(parsed.problemCount) + QStringLiteral(" problem(s) in ") + name;
        if (parsed.problemCount > parsed.problems.size())
            summary += QStringLiteral(", the first %1 shown").arg(parsed.problems.size());
        parsed.problems.append(summary + QStringLiteral("; nothing was imported"));
        return Failure{QString(), parsed.problems.join(u'\n')};
    }
    if (auto error = addWords(databaseFile, unit, parsed.words, replace))
        return std::move(*error);
    return int(parsed.words.size());
}

std::optional<Failure> replaceUnits(const QString& databaseFile, const std::vector<StoredUnit>& units)
{
    const auto cannot = [&](const QString& why) {
        return Failure{QStringLiteral("词库无法写入"),
                       QStringLiteral("cannot write %1: %2").arg(databaseFile, why)};
    };
    if (!QFileInfo(databaseFile).isFile())
        return cannot(QStringLiteral("the file does not exist"));
    SqlConnection connection;
    if (const auto why = WordSql::open(connection, databaseFile, SqlConnection::Access::Write))
        return cannot(*why);
    QSqlDatabase db = connection.database();
    SqlTransaction transaction(db);
    if (const auto& why = transaction.beginError())
        return cannot(why->text());
    for (const StoredUnit& unit : units) {
        const QString& table = unit.unit.UnitTable;
        if (db.record(table).isEmpty())
            return cannot(QStringLiteral("there is no table %1").arg(table));
        QSqlQuery empty(db);
        if (!empty.exec(QStringLiteral("DELETE FROM ") + WordSql::quoted(table)))
            return cannot(QStringLiteral("%1: %2").arg(table, empty.lastError().text()));
        if (const auto why = WordSql::insert(db, table, unit.records))
            return cannot(*why);
    }
    if (const auto why = transaction.commit())
        return cannot(why->text());
    return std::nullopt;
}

Result<std::vector<Word>> readUnit(const QString& databaseFile, const UnitRow& unit)
{
    auto read = readRecords(databaseFile, unit);
    if (Failure* error = std::get_if<Failure>(&read))
        return std::move(*error);
    std::vector<Word> words;
    for (ReadRecord& record : std::get<ReadUnit>(read).records)
        words.push_back(std::move(record.word));
    return words;
}

Result<Export> exportUnit(const QString& databaseFile, const UnitRow& unit)
{
    auto read = readRecords(databaseFile, unit);
    if (Failure* error = std::get_if<Failure>(&read))
        return std::move(*error);
    const ReadUnit& records = std::get<ReadUnit>(read);
    Export exported{{}, records.problems};
    QStringList problems;
    bool first = true;
    for (const ReadRecord& record : records.records) {
        // A damaged field goes out as the study window shows it, most often empty; it has been reported.
        // Only what would break the lines of the list stops the export.
        std::optional<QString> problem;
        if (!record.damaged)
            problem = WordFile::tsvProblem(record.word, first);
        else if (breaksLine(record.word.english) || breaksLine(record.word.chinese))
            problem = QStringLiteral("a tab or line break in a damaged field");
        if (problem)
            problems.append(
                QStringLiteral("%1 row %2: %3").arg(unitName(unit)).arg(record.rowid).arg(*problem));
        exported.text += WordFile::tsvLine(record.word);
        first = false;
    }
    if (!problems.isEmpty()) {
        problems.append(QStringLiteral("these words would not be read back unchanged; nothing was exported"));
        return Failure{QString(), problems.join(u'\n')};
    }
    return exported;
}

Result<std::vector<UnitCount>> countWords(const QString& databaseFile)
{
    auto opened = openExisting(databaseFile, SqlConnection::Access::Read);
    if (Failure* error = std::get_if<Failure>(&opened))
        return std::move(*error);
    const QSqlDatabase db = std::get<std::unique_ptr<SqlConnection>>(opened)->database();
    std::vector<UnitCount> counts;
    for (const UnitRow& unit : UnitCatalogue()) {
        const auto present = hasTable(db, unit.UnitTable);
        if (const Failure* error = std::get_if<Failure>(&present))
            return *error;
        if (!std::get<bool>(present)) {
            counts.push_back({unit, std::nullopt});
            continue;
        }
        QSqlQuery query(db);
        if (!query.exec(QStringLiteral("SELECT count(*) FROM ") + unit.UnitTable) || !query.next())
            return failure(
                QStringLiteral("%1: cannot count: %2").arg(unitName(unit), query.lastError().text()));
        counts.push_back({unit, query.value(0).toInt()});
    }
    return counts;
}

Result<CheckReport> check(const QString& databaseFile)
{
    auto opened = openExisting(databaseFile, SqlConnection::Access::Read);
    if (Failure* error = std::get_if<Failure>(&opened))
        return std::move(*error);
    const QSqlDatabase db = std::get<std::unique_ptr<SqlConnection>>(opened)->database();
    CheckReport report;
    FieldReader reader;
    for (const UnitRow& unit : UnitCatalogue()) {
        const auto present = hasTable(db, unit.UnitTable);
        if (const Failure* error = std::get_if<Failure>(&present))
            return *error;
        if (!std::get<bool>(present)) {
            report.findings.append(QStringLiteral("%1: table missing").arg(unitName(unit)));
            continue;
        }
        const auto stored = readStored(db, unit);
        if (const Failure* error = std::get_if<Failure>(&stored)) {
            report.findings.append(error->detail.split(u'\n'));
            continue;
        }
        ++report.units;
        for (const StoredRecord& record : std::get<std::vector<StoredRecord>>(stored)) {
            ++report.records;
            for (const auto& [column, value] :
                 {std::pair{u"chinese", record.chinese}, std::pair{u"english", record.english}}) {
                const auto decoded = reader.decode(value);
                const QString field = fieldName(unit, record.rowid, column) + QStringLiteral(": ");
                if (decoded.problem)
                    report.findings.append(field + *decoded.problem);
                if (decoded.note)
                    report.notes.append(field + *decoded.note);
            }
        }
    }
    return report;
}

Result<int> importAll(const QString& databaseFile, const QString& directory, bool replaceExisting)
{
    const QFileInfo target(databaseFile);
    if (occupied(databaseFile)) {
        if (!replaceExisting)
            return failure(QStringLiteral("%1 already exists; use --force to replace it").arg(databaseFile));
        if (!target.isFile())
            return failure(QStringLiteral("%1 is not a file").arg(databaseFile));
    }

    std::vector<std::vector<Word>> units;
    QStringList problems;
    int words = 0;
    for (const UnitRow& unit : UnitCatalogue()) {
        const QString path = QDir(directory).filePath(unit.UnitCode + QStringLiteral(".tsv"));
        if (!QFileInfo(path).isFile()) {
            problems.append(QStringLiteral("%1: missing (the word list of %2)").arg(path, unitName(unit)));
            units.emplace_back();
            continue;
        }
        WordFile::Parsed parsed = WordFile::read(path, WordFile::Format::Tsv);
        if (parsed.problems.isEmpty() && parsed.words.empty())
            problems.append(QStringLiteral("%1: no words").arg(path));
        problems.append(parsed.problems);
        words += int(parsed.words.size());
        units.push_back(std::move(parsed.words));
    }
    if (!problems.isEmpty()) {
        problems.append(QStringLiteral("%1 was not written").arg(databaseFile));
        return Failure{QString(), problems.join(u'\n')};
    }

    // Built beside the target and renamed over it, so that DB is never seen half built.
    QTemporaryFile temporary(
        QDir(target.absolutePath())
            .filePath(QStringLiteral(".") + target.fileName() + QStringLiteral(".XXXXXX")));
    if (!temporary.open())
        return failure(QStringLiteral("cannot create a file in %1: %2")
                           .arg(target.absolutePath(), temporary.errorString()));
    temporary.close();
    temporary.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                             QFileDevice::ReadOther);
    if (auto error = build(temporary.fileName(), units))
        return std::move(*error);
    std::error_code renameError;
    std::filesystem::rename(std::filesystem::path(QFile::encodeName(temporary.fileName()).toStdString()),
                            std::filesystem::path(QFile::encodeName(target.absoluteFilePath()).toStdString()),
                            renameError);
    if (renameError)
        return failure(
            QStringLiteral("cannot rename %1 to %2: %3")
                .arg(temporary.fileName(), databaseFile, QString::fromStdString(renameError.message())));
    temporary.setAutoRemove(false);
    return words;
}

Result<QStringList> problems(const QString& databaseFile)
{
    if (!QFileInfo(databaseFile).isFile())
        return failure(QStringLiteral("%1 does not exist").arg(databaseFile));
    SqlConnection connection;
    if (!connection.open(databaseFile, SqlConnection::Access::Read))
        return failure(QStringLiteral("%1: %2").arg(databaseFile, connection.lastError()));
    QSqlQuery query(connection.database());
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
            return failure(QStringLiteral("cannot check %1: %2").arg(databaseFile, error.text()));
        found << error.databaseText();
    }
    return found;
}

std::optional<Failure> copyInto(const QString& databaseFile, const QString& target)
{
    auto opened = openExisting(databaseFile, SqlConnection::Access::Read);
    if (Failure* error = std::get_if<Failure>(&opened))
        return std::move(*error);
    if (const auto why = SqlConnection::makeOwnerFile(target))
        return failure(*why);
    QSqlQuery query(std::get<std::unique_ptr<SqlConnection>>(opened)->database());
    if (!query.prepare(QStringLiteral("VACUUM INTO ?")))
        return failure(QStringLiteral("cannot copy %1: %2").arg(databaseFile, query.lastError().text()));
    query.addBindValue(QFileInfo(target).absoluteFilePath());
    if (!query.exec())
        return failure(
            QStringLiteral("cannot copy %1 into %2: %3").arg(databaseFile, target, query.lastError().text()));
    return std::nullopt;
}

} // namespace WordDatabase
