#include "IniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

struct Line {
    qsizetype start = 0; // first byte of the line
    qsizetype end = 0;   // one past the last byte before the line ending
    qsizetype next = 0;  // first byte of the following line
};

std::vector<Line> splitLines(const QByteArray& bytes)
{
    std::vector<Line> lines;
    qsizetype start = 0;
    const qsizetype size = bytes.size();
    while (start < size) {
        qsizetype end = start;
        while (end < size && bytes[end] != '\r' && bytes[end] != '\n')
            ++end;
        qsizetype next = end;
        if (next < size && bytes[next] == '\r')
            ++next;
        if (next < size && bytes[next] == '\n' && (next == end || bytes[next - 1] == '\r'))
            ++next;
        lines.push_back({start, end, next});
        start = next;
    }
    return lines;
}

QString decode(QByteArrayView bytes)
{
    QStringDecoder gbk("GBK", QStringDecoder::Flag::Stateless);
    return gbk.decode(bytes);
}

QString trimBlanks(const QString& text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    const auto blank = [](QChar c) { return c == u' ' || c == u'\t'; };
    while (first < last && blank(text[first]))
        ++first;
    while (last > first && blank(text[last - 1]))
        --last;
    return text.mid(first, last - first);
}

enum class Kind { Other, Section, Entry };

struct Parsed {
    Kind kind = Kind::Other;
    QString name;  // section name or key
    QString value; // entry value, blanks and one pair of enclosing quotes removed
};

Parsed parseLine(const QByteArray& bytes, const Line& line)
{
    const QString text = trimBlanks(decode(QByteArrayView(bytes).sliced(line.start, line.end - line.start)));
    if (text.isEmpty() || text.startsWith(u';'))
        return {};
    if (text.startsWith(u'[')) {
        const qsizetype close = text.indexOf(u']');
        return {Kind::Section, trimBlanks(text.mid(1, close < 0 ? -1 : close - 1)), {}};
    }
    const qsizetype equals = text.indexOf(u'=');
    if (equals < 0)
        return {};
    QString value = trimBlanks(text.mid(equals + 1));
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
        value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    return {Kind::Entry, trimBlanks(text.left(equals)), value};
}

bool sameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Where a key stands in the file: the first section of that name and the first entry of that key in it.
struct Location {
    std::optional<size_t> section;
    std::optional<size_t> entry;
    size_t lastEntry = 0; // the section line itself when the section has no entry
};

Location locate(const QByteArray& bytes, const std::vector<Line>& lines, const QString& section,
                const QString& key)
{
    Location where;
    bool inside = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        const Parsed parsed = parseLine(bytes, lines[i]);
        if (parsed.kind == Kind::Section) {
            if (where.section)
                break;
            inside = sameName(parsed.name, section);
            if (inside) {
                where.section = i;
                where.lastEntry = i;
            }
        } else if (inside && parsed.kind == Kind::Entry) {
            where.lastEntry = i;
            if (!where.entry && sameName(parsed.name, key))
                where.entry = i;
        }
    }
    return where;
}

std::optional<QByteArray> encode(const QString& text)
{
    QStringEncoder gbk("GBK", QStringEncoder::Flag::Stateless);
    QByteArray bytes = gbk.encode(text);
    if (gbk.hasError())
        return std::nullopt;
    return bytes;
}

} // namespace

mdlINI::mdlINI(QString applicationDirectory) : directory_(std::move(applicationDirectory)) {}

QString mdlINI::path() const
{
    return QDir(directory_).filePath(QStringLiteral("Syset.ini"));
}

QString mdlINI::ReadIniValue(const QString& section, const QString& key) const
{
    QFile file(path());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    const std::vector<Line> lines = splitLines(bytes);
    const Location where = locate(bytes, lines, section, key);
    if (!where.entry)
        return {};
    return parseLine(bytes, lines[*where.entry]).value.left(MaxValueLength);
}

bool mdlINI::WriteIniValue(const QString& section, const QString& key, const QString& value)
{
    const QString target = path();
    const auto fail = [&](const QString& why) {
        std::fprintf(stderr, "vokabo: cannot write [%s] %s in %s: %s\n", qUtf8Printable(section),
                     qUtf8Printable(key), qUtf8Printable(target), qUtf8Printable(why));
        return false;
    };

    const auto sectionBytes = encode(section);
    const auto entryBytes = encode(key + u'=' + value);
    if (!sectionBytes || !entryBytes)
        return fail(QStringLiteral("text outside code page 936"));

    QByteArray bytes;
    QFile existing(target);
    if (existing.exists()) {
        // Replacing the file by rename would get past a read-only file; the learner made it read-only.
        if (!QFileInfo(target).isWritable())
            return fail(QStringLiteral("the file is read-only"));
        if (!existing.open(QIODevice::ReadOnly))
            return fail(existing.errorString());
        bytes = existing.readAll();
        existing.close();
    }

    const QByteArray crlf("\r\n");
    const std::vector<Line> lines = splitLines(bytes);
    const Location where = locate(bytes, lines, section, key);
    QByteArray updated;
    if (where.entry) {
        // Keep the key as the file spells it; replace the rest of the line.
        const Line& line = lines[*where.entry];
        const QString original = parseLine(bytes, line).name;
        const auto replaced = encode(original + u'=' + value);
        if (!replaced)
            return fail(QStringLiteral("text outside code page 936"));
        updated = bytes.left(line.start) + *replaced + crlf + bytes.mid(line.next);
    } else if (where.section) {
        const Line& after = lines[where.lastEntry];
        QByteArray head = bytes.left(after.next);
        if (after.next == after.end)
            head += crlf;
        updated = head + *entryBytes + crlf + bytes.mid(after.next);
    } else {
        updated = bytes;
        if (!updated.isEmpty() && !updated.endsWith('\n') && !updated.endsWith('\r'))
            updated += crlf;
        updated += '[' + *sectionBytes + ']' + crlf + *entryBytes + crlf;
    }

    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    if (file.write(updated) != updated.size())
        return fail(file.errorString());
    if (!file.commit())
        return fail(file.errorString());
    return true;
}
