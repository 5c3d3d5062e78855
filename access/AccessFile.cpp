// SPDX-License-Identifier: GPL-3.0-or-later
#include "AccessFile.h"

#include "JetPages.h"

// mdbtools.h includes glib inside its extern "C" block, which C++ headers of glib do not survive.
#include <glib.h>
#include <iconv.h>
#include <mdbtools.h>

#include <QFileInfo>
#include <QHash>
#include <QLibrary>
#include <optional>

namespace {

// Long enough for any field that the program can show (a stored field of 65,536 bytes is 131,072 hex
// digits); a longer value would come back cut, and is refused instead.
constexpr size_t BindSize = 1 << 18;

// The functions of libmdb that are used, from the library loaded at run time.
struct Mdb {
    decltype(&::mdb_open) open = nullptr;
    decltype(&::mdb_close) close = nullptr;
    decltype(&::mdb_read_catalog) readCatalog = nullptr;
    decltype(&::mdb_is_user_table) isUserTable = nullptr;
    decltype(&::mdb_set_bind_size) setBindSize = nullptr;
    decltype(&::mdb_read_table) readTable = nullptr;
    decltype(&::mdb_read_columns) readColumns = nullptr;
    decltype(&::mdb_bind_column) bindColumn = nullptr;
    decltype(&::mdb_rewind_table) rewindTable = nullptr;
    decltype(&::mdb_fetch_row) fetchRow = nullptr;
    decltype(&::mdb_free_tabledef) freeTableDef = nullptr;
    decltype(&::mdb_read_pg) readPage = nullptr;
};

// Null, with the reason, when libmdb cannot be loaded.
const Mdb* libmdb(QString* error)
{
    static QString failure;
    static const std::optional<Mdb> loaded = []() -> std::optional<Mdb> {
        QLibrary library(QStringLiteral("mdb"), 3);
        Mdb mdb;
        bool resolved = library.load();
        const auto resolve = [&](auto& function, const char* name) {
            function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(library.resolve(name));
            resolved = resolved && function;
        };
        resolve(mdb.open, "mdb_open");
        resolve(mdb.close, "mdb_close");
        resolve(mdb.readCatalog, "mdb_read_catalog");
        resolve(mdb.isUserTable, "mdb_is_user_table");
        resolve(mdb.setBindSize, "mdb_set_bind_size");
        resolve(mdb.readTable, "mdb_read_table");
        resolve(mdb.readColumns, "mdb_read_columns");
        resolve(mdb.bindColumn, "mdb_bind_column");
        resolve(mdb.rewindTable, "mdb_rewind_table");
        resolve(mdb.fetchRow, "mdb_fetch_row");
        resolve(mdb.freeTableDef, "mdb_free_tabledef");
        resolve(mdb.readPage, "mdb_read_pg");
        if (resolved)
            return mdb;
        failure =
            QStringLiteral("cannot load libmdb.so.3 (Debian package libmdb3): %1").arg(library.errorString());
        return std::nullopt;
    }();
    if (!loaded)
        *error = failure;
    return loaded ? &*loaded : nullptr;
}

} // namespace

struct AccessFile::Handle {
    const Mdb* mdb = nullptr;
    MdbHandle* file = nullptr;
    quint32 pageCount = 0;
    ~Handle()
    {
        if (file)
            mdb->close(file);
    }
};

AccessFile::AccessFile(std::unique_ptr<Handle> handle) : handle_(std::move(handle)) {}

AccessFile::~AccessFile() = default;

std::variant<std::unique_ptr<AccessFile>, AccessFile::OpenFailure> AccessFile::open(const QString& path)
{
    using Kind = OpenFailure::Kind;
    const QFileInfo info(path);
    if (!info.exists())
        return OpenFailure{Kind::Missing, QStringLiteral("%1 does not exist").arg(path)};
    if (!info.isFile())
        return OpenFailure{Kind::NotAccess, QStringLiteral("%1 is not a file").arg(path)};
    QString error;
    auto handle = std::make_unique<Handle>();
    handle->mdb = libmdb(&error);
    if (!handle->mdb)
        return OpenFailure{Kind::NoReader, error};
    handle->file = handle->mdb->open(QFile::encodeName(info.absoluteFilePath()).constData(), MDB_NOFLAGS);
    if (!handle->file)
        return OpenFailure{Kind::NotAccess, QStringLiteral("%1 is not an Access database").arg(path)};
    if (!handle->mdb->readCatalog(handle->file, MDB_TABLE))
        return OpenFailure{
            Kind::NotAccess,
            QStringLiteral("%1: cannot read the catalogue of tables; is it an Access database?").arg(path)};
    handle->mdb->setBindSize(handle->file, BindSize);
    handle->pageCount = quint32(std::min<qint64>(info.size() / JetPages::PageSize, UINT32_MAX));
    return std::unique_ptr<AccessFile>(new AccessFile(std::move(handle)));
}

