// A serial scanner's bytes on their way to the checkout: written in hexadecimal with only the
// decimal digits kept, then read back in the short form (pairs as bytes) or, from 80 digits
// on, in the long form (groups of four as UTF-16 and the unicode-to-string conversion).
#include "SerialHex.h"

#include <QtTest>

class TestSerialHex : public QObject
{
    Q_OBJECT

private slots:
    void readBytesBecomeDigits_data();
    void readBytesBecomeDigits();
    void digitsBecomeTheCode_data();
    void digitsBecomeTheCode();
};

void TestSerialHex::readBytesBecomeDigits_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("hex");
    QTest::addColumn<QByteArray>("digits");

    QTest::newRow("1234") << QByteArray("1234") << QByteArray("31323334") << QByteArray("31323334");
    QTest::newRow("CR LF keeps its digits")
        << QByteArray("9\r\n") << QByteArray("390d0a") << QByteArray("3900");
    QTest::newRow("a byte from 0x80 is sign-extended")
        << QByteArray("\x80") << QByteArray("ffffff80") << QByteArray("80");
    QTest::newRow("letters only leave nothing")
        << QByteArray("\xab\xcd") << QByteArray("ffffffabffffffcd") << QByteArray();
}

void TestSerialHex::readBytesBecomeDigits()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, hex);
    QFETCH(QByteArray, digits);

    const std::string written = SerialHex::hexOfBytes(bytes);
    QCOMPARE(QByteArray::fromStdString(written), hex);
    QCOMPARE(QByteArray::fromStdString(SerialHex::withoutLowerCase(written)), digits);
}

void TestSerialHex::digitsBecomeTheCode_data()
{
    QTest::addColumn<QString>("digits");
    QTest::addColumn<QByteArray>("code");

    QTest::newRow("short: 31323334") << QStringLiteral("31323334") << QByteArray("1234");
    // CR LF become "00" and so a zero byte, which ends the text.
    QTest::newRow("short: a scanned code with CR LF") << QString::fromLatin1(
        SerialHex::withoutLowerCase(SerialHex::hexOfBytes("134567890123456780\r\n")).c_str())
                                                      << QByteArray("134567890123456780");
    QTest::newRow("short: odd last digit read alone")
        << QStringLiteral("3132333") << QByteArray("123\x03");
    QTest::newRow("short: 79 digits")
        << QString(79, QLatin1Char('3')) << QByteArray(39, '\x33') + QByteArray("\x03");
    QTest::newRow("empty") << QString() << QByteArray();

    // Long form: the scanner's text as UTF-16 units whose UTF-8 bytes, paired up and read as
    // four-digit groups again, give the code.
    QString units;
    const QByteArray code("28123456789012345678");
    for (const char c : code)
        units += QStringLiteral("0000")
            + QString::number(0x30 + (c - '0'), 16).rightJustified(4, '0');
    QTest::newRow("long: 20-digit code in 160 digits") << units << code;
    QTest::newRow("long: blanks around are trimmed")
        << QStringLiteral("0020") + units + QStringLiteral("00200020") << code;

    // Far more than 100 code units: the conversion keeps the first 100.
    QString many;
    for (int i = 0; i < 300; ++i)
        many += QStringLiteral("00000039");
    QTest::newRow("long: bounded to 100 units") << many << QByteArray(100, '9');
}

void TestSerialHex::digitsBecomeTheCode()
{
    QFETCH(QString, digits);
    QFETCH(QByteArray, code);

    const std::string decoded = digits.size() < SerialHex::kLongForm
        ? SerialHex::decodeShort(digits)
        : SerialHex::decodeLong(digits);
    QCOMPARE(QByteArray::fromStdString(decoded), code);
}

QTEST_APPLESS_MAIN(TestSerialHex)
#include "TestSerialHex.moc"
