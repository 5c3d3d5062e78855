// SPDX-License-Identifier: GPL-3.0-or-later
#include "WordSql.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace WordSql {

std::optional<QString> open(SqlConnection& connection, const QString& file, SqlConnection::Access access)
{
    if (!connection.open(file, access))
        return connection.lastError();
    QSqlQuery query(connection.database());
    // SQLite opens any file; the first read tells whether it is a database.
    if (!query.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")))
        return QStringLiteral("not an SQLite database: ") + query.lastError().text();
    query.finish();
    if (access == SqlConnection::Access::Read)
        return std::nullopt;
    for (const char* pragma : {"PRAGMA synchronous=FULL", "PRAGMA secure_delete=ON"}) {
        if (!query.exec(QLatin1String(pragma)))
            return query.lastError().text();
    }
    return std::nullopt;
}

QString quoted(const QString& identifier)
{
    return u'"' + QString(identifier).replace(u'"', QStringLiteral("\"\"")) + u'"';
}

std::optional<QString> insert(const QSqlDatabase& db, const QString& table,
                              const std::vector<Fields>& records)
{
    const QSqlRecord columns = db.record(table);
    if (columns.isEmpty())
        return QStringLiteral("there is no table %1").arg(table);
    if (columns.count() < 3)
        return QStringLiteral("table %1 has fewer than 3 columns").arg(table);
    QSqlQuery query(db);
    if (!query.prepare(QStringLiteral("INSERT INTO %1 (%2, %3) VALUES (?, ?)")
                           .arg(quoted(table), quoted(columns.fieldName(1)), quoted(columns.fieldName(2)))))
        return QStringLiteral("%1: %2").arg(table, query.lastError().text());
    for (const Fields& record : records) {
        query.bindValue(0, record.prompt);
        query.bindValue(1, record.answer);
        if (!query.exec())
            return QStringLiteral("%1: %2").arg(table, query.lastError().text());
    }
    return std::nullopt;
}

} // namespace WordSql
