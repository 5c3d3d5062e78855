// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DrillEvent.h"
#include "ErrorBook.h"
#include "Failure.h"

#include <QDate>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

class QSqlError;
class QSqlQuery;
class SqlConnection;
struct LearningStatistics;
struct WordEventLog;

// An event with what it did to the error book: one unit of writing.
struct HistoryWrite {
    DrillEvent event;
    ErrorBookChange change;
};

// "History.db" beside the word database: the drills, the word events and the error book. It keeps no
// clear text of a word, only the enciphered forms of the word database. Every statement on the file is
// here; what comes out are the program's own types. One connection, to be used from one thread.
class HistoryFile {
public:
    enum class Mode { Read, Write }; // Write creates the file and its tables when they are missing

    static QString path(const QString& applicationDirectory);
    // Failures of kind Missing (Read only: no such file) and NotADatabase (a file that is not a learning
    // record, to be left alone) are told apart. Write brings a record of an older version up to date; Read
    // changes nothing.
    static Result<std::unique_ptr<HistoryFile>> open(const QString& file, Mode mode);
    // Moves a damaged record out of the way of a new one, as "History.db.damaged-DATE" (a number after it
    // when that is taken), with its -wal and -shm: the name it now has. Nothing may have it open.
    static Result<QString> setAside(const QString& file, const QDate& day);

    // What PRAGMA quick_check finds wrong in a record, read only, before anything opens it to write: as
    // problems(), with a missing file a failure of kind Missing.
    static Result<QStringList> problemsOf(const QString& file);
    // A consistent copy of the record (VACUUM INTO) in `target`, missing or empty: for the owner alone, in
    // rollback-journal mode, so that it can be read where nothing may be written.
    [[nodiscard]] static std::optional<Failure> copyInto(const QString& file, const QString& target);
    // Such a copy made ready to be the record again in `target`: with the write-ahead log it is written in.
    [[nodiscard]] static std::optional<Failure> restoreInto(const QString& copy, const QString& target);

    ~HistoryFile();
    HistoryFile(const HistoryFile&) = delete;
    HistoryFile& operator=(const HistoryFile&) = delete;

    // What PRAGMA quick_check finds wrong: nothing when the file is sound. A page too damaged to read
    // counts as a problem; a failure is a file that cannot be read for another reason.
    Result<QStringList> problems() const;

    // All of the batch in one transaction, or nothing of it. `mayCommit`, when given, is asked just before
    // the commit; when it says no, the batch is rolled back. A file deleted since it was opened is a
    // failure of kind Missing: SQLite would go on writing into the unlinked file.
    [[nodiscard]] std::optional<Failure> write(const std::vector<HistoryWrite>& batch,
                                               const std::function<bool()>& mayCommit = {});
    // The drill that the next word events belong to: its row, once written. resumeDrill() takes one up
    // again on another connection (the next start, writing what this one left unwritten); a row that is
    // not an unfinished drill of this file is ignored.
    std::optional<qint64> currentDrill() const { return drill_; }
    void resumeDrill(qint64 drill);

    Result<std::vector<ErrorBookEntry>> readErrorBook() const;
    // The figures of the statistics window: answers per day from `firstDay` on, and the `mostMissed`
    // words missed most often.
    Result<LearningStatistics> readStatistics(const QDate& firstDay, int mostMissed) const;
    // Every word event, in time order: what the review schedule is replayed from. Stops early, with a
    // failure, once `cancelled` is set.
    Result<WordEventLog> readWordEvents(const std::atomic<bool>* cancelled = nullptr) const;

    QString file() const { return file_; }

private:
    struct Statements;

    HistoryFile(std::unique_ptr<SqlConnection> connection, QString file);
    // A failure of a statement, worded for the learner.
    Failure failure(const QString& what, const QSqlError& error) const;
    std::optional<Failure> upgradeFromVersion1();
    std::optional<Failure> writeOne(const HistoryWrite& write);
    std::variant<qint64, Failure> wordId(const DrillWord& word);
    std::optional<Failure> run(QSqlQuery& query, const QVariantList& values, const QString& what);

    std::unique_ptr<SqlConnection> connection_;
    std::unique_ptr<Statements> statements_; // destroyed before the connection
    QString file_;
    int version_ = 0;                 // the schema's, once open; a record read may be an older one
    std::optional<qint64> drill_;     // the drill that word events belong to
    QHash<WordKey, qint64> wordIds_;  // rows of the word table met so far
    std::vector<WordKey> newWordIds_; // added to wordIds_ in the open transaction
};
