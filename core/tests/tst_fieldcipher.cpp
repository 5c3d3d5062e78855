// SPDX-License-Identifier: GPL-3.0-or-later
#include "FieldCipher.h"

#include <QRegularExpression>
#include <QtTest>
#include <openssl/evp.h>

namespace {

const QString SizeMessage = QStringLiteral("密文的大小不是多块大小");

// A cipher whose messages are collected instead of shown.
struct Recorded {
    QStringList messages;
    PPS cipher{[this](const QString& text) { messages.append(text); }};
};

QString nuls(int count)
{
    return QString(count, QChar(u'\0'));
}

// AES-128-ECB without padding straight from OpenSSL, to check the stored form against.
QByteArray opensslEncrypt(const QByteArray& key, const QByteArray& plaintext)
{
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    QByteArray out(plaintext.size() + 16, '\0');
    int written = 0;
    int tail = 0;
    const bool ok =
        EVP_EncryptInit_ex(ctx, EVP_aes_128_ecb(), nullptr,
                           reinterpret_cast<const unsigned char*>(key.constData()), nullptr) == 1 &&
        EVP_CIPHER_CTX_set_padding(ctx, 0) == 1 &&
        EVP_EncryptUpdate(ctx, reinterpret_cast<unsigned char*>(out.data()), &written,
                          reinterpret_cast<const unsigned char*>(plaintext.constData()),
                          int(plaintext.size())) == 1 &&
        EVP_EncryptFinal_ex(ctx, reinterpret_cast<unsigned char*>(out.data()) + written, &tail) == 1;
    EVP_CIPHER_CTX_free(ctx);
    if (!ok)
        return {};
    out.resize(written + tail);
    return out;
}

} // namespace

class FieldCipherTest : public QObject {
    Q_OBJECT

private slots:
    void knownAnswers_data();
    void knownAnswers();
    void passPhraseKey_data();
    void passPhraseKey();
    void hexDecoding_data();
    void hexDecoding();
    void fieldSize_data();
    void fieldSize();
    void illegalKeyBits_data();
    void illegalKeyBits();
    void roundTrip_data();
    void roundTrip();
    void storedFormMatchesOpenssl_data();
    void storedFormMatchesOpenssl();
    void unencodableText_data();
    void unencodableText();
    void lengthLimit_data();
    void lengthLimit();
    void lengthLimitThroughDecryption_data();
    void lengthLimitThroughDecryption();
};

void FieldCipherTest::knownAnswers_data()
{
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<int>("keyBits");
    QTest::addColumn<QByteArray>("plaintext");
    QTest::addColumn<QString>("ciphertext");

    const QByteArray zero(16, '\0');
    const QByteArray fipsPlain = QByteArray::fromHex("00112233445566778899aabbccddeeff");
    const QByteArray counting =
        QByteArray::fromHex("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f");

    // FIPS-197 appendix C.
    QTest::newRow("FIPS-197 C.1 AES-128")
        << counting.left(16) << 128 << fipsPlain << "69c4e0d86a7b0430d8cdb78070b4c55a";
    QTest::newRow("FIPS-197 C.2 AES-192")
        << counting.left(24) << 192 << fipsPlain << "dda97ca4864cdfe06eaf70a0ec0d7191";
    QTest::newRow("FIPS-197 C.3 AES-256")
        << counting << 256 << fipsPlain << "8ea2b7ca516745bfeafc49904b496089";
    // Only the leading key bytes count for the shorter key sizes.
    QTest::newRow("C.1 with a 32-byte key") << counting.left(16) + QByteArray(16, '\xA5') << 128 << fipsPlain
                                            << "69C4E0D86A7B0430D8CDB78070B4C55A";
    QTest::newRow("C.2 with a 32-byte key") << counting.left(24) + QByteArray(8, '\x5A') << 192 << fipsPlain
                                            << "DDA97CA4864CDFE06EAF70A0EC0D7191";

    // AESAVS known-answer tables for AES-128.
    QTest::newRow("GFSbox 1") << zero << 128 << QByteArray::fromHex("f34481ec3cc627bacd5dc3fb08f273e6")
                              << "0336763e966d92595a567cc9ce537f5e";
    QTest::newRow("GFSbox 2") << zero << 128 << QByteArray::fromHex("9798c4640bad75c7c3227db910174e72")
                              << "a9a1631bf4996954ebc093957b234589";
    QTest::newRow("GFSbox 3") << zero << 128 << QByteArray::fromHex("96ab5c2ff612d9dfaae8c31f30c42168")
                              << "ff4f8391a6a40ca5b25d23bedd44a597";
    QTest::newRow("KeySbox 1") << QByteArray::fromHex("10a58869d74be5a374cf867cfb473859") << 128 << zero
                               << "6d251e6944b051e04eaa6fb4dbf78465";
    QTest::newRow("KeySbox 2") << QByteArray::fromHex("caea65cdbb75e9169ecd22ebe6e54675") << 128 << zero
                               << "6e29201190152df4ee058139def610bb";
    QTest::newRow("VarTxt 0") << zero << 128 << QByteArray::fromHex("80000000000000000000000000000000")
                              << "3ad78e726c1ec02b7ebfe92b23d9ec34";
    QTest::newRow("VarKey 0") << QByteArray::fromHex("80000000000000000000000000000000") << 128 << zero
                              << "0edd33d3c621e546455bd8ba1418bec8";
    QTest::newRow("two blocks") << zero << 128
                                << QByteArray::fromHex("f34481ec3cc627bacd5dc3fb08f273e6") + zero
                                << "0336763e966d92595a567cc9ce537f5e66e94bd4ef8a2c3b884cfa59ca342b2e";
}

