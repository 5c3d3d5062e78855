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
