// SPDX-License-Identifier: GPL-3.0-or-later
#include "SettingsFile.h"

#include "Logging.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

bool isBlank(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\v';
}

QString trimBlanks(QStringView text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && isBlank(text[first].unicode()))
        ++first;
    while (last > first && isBlank(text[last - 1].unicode()))
        --last;
    return text.mid(first, last - first).toString();
}

bool sameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool hasLineBreak(const QString& text)
{
    return text.contains(u'\r') || text.contains(u'\n');
}

QString withoutQuotes(QString value)
{
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
        value.back() == value.front())
        return value.mid(1, value.size() - 2);
    return value;
}

enum class Encoding { Ansi, Utf8, Utf16LE, Utf16BE };

// A file's text as a sequence of code units: its bytes, or its UTF-16 units after a UTF-16 byte order
// mark. Positions are unit positions after the mark.
//
// Code page 936 bytes can be compared with ASCII characters: the second byte of a two-byte character is
// 0x40 or above, so it is never a blank, a line end, ';', '=' or a quote. It can be '[' or ']', which is
// why a section name is looked for in the decoded line.
class Text {
public:
    explicit Text(const QByteArray& file) : file_(file)
    {
        if (file.startsWith("\xFF\xFE")) {
            encoding_ = Encoding::Utf16LE;
            offset_ = 2;
        } else if (file.startsWith("\xFE\xFF")) {
            encoding_ = Encoding::Utf16BE;
            offset_ = 2;
        } else if (file.startsWith("\xEF\xBB\xBF")) {
            encoding_ = Encoding::Utf8;
            offset_ = 3;
        }
        if (wide()) {
            const qsizetype units = (file.size() - offset_) / 2;
            units_.resize(units);
            const auto* bytes = reinterpret_cast<const uchar*>(file.constData()) + offset_;
            const int high = encoding_ == Encoding::Utf16LE ? 1 : 0;
            for (qsizetype i = 0; i < units; ++i)
                units_[i] = QChar(char16_t(bytes[2 * i + high] << 8 | bytes[2 * i + 1 - high]));
        }
    }

    qsizetype size() const { return wide() ? units_.size() : file_.size() - offset_; }

    char16_t at(qsizetype i) const { return wide() ? units_[i].unicode() : uchar(file_[offset_ + i]); }

    QString decode(qsizetype from, qsizetype to) const
    {
        if (wide())
            return units_.mid(from, to - from);
        const QByteArrayView bytes = QByteArrayView(file_).sliced(offset_ + from, to - from);
        if (encoding_ == Encoding::Utf8)
            return QString::fromUtf8(bytes);
        // Most lines are ASCII; the converter is only needed for the others.
        if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 0x80; }))
            return QString::fromLatin1(bytes);
        if (!gbkDecoder_)
            gbkDecoder_.emplace("GBK", QStringDecoder::Flag::Stateless);
        return gbkDecoder_->decode(bytes);
    }

    // The file's bytes of the units [from, to). A stray last byte of a UTF-16 file is no unit and goes.
    QByteArray raw(qsizetype from, qsizetype to) const
    {
        const int width = wide() ? 2 : 1;
        return file_.mid(offset_ + width * from, width * (to - from));
    }

    QByteArray byteOrderMark() const { return file_.left(offset_); }

    std::optional<QByteArray> encode(const QString& text) const
    {
        switch (encoding_) {
        case Encoding::Ansi: {
            QStringEncoder gbk("GBK", QStringEncoder::Flag::Stateless);
            QByteArray bytes = gbk.encode(text);
            if (gbk.hasError())
                return std::nullopt;
            return bytes;
        }
        case Encoding::Utf8:
            return text.toUtf8();
        case Encoding::Utf16LE:
        case Encoding::Utf16BE:
            break;
        }
        QByteArray bytes;
        bytes.reserve(2 * text.size());
        for (const QChar c : text) {
            const char high = char(c.unicode() >> 8);
            const char low = char(c.unicode() & 0xFF);
            bytes.append(encoding_ == Encoding::Utf16LE ? low : high);
            bytes.append(encoding_ == Encoding::Utf16LE ? high : low);
        }
        return bytes;
    }

private:
    bool wide() const { return encoding_ == Encoding::Utf16LE || encoding_ == Encoding::Utf16BE; }

    const QByteArray& file_;
    Encoding encoding_ = Encoding::Ansi;
    qsizetype offset_ = 0;
    QString units_;
    mutable std::optional<QStringDecoder>
        gbkDecoder_; // opened when a line needs it: that costs more than a line
};

