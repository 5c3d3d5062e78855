// SPDX-License-Identifier: GPL-3.0-or-later
#include "JetPages.h"

#include <QSet>
#include <QtEndian>

namespace JetPages {

namespace {

constexpr char DataPage = 0x01;
constexpr char DefinitionPage = 0x02;
constexpr char UsageMapPage = 0x05;
constexpr int RowCountAt = 12;  // in a data page
constexpr int RowTableAt = 14;  // the row offsets, two bytes each, after the count
constexpr int OwnerAt = 4;      // a data page's table definition page
constexpr int UsedPagesAt = 55; // in the definition page: the row holding the table's usage map
constexpr quint16 Deleted = 0x8000;
constexpr quint16 Overflow = 0x4000; // the row holds only a pointer to the row's data on another page
constexpr quint16 OffsetMask = 0x1FFF;

quint16 word16(const QByteArray& page, int at)
{
    return qFromLittleEndian<quint16>(page.constData() + at);
}

quint32 word32(const QByteArray& page, int at)
{
    return qFromLittleEndian<quint32>(page.constData() + at);
}

// A row pointer: the row number in its low byte, the page in the three bytes above.
Row pointer(quint32 value)
{
    return {value >> 8, int(value & 0xFF)};
}

int rowCount(const QByteArray& page)
{
    const int count = word16(page, RowCountAt);
    return RowTableAt + 2 * count <= PageSize ? count : -1;
}

quint16 rowEntry(const QByteArray& page, int row)
{
    return word16(page, RowTableAt + 2 * row);
}

// The bytes of a row: from its offset to the start of the row before it (rows are stored from the end of
// the page backwards). Nothing when they do not lie inside the page.
std::optional<QByteArray> rowBytes(const QByteArray& page, int row)
{
    const int count = rowCount(page);
    if (row < 0 || row >= count)
        return std::nullopt;
    const int start = rowEntry(page, row) & OffsetMask;
    const int end = row == 0 ? PageSize : rowEntry(page, row - 1) & OffsetMask;
    if (start < RowTableAt + 2 * count || end > PageSize || end <= start)
        return std::nullopt;
    return page.mid(start, end - start);
}

// The pages that a usage map marks as the table's, in ascending order.
std::variant<std::vector<quint32>, QString> usedPages(const PageSource& pages, quint32 pageCount,
                                                      const QByteArray& map)
{
    std::vector<quint32> used;
    const auto addBits = [&](quint32 first, const char* bits, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            for (int bit = 0; bit < 8; ++bit) {
                const quint64 page = quint64(first) + quint64(i) * 8 + quint64(bit);
                if ((uchar(bits[i]) >> bit) & 1 && page < pageCount)
                    used.push_back(quint32(page));
            }
        }
    };
    if (map.isEmpty())
        return QStringLiteral("the usage map is empty");
    if (map[0] == 0) {
        if (map.size() < 5)
            return QStringLiteral("the usage map is cut short");
        addBits(word32(map, 1), map.constData() + 5, int(map.size()) - 5);
        return used;
    }
    if (map[0] != 1)
        return QStringLiteral("a usage map of unknown type %1").arg(int(uchar(map[0])));
    // Pages of bitmaps, each mapping the pages that follow those of the one before.
    constexpr quint32 PagesPerMap = (PageSize - 4) * 8;
    for (int i = 0; 1 + 4 * i + 4 <= map.size(); ++i) {
        const quint32 mapPage = word32(map, 1 + 4 * i);
        if (mapPage == 0)
            continue;
        if (mapPage >= pageCount)
            return QStringLiteral("the usage map points past the end of the file");
        const std::optional<QByteArray> bits = pages(mapPage);
        if (!bits || bits->size() != PageSize || bits->at(0) != UsageMapPage)
            return QStringLiteral("page %1 is not a page of the usage map").arg(mapPage);
        addBits(quint32(i) * PagesPerMap, bits->constData() + 4, PageSize - 4);
    }
    return used;
}

} // namespace

std::variant<std::vector<Row>, QString> recordOrder(const PageSource& pages, quint32 pageCount,
                                                    quint32 definitionPage)
{
    const auto page = [&](quint32 number) -> std::optional<QByteArray> {
        if (number >= pageCount)
            return std::nullopt;
        auto bytes = pages(number);
        if (!bytes || bytes->size() != PageSize)
            return std::nullopt;
        return bytes;
    };
    const std::optional<QByteArray> definition = page(definitionPage);
    if (!definition || definition->at(0) != DefinitionPage)
        return QStringLiteral("page %1 is not a table definition").arg(definitionPage);
    const Row mapRow = pointer(word32(*definition, UsedPagesAt));
    const std::optional<QByteArray> mapPage = page(mapRow.page);
    const std::optional<QByteArray> map = mapPage ? rowBytes(*mapPage, mapRow.row) : std::nullopt;
    if (!map)
        return QStringLiteral("the table's usage map (page %1, row %2) cannot be read")
            .arg(mapRow.page)
            .arg(mapRow.row);
    auto listed = usedPages(pages, pageCount, *map);
    if (const QString* why = std::get_if<QString>(&listed))
        return *why;

    const auto owned = [&](const std::optional<QByteArray>& data) {
        return data && data->at(0) == DataPage && word32(*data, OwnerAt) == definitionPage &&
               rowCount(*data) >= 0;
    };
    std::vector<Row> rows;
    QSet<quint64> reached; // overflow rows already read from their home row
    for (const quint32 number : std::get<std::vector<quint32>>(listed)) {
        const std::optional<QByteArray> data = page(number);
        if (!owned(data))
            continue; // a page of the map that holds no rows of the table
        for (int row = 0, count = rowCount(*data); row < count; ++row) {
            const quint16 entry = rowEntry(*data, row);
            if (entry & Deleted)
                continue;
            if (!(entry & Overflow)) {
                rows.push_back({number, row});
                continue;
            }
            const std::optional<QByteArray> home = rowBytes(*data, row);
            if (!home || home->size() < 4)
                return QStringLiteral("page %1, row %2: the pointer to an overflow row is cut short")
                    .arg(number)
                    .arg(row);
            const Row target = pointer(word32(*home, 0));
            const std::optional<QByteArray> targetPage = page(target.page);
            if (!owned(targetPage) || target.row >= rowCount(*targetPage) ||
                (rowEntry(*targetPage, target.row) & Overflow) ||
                reached.contains(quint64(target.page) << 16 | quint64(target.row)))
                return QStringLiteral("page %1, row %2: its overflow row (page %3, row %4) is not there")
                    .arg(number)
                    .arg(row)
                    .arg(target.page)
                    .arg(target.row);
            reached.insert(quint64(target.page) << 16 | quint64(target.row));
            rows.push_back(target);
        }
    }
    return rows;
}

} // namespace JetPages
