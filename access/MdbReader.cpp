// SPDX-License-Identifier: GPL-3.0-or-later
// vokabo-mdb-reader FILE: reads the word tables of an Access file and writes them on the standard output in
// the frames of ReaderProtocol.h. libmdb runs here, in a process of its own, so that a damaged file that
// crashes it or sends it into an endless loop stops this process, not the program that asked.
#include "AccessFile.h"
#include "Catalogue.h"
#include "ReaderProtocol.h"

#include <cstdio>
#include <unistd.h>

namespace {

// The frames' own stream: libmdb prints on the standard output too, which goes to stderr instead.
std::FILE* frames = nullptr;

void put(char tag, const QByteArray& payload)
{
    const QByteArray bytes = ReaderProtocol::frame(tag, payload);
    if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), frames) != size_t(bytes.size()))
        std::_Exit(3); // the reader was stopped or no one listens
}

int finish()
{
    put(ReaderProtocol::End, {});
    return std::fflush(frames) == 0 ? 0 : 3;
}

} // namespace

static int readFile(int argc, char* argv[])
{
    if (argc != 2) {
        std::fputs("usage: vokabo-mdb-reader FILE\n", stderr);
        return 2;
    }
    std::fflush(stdout);
    const int output = ::dup(STDOUT_FILENO);
    frames = output < 0 ? nullptr : ::fdopen(output, "wb");
    if (!frames || ::dup2(STDERR_FILENO, STDOUT_FILENO) < 0)
        return 3;
    put(ReaderProtocol::Hello, ReaderProtocol::Version);
    auto opened = AccessFile::open(QString::fromLocal8Bit(argv[1]));
    if (const auto* failure = std::get_if<AccessFile::OpenFailure>(&opened)) {
        using Kind = AccessFile::OpenFailure::Kind;
        const char* kind = failure->kind == Kind::Missing     ? "missing"
                           : failure->kind == Kind::NotAccess ? "not-access"
                                                              : "no-reader";
        put(ReaderProtocol::CannotOpen, kind + ('\t' + failure->detail.toUtf8()));
        return finish();
    }
    const AccessFile& file = *std::get<std::unique_ptr<AccessFile>>(opened);
    for (const QString& name : file.tableNames()) {
        // Access's names are not case-sensitive: a table made as "Word7" is word7.
        if (!isUnitTable(name.toLower()))
            continue;
        auto read = file.read(name, {1, 2});
        if (const QString* error = std::get_if<QString>(&read)) {
            put(ReaderProtocol::Table, name.toUtf8() + "\t0");
            put(ReaderProtocol::TableError, error->toUtf8());
            continue;
        }
        const AccessFile::Table& table = std::get<AccessFile::Table>(read);
        put(ReaderProtocol::Table, name.toUtf8() + '\t' + QByteArray::number(table.columnCount));
        if (table.columnCount < 3)
            continue;
        for (const QVariantList& record : table.records) {
            for (int column = 0; column < 2; ++column) {
                const QVariant value = record.value(column);
                if (value.isNull())
                    put(ReaderProtocol::Null, {});
                else
                    put(ReaderProtocol::Text, value.toString().toUtf8());
            }
        }
    }
    return finish();
}

int main(int argc, char* argv[])
{
    // Whatever goes wrong here, the program that runs the reader is told by the status and the frames.
    try {
        return readFile(argc, argv);
    } catch (...) {
        return 3;
    }
}
