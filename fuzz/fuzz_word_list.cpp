// SPDX-License-Identifier: GPL-3.0-or-later
// The CSV/TSV word-list parser, read as CSV, as TSV and by detection. Every word it accepts survives the
// way into a unit and out again: encodeField, the study window's decoder, and the export read back as a
// word list.
#include "FieldCipher.h"
#include "FuzzCheck.h"
#include "WordFile.h"

#include <QSet>
#include <cstdint>

namespace {

void survivesStorage(PPS& cipher, const QString& text)
{
    FUZZ_CHECK(!WordFile::fieldProblem(text), text);
    const std::optional<QString> stored = encodeField(text);
    FUZZ_CHECK(stored, text);
    const FieldReading reading =
        readField(cipher, *stored, QString::fromUtf16(FieldPassPhrase), FieldKeyBits);
    FUZZ_CHECK(reading.outcome == FieldReading::Outcome::Text && reading.validAnsi, text);
    FUZZ_CHECK(textBeforeNul(reading.text) == text, text + QStringLiteral(" came back as ") + reading.text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static PPS cipher;
    const QByteArray content(reinterpret_cast<const char*>(data), qsizetype(size));
    // The three readings mostly accept the same texts: each goes through the cipher once.
    QSet<QString> stored;
    for (const WordFile::Format format :
         {WordFile::Format::Detect, WordFile::Format::Csv, WordFile::Format::Tsv}) {
        const WordFile::Parsed parsed = WordFile::parse(content, QStringLiteral("fuzz"), format);
        QByteArray exported;
        bool exportable = true;
        for (const WordFile::Word& word : parsed.words) {
            for (const QString& text : {word.english, word.chinese})
                if (!stored.contains(text)) {
                    survivesStorage(cipher, text);
                    stored.insert(text);
                }
            exportable = exportable && !WordFile::tsvProblem(word, exported.isEmpty());
            exported += WordFile::tsvLine(word);
        }
        if (!exportable)
            continue;
        const WordFile::Parsed again =
            WordFile::parse(exported, QStringLiteral("export"), WordFile::Format::Tsv);
        FUZZ_CHECK(again.problems.isEmpty(), again.problems.join(u'\n'));
        FUZZ_CHECK(again.words == parsed.words, QString::fromUtf8(exported));
    }
    return 0;
}