struct Line {
    qsizetype start = 0; // first unit of the line
    qsizetype end = 0;   // one past the last unit before the line ending
    qsizetype next = 0;  // first unit of the following line
};

// Lines end in CR LF, LF or a lone CR.
Line lineAt(const Text& text, qsizetype start)
{
    const qsizetype size = text.size();
    qsizetype end = start;
    while (end < size && text.at(end) != u'\r' && text.at(end) != u'\n')
        ++end;
    qsizetype next = end;
    if (next < size && text.at(next) == u'\r')
        ++next;
    if (next < size && text.at(next) == u'\n' && (next == end || text.at(next - 1) == u'\r'))
        ++next;
    return {start, end, next};
}

qsizetype firstNonBlank(const Text& text, const Line& line)
{
    qsizetype first = line.start;
    while (first < line.end && isBlank(text.at(first)))
        ++first;
    return first;
}

// The name of a section line, from just after its '['.
QString sectionName(const Text& text, qsizetype afterBracket, qsizetype end)
{
    const QString rest = text.decode(afterBracket, end);
    const qsizetype close = rest.indexOf(u']');
    return trimBlanks(close < 0 ? QStringView(rest) : QStringView(rest).left(close));
}

// An entry line "key = value", by unit positions, blanks around key and value left out.
struct Entry {
    Line line;
    qsizetype keyStart = 0;
    qsizetype keyEnd = 0;
    qsizetype valueStart = 0;
    qsizetype valueEnd = 0;

    QString key(const Text& text) const { return text.decode(keyStart, keyEnd); }
    QString value(const Text& text) const { return withoutQuotes(text.decode(valueStart, valueEnd)); }
};

struct SectionScan {
    std::optional<Line> header;    // the first section line of the name
    std::optional<Line> lastEntry; // the last entry of that section
};

// Walks the entries of the first section of the name, in file order, while `visit` returns true. Only
// section lines and the entries of that section are decoded, so that a large file is read quickly.
template <typename Visit> SectionScan scanSection(const Text& text, const QString& section, Visit visit)
{
    SectionScan scan;
    bool inside = false;
    for (qsizetype start = 0; start < text.size();) {
        const Line line = lineAt(text, start);
        start = line.next;
        const qsizetype first = firstNonBlank(text, line);
        if (first == line.end || text.at(first) == u';')
            continue;
        if (text.at(first) == u'[') {
            if (scan.header)
                break;
            inside = sameName(sectionName(text, first + 1, line.end), section);
            if (inside)
                scan.header = line;
            continue;
        }
        if (!inside)
            continue;
        qsizetype equals = first;
        while (equals < line.end && text.at(equals) != u'=')
            ++equals;
        if (equals == line.end)
            continue;
        Entry entry{line, first, equals, equals + 1, line.end};
        while (entry.keyEnd > entry.keyStart && isBlank(text.at(entry.keyEnd - 1)))
            --entry.keyEnd;
        while (entry.valueStart < entry.valueEnd && isBlank(text.at(entry.valueStart)))
            ++entry.valueStart;
        while (entry.valueEnd > entry.valueStart && isBlank(text.at(entry.valueEnd - 1)))
            --entry.valueEnd;
        scan.lastEntry = line;
        if (!visit(entry))
            break;
    }
    return scan;
}

Failure contentError(const QString& reason, const QString& detail)
{
    return {reason, detail};
}

} // namespace

QString IniSection::value(const QString& key) const
{
    return values_.value(trimBlanks(key).toCaseFolded()).left(MaxIniValueLength);
}

void IniSection::add(const QString& key, const QString& value)
{
    const QString folded = key.toCaseFolded();
    if (values_.contains(folded))
        return;
    values_.insert(folded, value);
    keys_.append(key);
}

