// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file in memory: reading any file, and writing a value into it. A written well-formed
// value reads back, and no other key of the file changes.
//
// Input: section NUL key NUL value NUL file. Without three NULs the whole input is the file, and the
// value written is a completion date.
#include "FuzzCheck.h"
#include "SettingsFile.h"

#include <QHash>
#include <QList>
#include <algorithm>
#include <cstdint>

namespace {

struct Setting {
    QString section;
    QString key;
    QString value;
};

// What the file holds, as the readers see it: every key once, in the first sections (each section is a
// scan of the whole file; more would slow the target down more than it finds).
QList<Setting> everything(const QByteArray& file)
{
    QList<Setting> settings;
    const QStringList sections = IniText::sectionNames(file);
    for (const QString& section : sections.first(std::min<qsizetype>(sections.size(), 16))) {
        const IniSection entries = IniText::readSection(file, section);
        for (const QString& key : entries.keys())
            settings.append({section, key, entries.value(key)});
    }
    return settings;
}

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\v';
}

QString trimBlanks(QString text)
{
    while (!text.isEmpty() && isBlank(text.front()))
        text.remove(0, 1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

bool hasLineBreak(const QString& text)
{
    return text.contains(u'\r') || text.contains(u'\n');
}

// What the file format can hold so that it reads back unchanged.
bool wellFormed(const Setting& s)
{
    const QString section = trimBlanks(s.section);
    const QString key = trimBlanks(s.key);
    if (hasLineBreak(s.section) || hasLineBreak(s.key) || hasLineBreak(s.value))
        return false;
    if (section.contains(u']') || key.contains(u'=') || key.startsWith(u';') || key.startsWith(u'['))
        return false;
    if (!s.value.isEmpty() && (isBlank(s.value.front()) || isBlank(s.value.back())))
        return false;
    const bool quoted = s.value.size() >= 2 && (s.value.front() == u'"' || s.value.front() == u'\'') &&
                        s.value.back() == s.value.front();
    return !quoted && s.value.size() <= MaxIniValueLength;
}

bool sameName(const QString& a, const QString& b)
{
    return trimBlanks(a).compare(trimBlanks(b), Qt::CaseInsensitive) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const QList<QByteArray> parts = input.split('\0');
    Setting written{QStringLiteral("LastDate"), QStringLiteral("23"), QStringLiteral("2017/11/1 14:05:09")};
    QByteArray file = input;
    if (parts.size() >= 4) {
        written = {QString::fromUtf8(parts[0]), QString::fromUtf8(parts[1]), QString::fromUtf8(parts[2])};
        file = input.mid(parts[0].size() + parts[1].size() + parts[2].size() + 3);
    }

    // The single read and the read-once section agree; a sample of the keys keeps the target fast.
    const QList<Setting> before = everything(file);
    for (const Setting& s : before.first(std::min<qsizetype>(before.size(), 8)))
        FUZZ_CHECK(IniText::readValue(file, s.section, s.key) == s.value, s.section + u'/' + s.key);

    const auto result = IniText::writeValue(file, written.section, written.key, written.value);
    if (hasLineBreak(written.section) || hasLineBreak(written.key) || hasLineBreak(written.value))
        FUZZ_CHECK(std::holds_alternative<Failure>(result), written.value);
    const QByteArray* after = std::get_if<QByteArray>(&result);
    if (!after || !wellFormed(written))
        return 0;
    FUZZ_CHECK(IniText::readValue(*after, written.section, written.key) == written.value,
               written.section + u'/' + written.key + u'=' + written.value);
    QHash<QString, IniSection> sectionsAfter; // each section read once
    for (const Setting& s : before) {
        if (sameName(s.section, written.section) && sameName(s.key, written.key))
            continue;
        const QString folded = s.section.toCaseFolded();
        if (!sectionsAfter.contains(folded))
            sectionsAfter.insert(folded, IniText::readSection(*after, s.section));
        FUZZ_CHECK(sectionsAfter[folded].value(s.key) == s.value,
                   QStringLiteral("%1/%2 changed").arg(s.section, s.key));
    }
    return 0;
}