void FieldCipherTest::knownAnswers()
{
    QFETCH(QByteArray, key);
    QFETCH(int, keyBits);
    QFETCH(QByteArray, plaintext);
    QFETCH(QString, ciphertext);

    Recorded r;
    QByteArray encrypted;
    QCOMPARE(r.cipher.计算解密(ciphertext, encrypted), plaintext.size());
    QCOMPARE(r.cipher.SetCipherKey(key, keyBits), 0);
    QByteArray decrypted;
    QCOMPARE(r.cipher.ArrayDecrypt(encrypted, decrypted), 0);
    QCOMPARE(decrypted.toHex(), plaintext.toHex());

    QByteArray reencrypted;
    QVERIFY(r.cipher.ArrayEncrypt(plaintext, reencrypted));
    QCOMPARE(reencrypted.toHex(), encrypted.toHex());
    QVERIFY(r.messages.isEmpty());
}

void FieldCipherTest::passPhraseKey_data()
{
    QTest::addColumn<QString>("passPhrase");
    QTest::addColumn<QByteArray>("key");

    QTest::newRow("field pass phrase") << "qv274" << QByteArray("qv274") + QByteArray(27, '\0');
    QTest::newRow("empty") << "" << QByteArray(32, '\0');
    QTest::newRow("code page 936") << "单元" << QByteArray::fromHex("b5a5d4aa") + QByteArray(28, '\0');
    QTest::newRow("exactly 32") << QString(32, u'k') << QByteArray(32, 'k');
    QTest::newRow("cut to 32") << QString(32, u'k') + "overflow" << QByteArray(32, 'k');
    QTest::newRow("cut inside Chinese") << QString(17, u'中') << QByteArray::fromHex("d6d0").repeated(16);
}

void FieldCipherTest::passPhraseKey()
{
    QFETCH(QString, passPhrase);
    QFETCH(QByteArray, key);

    PPS cipher;
    QCOMPARE(cipher.计算密码(passPhrase).toHex(), key.toHex());
}

void FieldCipherTest::hexDecoding_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");

    const QByteArray sixteen = QByteArray::fromHex("00112233445566778899aabbccddeeff");
    QTest::newRow("upper case") << "00112233445566778899AABBCCDDEEFF" << sixteen;
    QTest::newRow("lower case") << "00112233445566778899aabbccddeeff" << sixteen;
    QTest::newRow("mixed case") << "00112233445566778899aAbBcCdDeEfF" << sixteen;
    QTest::newRow("separator inside a pair") << "4-1" << QByteArray("A");
    QTest::newRow("blanks and dashes") << " 00 11-22\t3\r\n3 " << QByteArray::fromHex("00112233");
    QTest::newRow("letters past F skipped") << "4G1gz" << QByteArray("A");
    QTest::newRow("last odd digit dropped") << "414" << QByteArray("A");
    QTest::newRow("single digit") << "7" << QByteArray();
    QTest::newRow("empty") << "" << QByteArray();
    QTest::newRow("no hex digit") << "xyz!? " << QByteArray();
    // Only the low byte of each UTF-16 unit is looked at: U+0141 reads as 'A', U+4E30 as '0'.
    QTest::newRow("U+0141 counts as A") << QStringLiteral("\u0141\u0141") << QByteArray("\xAA");
    QTest::newRow("U+4E30 counts as 0") << QStringLiteral("\u4E301") << QByteArray("\x01", 1);
    QTest::newRow("U+4E2D low byte is a dash") << QStringLiteral("4\u4E2D1") << QByteArray("A");
}

