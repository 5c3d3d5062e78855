// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestSupport.h"

#include "FieldCipher.h"
#include "Logging.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <cstdio>
#include <unistd.h>

namespace TestSupport {

namespace {

// Runs `work` on a connection of its own to `file`, removed again afterwards.
template <typename Work> auto withDatabase(const QString& file, Work&& work)
{
    const QString name = QUuid::createUuid().toString();
    decltype(work(std::declval<QSqlDatabase&>())) result{};
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        if (db.open())
            result = work(db);
        else
            qWarning("cannot open %s: %s", qUtf8Printable(file), qUtf8Printable(db.lastError().text()));
    }
    QSqlDatabase::removeDatabase(name);
    return result;
}

} // namespace

QStringList RecordingMessenger::texts() const
{
    QStringList texts;
    for (const Shown& message : shown)
        texts << message.text;
    return texts;
}

QList<Word> numberedWords(int count)
{
    QList<Word> words;
    for (int i = 1; i <= count; ++i)
        words.append({QStringLiteral("词%1").arg(i), QStringLiteral("word%1").arg(i)});
    return words;
}

bool writeUnit(const QString& file, const QString& table, const QList<Word>& words)
{
    return withDatabase(file, [&](QSqlDatabase& db) {
        QSqlQuery query(db);
        if (!query.exec(
                QStringLiteral(
                    "CREATE TABLE IF NOT EXISTS %1 (id INTEGER PRIMARY KEY, chinese TEXT, english TEXT)")
                    .arg(table)))
            return false;
        const auto stored = [](const std::optional<QString>& text) {
            return text ? QVariant(*encodeField(*text)) : QVariant(QMetaType(QMetaType::QString));
        };
        for (const Word& word : words) {
            if (!query.prepare(QStringLiteral("INSERT INTO %1 (chinese, english) VALUES (?, ?)").arg(table)))
                return false;
            query.addBindValue(stored(word.chinese));
            query.addBindValue(stored(word.english));
            if (!query.exec())
                return false;
        }
        return true;
    });
}

int rowsIn(const QString& file, const QString& table)
{
    return withDatabase(file, [&](QSqlDatabase& db) {
        QSqlQuery query(db);
        if (!query.exec(QStringLiteral("SELECT count(*) FROM ") + table) || !query.next())
            return -1;
        return query.value(0).toInt();
    });
}

bool runStatement(const QString& file, const QString& statement)
{
    return withDatabase(file, [&](QSqlDatabase& db) {
        QSqlQuery query(db);
        if (query.exec(statement))
            return true;
        qWarning("%s: %s", qUtf8Printable(statement), qUtf8Printable(query.lastError().text()));
        return false;
    });
}

StderrCapture::StderrCapture()
{
    if (!file_.open())
        return;
    handler_ = qInstallMessageHandler(nullptr);
    installMessageFormat();
    std::fflush(stderr);
    saved_ = dup(STDERR_FILENO);
    dup2(file_.handle(), STDERR_FILENO);
}

StderrCapture::~StderrCapture()
{
    restore();
}

QByteArray StderrCapture::text()
{
    restore();
    file_.seek(0);
    return file_.readAll();
}

void StderrCapture::restore()
{
    if (saved_ < 0)
        return;
    std::fflush(stderr);
    dup2(saved_, STDERR_FILENO);
    close(saved_);
    saved_ = -1;
    qInstallMessageHandler(handler_);
}

QString fixture(const QString& name)
{
    return QStringLiteral(VOKABO_FIXTURES "/") + name;
}

} // namespace TestSupport
