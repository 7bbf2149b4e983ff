// The Code 128 encoder of the receipt: the symbol table, the symbols and check symbol of each
// code set, what is refused, and the bars as they are drawn.
#include "Code128Encoder.h"
#include "RecordingPrintDevice.h"

#include <QtTest>

#include <cstring>
#include <string>
#include <vector>

Q_DECLARE_METATYPE(std::vector<int>)

namespace {

using Call = RecordingPrintDevice::Call;

// The widths of the alternating bar and space runs of a pattern.
std::vector<int> runs(const char *pattern)
{
    std::vector<int> widths;
    for (const char *module = pattern; *module; ++module) {
        if (module == pattern || *module != module[-1])
            widths.push_back(0);
        ++widths.back();
    }
    return widths;
}

QString symbolsText(const std::vector<int> &symbols)
{
    QStringList values;
    for (const int value : symbols)
        values << QString::number(value);
    return values.join(QLatin1Char(' '));
}

} // namespace

class TestCode128 : public QObject
{
    Q_OBJECT

private slots:
    void everyPatternIsAWellFormedCode128Symbol();
    void encodesSymbolsWithTheirCheckSymbol_data();
    void encodesSymbolsWithTheirCheckSymbol();
    void refusesWhatWouldNotScanAsTheText_data();
    void refusesWhatWouldNotScanAsTheText();
    void longestTextFillsTheBufferExactly();
    void drawsOneLinePerModule();
};

void TestCode128::everyPatternIsAWellFormedCode128Symbol()
{
    QStringList seen;
    for (int value = 0; value < Code128Encoder::kSymbolCount; ++value) {
        const char *pattern = Code128Encoder::pattern(value);
        QVERIFY2(pattern, qPrintable(QString::number(value)));
        const bool stop = value == Code128Encoder::kStop;
        const std::vector<int> widths = runs(pattern);
        // Three bars and three spaces over 11 modules (the stop: a fourth bar, 13 modules),
        // each run 1 to 4 modules, starting with a bar, an even number of bar modules.
        QCOMPARE(int(std::strlen(pattern)), stop ? 13 : 11);
        QCOMPARE(int(widths.size()), stop ? 7 : 6);
        QCOMPARE(pattern[0], 'b');
        int barModules = 0;
        for (std::size_t i = 0; i < widths.size(); ++i) {
            QVERIFY2(widths[i] >= 1 && widths[i] <= 4, pattern);
            if (i % 2 == 0)
                barModules += widths[i];
        }
        QVERIFY2(barModules % 2 == 0, pattern);
        QVERIFY2(!seen.contains(QLatin1String(pattern)), pattern);
        seen << QLatin1String(pattern);
    }
    QCOMPARE(Code128Encoder::pattern(-1), nullptr);
    QCOMPARE(Code128Encoder::pattern(107), nullptr);
    // Anchors from the published table: the three start symbols and the stop symbol.
    QCOMPARE(Code128Encoder::pattern(103), "bbsbssssbss");
    QCOMPARE(Code128Encoder::pattern(104), "bbsbssbssss");
    QCOMPARE(Code128Encoder::pattern(105), "bbsbssbbbss");
    QCOMPARE(Code128Encoder::pattern(106), "bbsssbbbsbsbb");
}

void TestCode128::encodesSymbolsWithTheirCheckSymbol_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("codeSet");
    QTest::addColumn<std::vector<int>>("symbols");

    // check = (start + sum of position x value) mod 103, positions from 1.
    // Code set C, even digit count: pairs only. (105 + 12) mod 103 = 14.
    QTest::newRow("C two digits") << QByteArray("12") << 2 << std::vector<int> {105, 12, 14, 106};
    // A pair with a leading zero is its value: (105 + 7 + 2x5) mod 103 = 19.
    QTest::newRow("C leading zeros")
        << QByteArray("0705") << 2 << std::vector<int> {105, 7, 5, 19, 106};
    // Odd digit count: the last digit after Code B (100), as its code set B value 16 + digit.
    // (105 + 12 + 2x100 + 3x19) mod 103 = 374 mod 103 = 65.
    QTest::newRow("C odd 123") << QByteArray("123") << 2
                               << std::vector<int> {105, 12, 100, 19, 65, 106};
    // (105 + 12 + 2x34 + 3x100 + 4x21) mod 103 = 569 mod 103 = 54.
    QTest::newRow("C odd 12345") << QByteArray("12345") << 2
                                 << std::vector<int> {105, 12, 34, 100, 21, 54, 106};
    // A single digit: (105 + 100 + 2x16) mod 103 = 237 mod 103 = 31.
    QTest::newRow("C one digit") << QByteArray("0") << 2
                                 << std::vector<int> {105, 100, 16, 31, 106};
    // Nothing to encode: start, check 105 mod 103 = 2, stop.
    QTest::newRow("C empty") << QByteArray() << 2 << std::vector<int> {105, 2, 106};
    // Code set B: ASCII - 32. (104 + 33 + 2x66 + 3x17) mod 103 = 320 mod 103 = 11.
    QTest::newRow("B mixed") << QByteArray("Ab1") << 1
                             << std::vector<int> {104, 33, 66, 17, 11, 106};
    // DEL is the last character of code set B: (104 + 95) mod 103 = 96.
    QTest::newRow("B DEL") << QByteArray("\x7f") << 1 << std::vector<int> {104, 95, 96, 106};
    // Code set A: ASCII - 32, control characters + 64. (103 + 33 + 2x34 + 3x73) mod 103 = 11.
    QTest::newRow("A with tab") << QByteArray("AB\t") << 0
                                << std::vector<int> {103, 33, 34, 73, 11, 106};
}