void FieldCipherTest::hexDecoding()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);

    PPS cipher;
    QByteArray out("left over from before");
    QCOMPARE(cipher.计算解密(text, out), bytes.size());
    QCOMPARE(out.toHex(), bytes.toHex());
}

void FieldCipherTest::fieldSize_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("messages");

    const QString abc = encodeField(QStringLiteral("abc")).value_or(QString());
    QTest::newRow("31 digits") << abc.left(31) << "" << 1;
    QTest::newRow("2 digits") << abc.left(2) << "" << 1;
    QTest::newRow("48 digits") << abc + abc.left(16) << "" << 1;
    QTest::newRow("1 digit") << abc.left(1) << "" << 0;
    QTest::newRow("empty") << ""
                           << "" << 0;
    QTest::newRow("no hex digit") << "ghijk"
                                  << "" << 0;
    QTest::newRow("33 digits, odd one dropped") << abc + "F"
                                                << "abc" + nuls(13) << 0;
    QTest::newRow("separators in a whole block")
        << abc.left(10) + " - " + abc.mid(10) << "abc" + nuls(13) << 0;
}

void FieldCipherTest::fieldSize()
{
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(int, messages);

    Recorded r;
    const std::optional<QString> decrypted = 解密(r.cipher, field, QStringLiteral("qv274"), 128);
    QVERIFY(decrypted.has_value());
    QCOMPARE(*decrypted, text);
    QCOMPARE(r.messages.size(), messages);
    for (const QString& message : r.messages)
        QCOMPARE(message, SizeMessage);

    // The same through the parts, where the wrong size is reported as -1.
    Recorded parts;
    QByteArray bytes;
    if (parts.cipher.计算解密(field, bytes) > 0) {
        parts.cipher.SetCipherKey(parts.cipher.计算密码(QStringLiteral("qv274")), 128);
        QByteArray plaintext;
        QCOMPARE(parts.cipher.ArrayDecrypt(bytes, plaintext), messages ? -1 : 0);
        QCOMPARE(parts.messages.size(), messages);
    }
}

void FieldCipherTest::illegalKeyBits_data()
{
    QTest::addColumn<int>("keyBits");

    QTest::newRow("0") << 0;
    QTest::newRow("64") << 64;
    QTest::newRow("127") << 127;
    QTest::newRow("129") << 129;
    QTest::newRow("-128") << -128;
    QTest::newRow("512") << 512;
}

void FieldCipherTest::illegalKeyBits()
{
    QFETCH(int, keyBits);

    Recorded r;
    const QByteArray key = r.cipher.计算密码(QStringLiteral("qv274"));
    bool thrown = false;
    try {
        r.cipher.SetCipherKey(key, keyBits);
    } catch (const PPSError& error) {
        thrown = true;
        QCOMPARE(error.number(), 1);
        QCOMPARE(error.description(), QStringLiteral("cRijndael.SetCipherKey - Illegal KeyBits Value"));
    }
    QVERIFY(thrown);

    const QString field = encodeField(QStringLiteral("abc")).value_or(QString());
    QVERIFY(!field.isEmpty());
    QCOMPARE(解密(r.cipher, field, QStringLiteral("qv274"), keyBits), std::nullopt);
    QVERIFY(r.messages.isEmpty());
}

