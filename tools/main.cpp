// SPDX-License-Identifier: GPL-3.0-or-later
// vokabo-words: makes, fills, exports and checks word databases from the command line.
#include "AccessImport.h"
#include "CourseCheck.h"
#include "DataDirectory.h"
#include "FieldCipher.h"
#include "Logging.h"
#include "ReviewRecord.h"
#include "SettingsFile.h"
#include "Snapshots.h"
#include "WordDatabase.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSaveFile>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>

namespace {

constexpr int Failed = 1;
constexpr int WrongUsage = 2;

const QString Program = QStringLiteral("vokabo-words");
const QString DefaultDatabase = QStringLiteral("MyDatas.db");

void print(std::FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

void tell(const QString& message)
{
    print(stderr, message + u'\n');
}

int fail(const Failure& failure)
{
    for (const QString& message : failure.detail.split(u'\n'))
        tell(message);
    return Failed;
}

const QString UnitHelp =
    QStringLiteral("a unit code 11..54 (level 1-5, then unit 1-4, e.g. 23) or a table name "
                   "word1..word20");

struct Command {
    QString name;
    QString syntax;
    QString summary;
    QString description;
    QList<std::pair<QString, QString>> arguments; // name and meaning; names in [] are optional
    QList<QCommandLineOption> options;
    std::function<int(const QCommandLineParser&, const QStringList&)> run;

    qsizetype required() const
    {
        return std::count_if(arguments.begin(), arguments.end(),
                             [](const auto& argument) { return !argument.first.startsWith(u'['); });
    }
};

std::optional<UnitRow> unitArgument(const QString& text)
{
    auto unit = WordDatabase::resolveUnit(text);
    if (!unit)
        tell(QStringLiteral("'%1' is not a unit: give %2").arg(text, UnitHelp));
    return unit;
}

QString optionalDatabase(const QStringList& arguments)
{
    return arguments.isEmpty() ? DefaultDatabase : arguments[0];
}

int runCreate(const QCommandLineParser&, const QStringList& arguments)
{
    const QString database = optionalDatabase(arguments);
    if (auto failure = WordDatabase::create(database))
        return fail(*failure);
    tell(QStringLiteral("created %1 with %2 empty units").arg(database).arg(UnitCount));
    return 0;
}

int runImport(const QCommandLineParser& parser, const QStringList& arguments)
{
    WordFile::Format format = WordFile::Format::Detect;
    if (parser.isSet(QStringLiteral("format"))) {
        const QString name = parser.value(QStringLiteral("format")).toLower();
        if (name == QStringLiteral("csv")) {
            format = WordFile::Format::Csv;
        } else if (name == QStringLiteral("tsv")) {
            format = WordFile::Format::Tsv;
        } else {
            tell(QStringLiteral("--format takes csv or tsv, not '%1'").arg(name));
            return WrongUsage;
        }
    }
    const auto unit = unitArgument(arguments[1]);
    if (!unit)
        return WrongUsage;
    const auto result = WordDatabase::importFile(arguments[0], *unit, arguments[2], format,
                                                 parser.isSet(QStringLiteral("replace")));
    if (const auto* failure = std::get_if<Failure>(&result))
        return fail(*failure);
    tell(QStringLiteral("%1 %2 word(s) into unit %3 (%4) of %5")
             .arg(parser.isSet(QStringLiteral("replace")) ? QStringLiteral("replaced the unit with")
                                                          : QStringLiteral("added"))
             .arg(std::get<int>(result))
             .arg(unit->UnitCode, unit->UnitTable, arguments[0]));
    return 0;
}

int runExport(const QCommandLineParser&, const QStringList& arguments)
{
    const auto unit = unitArgument(arguments[1]);
    if (!unit)
        return WrongUsage;
    const auto result = WordDatabase::exportUnit(arguments[0], *unit);
    if (const auto* failure = std::get_if<Failure>(&result))
        return fail(*failure);
    const auto& exported = std::get<WordDatabase::Export>(result);
    for (const QString& problem : exported.problems)
        tell(problem);
    const QByteArray& text = exported.text;
    if (arguments.size() < 3) {
        if (std::fwrite(text.constData(), 1, size_t(text.size()), stdout) != size_t(text.size()) ||
            std::fflush(stdout) != 0) {
            tell(QStringLiteral("cannot write to the standard output"));
            return Failed;
        }
        return 0;
    }
    QSaveFile file(arguments[2]);
    // Unbuffered: a buffered write that fails only when flushed still lets commit() put a cut file in place.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || file.write(text) != text.size() ||
        !file.commit()) {
        tell(QStringLiteral("cannot write %1: %2").arg(arguments[2], file.errorString()));
        return Failed;
    }
    tell(QStringLiteral("wrote %1 word(s) of unit %2 (%3) to %4")
             .arg(text.count('\n'))
             .arg(unit->UnitCode, unit->UnitTable, arguments[2]));
    return 0;
}

int runList(const QCommandLineParser&, const QStringList& arguments)
{
    const QString database = optionalDatabase(arguments);
    const auto result = WordDatabase::countWords(database);
    if (const auto* failure = std::get_if<Failure>(&result))
        return fail(*failure);
    int missing = 0;
    for (const WordDatabase::UnitCount& count : std::get<std::vector<WordDatabase::UnitCount>>(result)) {
        missing += count.words ? 0 : 1;
        print(stdout, QStringLiteral("%1\t%2\t%3\t%4\n")
                          .arg(count.unit.UnitCode, count.unit.UnitTable, count.unit.caption,
                               count.words ? QString::number(*count.words) : QStringLiteral("missing")));
    }
    if (missing > 0) {
        tell(QStringLiteral("%1: %2 unit table(s) missing").arg(database).arg(missing));
        return Failed;
    }
    return 0;
}

int runCheck(const QCommandLineParser& parser, const QStringList& arguments)
{
    const QString database = optionalDatabase(arguments);
    auto result = WordDatabase::check(database);
    if (const auto* failure = std::get_if<Failure>(&result))
        return fail(*failure);
    auto& report = std::get<WordDatabase::CheckReport>(result);
    QStringList warnings;
    if (parser.isSet(QStringLiteral("course")) && report.findings.isEmpty()) {
        const auto course = CourseCheck::check(database);
        if (const auto* failure = std::get_if<Failure>(&course))
            return fail(*failure);
        report.findings = std::get<CourseCheck::Report>(course).findings;
        warnings = std::get<CourseCheck::Report>(course).warnings;
    }
    for (const QString& finding : report.findings)
        tell(finding);
    for (const QString& warning : warnings)
        tell(QStringLiteral("warning: ") + warning);
    for (const QString& note : report.notes)
        tell(QStringLiteral("note: ") + note);
    tell(QStringLiteral("%1: %2 problem(s), %3%4 note(s) in %5 unit(s), %6 record(s)")
             .arg(database)
             .arg(report.findings.size())
             .arg(warnings.isEmpty() ? QString() : QStringLiteral("%1 warning(s), ").arg(warnings.size()))
             .arg(report.notes.size())
             .arg(report.units)
             .arg(report.records));
    return report.findings.isEmpty() ? 0 : Failed;
}

int runImportAll(const QCommandLineParser& parser, const QStringList& arguments)
{
    const auto result =
        WordDatabase::importAll(arguments[0], arguments[1], parser.isSet(QStringLiteral("force")));
    if (const auto* failure = std::get_if<Failure>(&result))
        return fail(*failure);
    tell(QStringLiteral("built %1 with %2 words in %3 units")
             .arg(arguments[0])
             .arg(std::get<int>(result))
             .arg(UnitCount));
    return 0;
}

int runImportMdb(const QCommandLineParser&, const QStringList& arguments)
{
    const QString& database = arguments[1];
    if (!QFileInfo::exists(database)) {
        tell(QStringLiteral("%1 does not exist; make it first with 'vokabo-words create %1'").arg(database));
        return Failed;
    }
    const auto result = AccessImport::importWordTables(arguments[0], database);
    if (const auto* failure = std::get_if<Failure>(&result)) {
        tell(failure->detail);
        tell(QStringLiteral("nothing was imported; %1 is unchanged").arg(database));
        return Failed;
    }
    int words = 0;
    const auto& imported = std::get<AccessImport::Imported>(result);
    for (const QString& table : imported.refused)
        tell(QStringLiteral("%1: not one field of table %2 is enciphered text; it was not imported")
                 .arg(arguments[0], table));
    const auto& units = imported.units;
    for (const AccessImport::ImportedUnit& imported : units) {
        print(stdout, QStringLiteral("%1 (%2): %3 words\n")
                          .arg(imported.unit.UnitTable, imported.unit.caption)
                          .arg(imported.words));
        words += imported.words;
    }
    print(stdout, QStringLiteral("%1 words in %2 unit(s) from %3 into %4\n")
                      .arg(words)
                      .arg(units.size())
                      .arg(arguments[0], database));
    return 0;
}

std::optional<QDate> dayArgument(const QString& text)
{
    const QDate day = QDate::fromString(text, Qt::ISODate);
    if (!day.isValid() || day.toString(Qt::ISODate) != text) {
        tell(QStringLiteral("'%1' is not a date: give it as YYYY-MM-DD, as 'vokabo-words snapshots' lists it")
                 .arg(text));
        return std::nullopt;
    }
    return day;
}

int runSnapshots(const QCommandLineParser&, const QStringList& arguments)
{
    const QString& directory = arguments[0];
    if (!QFileInfo(directory).isDir()) {
        tell(QStringLiteral("%1 is not a folder").arg(directory));
        return Failed;
    }
    const auto snapshots = Snapshots::list(directory);
    if (snapshots.empty()) {
        tell(QStringLiteral("%1 has no snapshots yet").arg(directory));
        return 0;
    }
    bool allSound = true;
    for (const Snapshots::Snapshot& snapshot : snapshots) {
        for (const Snapshots::File& file : snapshot.files) {
            QString state = QStringLiteral("-");
            if (file.name != Snapshots::SettingsName) {
                const auto found = Snapshots::problems(snapshot.file(file.name));
                const auto* lines = std::get_if<QStringList>(&found);
                state = !lines             ? QStringLiteral("unreadable")
                        : lines->isEmpty() ? QStringLiteral("ok")
                                           : QStringLiteral("damaged");
                if (!lines)
                    tell(std::get<Failure>(found).detail);
                else if (!lines->isEmpty())
                    tell(QStringLiteral("%1: %2").arg(snapshot.file(file.name), lines->first()));
                allSound = allSound && lines && lines->isEmpty();
            }
            print(stdout, QStringLiteral("%1\t%2\t%3\t%4\n")
                              .arg(snapshot.day.toString(Qt::ISODate), file.name)
                              .arg(file.size)
                              .arg(state));
        }
    }
    return allSound ? 0 : Failed;
}

int runRestore(const QCommandLineParser&, const QStringList& arguments)
{
    const auto day = dayArgument(arguments[1]);
    if (!day)
        return WrongUsage;
    const auto result = Snapshots::restore(arguments[0], *day, QDateTime::currentDateTime());
    if (const auto* failure = std::get_if<Failure>(&result))
        return fail(*failure);
    const auto& restored = std::get<Snapshots::Restored>(result);
    tell(QStringLiteral("restored %1 of %2 into %3")
             .arg(restored.files.join(QStringLiteral(", ")), arguments[1], arguments[0]));
    for (const QString& kept : restored.kept)
        tell(QStringLiteral("the file replaced is kept as %1").arg(kept));
    return 0;
}

int runDue(const QCommandLineParser& parser, const QStringList& arguments)
{
    const QString& folder = arguments[0];
    QDate day = QDate::currentDate();
    if (parser.isSet(QStringLiteral("at"))) {
        day = QDate::fromString(parser.value(QStringLiteral("at")), QStringLiteral("yyyy-MM-dd"));
        if (!day.isValid()) {
            tell(QStringLiteral("--at takes a day as YYYY-MM-DD, not '%1'")
                     .arg(parser.value(QStringLiteral("at"))));
            return WrongUsage;
        }
    }
    if (!QFileInfo(WordStore::databasePath(folder)).isFile()) {
        tell(QStringLiteral("%1 holds no MyDatas.db: give Vokabo's data folder").arg(folder));
        return Failed;
    }
    const MemoryModel model(readReviewSettings(mdlINI(folder)).retention);
    const auto state = readReviewState(folder, model);
    if (const auto* failure = std::get_if<Failure>(&state))
        return fail(*failure);
    const std::vector<ReviewWord>& words = std::get<ReviewState>(state).words;
    PPS cipher;
    for (const DueWord& due : dueOn(words, day, model, std::numeric_limits<int>::max())) {
        const ReviewWord& word = words[size_t(due.word)];
        const auto unit = unitByTable(word.stored.location.table);
        print(stdout, QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6\t%7\n")
                          .arg(unit ? unit->UnitCode : word.stored.location.table,
                               textShown(cipher, word.stored.answer), textShown(cipher, word.stored.prompt))
                          .arg(word.schedule.memory.stability, 0, 'f', 4)
                          .arg(word.schedule.memory.difficulty, 0, 'f', 4)
                          .arg(due.retrievability, 0, 'f', 4)
                          .arg(word.schedule.due.toString(Qt::ISODate)));
    }
    return 0;
}

const QList<Command>& commands()
{
    static const QList<Command> list = {
        {QStringLiteral("create"),
         QStringLiteral("[DB]"),
         QStringLiteral("make a new database with the twenty empty units"),
         QStringLiteral("Makes a new word database: the twenty unit tables word1..word20, empty.\n"
                        "An existing file is never overwritten."),
         {{QStringLiteral("[DB]"), QStringLiteral("The database to make (default: MyDatas.db here).")}},
         {},
         runCreate},
        {QStringLiteral("import"),
         QStringLiteral("DB UNIT FILE"),
         QStringLiteral("add the words of a CSV or TSV file to a unit"),
         QStringLiteral(
             "Adds the words of FILE to UNIT of the database DB, after the words already there.\n"
             "\n"
             "FILE is UTF-8 text (a byte order mark at its start is ignored), one word a line:\n"
             "the English word, then its Chinese meaning.\n"
             "  TSV: the two fields separated by a tab. There is no quoting: a quote is a plain character.\n"
             "  CSV: the two fields separated by a comma. A field in double quotes may hold commas, and "
             "\"\"\n"
             "       inside it stands for one quote. A quoted field must end on the line it starts on.\n"
             "The format is TSV when the first line that is not blank or a comment has a tab, and CSV\n"
             "otherwise; --format overrides that.\n"
             "Blank lines are skipped, and so are lines whose first non-blank character is #.\n"
             "Spaces around a field are dropped.\n"
             "Header: the first line that is not blank or a comment is skipped when its fields are\n"
             "\"english\" and \"chinese\" (any case) or \"英文\" and \"中文\"; any other line is a word.\n"
             "Each field must be non-empty, have no control characters, be in the GBK character set\n"
             "and take at most 255 bytes in GBK (255 letters or 127 Chinese characters).\n"
             "\n"
             "The import is one transaction: when any line is bad, the first 100 problems are reported\n"
             "as FILE:LINE: reason, then their number, and nothing is written. A line longer than 64 KB\n"
             "is bad, and a unit holds at most 100,000 words. DB must exist already ('vokabo-words "
             "create').\n"
             "FILE may be - for the standard input."),
         {{QStringLiteral("DB"), QStringLiteral("The word database.")},
          {QStringLiteral("UNIT"), QStringLiteral("The unit: ") + UnitHelp + u'.'},
          {QStringLiteral("FILE"), QStringLiteral("The word list.")}},
         {QCommandLineOption(QStringLiteral("format"), QStringLiteral("Read FILE as csv or tsv."),
                             QStringLiteral("csv|tsv")),
          QCommandLineOption(QStringLiteral("replace"),
                             QStringLiteral("Empty the unit first (in the same transaction)."))},
         runImport},
        {QStringLiteral("export"),
         QStringLiteral("DB UNIT [FILE]"),
         QStringLiteral("write a unit's words as TSV (standard output without FILE)"),
         QStringLiteral(
             "Writes the words of UNIT in record order, decrypted, as UTF-8 TSV: the English word,\n"
             "a tab, the Chinese meaning, each exactly as Vokabo shows it. 'vokabo-words import' reads\n"
             "the output back as the same unit.\n"
             "A damaged field (see 'vokabo-words help check') is written as Vokabo shows it, most often\n"
             "empty, and reported on the standard error as UNIT row ROWID, COLUMN: reason; the rest of\n"
             "the unit is written all the same. When a sound word could not be read back unchanged (a\n"
             "tab, a leading #, a field longer than import takes), those words are reported and nothing\n"
             "is written."),
         {{QStringLiteral("DB"), QStringLiteral("The word database.")},
          {QStringLiteral("UNIT"), QStringLiteral("The unit: ") + UnitHelp + u'.'},
          {QStringLiteral("[FILE]"), QStringLiteral("Where to write (default: the standard output).")}},
         {},
         runExport},
        {QStringLiteral("list"),
         QStringLiteral("[DB]"),
         QStringLiteral("show every unit with its word count"),
         QStringLiteral("Prints one line per unit: code, table, caption and number of words, separated by\n"
                        "tabs. A unit whose table is missing shows 'missing' and makes the exit status 1."),
         {{QStringLiteral("[DB]"), QStringLiteral("The word database (default: MyDatas.db here).")}},
         {},
         runList},
        {QStringLiteral("check"),
         QStringLiteral("[DB]"),
         QStringLiteral("look for damaged fields and missing units"),
         QStringLiteral(
             "Reads every field of every unit with Vokabo's own decoder and reports, with its unit and\n"
             "row (rowid), each field that the learner would see wrong: Null, without one complete pair\n"
             "of hexadecimal digits, not a whole number of 16-byte blocks, not valid GBK once decrypted,\n"
             "65,536 characters or more, or empty; also every missing unit table.\n"
             "Fields that Vokabo reads fine but that are not spelled in the canonical form (upper-case\n"
             "hexadecimal digits and nothing else) are listed as notes, which do not fail the check.\n"
             "With --course, sound fields are also held to the rules of a course: 90 to 130\n"
             "words a unit; no answer (in any letter case) and no prompt twice; prompts of at\n"
             "most 8 characters, what the meaning label shows; answers of plain English letters.\n"
             "Words wider than the study window's labels at their font are listed as warnings, which\n"
             "do not fail the check: Vokabo draws them smaller so that they show whole.\n"
             "The exit status is 1 when anything but a note or a warning was found."),
         {{QStringLiteral("[DB]"), QStringLiteral("The word database (default: MyDatas.db here).")}},
         {QCommandLineOption(QStringLiteral("course"), QStringLiteral("Apply the rules of a course too."))},
         runCheck},
        {QStringLiteral("import-all"),
         QStringLiteral("DB DIR"),
         QStringLiteral("build a new database from DIR/11.tsv ... DIR/54.tsv"),
         QStringLiteral("Builds a new database with all twenty units, each from DIR/<code>.tsv (11.tsv to\n"
                        "54.tsv), read as TSV by the rules of 'vokabo-words help import'. Every file must\n"
                        "be there and have at least one word. When anything is wrong, every problem is\n"
                        "reported and DB is left as it was: the database is built beside DB and renamed\n"
                        "to DB only when complete."),
         {{QStringLiteral("DB"), QStringLiteral("The database to make.")},
          {QStringLiteral("DIR"), QStringLiteral("The folder of the word lists.")}},
         {QCommandLineOption(QStringLiteral("force"), QStringLiteral("Replace DB when it exists."))},
         runImportAll},
        {QStringLiteral("import-mdb"),
         QStringLiteral("OLD.mdb DB"),
         QStringLiteral("bring over the units of an old Access word database"),
         QStringLiteral(
             "Reads the Access (Jet) word database OLD.mdb and, for each of its tables word1 ... word20\n"
             "(in any letter case), replaces that unit of DB with the table's records in the order\n"
             "stored. Columns 1 and 2 (the prompt and the answer; column 0 is the record number) are\n"
             "copied as they are: both files keep the words in the same enciphered form. Units that\n"
             "OLD.mdb lacks are left as they are. A database password does not stop the import.\n"
             "\n"
             "The records come in the order Access reads them; deleted records are left out. A word\n"
             "table none of whose fields is enciphered text is not a unit: it is reported and left out.\n"
             "OLD.mdb is read by vokabo-mdb-reader, a process of its own with limits of time and\n"
             "memory, so that a damaged file cannot bring this command down.\n"
             "\n"
             "Prints one line per unit imported and the total. When OLD.mdb cannot be read (missing,\n"
             "not an Access database, a word table with fewer than 3 columns, a damaged file, the\n"
             "reader failing) or DB cannot be written, nothing is imported: DB changes in one\n"
             "transaction or not at all, and the exit status is 1.\n"
             "DB must exist already ('vokabo-words create'); OLD.mdb is only read."),
         {{QStringLiteral("OLD.mdb"), QStringLiteral("The Access word database.")},
          {QStringLiteral("DB"), QStringLiteral("The word database to bring the units into.")}},
         {},
         runImportMdb},
        {QStringLiteral("snapshots"),
         QStringLiteral("DIR"),
         QStringLiteral("list the snapshots of a data folder"),
         QStringLiteral(
             "Lists the snapshots that Vokabo keeps in DIR/snapshots, newest first: one line a file,\n"
             "with the day, the file, its size in bytes and whether it passes SQLite's quick_check\n"
             "(ok, damaged or unreadable; - for Syset.ini), separated by tabs. What is wrong with a copy\n"
             "that does not pass goes to the standard error.\n"
             "\n"
             "When a run of Vokabo that changed MyDatas.db, History.db or Syset.ini ends, it puts a\n"
             "consistent copy of the three into DIR/snapshots/YYYY-MM-DD, in place of one made earlier that\n"
             "day, and keeps the snapshots of the 10 newest days. At the next start a word database or\n"
             "learning record that fails the check is offered the newest copy of it that passes.\n"
             "The exit status is 1 when a copy does not pass the check."),
         {{QStringLiteral("DIR"), QStringLiteral("The data folder (by default ~/.local/share/vokabo).")}},
         {},
         runSnapshots},
        {QStringLiteral("restore"),
         QStringLiteral("DIR DATE"),
         QStringLiteral("put a snapshot's files back in place in a data folder"),
         QStringLiteral(
             "Puts the files of the snapshot of DATE (YYYY-MM-DD, as 'vokabo-words snapshots' lists it)\n"
             "back into the data folder DIR: MyDatas.db, History.db and Syset.ini, those that the\n"
             "snapshot holds. Each file replaced is kept beside it, with its -wal, -shm and -journal, as\n"
             "FILE.replaced-YYYY-MM-DD-HHMMSS (the time of the restore).\n"
             "\n"
             "Refused while Vokabo runs for DIR (it holds DIR/.vokabo.lock): quit it first. Refused too\n"
             "when a database of the snapshot fails SQLite's quick_check; then nothing is replaced, and\n"
             "neither is anything when a copy cannot be made."),
         {{QStringLiteral("DIR"), QStringLiteral("The data folder.")},
          {QStringLiteral("DATE"), QStringLiteral("The day of the snapshot, YYYY-MM-DD.")}},
         {},
         runRestore},
        {QStringLiteral("due"),
         QStringLiteral("DATA_DIR"),
         QStringLiteral("show the words due for review on a day"),
         QStringLiteral(
             "Prints the words that the review schedule has due on a day (today unless --at says\n"
             "otherwise), those due earlier and not reviewed since included: the words of Vokabo's\n"
             "daily review drill (F7) on that day, all of them rather than the first DailyLimit.\n"
             "The most overdue come first (lowest retrievability). One word a line, tab-separated:\n"
             "unit code, English, Chinese, stability (days), difficulty (1-10), retrievability on\n"
             "the day (0-1), due date (YYYY-MM-DD).\n"
             "\n"
             "The schedule is replayed from the learning record History.db in DATA_DIR, with the\n"
             "desired retention of [Review] Retention in its Syset.ini; words that are in no unit of\n"
             "its MyDatas.db any more are left out. Nothing is written."),
         {{QStringLiteral("DATA_DIR"),
           QStringLiteral("Vokabo's data folder, with MyDatas.db, History.db and Syset.ini.")}},
         {QCommandLineOption(QStringLiteral("at"), QStringLiteral("The day, instead of today."),
                             QStringLiteral("YYYY-MM-DD"))},
         runDue},
    };
    return list;
}

const Command* findCommand(const QString& name)
{
    for (const Command& command : commands()) {
        if (command.name == name)
            return &command;
    }
    return nullptr;
}

QString generalHelp()
{
    QString text = QStringLiteral("Usage: %1 COMMAND [options] ARGUMENTS\n\n"
                                  "Makes, fills, exports and checks Vokabo word databases, and shows the\n"
                                  "words due for review.\n\nCommands:\n")
                       .arg(Program);
    for (const Command& command : commands())
        text += QStringLiteral("  %1%2\n")
                    .arg((command.name + u' ' + command.syntax).leftJustified(26), command.summary);
    text += QStringLiteral("  %1%2\n")
                .arg(QStringLiteral("help [COMMAND]").leftJustified(26),
                     QStringLiteral("show this help, or a command's"));
    text += QStringLiteral("  %1%2\n\n")
                .arg(QStringLiteral("--version").leftJustified(26), QStringLiteral("show the version"));
    text += QStringLiteral("DB in brackets defaults to MyDatas.db in the current directory.\n"
                           "UNIT is %1.\n"
                           "Exit status: 0 done, 1 failed, 2 wrong usage.\n"
                           "'%2 help COMMAND' or '%2 COMMAND --help' tells more about a command.\n")
                .arg(UnitHelp, Program);
    text += QStringLiteral("\nVokabo keeps the learner's words in MyDatas.db beside the program\n"
                           "when there is one (a portable copy), else in\n"
                           "  %1\n"
                           "made from the installed course on the first start; 'vokabo --data-dir DIR'\n"
                           "or the environment variable VOKABO_DATA_DIR chooses another folder.\n")
                .arg(QDir(DataDirectory::perUserFolder(qgetenv("XDG_DATA_HOME"), QDir::homePath()))
                         .filePath(QStringLiteral("MyDatas.db")));
    return text;
}

const QCommandLineOption& helpOption()
{
    static const QCommandLineOption option({QStringLiteral("h"), QStringLiteral("help")},
                                           QStringLiteral("Show this help."));
    return option;
}

void setUp(QCommandLineParser& parser, const Command& command)
{
    parser.setApplicationDescription(command.description);
    parser.addOption(helpOption());
    parser.addOptions(command.options);
    for (const auto& [name, meaning] : command.arguments)
        parser.addPositionalArgument(name, meaning);
}

QString commandHelp(const Command& command)
{
    QCommandLineParser parser;
    setUp(parser, command);
    // The parser's own usage line would name neither the command nor its arguments.
    QString text = parser.helpText();
    text.remove(0, text.indexOf(u'\n') + 1);
    return QStringLiteral("Usage: %1 %2 [options] %3\n\n").arg(Program, command.name, command.syntax) + text;
}

} // namespace

