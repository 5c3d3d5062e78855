// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// Word lists in clear text, as people write them: one word a line, the English word, then its Chinese
// meaning, in UTF-8 CSV or TSV.
namespace WordFile {

struct Word {
    QString english;
    QString chinese;
    bool operator==(const Word&) const = default;
};

enum class Format { Detect, Csv, Tsv };

// The longest field in GBK bytes. The stored form grows with the text (16 bytes a block), and nothing
// in a word list needs more than this.
inline constexpr int MaxFieldBytes = 255;

// The most words a unit may hold: a list of more is refused (a unit is read whole when it is opened).
inline constexpr int MaxUnitWords = 100'000;
// Problems reported in full; the others are counted.
inline constexpr int MaxReportedProblems = 100;
// The longest line read; a longer one is a problem, read past in pieces.
inline constexpr int MaxLineBytes = 64 * 1024;

struct Parsed {
    std::vector<Word> words;
    QStringList problems; // "FILE:LINE: reason", in line order: the first MaxReportedProblems
    int problemCount = 0; // all of them
};

// Reads a word list line by line, in memory bounded by MaxUnitWords words and the reported problems.
// Every bad line is counted; `words` holds the good ones and is only of use when there are no problems.
// Past MaxUnitWords words, reading stops with a problem.
Parsed parse(QIODevice& input, const QString& fileName, Format format);
Parsed parse(const QByteArray& content, const QString& fileName, Format format);

// parse() on a file, or on the standard input for "-".
Parsed read(const QString& path, Format format);

// Why `text` cannot be stored as a field; nothing when it can.
std::optional<QString> fieldProblem(const QString& text);

// Why this word would not come back unchanged when its TSV line is read again; nothing when it would.
// `firstLine`: the line would be the first of its file, where a header may stand.
std::optional<QString> tsvProblem(const Word& word, bool firstLine);

// The word as a TSV line, with its line feed.
QByteArray tsvLine(const Word& word);

} // namespace WordFile