void FieldCipherTest::roundTrip_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("blocks");
    QTest::addColumn<QString>("decrypted");

    QTest::newRow("three letters") << "abc" << 1 << "abc" + nuls(13);
    QTest::newRow("sixteen letters") << "abcdefghijklmnop" << 1 << "abcdefghijklmnop";
    QTest::newRow("seventeen letters") << "abcdefghijklmnopq" << 2 << "abcdefghijklmnopq" + nuls(15);
    QTest::newRow("Chinese word") << "苹果" << 1 << "苹果" + nuls(12);
    QTest::newRow("eight Chinese characters") << "我们一起学习英语" << 1 << "我们一起学习英语";
    QTest::newRow("Chinese over a block edge")
        << "abcdefghijklmno练习" << 2 << "abcdefghijklmno练习" + nuls(13);
    QTest::newRow("mixed") << "apple 苹果" << 1 << "apple 苹果" + nuls(6);
    QTest::newRow("empty") << "" << 0 << "";
}

void FieldCipherTest::roundTrip()
{
    QFETCH(QString, text);
    QFETCH(int, blocks);
    QFETCH(QString, decrypted);

    const std::optional<QString> field = encodeField(text);
    QVERIFY(field.has_value());
    QCOMPARE(field->size(), blocks * 32);
    static const QRegularExpression upperHex(QStringLiteral("^[0-9A-F]*$"));
    QVERIFY2(upperHex.match(*field).hasMatch(), qPrintable(*field));

    Recorded r;
    const std::optional<QString> back =
        解密(r.cipher, *field, QString::fromUtf16(FieldPassPhrase), FieldKeyBits);
    QVERIFY(back.has_value());
    QCOMPARE(*back, decrypted);
    QCOMPARE(textBeforeNul(*back), text);
    QVERIFY(r.messages.isEmpty());
}

void FieldCipherTest::storedFormMatchesOpenssl_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("plaintext");

    QTest::newRow("abc") << "abc" << QByteArray("abc") + QByteArray(13, '\0');
    QTest::newRow("Chinese") << "苹果" << QByteArray::fromHex("c6bbb9fb") + QByteArray(12, '\0');
    QTest::newRow("two blocks") << "international law"
                                << QByteArray("international law") + QByteArray(15, '\0');
}

void FieldCipherTest::storedFormMatchesOpenssl()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, plaintext);

    const QByteArray key = QByteArray("qv274") + QByteArray(11, '\0');
    const QByteArray expected = opensslEncrypt(key, plaintext);
    QCOMPARE(expected.size(), plaintext.size());
    QCOMPARE(encodeField(text), std::optional<QString>(QString::fromLatin1(expected.toHex().toUpper())));
}

void FieldCipherTest::unencodableText_data()
{
    QTest::addColumn<QString>("text");

    QTest::newRow("emoji") << QStringLiteral("\U0001F600");
    QTest::newRow("emoji after a word") << QStringLiteral("smile\U0001F600");
    QTest::newRow("Thai letter") << QStringLiteral("\u0E01");
}

void FieldCipherTest::unencodableText()
{
    QFETCH(QString, text);
    QCOMPARE(encodeField(text), std::nullopt);
}

void FieldCipherTest::lengthLimit_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("kept");

    QTest::newRow("1") << 1 << true;
    QTest::newRow("65,535") << 65535 << true;
    QTest::newRow("65,536") << 65536 << false;
    QTest::newRow("65,537") << 65537 << false;
}

void FieldCipherTest::lengthLimit()
{
    QFETCH(int, length);
    QFETCH(bool, kept);

    PPS cipher;
    const QString text(length, u'w');
    QCOMPARE(cipher.整理数据(text), kept ? text : QString());
}

void FieldCipherTest::lengthLimitThroughDecryption_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("kept");

    // Whole blocks, so the decrypted text has no filling and exactly this length.
    QTest::newRow("65,520") << 65520 << true;
    QTest::newRow("65,536") << 65536 << false;
}

void FieldCipherTest::lengthLimitThroughDecryption()
{
    QFETCH(int, length);
    QFETCH(bool, kept);

    const QString text(length, u'w');
    const std::optional<QString> field = encodeField(text);
    QVERIFY(field.has_value());
    PPS cipher;
    QCOMPARE(解密(cipher, *field, QStringLiteral("qv274"), 128),
             std::optional<QString>(kept ? text : QString()));
}

QTEST_GUILESS_MAIN(FieldCipherTest)
#include "tst_fieldcipher.moc"