int main(int argc, char* argv[])
{
    installMessageFormat();
    // The course check measures words with the fonts of the study window, which takes a GUI application;
    // it never shows a window, so it needs no display.
    const bool measures = argc > 1 && std::strcmp(argv[1], "check") == 0 &&
                          std::any_of(argv + 2, argv + argc, [](const char* argument) {
                              return std::strcmp(argument, "--course") == 0;
                          });
    if (measures)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const std::unique_ptr<QCoreApplication> application =
        measures ? std::make_unique<QGuiApplication>(argc, argv)
                 : std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName(Program);
    QStringList arguments = QCoreApplication::arguments().mid(1);

    if (arguments.isEmpty()) {
        print(stderr, generalHelp());
        return WrongUsage;
    }
    const QString name = arguments.takeFirst();
    if (name == QStringLiteral("help") || name == QStringLiteral("--help") || name == QStringLiteral("-h")) {
        if (arguments.isEmpty()) {
            print(stdout, generalHelp());
            return 0;
        }
        const Command* command = findCommand(arguments[0]);
        if (!command || arguments.size() > 1) {
            tell(QStringLiteral("%1: no such command '%2'; '%1 help' lists them")
                     .arg(Program, arguments.join(u' ')));
            return WrongUsage;
        }
        print(stdout, commandHelp(*command));
        return 0;
    }
    if (name == QStringLiteral("--version")) {
        print(stdout, QStringLiteral("%1 %2\n").arg(Program, QStringLiteral(VOKABO_VERSION)));
        return 0;
    }
    const Command* command = findCommand(name);
    if (!command) {
        tell(QStringLiteral("%1: no such command '%2'; '%1 help' lists them").arg(Program, name));
        return WrongUsage;
    }

    QCommandLineParser parser;
    setUp(parser, *command);
    const auto usageError = [&](const QString& what) {
        tell(QStringLiteral("%1 %2: %3; '%1 help %2' tells more").arg(Program, command->name, what));
        return WrongUsage;
    };
    if (!parser.parse(QStringList{Program} + arguments)) {
        QString error = parser.errorText();
        if (error.endsWith(u'.'))
            error.chop(1);
        return usageError(error);
    }
    if (parser.isSet(helpOption())) {
        print(stdout, commandHelp(*command));
        return 0;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.size() < command->required() || positional.size() > command->arguments.size())
        return usageError(QStringLiteral("takes %1").arg(command->syntax));
    return command->run(parser, positional);
}
