#include "AccessFile.h"

// mdbtools.h includes glib inside its extern "C" block, which C++ headers of glib do not survive.
#include <glib.h>
#include <iconv.h>
#include <mdbtools.h>

#include <QFileInfo>
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
    const std::unique_ptr<MdbTableDef, decltype(mdb.freeTableDef)> table(mdb.readTable(entry),
                                                                         mdb.freeTableDef);
    if (!table || !mdb.readColumns(table.get()))
        return QStringLiteral("cannot read the definition of table %1").arg(name);

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
    mdb.rewindTable(table.get());
    while (mdb.fetchRow(table.get())) {
        QVariantList values;
        for (const Bound& value : bound) {
            if (size_t(value.length) >= BindSize - 1)
                return QStringLiteral("table %1, record %2: a value longer than %3 bytes")
                    .arg(name)
                    .arg(result.records.size() + 1)
                    .arg(BindSize - 2);
            values.append(value.length == 0 ? QVariant(QMetaType::fromType<QString>())
                                            : QVariant(QString::fromUtf8(value.text.data(), value.length)));
        }
        result.records.push_back(std::move(values));
    }
    // libmdb ends the walk at a page that it cannot read as if the table ended there.
    if (result.records.size() != table->num_rows)
        return QStringLiteral("table %1: read %2 of its %3 records; the file is damaged")
            .arg(name)
            .arg(result.records.size())
            .arg(table->num_rows);
    return result;
}
