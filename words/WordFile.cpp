// SPDX-License-Identifier: GPL-3.0-or-later
#include "WordFile.h"

#include "FieldCipher.h"

#include <QBuffer>
#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <variant>

namespace WordFile {

namespace {

enum class Header { None, Header, Reversed };

Header headerKind(const QStringList& fields)
{
    if (fields.size() != 2)
        return Header::None;
    const auto named = [&](const char16_t* english, const char16_t* chinese) {
        const auto is = [](const QString& field, const char16_t* name) {
            return field.compare(QString::fromUtf16(name), Qt::CaseInsensitive) == 0;
        };
        if (is(fields[0], english) && is(fields[1], chinese))
            return Header::Header;
        if (is(fields[0], chinese) && is(fields[1], english))
            return Header::Reversed;
        return Header::None;
    };
    const Header latin = named(u"english", u"chinese");
    return latin != Header::None ? latin : named(u"英文", u"中文");
}

// Splits one CSV line. Quoted fields may hold commas and doubled quotes but not line breaks.
std::variant<QStringList, QString> splitCsv(const QString& line)
{
    QStringList fields;
    qsizetype i = 0;
    const qsizetype n = line.size();
    const auto skipSpaces = [&] {
        while (i < n && line[i].isSpace())
            ++i;
    };
    for (;;) {
        skipSpaces();
        QString field;
        if (i < n && line[i] == u'"') {
            bool closed = false;
            for (++i; i < n; ++i) {
                if (line[i] != u'"') {
                    field += line[i];
                } else if (i + 1 < n && line[i + 1] == u'"') {
                    field += u'"';
                    ++i;
                } else {
                    closed = true;
                    ++i;
                    break;
                }
            }
            if (!closed)
                return QStringLiteral(
                    "unterminated quote (a quoted field must end on the line it starts on)");
            skipSpaces();
            if (i < n && line[i] != u',')
                return QStringLiteral("text after a closing quote");
        } else {
            const qsizetype start = i;
            for (; i < n && line[i] != u','; ++i) {
                if (line[i] == u'"')
                    return QStringLiteral(
                        "quote inside an unquoted field (quote the whole field and double the "
                        "quote inside)");
            }
            field = line.mid(start, i - start);
        }
        fields.append(field.trimmed());
        if (i >= n)
            return fields;
        ++i; // the comma
    }
}

QStringList splitTsv(const QString& line)
{
    QStringList fields = line.split(u'\t');
    for (QString& field : fields)
        field = field.trimmed();
    return fields;
}

QString characterName(char32_t c)
{
    return QStringLiteral("U+%1").arg(uint(c), 4, 16, QChar(u'0')).toUpper();
}

// The first character that GBK has no code for.
QString firstUnencodable(const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString character = text.mid(i, length);
        QStringEncoder gbk("GBK", QStringEncoder::Flag::Stateless);
        // The encoder only runs when its result is taken.
        [[maybe_unused]] const QByteArray bytes = gbk.encode(character);
        if (gbk.hasError())
            return QStringLiteral("'%1' (%2)").arg(character, characterName(character.toUcs4().value(0)));
        i += length - 1;
    }
    return QString();
}

} // namespace

std::optional<QString> fieldProblem(const QString& text)
{
    if (text.isEmpty())
        return QStringLiteral("empty");
    for (const char32_t c : text.toUcs4()) {
        if (QChar::category(c) == QChar::Other_Control)
            return QStringLiteral("control character %1").arg(characterName(c));
    }
    const std::optional<QByteArray> bytes = fieldBytes(text);
    if (!bytes)
        return QStringLiteral("%1 is not in the GBK character set").arg(firstUnencodable(text));
    if (bytes->size() > MaxFieldBytes)
        return QStringLiteral("%1 bytes in GBK, more than the %2 allowed")
            .arg(bytes->size())
            .arg(MaxFieldBytes);
    return std::nullopt;
}

