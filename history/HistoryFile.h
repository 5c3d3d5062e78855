#pragma once

#include "DrillEvent.h"
#include "ErrorBook.h"
#include "Failure.h"

#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <QVariantList>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

class QSqlError;
class QSqlQuery;
class SqlConnection;

// An event with what it did to the error book: one unit of writing.
struct HistoryWrite {
    DrillEvent event;
    ErrorBookChange change;
};

// "History.db" beside the word database: the drills, the word events and the error book. It keeps no
// clear text of a word, only the enciphered forms of the word database. One connection, to be used from
// one thread.
class HistoryFile {
public:
    enum class Mode { Read, Write }; // Write creates the file and its tables when they are missing

    static QString path(const QString& applicationDirectory);
    static std::variant<std::unique_ptr<HistoryFile>, Failure> open(const QString& file, Mode mode);

    ~HistoryFile();
    HistoryFile(const HistoryFile&) = delete;
    HistoryFile& operator=(const HistoryFile&) = delete;

    // All of the batch in one transaction, or nothing of it.
    [[nodiscard]] std::optional<Failure> write(const std::vector<HistoryWrite>& batch);
    std::variant<std::vector<ErrorBookEntry>, Failure> readErrorBook() const;

    QSqlDatabase database() const;
    QString file() const { return file_; }

    // A failure of the last statement run on `database`, worded for the learner.
    Failure failure(const QString& what, const QSqlError& error) const;

private:
    struct Statements;

    HistoryFile(std::unique_ptr<SqlConnection> connection, QString file);
    std::optional<Failure> writeOne(const HistoryWrite& write);
    std::variant<qint64, Failure> wordId(const DrillWord& word);
    std::optional<Failure> run(QSqlQuery& query, const QVariantList& values, const QString& what);

    std::unique_ptr<SqlConnection> connection_;
    std::unique_ptr<Statements> statements_; // destroyed before the connection
    QString file_;
    std::optional<qint64> drill_;     // the drill that word events belong to
    QHash<WordKey, qint64> wordIds_;  // rows of the word table met so far
    std::vector<WordKey> newWordIds_; // added to wordIds_ in the open transaction
};
