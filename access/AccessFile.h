// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <variant>
#include <vector>

// A Microsoft Access (Jet) database file, read with libmdb and never written. A database password does
// not stop it: the password only guards opening the file in Access itself.
class AccessFile {
public:
    ~AccessFile();
    AccessFile(const AccessFile&) = delete;
    AccessFile& operator=(const AccessFile&) = delete;

    struct OpenFailure {
        enum class Kind { Missing, NotAccess, NoReader } kind;
        QString detail; // English
    };
    // libmdb is loaded here, on first use: most starts of the program never read an Access file.
    static std::variant<std::unique_ptr<AccessFile>, OpenFailure> open(const QString& path);

    // The user tables, in the order of the file's catalogue.
    QStringList tableNames() const;

    struct Table {
        int columnCount = 0;
        // One entry a record, in stored order: the values of the asked columns that the table has, as
        // libmdb renders them as text. An empty value reads as Null: libmdb does not tell them apart.
        std::vector<QVariantList> records;
    };
    // The reason, in English, when the table cannot be read to its end.
    std::variant<Table, QString> read(const QString& table, const QList<int>& columns) const;

private:
    struct Handle;
    explicit AccessFile(std::unique_ptr<Handle> handle);
    std::unique_ptr<Handle> handle_;
};
