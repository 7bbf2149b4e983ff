// The Code 128 encoder of the receipt: the symbols and check symbol of each code set and their
// bars as drawn, and what is refused. That every pattern of the table scans as its value is shown
// by a real reader in tests/printing/TestReceiptPrinting.
#include "Code128Encoder.h"
#include "RecordingPrintDevice.h"

#include <QtTest>

#include <string>
#include <vector>

using Call = RecordingPrintDevice::Call;

class TestCode128 : public QObject
{
    Q_OBJECT

private slots:
    void encodes_data();
    void encodes();
    void refuses_data();
    void refuses();
};

void TestCode128::encodes_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("codeSet");
    QTest::addColumn<QString>("symbols");

    // check = (start + sum of position x value) mod 103, positions from 1.
    // Even digit count: pairs, a leading zero is the pair's value. (105 + 7 + 2x5) mod 103 = 19.
    QTest::newRow("C even") << QByteArray("0705") << 2 << "105 7 5 19 106";
    // Odd: the last digit after Code B (100), as its code set B value 16 + digit.
    // (105 + 12 + 2x34 + 3x100 + 4x21) mod 103 = 569 mod 103 = 54.
    QTest::newRow("C odd") << QByteArray("12345") << 2 << "105 12 34 100 21 54 106";
    // Code set B: ASCII - 32. (104 + 33 + 2x66 + 3x17) mod 103 = 320 mod 103 = 11.
    QTest::newRow("B") << QByteArray("Ab1") << 1 << "104 33 66 17 11 106";
    // Code set A: control characters + 64. (103 + 33 + 2x34 + 3x73) mod 103 = 11.
    QTest::newRow("A") << QByteArray("AB\t") << 0 << "103 33 34 73 11 106";
}

void TestCode128::encodes()
{
    QFETCH(QByteArray, text);
    QFETCH(int, codeSet);
    QFETCH(QString, symbols);

    Code128Encoder encoder;
    QVERIFY(encoder.encode(text.toStdString(), codeSet));
    QStringList values;
    std::string patterns;
    for (const int value : encoder.symbols()) {
        values << QString::number(value);
        patterns += Code128Encoder::pattern(value);
    }
    QCOMPARE(values.join(QLatin1Char(' ')), symbols);

    // Drawn: one line per module of the patterns, 2 units wide and 2 apart, a bar last.
    std::vector<Call> calls;
    RecordingPrintDevice device(&calls);
    encoder.draw(device, 90, 760, 870, PrintDevice::kBlack, PrintDevice::kWhite, 2);
    QCOMPARE(calls.size(), patterns.size());
    for (int i = 0; i < int(calls.size()); ++i) {
        const Call &call = calls[i];
        const PrintDevice::Colour colour
            = patterns[i] == 'b' ? PrintDevice::kBlack : PrintDevice::kWhite;
        QVERIFY2(call.kind == Call::Kind::VerticalLine && call.x == 90 + 2 * i && call.y == 760
                && call.bottom == 870 && call.size == 2 && call.colour == colour,
            qPrintable(QStringLiteral("module %1: %2").arg(i).arg(call.toString())));
    }
    QVERIFY(!calls.empty() && calls.back().colour == PrintDevice::kBlack);
}

void TestCode128::refuses_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("codeSet");

    // In code set C a pair must be two digits: "a4" would scan as 00.
    QTest::newRow("C letter") << QByteArray("12a4") << 2;
    QTest::newRow("C full-width digits") << QByteArray("１２") << 2;
    QTest::newRow("B control character") << QByteArray("\x1f") << 1;
    QTest::newRow("A lower case") << QByteArray("a") << 0;
    // Code set A ends at underscore (95).
    QTest::newRow("A backquote") << QByteArray("`") << 0;
    QTest::newRow("no such code set") << QByteArray("12") << 3;
    QTest::newRow("beyond the buffer") << QByteArray(740, '1') << 2;
}

void TestCode128::refuses()
{
    QFETCH(QByteArray, text);
    QFETCH(int, codeSet);

    Code128Encoder encoder;
    QVERIFY(encoder.encode("42", Code128Encoder::CodeSetC));
    QVERIFY(!encoder.encode(text.toStdString(), codeSet));
    // Nothing of the earlier code is left to draw.
    QCOMPARE(encoder.moduleCount(), 0);
    QVERIFY(encoder.symbols().empty());
    std::vector<Call> calls;
    RecordingPrintDevice device(&calls);
    encoder.draw(device, 1, 450, 550, PrintDevice::kBlack, PrintDevice::kWhite);
    QVERIFY(calls.empty());
}

QTEST_GUILESS_MAIN(TestCode128)
#include "TestCode128.moc"
