#include "SqlConnection.h"

#include <QFileInfo>
#include <QSqlError>
#include <QUrl>
#include <QUuid>

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

bool SqlConnection::open(const QString& file, Access access)
{
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

SqlTransaction::SqlTransaction(QSqlDatabase db) : db_(std::move(db))
{
    open_ = db_.transaction();
    if (!open_)
        beginError_ = db_.lastError().text();
}

SqlTransaction::~SqlTransaction()
{
    if (open_)
        db_.rollback();
}

std::optional<QString> SqlTransaction::commit()
{
    if (!open_)
        return beginError_.value_or(QStringLiteral("the transaction is over"));
    if (db_.commit()) {
        open_ = false;
        return std::nullopt;
    }
    const QString why = db_.lastError().text();
    db_.rollback();
    open_ = false;
    return why;
}
