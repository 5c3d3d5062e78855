// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSqlDatabase>
#include <QSqlError>
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

    // SQLite is told the mode (mode=ro / rw / rwc). A file that Create makes is the owner's alone (0600).
    // False with the reason in lastError().
    [[nodiscard]] bool open(const QString& file, Access access);
    // Makes `file` an empty file for the owner alone unless it is there, as SQLite would make it readable
    // by everyone. Its -wal, -shm and -journal get its mode from SQLite. The reason when it cannot.
    [[nodiscard]] static std::optional<QString> makeOwnerFile(const QString& file);
    QString lastError() const { return lastError_; }
    QSqlDatabase database() const { return QSqlDatabase::database(name_, false); }

private:
    QString name_;
    QString lastError_;
};

// One transaction on an open connection: BEGIN when made, ROLLBACK when it goes uncommitted. BEGIN and
// COMMIT run as statements of their own, so that a failure carries SQLite's error code (a failed
// QSqlDatabase::commit() reports only the text).
class SqlTransaction {
public:
    // Deferred takes the write lock at the first write; Immediate at BEGIN, so that a transaction that
    // reads before it writes (a schema upgrade) sees no other writer between the two.
    enum class Lock { Deferred, Immediate };

    explicit SqlTransaction(const QSqlDatabase& database, Lock lock = Lock::Deferred);
    ~SqlTransaction();
    SqlTransaction(const SqlTransaction&) = delete;
    SqlTransaction& operator=(const SqlTransaction&) = delete;

    // Why BEGIN failed; commit() then returns the same.
    const std::optional<QSqlError>& beginError() const { return beginError_; }
    // Nothing when the transaction is in the file; else the error, and it is rolled back.
    [[nodiscard]] std::optional<QSqlError> commit();

private:
    void rollback();

    QSqlDatabase database_;
    std::optional<QSqlError> beginError_;
    bool open_ = false;
};
