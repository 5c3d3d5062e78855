#pragma once

#include <QSqlDatabase>
#include <QString>

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
