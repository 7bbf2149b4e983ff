// What the checkout makes of a scanned text: cleaned at both ends, then a WeChat Pay code, an
// Alipay code, an order number for the refund window, or nothing.
#include "InputCode.h"

#include <QtTest>

using InputCode::Kind;

Q_DECLARE_METATYPE(InputCode::Kind)

class TestInputCode : public QObject
{
    Q_OBJECT

private slots:
    void classify_data();
    void classify();
};

void TestInputCode::classify_data()
{
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QByteArray>("text");

    QTest::newRow("wechat 13 + 16 digits")
        << QByteArray("134567890123456780") << Kind::WeChat << QByteArray("134567890123456780");
    QTest::newRow("wechat prefix 10")
        << QByteArray("104567890123456781") << Kind::WeChat << QByteArray("104567890123456781");
    QTest::newRow("wechat prefix 15")
        << QByteArray("154567890123456781") << Kind::WeChat << QByteArray("154567890123456781");
    QTest::newRow("wechat form, 19 characters")
        << QByteArray("1345678901234567801") << Kind::Ignored << QByteArray("1345678901234567801");
    QTest::newRow("wechat form, 17 characters")
        << QByteArray("13456789012345678") << Kind::Ignored << QByteArray("13456789012345678");
    QTest::newRow("prefix 16, 18 characters")
        << QByteArray("164567890123456781") << Kind::Ignored << QByteArray("164567890123456781");
    QTest::newRow("alipay 16") << QByteArray("2812345678901230") << Kind::Alipay
                               << QByteArray("2812345678901230");
    QTest::newRow("alipay 20") << QByteArray("28123456789012345670") << Kind::Alipay
                               << QByteArray("28123456789012345670");
    QTest::newRow("alipay 24") << QByteArray("281234567890123456789010") << Kind::Alipay
                               << QByteArray("281234567890123456789010");
    QTest::newRow("alipay prefix 25 and 30, 18 characters")
        << QByteArray("301234567890123451") << Kind::Alipay << QByteArray("301234567890123451");
    QTest::newRow("alipay form, 25 characters")
        << QByteArray("2812345678901234567890101") << Kind::Ignored
        << QByteArray("2812345678901234567890101");
    QTest::newRow("alipay form, 15 characters")
        << QByteArray("281234567890123") << Kind::Ignored << QByteArray("281234567890123");
    QTest::newRow("21 characters starting 28 is a code") << QByteArray(
        "281234567890123456789") << Kind::Alipay << QByteArray("281234567890123456789");
    QTest::newRow("order number") << QByteArray("202405061230450000001") << Kind::OrderNumber
                                  << QByteArray("202405061230450000001");
    QTest::newRow("order number ends in CR LF")
        << QByteArray("202405061230450000001\r\n") << Kind::OrderNumber
        << QByteArray("202405061230450000001");
    QTest::newRow("code ends in CR LF")
        << QByteArray("134567890123456780\r\n") << Kind::WeChat << QByteArray("134567890123456780");
    QTest::newRow("code ends in a backslash")
        << QByteArray("2812345678901230\\") << Kind::Alipay << QByteArray("2812345678901230");
    QTest::newRow("head and end: blanks, tab, LF, backslash")
        << QByteArray("  \t\\\n134567890123456780 \r\n\\\t  ") << Kind::WeChat
        << QByteArray("134567890123456780");
    QTest::newRow("blank inside counts")
        << QByteArray("13456789 0123456780") << Kind::Ignored << QByteArray("13456789 0123456780");
    QTest::newRow("sign before the prefix")
        << QByteArray("+13456789012345678") << Kind::Ignored << QByteArray("+13456789012345678");
    QTest::newRow("only blanks and line ends")
        << QByteArray(" \r\n\\ ") << Kind::Ignored << QByteArray();
    QTest::newRow("one character") << QByteArray("1") << Kind::Ignored << QByteArray("1");
}

void TestInputCode::classify()
{
    QFETCH(QByteArray, raw);
    QFETCH(Kind, kind);
    QFETCH(QByteArray, text);

    const InputCode::Classified result = InputCode::classify(raw.toStdString());
    QCOMPARE(result.kind, kind);
    QCOMPARE(QByteArray::fromStdString(result.text), text);
}

QTEST_APPLESS_MAIN(TestInputCode)
#include "TestInputCode.moc"
