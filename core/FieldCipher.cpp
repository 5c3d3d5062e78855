// SPDX-License-Identifier: GPL-3.0-or-later
#include "FieldCipher.h"

#include "Logging.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <cstdio>
#include <openssl/evp.h>

PPSError::PPSError(int number, const QString& description)
    : std::runtime_error(description.toStdString()), number_(number)
{
}

struct PPS::Context {
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    // Opening a code page converter costs more than a whole decryption; keep one of each.
    QStringEncoder toAnsi{"GBK", QStringEncoder::Flag::Stateless};
    QStringDecoder fromAnsi{"GBK", QStringDecoder::Flag::Stateless};
    ~Context() { EVP_CIPHER_CTX_free(ctx); }
};

namespace {

const EVP_CIPHER* ecbCipher(int keyBits)
{
    switch (keyBits) {
    case 128:
        return EVP_aes_128_ecb();
    case 192:
        return EVP_aes_192_ecb();
    case 256:
        return EVP_aes_256_ecb();
    default:
        return nullptr;
    }
}

int hexValue(unsigned char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool runBlocks(EVP_CIPHER_CTX* ctx, const EVP_CIPHER* cipher, const QByteArray& key, bool encrypt,
               const QByteArray& in, QByteArray& out)
{
    out.resize(in.size());
    if (in.isEmpty())
        return true;
    const auto* k = reinterpret_cast<const unsigned char*>(key.constData());
    if (EVP_CipherInit_ex(ctx, cipher, nullptr, k, nullptr, encrypt ? 1 : 0) != 1)
        return false;
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    int written = 0;
    return EVP_CipherUpdate(ctx, reinterpret_cast<unsigned char*>(out.data()), &written,
                            reinterpret_cast<const unsigned char*>(in.constData()), int(in.size())) == 1 &&
           written == in.size();
}

} // namespace

PPS::PPS(MessageSink showMessage)
    : context_(std::make_unique<Context>()), showMessage_(std::move(showMessage))
{
}

PPS::~PPS() = default;

QByteArray PPS::计算密码(const QString& passPhrase) const
{
    QByteArray key = context_->toAnsi.encode(passPhrase);
    key.resize(32, '\0');
    return key;
}

int PPS::计算解密(const QString& text, QByteArray& bytes) const
{
    bytes = fieldCiphertext(text);
    return int(bytes.size());
}

int PPS::SetCipherKey(const QByteArray& key, int KeyBits)
{
    if (!ecbCipher(KeyBits))
        throw PPSError(1, QStringLiteral("cRijndael.SetCipherKey - Illegal KeyBits Value"));
    key_ = key.left(KeyBits / 8);
    key_.resize(KeyBits / 8, '\0');
    keyBits_ = KeyBits;
    return 0;
}

int PPS::ArrayDecrypt(const QByteArray& ciphertext, QByteArray& plaintext, int appendsize)
{
    Q_UNUSED(appendsize);
    if (ciphertext.size() % 16 != 0) {
        if (showMessage_)
            showMessage_(QStringLiteral("密文的大小不是多块大小"));
        return -1;
    }
    if (!runBlocks(context_->ctx, ecbCipher(keyBits_), key_, false, ciphertext, plaintext))
        throw PPSError(2, QStringLiteral("cRijndael.ArrayDecrypt - no cipher key set"));
    return 0;
}

bool PPS::ArrayEncrypt(const QByteArray& plaintext, QByteArray& ciphertext)
{
    return plaintext.size() % 16 == 0 && ecbCipher(keyBits_) &&
           runBlocks(context_->ctx, ecbCipher(keyBits_), key_, true, plaintext, ciphertext);
}

QString PPS::ansiText(const QByteArray& bytes, bool* valid) const
{
    QString text = context_->fromAnsi.decode(bytes);
    // The converters' error flags outlive the call that set them, and a lead byte at the very end is
    // dropped without one; but every valid text of code page 936 encodes back to its own bytes.
    if (valid)
        *valid = context_->toAnsi.encode(text) == bytes;
    return text;
}

QByteArray PPS::ansiBytes(const QString& text, bool* valid) const
{
    QByteArray bytes = context_->toAnsi.encode(text);
    // As in ansiText(), the converter's error flag cannot be trusted after its first error.
    if (valid)
        *valid = context_->fromAnsi.decode(bytes) == text;
    return bytes;
}

QString PPS::整理数据(const QString& text) const
{
    return text.size() < 65536 ? text : QString();
}

FieldReading readField(PPS& cipher, const QString& text, const QString& passPhrase, int KeyBits)
{
    using Outcome = FieldReading::Outcome;
    FieldReading reading;
    try {
        const QByteArray key = cipher.计算密码(passPhrase);
        QByteArray ciphertext;
        reading.bytes = cipher.计算解密(text, ciphertext);
        if (reading.bytes == 0) {
            reading.outcome = Outcome::NoDigitPair;
            return reading;
        }
        cipher.SetCipherKey(key, KeyBits);
        QByteArray plaintext;
        if (cipher.ArrayDecrypt(ciphertext, plaintext, 0) != 0) {
            reading.outcome = Outcome::NotWholeBlocks;
            return reading;
        }
        const QString decrypted = cipher.ansiText(plaintext, &reading.validAnsi);
        reading.text = cipher.整理数据(decrypted);
        if (reading.text.size() != decrypted.size())
            reading.outcome = Outcome::TooLong;
    } catch (const PPSError& error) {
        qCWarning(lcCore, "decryption failed: error %d: %s", error.number(), error.what());
        reading.outcome = Outcome::CipherError;
    }
    return reading;
}

std::optional<QString> 解密(PPS& cipher, const QString& text, const QString& passPhrase, int KeyBits)
{
    FieldReading reading = readField(cipher, text, passPhrase, KeyBits);
    if (reading.outcome == FieldReading::Outcome::CipherError)
        return std::nullopt;
    return std::move(reading.text);
}

namespace {

// An import encodes field after field; opening the converters would cost more than the field.
PPS& fieldCipher()
{
    thread_local PPS cipher;
    return cipher;
}

} // namespace

std::optional<QByteArray> fieldBytes(const QString& text)
{
    bool valid = false;
    QByteArray bytes = fieldCipher().ansiBytes(text, &valid);
    if (!valid)
        return std::nullopt;
    return bytes;
}

std::optional<QString> encodeField(const QString& text)
{
    std::optional<QByteArray> plaintext = fieldBytes(text);
    if (!plaintext)
        return std::nullopt;
    plaintext->resize((plaintext->size() + 15) / 16 * 16, '\0');
    PPS& cipher = fieldCipher();
    cipher.SetCipherKey(cipher.计算密码(QString::fromUtf16(FieldPassPhrase)), FieldKeyBits);
    QByteArray ciphertext;
    if (!cipher.ArrayEncrypt(*plaintext, ciphertext))
        return std::nullopt;
    return QString::fromLatin1(ciphertext.toHex().toUpper());
}

QByteArray fieldCiphertext(const QString& field)
{
    QByteArray bytes(field.size() / 2, '\0');
    qsizetype produced = 0;
    int held = -1;
    for (const QChar unit : field) {
        const int value = hexValue(static_cast<unsigned char>(unit.unicode() & 0xFF));
        if (value < 0)
            continue;
        if (held < 0) {
            held = value;
        } else {
            bytes[produced++] = char(held * 16 + value);
            held = -1;
        }
    }
    bytes.resize(produced);
    return bytes;
}

QString textBeforeNul(const QString& text)
{
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    return nul < 0 ? text : text.left(nul);
}

QString textShown(const FieldReading& reading)
{
    return reading.outcome == FieldReading::Outcome::CipherError ? QString() : textBeforeNul(reading.text);
}

QString textShown(PPS& cipher, const QString& field)
{
    return textShown(readField(cipher, field, QString::fromUtf16(FieldPassPhrase), FieldKeyBits));
}
