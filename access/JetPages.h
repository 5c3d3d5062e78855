// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <optional>
#include <variant>
#include <vector>

// The rows of a table as Access itself reads them, from the data pages of a Jet 4 file: the pages that the
// table's usage map lists, in page order, each page's rows in the order of its row table. A row that
// Access moved to another page (an overflow row) is read where its home row stands; a row flagged deleted
// is passed over, and so is every overflow data row on its own page, which is reached only from its home
// row. Values are not read here.
namespace JetPages {

inline constexpr int PageSize = 4096;

// A page of the file as stored (a ciphered file already deciphered); nothing past the end of the file.
using PageSource = std::function<std::optional<QByteArray>(quint32 page)>;

struct Row {
    quint32 page = 0;
    int row = 0;
    bool operator==(const Row&) const = default;
};

// The live rows of the table defined on `definitionPage`, in Access's order, or the reason (English) when
// the pages do not hold together. `pageCount` bounds every page number followed.
std::variant<std::vector<Row>, QString> recordOrder(const PageSource& pages, quint32 pageCount,
                                                    quint32 definitionPage);

} // namespace JetPages