namespace IniText {

QString readValue(const QByteArray& file, const QString& section, const QString& key)
{
    const Text text(file);
    const QString wanted = trimBlanks(key);
    QString value;
    scanSection(text, trimBlanks(section), [&](const Entry& entry) {
        if (!sameName(entry.key(text), wanted))
            return true;
        value = entry.value(text);
        return false;
    });
    return value.left(MaxIniValueLength);
}

IniSection readSection(const QByteArray& file, const QString& section)
{
    const Text text(file);
    IniSection entries;
    scanSection(text, trimBlanks(section), [&](const Entry& entry) {
        entries.add(entry.key(text), entry.value(text));
        return true;
    });
    return entries;
}

QStringList sectionNames(const QByteArray& file)
{
    const Text text(file);
    QStringList names;
    for (qsizetype start = 0; start < text.size();) {
        const Line line = lineAt(text, start);
        start = line.next;
        const qsizetype first = firstNonBlank(text, line);
        if (first == line.end || text.at(first) != u'[')
            continue;
        const QString name = sectionName(text, first + 1, line.end);
        if (!names.contains(name, Qt::CaseInsensitive))
            names.append(name);
    }
    return names;
}

std::variant<QByteArray, Failure> writeValue(const QByteArray& file, const QString& section,
                                             const QString& key, const QString& value)
{
    const QString sectionName = trimBlanks(section);
    const QString keyName = trimBlanks(key);
    // A line break would end the entry early and put the rest of it, and the keys after it, elsewhere.
    if (hasLineBreak(sectionName) || hasLineBreak(keyName) || hasLineBreak(value))
        return contentError(QStringLiteral("要保存的内容含有换行符"),
                            QStringLiteral("a section, key or value with a line break"));

    const Text text(file);
    std::optional<Entry> found;
    const SectionScan scan = scanSection(text, sectionName, [&](const Entry& entry) {
        if (!found && sameName(entry.key(text), keyName))
            found = entry;
        return true;
    });

    const auto unencodable = [] {
        return contentError(QStringLiteral("要保存的内容含有设置文件无法保存的字符"),
                            QStringLiteral("text outside the file's code page (936)"));
    };
    const QByteArray newline = *text.encode(QStringLiteral("\r\n"));
    const auto equalsValue = text.encode(u'=' + value);
    if (!equalsValue)
        return unencodable();

    QByteArray updated = text.byteOrderMark();
    if (found) {
        // The key keeps the file's own spelling.
        updated += text.raw(0, found->line.start) + text.raw(found->keyStart, found->keyEnd) + *equalsValue +
                   newline + text.raw(found->line.next, text.size());
        return updated;
    }
    const auto entryLine = text.encode(keyName);
    if (!entryLine)
        return unencodable();
    if (scan.header) {
        const Line& after = scan.lastEntry ? *scan.lastEntry : *scan.header;
        updated += text.raw(0, after.next);
        if (after.next == after.end)
            updated += newline;
        updated += *entryLine + *equalsValue + newline + text.raw(after.next, text.size());
        return updated;
    }
    const auto header = text.encode(u'[' + sectionName + u']');
    if (!header)
        return unencodable();
    updated += text.raw(0, text.size());
    const qsizetype size = text.size();
    if (size > 0 && text.at(size - 1) != u'\n' && text.at(size - 1) != u'\r')
        updated += newline;
    updated += *header + newline + *entryLine + *equalsValue + newline;
    return updated;
}

} // namespace IniText

