// SPDX-License-Identifier: GPL-3.0-or-later
// The Access import's own code on any file: the order of the data pages' rows and the reader's output taken
// apart, in memory; and, for one input in 32, the whole way through the reader in its child process. The
// child may crash, loop or print without end on a damaged file: that is no finding. A finding is this
// process crashing, hanging or answering other than with the records or one failure that says why.
#include "AccessReader.h"
#include "FuzzCheck.h"
#include "JetPages.h"
#include "ReaderProtocol.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSet>
#include <QTemporaryDir>
#include <cstdint>

namespace {

void pagesHoldTogether(const QByteArray& file)
{
    const quint32 pageCount = quint32(file.size() / JetPages::PageSize);
    const JetPages::PageSource pages = [&](quint32 page) -> std::optional<QByteArray> {
        return file.mid(qsizetype(page) * JetPages::PageSize, JetPages::PageSize);
    };
    // The table definitions that the samples have, and one the input names itself.
    for (const quint32 definition : {2u, 24u, 25u, pageCount > 0 ? quint32(uchar(file[0])) : 0u}) {
        const auto order = JetPages::recordOrder(pages, pageCount, definition);
        if (const auto* rows = std::get_if<std::vector<JetPages::Row>>(&order)) {
            QSet<quint64> seen;
            for (const JetPages::Row& row : *rows) {
                FUZZ_CHECK(row.page < pageCount && row.row >= 0 && row.row < 2048,
                           QStringLiteral("page %1 row %2").arg(row.page).arg(row.row));
                const quint64 key = quint64(row.page) << 16 | quint64(row.row);
                FUZZ_CHECK(!seen.contains(key),
                           QStringLiteral("page %1 row %2 twice").arg(row.page).arg(row.row));
                seen.insert(key);
            }
        }
    }
}

void outputTakenApart(const QByteArray& bytes)
{
    const auto parsed = AccessReader::parse(bytes);
    if (const auto* output = std::get_if<AccessReader::Output>(&parsed)) {
        for (const AccessReader::Table& table : output->tables)
            FUZZ_CHECK(table.records.empty() || (table.columnCount >= 3 && !table.error), table.name);
    }
    // The input behind a well-formed start, as a reader's output would carry it.
    const QByteArray framed = ReaderProtocol::frame(ReaderProtocol::Hello, ReaderProtocol::Version) + bytes;
    (void)AccessReader::parse(framed);
}

void throughTheReader(const QByteArray& file)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("MyDatas.mdb"));
    QFile out(path);
    FUZZ_CHECK(out.open(QIODevice::WriteOnly | QIODevice::Truncate) && out.write(file) == file.size(), path);
    out.close();
    const AccessReader::Limits limits = AccessReader::limitsFor(file.size());
    QElapsedTimer clock;
    clock.start();
    const auto read = AccessReader::read(path, AccessReader::installedProgram(), limits);
    FUZZ_CHECK(clock.elapsed() < limits.milliseconds + 5'000, QStringLiteral("%1 ms").arg(clock.elapsed()));
    if (const auto* failure = std::get_if<Failure>(&read))
        FUZZ_CHECK(!failure->message.isEmpty() && failure->detail.contains(path), failure->detail);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication application(*argc, *argv);
    FUZZ_CHECK(!AccessReader::installedProgram().isEmpty(),
               QStringLiteral("no vokabo-mdb-reader beside the target"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    pagesHoldTogether(input);
    outputTakenApart(input);
    if (qHash(input) % 32 == 0)
        throughTheReader(input);
    return 0;
}
