// What the checkout makes of a scanned text (cleaned at both ends, then a WeChat Pay code, an
// Alipay code, an order number for the refund window, or nothing), how a serial scanner's
// bytes become that text, and the amount in a customer display's line.
#include "DisplayAmount.h"
#include "DisplayLine.h"
#include "InputCode.h"
#include "SerialHex.h"

#include <QtTest>

using InputCode::Kind;

Q_DECLARE_METATYPE(InputCode::Kind)

class TestInputCode : public QObject
{
    Q_OBJECT

private slots:
    void classify_data();
    void classify();
    void serialBytes_data();
    void serialBytes();
    void displayLine_data();
    void displayLine();
};

void TestInputCode::classify_data()
{
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QByteArray>("text");
    // `text` null: the raw text as it is.
    const auto row = [](const char *name, const char *raw, Kind kind, const char *text = nullptr) {
        QTest::newRow(name) << QByteArray(raw) << kind << QByteArray(text ? text : raw);
    };

    row("wechat prefix 13", "134567890123456780", Kind::WeChat);
    row("wechat prefix 10", "104567890123456781", Kind::WeChat);
    row("wechat prefix 15", "154567890123456781", Kind::WeChat);
    row("prefix 16, 18 characters", "164567890123456781", Kind::Ignored);
    row("wechat form, 17 characters", "13456789012345678", Kind::Ignored);
    row("wechat form, 19 characters", "1345678901234567801", Kind::Ignored);
    row("alipay 16", "2812345678901230", Kind::Alipay);
    row("alipay 24", "281234567890123456789010", Kind::Alipay);
    row("alipay prefix 25", "251234567890123451", Kind::Alipay);
    row("alipay prefix 30", "301234567890123451", Kind::Alipay);
    row("prefix 24", "241234567890123451", Kind::Ignored);
    row("prefix 31", "311234567890123451", Kind::Ignored);
    row("alipay form, 15 characters", "281234567890123", Kind::Ignored);
    row("alipay form, 25 characters", "2812345678901234567890101", Kind::Ignored);
    row("21 characters starting 28 is a code", "281234567890123456789", Kind::Alipay);
    row("order number", "202405061230450000001", Kind::OrderNumber);
    row("order number ends in CR LF", "202405061230450000001\r\n", Kind::OrderNumber,
        "202405061230450000001");
    row("code ends in a backslash", "2812345678901230\\", Kind::Alipay, "2812345678901230");
    row("head and end: blanks, tab, CR LF, backslash", "  \t\\\n134567890123456780 \r\n\\\t  ",
        Kind::WeChat, "134567890123456780");
    row("blank inside counts", "13456789 0123456780", Kind::Ignored);
    row("sign before the prefix", "+13456789012345678", Kind::Ignored);
    row("only blanks and line ends", " \r\n\\ ", Kind::Ignored, "");
}

void TestInputCode::classify()
{
    QFETCH(QByteArray, raw);
    QFETCH(Kind, kind);
    QFETCH(QByteArray, text);

    const InputCode::Classified result = InputCode::classify(raw.toStdString());
    QCOMPARE(result.kind, kind);
    QCOMPARE(QByteArray::fromStdString(result.text), text);
    // The ledger's wallet of a code follows the same kind.
    const char *wallet = kind == Kind::WeChat ? "wx" : kind == Kind::Alipay ? "ali" : "";
    QCOMPARE(InputCode::wallet(raw.toStdString()), std::string(wallet));
}

void TestInputCode::serialBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("code");

    // Short form: the bytes in hexadecimal, letters dropped, read back in pairs.
    QTest::newRow("31323334 is 1234") << QByteArray("1234") << QByteArray("1234");
    // CR LF become "0d0a", so "00" and a zero byte, which ends the text.
    QTest::newRow("CR LF ends the code")
        << QByteArray("134567890123456780\r\n") << QByteArray("134567890123456780");
    QTest::newRow("byte 0x80, written ffffff80") << QByteArray("\x80") << QByteArray("\x80");
    QTest::newRow("hex letters only leave nothing") << QByteArray("\xab\xcd") << QByteArray();
    QTest::newRow("odd last digit, 79 digits")
        << QByteArray(39, '3') + "\x3a" << QByteArray(39, '\x33') + "\x03";

    // Long form, from 80 digits on: groups of four as UTF-16 units, blanks and zeros dropped.
    const auto units = [](const QByteArray &text) {
        QByteArray bytes;
        for (const char c : text)
            bytes += QByteArray(3, '\0') + c;
        return bytes;
    };
    QTest::newRow("long: a 20-digit code")
        << units("28123456789012345678") << QByteArray("28123456789012345678");
    QTest::newRow("long: blanks around are trimmed")
        << QByteArray("\0 ", 2) + units("28123456789012345678") + QByteArray("\0 \0 ", 4)
        << QByteArray("28123456789012345678");
    QTest::newRow("long: bounded to 100 units")
        << units(QByteArray(300, '9')) << QByteArray(100, '9');
}

void TestInputCode::serialBytes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, code);

    // As the checkout reads a serial line.
    const std::string digits = SerialHex::withoutLowerCase(SerialHex::hexOfBytes(bytes));
    const QString text = QString::fromStdString(digits);
    const std::string decoded = text.size() < SerialHex::kLongForm ? SerialHex::decodeShort(text)
                                                                   : SerialHex::decodeLong(text);
    QCOMPARE(QByteArray::fromStdString(decoded), code);
}

void TestInputCode::displayLine_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QString>("amount"); // empty: the pay forms keep their amount

    QTest::newRow("ESC Q A 1500 CR")
        << QByteArray("\x1bQA1500\r") << QByteArray("1500\r") << QStringLiteral("1500");
    QTest::newRow("no command") << QByteArray("1500\r") << QByteArray() << QString();
    QTest::newRow("command last") << QByteArray("12\x1bQA") << QByteArray() << QString();
    QTest::newRow("first command counts, cut at the next escape")
        << QByteArray("\x1b@\x1bQA12.50\r\x1bQA99\r") << QByteArray("12.50\r\x1bQA99\r")
        << QStringLiteral("12.50");
    QTest::newRow("clear-screen bytes before, blanks around") << QByteArray(
        "\x0c\x1bs1\x1bQA  8.8 \r") << QByteArray("  8.8 \r") << QStringLiteral("8.8");
    QTest::newRow("zero byte ends the text") << QByteArray("\x1bQA25\0"
                                                           "99",
        8) << QByteArray("25") << QStringLiteral("25");
    QTest::newRow("zero amount") << QByteArray("\x1bQA0.00\r") << QByteArray("0.00\r") << QString();
    QTest::newRow("not an amount")
        << QByteArray("\x1bQATOTAL\r") << QByteArray("TOTAL\r") << QString();
    QTest::newRow("full buffer keeps room for the terminator")
        << QByteArray("\x1bQA") + QByteArray(2000, '7') << QByteArray(1023, '7') << QString();
}

void TestInputCode::displayLine()
{
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, payload);
    QFETCH(QString, amount);

    QCOMPARE(DisplayLine::payload(data), payload);
    QCOMPARE(DisplayAmount::extract(DisplayLine::text(data)).value_or(QString()), amount);
}

QTEST_APPLESS_MAIN(TestInputCode)
#include "TestInputCode.moc"