namespace {

// The names of the write's temporary copy and of the lock between writing processes: hidden, and plainly
// the program's own, so that nothing a learner keeps beside Syset.ini is ever taken for one.
QString temporaryPattern(const QFileInfo& target)
{
    return QStringLiteral(".") + target.fileName() + QStringLiteral(".vokabo-write-");
}

// A write that was cut short leaves its temporary copy behind. Another process may be writing one at this
// moment, so only copies older than a minute go.
void removeOrphanedCopies(const QFileInfo& target)
{
    const QDateTime aMinuteAgo = QDateTime::currentDateTimeUtc().addSecs(-60);
    const QDir directory = target.absoluteDir();
    for (const QFileInfo& file : directory.entryInfoList(
             {temporaryPattern(target) + QStringLiteral("??????")}, QDir::Files | QDir::Hidden)) {
        if (!file.isSymLink() && file.lastModified().toUTC() < aMinuteAgo)
            QFile::remove(file.absoluteFilePath());
    }
}

// The lock that writers of the file take turns under, beside it.
QString lockPath(const QFileInfo& target)
{
    return target.absoluteDir().filePath(QStringLiteral(".") + target.fileName() + QStringLiteral(".lock"));
}

// Makes a rename in `directory` durable.
void syncDirectory(const QString& directory)
{
    const int fd = ::open(QFile::encodeName(directory).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

mdlINI::mdlINI(QString applicationDirectory) : directory_(std::move(applicationDirectory)) {}

QString mdlINI::path() const
{
    return QDir(directory_).filePath(QStringLiteral("Syset.ini"));
}

std::optional<QByteArray> mdlINI::contents() const
{
    QFile file(path());
    if (!file.exists())
        return std::nullopt;
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcSettings, "cannot read %s: %s", qUtf8Printable(path()),
                  qUtf8Printable(file.errorString()));
        return std::nullopt;
    }
    return file.readAll();
}

QString mdlINI::ReadIniValue(const QString& section, const QString& key) const
{
    const auto bytes = contents();
    return bytes ? IniText::readValue(*bytes, section, key) : QString();
}

IniSection mdlINI::ReadIniSection(const QString& section) const
{
    const auto bytes = contents();
    return bytes ? IniText::readSection(*bytes, section) : IniSection();
}

IniWriteResult mdlINI::WriteIniValue(const QString& section, const QString& key, const QString& value)
{
    const QString target = path();
    const QString shown = QDir::toNativeSeparators(target);
    const auto fail = [&](const QString& reason, const QString& detail) {
        qCWarning(lcSettings, "cannot write [%s] %s in %s: %s", qUtf8Printable(section), qUtf8Printable(key),
                  qUtf8Printable(target), qUtf8Printable(detail));
        return IniWriteResult{Failure{reason, detail}};
    };
    const QFileInfo info(target);

    // Each write reads, changes and replaces the whole file: two processes doing it at once would each
    // replace the other's change. The lock keeps them one after the other.
    QLockFile lock(lockPath(info));
    lock.setStaleLockTime(LockStaleMilliseconds);
    if (info.absoluteDir().exists() && !lock.tryLock(LockWaitMilliseconds)) {
        if (lock.error() == QLockFile::LockFailedError)
            return fail(QStringLiteral("设置文件 %1 正被另一个 Vokabo 写入，请稍后再试").arg(shown),
                        QStringLiteral("the file's lock is held by another process"));
        // A folder where no lock can be made: the write below says why it cannot be written either.
    }

    QByteArray bytes;
    QFile existing(target);
    if (existing.exists()) {
        if (!existing.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("设置文件 %1 无法读取").arg(shown),
                        QStringLiteral("the file cannot be read: %1").arg(existing.errorString()));
        bytes = existing.readAll();
        existing.close();
        // Replacing the file by rename would get past a read-only file; the learner made it read-only.
        if (!info.isWritable())
            return fail(QStringLiteral("设置文件 %1 是只读的").arg(shown),
                        QStringLiteral("the file is read-only"));
    }

    auto updated = IniText::writeValue(bytes, section, key, value);
    if (const auto* error = std::get_if<Failure>(&updated))
        return fail(error->message, error->detail);
    const QByteArray& text = std::get<QByteArray>(updated);

    QTemporaryFile file(info.absoluteDir().filePath(temporaryPattern(info) + QStringLiteral("XXXXXX")));
    if (!file.open())
        return fail(QStringLiteral("无法在 %1 中保存文件").arg(QDir::toNativeSeparators(directory_)),
                    file.errorString());
    const QString diskFull = QStringLiteral("设置文件 %1 写入失败，磁盘可能已满").arg(shown);
    if (file.write(text) != text.size() || !file.flush())
        return fail(diskFull, file.errorString());
    if (::fsync(file.handle()) != 0)
        return fail(diskFull, qt_error_string(errno));
    file.close();
    if (::rename(QFile::encodeName(file.fileName()).constData(), QFile::encodeName(target).constData()) != 0)
        return fail(diskFull, qt_error_string(errno));
    file.setAutoRemove(false);
    syncDirectory(info.absolutePath());
    removeOrphanedCopies(info);
    return {};
}

Result<bool> mdlINI::copyTo(const QString& target) const
{
    const QFileInfo info(path());
    const auto fail = [&](const QString& detail) {
        return Failure{QStringLiteral("设置文件 %1 无法复制").arg(QDir::toNativeSeparators(path())),
                       QStringLiteral("cannot copy %1 to %2: %3").arg(path(), target, detail)};
    };
    // Under the writers' lock, so that the copy is the file as one write left it.
    QLockFile lock(lockPath(info));
    lock.setStaleLockTime(LockStaleMilliseconds);
    if (!lock.tryLock(LockWaitMilliseconds) && lock.error() == QLockFile::LockFailedError)
        return fail(QStringLiteral("the file's lock is held by another process"));
    QFile source(info.filePath());
    if (!source.exists())
        return false;
    if (!source.open(QIODevice::ReadOnly))
        return fail(source.errorString());
    const QByteArray bytes = source.readAll();
    QFile copy(target);
    if (!copy.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                   QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        return fail(copy.errorString());
    if (copy.write(bytes) != bytes.size() || !copy.flush() || ::fsync(copy.handle()) != 0)
        return fail(copy.errorString());
    return true;
}
