#pragma once

#include <QSqlDatabase>
#include <QString>

// One named Qt Sql connection to an SQLite file that must already exist, removed again when it goes.
class SqlConnection {
public:
    enum class Access { Read, Write };

    SqlConnection();
    ~SqlConnection();
    SqlConnection(const SqlConnection&) = delete;
    SqlConnection& operator=(const SqlConnection&) = delete;

    // SQLite is told never to create the file (mode=ro / mode=rw). False with the reason in lastError().
    [[nodiscard]] bool open(const QString& file, Access access);
    QString lastError() const { return lastError_; }
    QSqlDatabase database() const { return QSqlDatabase::database(name_, false); }

private:
    QString name_;
    QString lastError_;
};
