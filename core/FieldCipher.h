// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>

// A numbered run-time error of the cipher, with its description text.
class PPSError : public std::runtime_error {
public:
    PPSError(int number, const QString& description);
    int number() const { return number_; }
    QString description() const { return QString::fromUtf8(what()); }

private:
    int number_;
};

// The block cipher of the word fields: AES (Rijndael) in ECB mode, the block itself from OpenSSL.
// Its messages name it "cRijndael".
class PPS {
public:
    // Shows a message to the learner and returns when it has been closed.
    using MessageSink = std::function<void(const QString& text)>;

    explicit PPS(MessageSink showMessage = {});
    ~PPS();
    PPS(const PPS&) = delete;
    PPS& operator=(const PPS&) = delete;

    // The pass phrase as code page 936 bytes, zero-extended or cut to 32 bytes.
    QByteArray 计算密码(const QString& passPhrase) const;
    // Decodes the hexadecimal digits of the low byte of each UTF-16 unit into `bytes`, skipping
    // anything else; returns how many bytes came out.
    int 计算解密(const QString& text, QByteArray& bytes) const;
    // Takes the first 16, 24 or 32 key bytes for 128, 192 or 256 key bits; throws PPSError 1 otherwise.
    int SetCipherKey(const QByteArray& key, int KeyBits);
    // Decrypts every 16-byte block; -1 (after telling the learner) when the size is not a multiple of 16.
    int ArrayDecrypt(const QByteArray& ciphertext, QByteArray& plaintext, int appendsize = 0);
    // Texts of 65,536 characters or more are dropped.
    QString 整理数据(const QString& text) const;

    // Code page 936 bytes as text, every byte taking part; `valid` tells whether every byte was valid.
    QString ansiText(const QByteArray& bytes, bool* valid = nullptr) const;
    // Text as code page 936 bytes; `valid` tells whether they give the same text back.
    QByteArray ansiBytes(const QString& text, bool* valid = nullptr) const;

    // The producer side: encrypts whole blocks under the current key (no filling is added here).
    bool ArrayEncrypt(const QByteArray& plaintext, QByteArray& ciphertext);

private:
    struct Context;
    std::unique_ptr<Context> context_;
    MessageSink showMessage_;
    QByteArray key_;
    int keyBits_ = 0;
};

// The pass phrase and key size under which every word field is stored.
inline constexpr char16_t FieldPassPhrase[] = u"qv274";
inline constexpr int FieldKeyBits = 128;

// What becomes of a stored field on its way to the screen, step by step.
struct FieldReading {
    enum class Outcome {
        Text,           // decrypted
        NoDigitPair,    // not one complete pair of hexadecimal digits: the empty text
        NotWholeBlocks, // the bytes are not a whole number of 16-byte blocks: a message, the empty text
        TooLong,        // 65,536 characters or more once decrypted: the empty text
        CipherError,    // the cipher raised an error (printed on stderr)
    };
    Outcome outcome = Outcome::Text;
    QString text;          // what 解密 returns, the U+0000 filling of the last block included
    int bytes = 0;         // how many bytes the hexadecimal digits gave
    bool validAnsi = true; // every decrypted byte was valid code page 936
};

// Turns a stored field back into text: hexadecimal -> AES -> code page 936 -> at most 65,535 characters.
// The one decoder of the program: the study window and the word tool both read fields through it.
FieldReading readField(PPS& cipher, const QString& text, const QString& passPhrase, int KeyBits);

// readField()'s text. Every decrypted byte takes part, so the zero filling of the last block comes back
// as U+0000 characters. The empty text when nothing decodes or the size is wrong. No value when the
// cipher raised an error (printed on stderr).
std::optional<QString> 解密(PPS& cipher, const QString& text, const QString& passPhrase, int KeyBits);

// The text as code page 936 bytes, as a field stores it; no value when a character has no code there.
std::optional<QByteArray> fieldBytes(const QString& text);

// Turns text into the stored form: code page 936 bytes, zero-filled to a multiple of 16, AES-128-ECB
// under the field pass phrase, upper-case hexadecimal. No value when the text has a character that
// code page 936 cannot encode.
std::optional<QString> encodeField(const QString& text);

// The ciphertext bytes that a stored field's hexadecimal digits spell, read as 计算解密 reads them. The same
// text always gives the same bytes (ECB, no IV), so they identify a field whatever the letter case or
// separators of its digits.
QByteArray fieldCiphertext(const QString& field);

// The text before the first U+0000: what a label shows of a decrypted field.
QString textBeforeNul(const QString& text);

// The text the learner sees of a stored field, wherever it is shown or exported: decrypted under the field
// pass phrase, up to the first U+0000; the empty text when it does not decode.
QString textShown(const FieldReading& reading);
QString textShown(PPS& cipher, const QString& field);
