// SPDX-License-Identifier: GPL-3.0-or-later
#include "SqlConnection.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QUuid>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

SqlConnection::SqlConnection()
    : name_(QStringLiteral("vokabo-") + QUuid::createUuid().toString(QUuid::WithoutBraces))
{
}

SqlConnection::~SqlConnection()
{
    {
        QSqlDatabase db = database();
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(name_);
}

std::optional<QString> SqlConnection::makeOwnerFile(const QString& file)
{
    const int fd = ::open(QFile::encodeName(file).constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return QStringLiteral("cannot create %1: %2").arg(file, qt_error_string(errno));
    ::close(fd);
    return std::nullopt;
}

bool SqlConnection::open(const QString& file, Access access)
{
    if (access == Access::Create && !QFileInfo::exists(file)) {
        if (auto why = makeOwnerFile(file)) {
            lastError_ = *why;
            return false;
        }
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
    const char* mode = access == Access::Read    ? "?mode=ro"
                       : access == Access::Write ? "?mode=rw"
                                                 : "?mode=rwc";
    db.setDatabaseName(QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath()).toString(QUrl::FullyEncoded) +
                       QLatin1String(mode));
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=2000"));
    if (db.open())
        return true;
    lastError_ = db.lastError().text();
    return false;
}

SqlTransaction::SqlTransaction(const QSqlDatabase& database, Lock lock) : database_(database)
{
    QSqlQuery begin(database_);
    if (begin.exec(lock == Lock::Immediate ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN")))
        open_ = true;
    else
        beginError_ = begin.lastError();
}

SqlTransaction::~SqlTransaction()
{
    rollback();
}

std::optional<QSqlError> SqlTransaction::commit()
{
    if (!open_)
        return beginError_.value_or(QSqlError(QStringLiteral("no transaction open")));
    QSqlQuery commit(database_);
    if (commit.exec(QStringLiteral("COMMIT"))) {
        open_ = false;
        return std::nullopt;
    }
    const QSqlError error = commit.lastError();
    rollback();
    return error;
}

void SqlTransaction::rollback()
{
    if (!open_)
        return;
    open_ = false;
    // After a failed COMMIT SQLite may have rolled back already; then there is nothing left to undo.
    QSqlQuery(database_).exec(QStringLiteral("ROLLBACK"));
}
