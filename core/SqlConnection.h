#pragma once

#include <QSqlDatabase>
#include <QString>
#include <optional>

// One named Qt Sql connection to an SQLite file, removed again when it goes.
class SqlConnection {
public:
    // Read and Write need the file to exist; Create makes it when it is missing.
    enum class Access { Read, Write, Create };

    SqlConnection();
    ~SqlConnection();
    SqlConnection(const SqlConnection&) = delete;
    SqlConnection& operator=(const SqlConnection&) = delete;

    // SQLite is told the mode (mode=ro / rw / rwc). False with the reason in lastError().
    [[nodiscard]] bool open(const QString& file, Access access);
    QString lastError() const { return lastError_; }
    QSqlDatabase database() const { return QSqlDatabase::database(name_, false); }

private:
    QString name_;
    QString lastError_;
};

// A transaction on a connection: begun when made, rolled back when it goes without commit().
class SqlTransaction {
public:
    explicit SqlTransaction(QSqlDatabase db);
    ~SqlTransaction();
    SqlTransaction(const SqlTransaction&) = delete;
    SqlTransaction& operator=(const SqlTransaction&) = delete;

    // Why the transaction could not be begun; nothing when it is under way.
    std::optional<QString> beginError() const { return beginError_; }
    // Nothing when committed, else the reason (the database's, not an empty query error); the transaction
    // is then rolled back.
    [[nodiscard]] std::optional<QString> commit();

private:
    QSqlDatabase db_;
    std::optional<QString> beginError_;
    bool open_ = false;
};