void TestCode128::encodesSymbolsWithTheirCheckSymbol()
{
    QFETCH(QByteArray, text);
    QFETCH(int, codeSet);
    QFETCH(std::vector<int>, symbols);

    Code128Encoder encoder;
    QVERIFY(encoder.encode(text.toStdString(), codeSet));
    QCOMPARE(symbolsText(encoder.symbols()), symbolsText(symbols));
    QCOMPARE(encoder.moduleCount(), int(11 * (symbols.size() - 1) + 13));
    // The modules are the patterns of the symbols, one after the other.
    std::string expected;
    for (const int value : symbols)
        expected += Code128Encoder::pattern(value);
    std::string modules;
    for (int i = 0; i < encoder.moduleCount(); ++i)
        modules += encoder.modules()[i] ? 'b' : 's';
    QCOMPARE(modules, expected);
}

void TestCode128::refusesWhatWouldNotScanAsTheText_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("codeSet");

    // In code set C a pair must be two digits: "7a" would scan as 07, "a7" as 00.
    QTest::newRow("C letter after digit") << QByteArray("12a4") << 2;
    QTest::newRow("C letter first") << QByteArray("a7") << 2;
    QTest::newRow("C blank") << QByteArray(" 123") << 2;
    QTest::newRow("C minus") << QByteArray("-5") << 2;
    QTest::newRow("C full-width digits") << QByteArray("１２") << 2;
    QTest::newRow("B control character") << QByteArray("\x1f") << 1;
    QTest::newRow("B beyond ASCII") << QByteArray("é") << 1;
    QTest::newRow("A lower case") << QByteArray("a") << 0;
    QTest::newRow("no such code set") << QByteArray("12") << 3;
    QTest::newRow("negative code set") << QByteArray("12") << -1;
    QTest::newRow("beyond the buffer") << QByteArray(740, '1') << 2;
    QTest::newRow("far beyond the buffer") << QByteArray(100000, '1') << 2;
}

void TestCode128::refusesWhatWouldNotScanAsTheText()
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

void TestCode128::longestTextFillsTheBufferExactly()
{
    // 738 digits: start, 369 pairs, check and stop take 11 x 371 + 13 = 4094 of 4096 modules.
    Code128Encoder encoder;
    QVERIFY(encoder.encode(std::string(738, '9'), Code128Encoder::CodeSetC));
    QCOMPARE(encoder.moduleCount(), 4094);
    // One digit more needs a code switch and a symbol: 4116 modules.
    QVERIFY(!encoder.encode(std::string(739, '9'), Code128Encoder::CodeSetC));
}

void TestCode128::drawsOneLinePerModule()
{
    Code128Encoder encoder;
    QVERIFY(encoder.encode("20241207", Code128Encoder::CodeSetC));
    std::vector<Call> calls;
    RecordingPrintDevice device(&calls);
    encoder.draw(device, 90, 760, 870, PrintDevice::kBlack, PrintDevice::kWhite, 2);

    QCOMPARE(int(calls.size()), encoder.moduleCount());
    for (int i = 0; i < int(calls.size()); ++i) {
        const Call &call = calls[i];
        const QString where = QStringLiteral("module %1: %2").arg(i).arg(call.toString());
        QVERIFY2(call.kind == Call::Kind::VerticalLine, qPrintable(where));
        QVERIFY2(call.x == 90 + 2 * i && call.y == 760 && call.bottom == 870 && call.size == 2,
            qPrintable(where));
        const PrintDevice::Colour expected
            = encoder.modules()[i] ? PrintDevice::kBlack : PrintDevice::kWhite;
        QVERIFY2(call.colour == expected, qPrintable(where));
    }
    // A bar closes the code: the stop symbol ends on a bar module.
    QVERIFY(calls.back().colour == PrintDevice::kBlack);
}

QTEST_GUILESS_MAIN(TestCode128)
#include "TestCode128.moc"
