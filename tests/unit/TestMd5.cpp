#include "Md5.h"
#include "Md5Context.h"
#include "Md5Stream.h"

#include <QCryptographicHash>
#include <QtTest>

#include <string>

namespace {

// Reference digest from Qt, independent of the classes under test.
std::string referenceMd5(const std::string &bytes)
{
    return QCryptographicHash::hash(QByteArray::fromStdString(bytes), QCryptographicHash::Md5)
        .toHex()
        .toStdString();
}

// Bytes of every value, zero and high bytes included, in a pattern that does not repeat
// every block.
std::string patternBytes(int length)
{
    std::string bytes;
    bytes.reserve(std::size_t(length));
    for (int i = 0; i < length; ++i)
        bytes.push_back(char((i * 37 + i / 7) & 0xff));
    return bytes;
}

QByteArray q(const std::string &text)
{
    return QByteArray::fromStdString(text);
}

} // namespace

class TestMd5 : public QObject
{
    Q_OBJECT

private slots:
    void referenceVectors_data();
    void referenceVectors();
    void sixteenDigitsAreTheMiddleOfThirtyTwo_data();
    void sixteenDigitsAreTheMiddleOfThirtyTwo();
    void paddingBoundaries_data();
    void paddingBoundaries();
    void zeroAndHighBytesAreHashedAsBytes_data();
    void zeroAndHighBytesAreHashedAsBytes();
    void streamDigestsTwiceAlike();
    void streamContinuesAfterDigest();
    void oneMillionBytes();
};

void TestMd5::referenceVectors_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("digest");

    QTest::newRow("empty") << QByteArray("") << QByteArray("d41d8cd98f00b204e9800998ecf8427e");
    QTest::newRow("a") << QByteArray("a") << QByteArray("0cc175b9c0f1b6a831c399e269772661");
    QTest::newRow("abc") << QByteArray("abc") << QByteArray("900150983cd24fb0d6963f7d28e17f72");
    QTest::newRow("message digest")
        << QByteArray("message digest") << QByteArray("f96b697d7cb7938d525a2f31aaf161d0");
    QTest::newRow("alphabet") << QByteArray("abcdefghijklmnopqrstuvwxyz")
                              << QByteArray("c3fcd3d76192e4007dfb496cca67e13b");
    QTest::newRow("alphanumerics")
        << QByteArray("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789")
        << QByteArray("d174ab98d277d9f5a5611c2c9f419d9f");
    QTest::newRow("eighty digits") << QByteArray("1234567890123456789012345678901234567890"
                                                 "1234567890123456789012345678901234567890")
                                   << QByteArray("57edf4a22be3c955ac49da2e2107b67a");
}

void TestMd5::referenceVectors()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, digest);
    const std::string bytes = input.toStdString();

    QCOMPARE(q(Md5(bytes).toString()), digest);

    Md5Stream whole(bytes);
    QCOMPARE(q(whole.toString()), digest);
    QCOMPARE(q(whole.toString(32)), digest);
    QCOMPARE(q(Md5Context::toHex(whole.digest())), digest);

    Md5Stream byteByByte;
    for (char c : bytes)
        byteByByte.update(std::string(1, c));
    QCOMPARE(q(byteByByte.toString()), digest);

    Md5Context context;
    context.update(bytes.data(), bytes.size());
    QCOMPARE(q(Md5Context::toHex(context.finish())), digest);
}

void TestMd5::sixteenDigitsAreTheMiddleOfThirtyTwo_data()
{
    referenceVectors_data();
}

void TestMd5::sixteenDigitsAreTheMiddleOfThirtyTwo()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, digest);

    const Md5Stream stream(input.toStdString());
    // Digits 9 to 24 of the 32.
    QCOMPARE(q(stream.toString(16)), digest.mid(8, 16));
}

void TestMd5::paddingBoundaries_data()
{
    QTest::addColumn<int>("length");
    // 55 bytes still leave room for the length in one block, 56 do not; 64 fills a block.
    for (int length : {1, 54, 55, 56, 57, 63, 64, 65, 119, 120, 121, 127, 128, 129, 200})
        QTest::newRow(qPrintable(QString::number(length))) << length;
}