QStringList AccessFile::tableNames() const
{
    QStringList names;
    const MdbHandle* file = handle_->file;
    for (guint i = 0; i < file->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(file->catalog, i));
        if (entry->object_type == MDB_TABLE && handle_->mdb->isUserTable(entry))
            names.append(QString::fromUtf8(entry->object_name));
    }
    return names;
}

std::variant<AccessFile::Table, QString> AccessFile::read(const QString& name,
                                                          const QList<int>& columns) const
{
    const Mdb& mdb = *handle_->mdb;
    const MdbHandle* file = handle_->file;
    MdbCatalogEntry* entry = nullptr;
    for (guint i = 0; i < file->num_catalog && !entry; ++i) {
        auto* candidate = static_cast<MdbCatalogEntry*>(g_ptr_array_index(file->catalog, i));
        if (candidate->object_type == MDB_TABLE && QString::fromUtf8(candidate->object_name) == name)
            entry = candidate;
    }
    if (!entry)
        return QStringLiteral("there is no table %1").arg(name);
    // libmdb reads the rows page by page, in the order the pages lie in the file, and cannot tell an
    // overflow data row (flagged as deleted on its own page) from a deleted one. Access reads a row where its
    // home row stands: the order and the rows that are there come from the data pages (Jet 4 and later,
    // whose pages are of 4 KB); libmdb only decodes the values, each known by its page and row. The pages
    // are walked before libmdb reads the table: on a damaged usage map, libmdb 1.0.0 crashes while reading
    // the rows and 1.0.1 refuses the table's definition without saying why.
    std::optional<std::vector<JetPages::Row>> order;
    if (file->f->jet_version != MDB_VER_JET3 && file->fmt->pg_size == JetPages::PageSize) {
        MdbHandle* handle = handle_->file;
        const JetPages::PageSource pages = [&](quint32 page) -> std::optional<QByteArray> {
            if (mdb.readPage(handle, page) != JetPages::PageSize)
                return std::nullopt;
            return QByteArray(reinterpret_cast<const char*>(handle->pg_buf), JetPages::PageSize);
        };
        auto rows = JetPages::recordOrder(pages, handle_->pageCount, quint32(entry->table_pg));
        if (const QString* why = std::get_if<QString>(&rows))
            return QStringLiteral("table %1: %2; the file is damaged").arg(name, *why);
        order = std::move(std::get<std::vector<JetPages::Row>>(rows));
    }

    const std::unique_ptr<MdbTableDef, decltype(mdb.freeTableDef)> table(mdb.readTable(entry),
                                                                         mdb.freeTableDef);
    if (!table || !mdb.readColumns(table.get()))
        return QStringLiteral("cannot read the definition of table %1").arg(name);

    if (order)
        table->noskip_del = 1; // overflow data rows carry the deleted flag on their own page

    Table result;
    result.columnCount = int(table->num_cols);
    struct Bound {
        std::vector<char> text = std::vector<char>(BindSize);
        int length = 0;
    };
    std::vector<Bound> bound;
    bound.reserve(size_t(columns.size()));
    for (const int column : columns) {
        if (column < 0 || column >= result.columnCount)
            continue;
        bound.emplace_back();
        // libmdb counts columns from 1.
        if (mdb.bindColumn(table.get(), column + 1, bound.back().text.data(), &bound.back().length) < 0)
            return QStringLiteral("table %1: cannot read column %2").arg(name).arg(column);
    }
    const auto key = [](quint32 page, unsigned row) { return quint64(page) << 16 | quint64(row); };
    QHash<quint64, QVariantList> byRow;
    mdb.rewindTable(table.get());
    while (mdb.fetchRow(table.get())) {
        QVariantList values;
        for (const Bound& value : bound) {
            if (size_t(value.length) >= BindSize - 1)
                return QStringLiteral("table %1, record %2: a value longer than %3 bytes")
                    .arg(name)
                    .arg(result.records.size() + byRow.size() + 1)
                    .arg(BindSize - 2);
            values.append(value.length == 0 ? QVariant(QMetaType::fromType<QString>())
                                            : QVariant(QString::fromUtf8(value.text.data(), value.length)));
        }
        if (order)
            byRow.insert(key(table->cur_phys_pg, table->cur_row - 1), values);
        else
            result.records.push_back(std::move(values));
    }
    if (order) {
        for (const JetPages::Row& row : *order) {
            const auto values = byRow.constFind(key(row.page, unsigned(row.row)));
            if (values == byRow.cend())
                return QStringLiteral("table %1: the record on page %2, row %3 cannot be decoded; the file "
                                      "is damaged")
                    .arg(name)
                    .arg(row.page)
                    .arg(row.row);
            result.records.push_back(*values);
        }
    }
    // libmdb ends the walk at a page that it cannot read as if the table ended there.
    if (result.records.size() != table->num_rows)
        return QStringLiteral("table %1: read %2 of its %3 records; the file is damaged")
            .arg(name)
            .arg(result.records.size())
            .arg(table->num_rows);
    return result;
}