Parsed parse(QIODevice& input, const QString& fileName, Format format)
{
    Parsed parsed;
    bool seenData = false;
    bool firstLine = true;
    for (int number = 1; !input.atEnd(); ++number) {
        const auto problem = [&](const QString& reason) {
            ++parsed.problemCount;
            if (parsed.problems.size() < MaxReportedProblems)
                parsed.problems.append(fileName + u':' + QString::number(number) + QStringLiteral(": ") +
                                       reason);
        };
        QByteArray bytes = input.readLine(MaxLineBytes + 1);
        if (bytes.isEmpty() && input.atEnd())
            break;
        if (!bytes.endsWith('\n') && !input.atEnd()) {
            // Read on to the end of the line in pieces: a line this long is no word.
            QByteArray rest;
            do
                rest = input.readLine(MaxLineBytes + 1);
            while (!rest.isEmpty() && !rest.endsWith('\n'));
            problem(QStringLiteral("longer than %1 bytes").arg(MaxLineBytes));
            firstLine = false;
            continue;
        }
        if (bytes.endsWith('\n'))
            bytes.chop(1);
        if (bytes.endsWith('\r'))
            bytes.chop(1);
        if (firstLine && bytes.startsWith("\xEF\xBB\xBF"))
            bytes.remove(0, 3);
        firstLine = false;
        // Stateless: a sequence cut off at the end of the line is an error, not something to wait for.
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString line = utf8.decode(bytes);
        if (utf8.hasError()) {
            problem(QStringLiteral("not valid UTF-8"));
            continue;
        }
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(u'#'))
            continue;

        const bool first = !seenData;
        seenData = true;
        if (format == Format::Detect)
            format = line.contains(u'\t') ? Format::Tsv : Format::Csv;
        QStringList fields;
        if (format == Format::Tsv) {
            fields = splitTsv(line);
        } else {
            auto split = splitCsv(line);
            if (const QString* reason = std::get_if<QString>(&split)) {
                problem(*reason);
                continue;
            }
            fields = std::get<QStringList>(std::move(split));
        }

        if (first) {
            const Header header = headerKind(fields);
            if (header == Header::Header)
                continue;
            if (header == Header::Reversed) {
                problem(
                    QStringLiteral("the header has the columns the wrong way round: the English word comes "
                                   "first"));
                continue;
            }
        }
        if (fields.size() != 2) {
            problem(QStringLiteral("%1 field(s) instead of 2 (English word, Chinese meaning)%2")
                        .arg(fields.size())
                        .arg(format == Format::Csv && fields.size() > 2
                                 ? QStringLiteral("; put a field that has a comma in double quotes")
                                 : QString()));
            continue;
        }
        const Word word{fields[0], fields[1]};
        const auto englishProblem = fieldProblem(word.english);
        const auto chineseProblem = fieldProblem(word.chinese);
        if (englishProblem)
            problem(QStringLiteral("English word: ") + *englishProblem);
        if (chineseProblem)
            problem(QStringLiteral("Chinese meaning: ") + *chineseProblem);
        if (englishProblem || chineseProblem)
            continue;
        if (parsed.words.size() == size_t(MaxUnitWords)) {
            // Nothing would be imported: reading on would only take time and memory.
            problem(QStringLiteral("more than %L1 words; a unit holds at most %L1").arg(MaxUnitWords));
            break;
        }
        parsed.words.push_back(word);
    }
    return parsed;
}

Parsed parse(const QByteArray& content, const QString& fileName, Format format)
{
    QBuffer buffer;
    buffer.setData(content);
    buffer.open(QIODevice::ReadOnly);
    return parse(buffer, fileName, format);
}

Parsed read(const QString& path, Format format)
{
    const bool standardInput = path == QStringLiteral("-");
    QFile file(standardInput ? QString() : path);
    const bool opened =
        standardInput ? file.open(stdin, QIODevice::ReadOnly) : file.open(QIODevice::ReadOnly);
    if (!opened)
        return {{}, {path + QStringLiteral(": cannot read: ") + file.errorString()}, 1};
    return parse(file, standardInput ? QStringLiteral("<stdin>") : path, format);
}

std::optional<QString> tsvProblem(const Word& word, bool firstLine)
{
    for (const auto& [name, text] : {std::pair{QStringLiteral("English word"), word.english},
                                     std::pair{QStringLiteral("Chinese meaning"), word.chinese}}) {
        if (auto problem = fieldProblem(text))
            return name + QStringLiteral(": ") + *problem;
        if (text != text.trimmed())
            return name + QStringLiteral(": spaces around the text");
    }
    if (word.english.startsWith(u'#'))
        return QStringLiteral("English word: starts with '#' and would be read as a comment");
    if (firstLine && headerKind({word.english, word.chinese}) != Header::None)
        return QStringLiteral("would be read as a header line");
    return std::nullopt;
}

QByteArray tsvLine(const Word& word)
{
    return (word.english + u'\t' + word.chinese + u'\n').toUtf8();
}

} // namespace WordFile
