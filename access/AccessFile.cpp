#include "AccessFile.h"

// mdbtools.h includes glib inside its extern "C" block, which C++ headers of glib do not survive.
#include <glib.h>
#include <iconv.h>
#include <mdbtools.h>

#include <QFileInfo>

namespace {

// Long enough for any field that the program can show (a stored field of 65,536 bytes is 131,072 hex
// digits); a longer value would come back cut, and is refused instead.
constexpr size_t BindSize = 1 << 18;

struct TableDeleter {
    void operator()(MdbTableDef* table) const { mdb_free_tabledef(table); }
};

} // namespace

struct AccessFile::Handle {
    MdbHandle* mdb = nullptr;
    ~Handle()
    {
        if (mdb)
            mdb_close(mdb);
    }
};

AccessFile::AccessFile(std::unique_ptr<Handle> handle) : handle_(std::move(handle)) {}

AccessFile::~AccessFile() = default;

std::variant<std::unique_ptr<AccessFile>, QString> AccessFile::open(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("%1 does not exist").arg(path);
    if (!info.isFile())
        return QStringLiteral("%1 is not a file").arg(path);
    auto handle = std::make_unique<Handle>();
    handle->mdb = mdb_open(QFile::encodeName(info.absoluteFilePath()).constData(), MDB_NOFLAGS);
    if (!handle->mdb)
        return QStringLiteral("%1 is not an Access database").arg(path);
    if (!mdb_read_catalog(handle->mdb, MDB_TABLE))
        return QStringLiteral("%1: cannot read the catalogue of tables; is it an Access database?").arg(path);
    mdb_set_bind_size(handle->mdb, BindSize);
    return std::unique_ptr<AccessFile>(new AccessFile(std::move(handle)));
}

QStringList AccessFile::tableNames() const
{
    QStringList names;
    MdbHandle* mdb = handle_->mdb;
    for (guint i = 0; i < mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (entry->object_type == MDB_TABLE && mdb_is_user_table(entry))
            names.append(QString::fromUtf8(entry->object_name));
    }
    return names;
}

std::variant<AccessFile::Table, QString> AccessFile::read(const QString& name,
                                                          const QList<int>& columns) const
{
    MdbHandle* mdb = handle_->mdb;
    MdbCatalogEntry* entry = nullptr;
    for (guint i = 0; i < mdb->num_catalog && !entry; ++i) {
        auto* candidate = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (candidate->object_type == MDB_TABLE && QString::fromUtf8(candidate->object_name) == name)
            entry = candidate;
    }
    if (!entry)
        return QStringLiteral("there is no table %1").arg(name);
    const std::unique_ptr<MdbTableDef, TableDeleter> table(mdb_read_table(entry));
    if (!table || !mdb_read_columns(table.get()))
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
        if (mdb_bind_column(table.get(), column + 1, bound.back().text.data(), &bound.back().length) < 0)
            return QStringLiteral("table %1: cannot read column %2").arg(name).arg(column);
    }
    mdb_rewind_table(table.get());
    while (mdb_fetch_row(table.get())) {
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