void TestMd5::paddingBoundaries()
{
    QFETCH(int, length);
    const std::string bytes = patternBytes(length);
    const QByteArray expected = q(referenceMd5(bytes));

    QCOMPARE(q(Md5(bytes).toString()), expected);
    QCOMPARE(q(Md5Stream(bytes).toString()), expected);

    // The same bytes fed in uneven pieces that straddle the block edges.
    for (int firstPiece : {0, 1, 7, 55, 56, 63, 64}) {
        if (firstPiece > length)
            continue;
        Md5Stream pieces(bytes.substr(0, std::size_t(firstPiece)));
        std::size_t at = std::size_t(firstPiece);
        std::size_t step = 3;
        while (at < bytes.size()) {
            pieces.update(bytes.substr(at, step));
            at += step;
            step = step * 2 + 1;
        }
        QVERIFY2(pieces.toString() == expected.toStdString(),
            qPrintable(QStringLiteral("first piece %1").arg(firstPiece)));
    }
}

void TestMd5::zeroAndHighBytesAreHashedAsBytes_data()
{
    QTest::addColumn<QByteArray>("input");

    QTest::newRow("zero byte alone") << QByteArray("\0", 1);
    QTest::newRow("zero byte inside") << QByteArray("ab\0cd", 5);
    QTest::newRow("trailing zero bytes") << QByteArray("abc\0\0\0", 6);
    QTest::newRow("high bytes") << QByteArray("\xff\xfe\x80\x81\x7f");
    QTest::newRow("chinese utf-8") << QByteArray("收款成功");
    QByteArray everyByte;
    for (int i = 0; i < 256; ++i)
        everyByte.append(char(i));
    QTest::newRow("every byte value") << everyByte;
}

void TestMd5::zeroAndHighBytesAreHashedAsBytes()
{
    QFETCH(QByteArray, input);
    const std::string bytes = input.toStdString();
    QCOMPARE(bytes.size(), std::size_t(input.size()));
    const QByteArray expected = q(referenceMd5(bytes));

    QCOMPARE(q(Md5(bytes).toString()), expected);
    QCOMPARE(q(Md5Stream(bytes).toString()), expected);
}

void TestMd5::streamDigestsTwiceAlike()
{
    Md5Stream stream("message ");
    stream.update("digest");
    const std::string first = stream.toString();
    const Md5Context::Digest firstDigest = stream.digest();

    QCOMPARE(q(stream.toString()), q(first));
    QVERIFY(stream.digest() == firstDigest);
    QCOMPARE(q(first), QByteArray("f96b697d7cb7938d525a2f31aaf161d0"));
}

void TestMd5::streamContinuesAfterDigest()
{
    Md5Stream stream("abcdefghijklm");
    QCOMPARE(q(stream.toString()), q(referenceMd5("abcdefghijklm")));
    QCOMPARE(q(stream.toString(16)), q(referenceMd5("abcdefghijklm").substr(8, 16)));

    stream.update("nopqrstuvwxyz");
    QCOMPARE(q(stream.toString()), QByteArray("c3fcd3d76192e4007dfb496cca67e13b"));

    // Digest in the middle of a block, then cross the block edge.
    Md5Stream longer(patternBytes(60));
    QCOMPARE(q(longer.toString()), q(referenceMd5(patternBytes(60))));
    longer.update(patternBytes(130).substr(60));
    QCOMPARE(q(longer.toString()), q(referenceMd5(patternBytes(130))));
}

void TestMd5::oneMillionBytes()
{
    const std::string million(1000000, 'a');
    QCOMPARE(q(Md5(million).toString()), QByteArray("7707d6ae4e027c70eea2a935c2296f21"));

    Md5Stream stream;
    for (int i = 0; i < 1000; ++i)
        stream.update(std::string(1000, 'a'));
    QCOMPARE(q(stream.toString()), QByteArray("7707d6ae4e027c70eea2a935c2296f21"));
}

QTEST_GUILESS_MAIN(TestMd5)
#include "TestMd5.moc"
