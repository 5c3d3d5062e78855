// SPDX-License-Identifier: GPL-3.0-or-later
// The field decoder on any stored text, and the stored form of any text: every text that encodeField
// accepts decrypts back to itself, followed by the zero filling of its last block.
#include "FieldCipher.h"
#include "FuzzCheck.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static PPS cipher; // no message sink, like the word tool's
    const QString passPhrase = QString::fromUtf16(FieldPassPhrase);
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));

    const FieldReading reading = readField(cipher, text, passPhrase, FieldKeyBits);
    FUZZ_CHECK(reading.outcome != FieldReading::Outcome::CipherError, text);
    FUZZ_CHECK(reading.outcome == FieldReading::Outcome::Text || reading.text.isEmpty(), text);
    FUZZ_CHECK(reading.text.size() < 65536, text);
    FUZZ_CHECK(解密(cipher, text, passPhrase, FieldKeyBits) == reading.text, text);

    if (const std::optional<QString> stored = encodeField(text)) {
        const FieldReading back = readField(cipher, *stored, passPhrase, FieldKeyBits);
        const QString filling = back.text.mid(text.size());
        FUZZ_CHECK(back.text.left(text.size()) == text, text + QStringLiteral(" came back as ") + back.text);
        FUZZ_CHECK(filling.count(QChar(u'\0')) == filling.size() && filling.size() < 16, text);
        FUZZ_CHECK(back.validAnsi, text);
    }
    return 0;
}
