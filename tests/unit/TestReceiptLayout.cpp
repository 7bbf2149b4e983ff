// What a receipt puts on paper, read back from a recording print device: every text at its
// position and the bar code, for each language, paper width and kind of receipt; the copies;
// the PRINT switch; and what happens when the printer is missing or refuses the job.
#include "LastReceipt.h"
#include "ReceiptPrinter.h"
#include "RecordingPrintDevice.h"

#include <QtTest>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

using Call = RecordingPrintDevice::Call;

const std::wstring kPaySuccess = L"11#wx#25.5#2024-12-07 15:30:00#20241207153000123456#30#11";
const ReceiptPrinter::Party kParty {QStringLiteral("Shop 1"), QStringLiteral("13800000000")};

// A printer whose devices record into `calls`; `opened` counts the devices asked for.
// Devices for the copies listed in `missing` are not there; those in `refusing` refuse the job.
ReceiptPrinter recordingPrinter(std::vector<Call> *calls, int *opened,
    std::vector<int> missing = {}, std::vector<int> refusing = {})
{
    return ReceiptPrinter([=]() -> std::unique_ptr<PrintDevice> {
        const int copy = (*opened)++;
        if (std::find(missing.begin(), missing.end(), copy) != missing.end())
            return nullptr;
        const bool refuses = std::find(refusing.begin(), refusing.end(), copy) != refusing.end();
        return std::make_unique<RecordingPrintDevice>(calls, !refuses);
    });
}

// The calls as lines: "x,y text" for texts, one "bars X TOP-BOTTOM COUNT" for a run of
// bar-code lines (checked to be 2 units wide and 2 apart), and the job's frame as it is.
QStringList page(const std::vector<Call> &calls)
{
    QStringList lines;
    for (std::size_t i = 0; i < calls.size(); ++i) {
        const Call &call = calls[i];
        if (call.kind == Call::Kind::Text) {
            lines << QStringLiteral("%1,%2 %3").arg(call.x).arg(call.y).arg(call.text);
        } else if (call.kind == Call::Kind::VerticalLine) {
            std::size_t end = i;
            while (end < calls.size() && calls[end].kind == Call::Kind::VerticalLine
                && calls[end].x == call.x + 2 * int(end - i) && calls[end].y == call.y
                && calls[end].bottom == call.bottom && calls[end].size == 2)
                ++end;
            lines << QStringLiteral("bars %1 %2-%3 %4")
                         .arg(call.x)
                         .arg(call.y)
                         .arg(call.bottom)
                         .arg(end - i);
            i = end - 1;
        } else {
            lines << call.toString();
        }
    }
    return lines;
}

QStringList framed(int fontHeight, const QStringList &content)
{
    return QStringList {
               QStringLiteral("begin printer"), QStringLiteral("font Arial %1 500").arg(fontHeight)}
    + content + QStringList {QStringLiteral("end page"), QStringLiteral("end job")};
}

} // namespace

class TestReceiptLayout : public QObject
{
    Q_OBJECT

private slots:
    void layout_data();
    void layout();
    void orderListPrintsItsFieldsWithTheSameLayout();
    void copiesAndPrintSwitch_data();
    void copiesAndPrintSwitch();
    void missingOrRefusingPrinterSkipsOnlyThatCopy();
    void unknownPaperWidthGivesAnEmptyPage();
    void valuesArePrintedAsReceived_data();
    void valuesArePrintedAsReceived();
    void reprintBeforeAnyPaymentPrintsEmptyValues();
};

void TestReceiptLayout::layout_data()
{
    QTest::addColumn<bool>("reprint");
    QTest::addColumn<int>("printWidth");
    QTest::addColumn<int>("language");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("receipt 80 mm zh")
        << false << 1 << 1
        << framed(35,
               {"100,1 支付凭证", "90,100 商户名称:Shop 1", "90,170 收银员:13800000000",
                   "90,240 交易类型:微信", "90,310 订单金额:30", "90,400 交付金额:25.5",
                   "90,500 交易时间:2024-12-07 15:30:00", "90,600 商户单号:20241207153000123456",
                   "bars 90 760-870 145", "90,1000 客户签名", "90,1070 本人确认以上交易"});
    QTest::newRow("receipt 80 mm en")
        << false << 1 << 2
        << framed(35,
               {"110,1 Payment voucher", "100,100 Merchant name:Shop 1",
                   "100,170 cashier:13800000000", "100,240 Transaction type:WeChat",
                   "100,310 order amount:30", "100,400 Delivery amount:25.5",
                   "100,500 Trading hours:", "100,550 2024-12-07 15:30:00",
                   "100,600 Merchants to order:", "100,650 20241207153000123456",
                   "bars 100 760-870 145", "100,1000 Customer signature",
                   "100,1070 I confirm the above transaction"});
    QTest::newRow("receipt 80 mm vi")
        << false << 1 << 0
        << framed(35,
               {"110,1 Căn cứ thanh toán", "100,100 Căn cứ thanh toán:Shop 1",
                   "100,170 Nhân viên thu ngân:13800000000", "100,240 Loại giao dịch:WeChat",
                   "100,310 Số tiền đơn hàng:30", "100,400 Số tiền thanh toán:25.5",
                   "100,500 Thời gian giao dịch:", "100,550 2024-12-07 15:30:00",
                   "100,600 Mã đơn Merchant:", "100,650 20241207153000123456",
                   "bars 100 760-870 145", "100,1000 Chữ ký khách hàng",
                   "100,1070 Tôi xác nhận giao dịch trên"});
    QTest::newRow("receipt 58 mm zh")
        << false << 0 << 1
        << framed(27,
               {"80,1 支付凭证", "1,80 商户名称:Shop 1", "1,120 收银员:13800000000",
                   "1,160 交易类型:微信", "1,200 订单金额:30", "1,240 交付金额:25.5",
                   "1,310 交易时间:2024-12-07 15:30:00", "1,380 商户单号:20241207153000123456",
                   "bars 1 450-550 145", "1,590 客户签名", "1,630 本人确认以上交易"});
    QTest::newRow("receipt 58 mm en")
        << false << 0 << 2
        << framed(27,
               {"80,1 Payment voucher", "1,80 Merchant name:Shop 1", "1,120 cashier:13800000000",
                   "1,160 Transaction type:WeChat", "1,200 order amount:30",
                   "1,240 Delivery amount:25.5",
                   "1,310 Trading hours:", "1,340 2024-12-07 15:30:00",
                   "1,380 Merchants to order:", "1,410 20241207153000123456", "bars 1 450-550 145",
                   "1,590 Customer signature", "1,630 I confirm the above transaction"});
    QTest::newRow("receipt 58 mm vi")
        << false << 0 << 0
        << framed(27,
               {"80,1 Căn cứ thanh toán", "1,80 Căn cứ thanh toán:Shop 1",
                   "1,120 Nhân viên thu ngân:13800000000", "1,160 Loại giao dịch:WeChat",
                   "1,200 Số tiền đơn hàng:30", "1,240 Số tiền thanh toán:25.5",
                   "1,310 Thời gian giao dịch:", "1,340 2024-12-07 15:30:00",
                   "1,380 Mã đơn Merchant:", "1,410 20241207153000123456", "bars 1 450-550 145",
                   "1,590 Chữ ký khách hàng", "1,630 Tôi xác nhận giao dịch trên"});
    // The hot-key re-print: label and value on one row, everything at the left margin.
    QTest::newRow("reprint 80 mm zh")
        << true << 1 << 1
        << framed(35,
               {"110,1 支付凭证", "1,100 商户名称:Shop 1", "1,170 收银员:13800000000",
                   "1,240 交易类型:微信", "1,310 订单金额:30", "1,400 交付金额:25.5",
                   "1,500 交易时间:2024-12-07 15:30:00", "1,600 商户单号:20241207153000123456",
                   "bars 1 760-870 145", "1,1000 客户签名", "1,1070 本人确认以上交易"});
    QTest::newRow("reprint 80 mm en")
        << true << 1 << 2
        << framed(35,
               {"110,1 Payment voucher", "1,100 Merchant name:Shop 1", "1,170 cashier:13800000000",
                   "1,240 Transaction type:WeChat", "1,310 order amount:30",
                   "1,400 Delivery amount:25.5", "1,500 Trading hours:2024-12-07 15:30:00",
                   "1,600 Merchants to order:20241207153000123456", "bars 1 760-870 145",
                   "1,1000 Customer signature", "1,1070 I confirm the above transaction"});
    QTest::newRow("reprint 80 mm vi")
        << true << 1 << 0
        << framed(35,
               {"110,1 Căn cứ thanh toán", "1,100 Căn cứ thanh toán:Shop 1",
                   "1,170 Nhân viên thu ngân:13800000000", "1,240 Loại giao dịch:WeChat",
                   "1,310 Số tiền đơn hàng:30", "1,400 Số tiền thanh toán:25.5",
                   "1,500 Thời gian giao dịch:2024-12-07 15:30:00",
                   "1,600 Mã đơn Merchant:20241207153000123456", "bars 1 760-870 145",
                   "1,1000 Chữ ký khách hàng", "1,1070 Tôi xác nhận giao dịch trên"});
    // At 58 mm the re-print uses the rows of the Chinese receipt: 27-unit rows 40 apart, the
    // bars below the last row and the signature below the bars, nothing overlapping.
    QTest::newRow("reprint 58 mm zh")
        << true << 0 << 1
        << framed(27,
               {"80,1 支付凭证", "1,80 商户名称:Shop 1", "1,120 收银员:13800000000",
                   "1,160 交易类型:微信", "1,200 订单金额:30", "1,240 交付金额:25.5",
                   "1,310 交易时间:2024-12-07 15:30:00", "1,380 商户单号:20241207153000123456",
                   "bars 1 450-550 145", "1,590 客户签名", "1,630 本人确认以上交易"});
    QTest::newRow("reprint 58 mm en")
        << true << 0 << 2
        << framed(27,
               {"80,1 Payment voucher", "1,80 Merchant name:Shop 1", "1,120 cashier:13800000000",
                   "1,160 Transaction type:WeChat", "1,200 order amount:30",
                   "1,240 Delivery amount:25.5", "1,310 Trading hours:2024-12-07 15:30:00",
                   "1,380 Merchants to order:20241207153000123456", "bars 1 450-550 145",
                   "1,590 Customer signature", "1,630 I confirm the above transaction"});
    QTest::newRow("reprint 58 mm vi")
        << true << 0 << 0
        << framed(27,
               {"80,1 Căn cứ thanh toán", "1,80 Căn cứ thanh toán:Shop 1",
                   "1,120 Nhân viên thu ngân:13800000000", "1,160 Loại giao dịch:WeChat",
                   "1,200 Số tiền đơn hàng:30", "1,240 Số tiền thanh toán:25.5",
                   "1,310 Thời gian giao dịch:2024-12-07 15:30:00",
                   "1,380 Mã đơn Merchant:20241207153000123456", "bars 1 450-550 145",
                   "1,590 Chữ ký khách hàng", "1,630 Tôi xác nhận giao dịch trên"});
}

void TestReceiptLayout::layout()
{
    QFETCH(bool, reprint);
    QFETCH(int, printWidth);
    QFETCH(int, language);
    QFETCH(QStringList, expected);

    std::vector<Call> calls;
    int opened = 0;
    const ReceiptPrinter printer = recordingPrinter(&calls, &opened);
    const ReceiptPrinter::Settings settings {0, 0, printWidth, language};
    int jobs = 0;
    if (reprint) {
        LastReceipt last;
        last.store(kPaySuccess, language);
        jobs = printer.reprint(last, kParty, settings);
    } else {
        jobs = printer.printPaySuccess(kPaySuccess, kParty, settings);
    }
    QCOMPARE(jobs, 1);
    QCOMPARE(page(calls), expected);
}

void TestReceiptLayout::orderListPrintsItsFieldsWithTheSameLayout()
{
    std::vector<Call> fromList;
    std::vector<Call> fromCheckout;
    int opened = 0;
    const ReceiptPrinter::Settings settings {0, 0, 1, 1};
    recordingPrinter(&fromList, &opened)
        .printOrderList(
            L"##ali#30#25.5#2024-12-07 15:30:00#20241207153000123456", kParty, settings);
    recordingPrinter(&fromCheckout, &opened)
        .printPaySuccess(
            L"11#ali#25.5#2024-12-07 15:30:00#20241207153000123456#30#11", kParty, settings);
    QVERIFY(page(fromList).contains(QStringLiteral("90,240 交易类型:支付宝")));
    QCOMPARE(page(fromList), page(fromCheckout));
}

void TestReceiptLayout::copiesAndPrintSwitch_data()
{
    QTest::addColumn<int>("print");
    QTest::addColumn<int>("printCount");
    QTest::addColumn<int>("jobs");

    QTest::newRow("one copy") << 0 << 0 << 1;
    QTest::newRow("two copies") << 0 << 1 << 2;
    QTest::newRow("copies 2: none") << 0 << 2 << 0;
    QTest::newRow("copies -1: none") << 0 << -1 << 0;
    QTest::newRow("PRINT 1, one copy: nothing") << 1 << 0 << 0;
    QTest::newRow("PRINT 1, two copies: nothing") << 1 << 1 << 0;
    QTest::newRow("PRINT 2 prints") << 2 << 0 << 1;
    QTest::newRow("PRINT -1 prints") << -1 << 1 << 2;
}

void TestReceiptLayout::copiesAndPrintSwitch()
{
    QFETCH(int, print);
    QFETCH(int, printCount);
    QFETCH(int, jobs);

    const ReceiptPrinter::Settings settings {print, printCount, 0, 1};
    LastReceipt last;
    last.store(kPaySuccess, 1);
    const QStringList entries {"pay success", "order list", "hot key"};
    for (const QString &entry : entries) {
        std::vector<Call> calls;
        int opened = 0;
        const ReceiptPrinter printer = recordingPrinter(&calls, &opened);
        int printed = 0;
        if (entry == entries[0])
            printed = printer.printPaySuccess(kPaySuccess, kParty, settings);
        else if (entry == entries[1])
            printed = printer.printOrderList(L"##wx#30#25.5#t#1234", kParty, settings);
        else
            printed = printer.reprint(last, kParty, settings);

        QVERIFY2(printed == jobs, qPrintable(entry));
        // No printer is even looked for when nothing is to be printed.
        QVERIFY2(opened == jobs, qPrintable(entry));
        const QStringList lines = page(calls);
        QVERIFY2(lines.count(QStringLiteral("begin printer")) == jobs, qPrintable(entry));
        QVERIFY2(lines.count(QStringLiteral("end job")) == jobs, qPrintable(entry));
        // Every copy is the same job.
        if (jobs == 2)
            QVERIFY2(
                lines.mid(0, lines.size() / 2) == lines.mid(lines.size() / 2), qPrintable(entry));
    }
}

void TestReceiptLayout::missingOrRefusingPrinterSkipsOnlyThatCopy()
{
    const ReceiptPrinter::Settings twoCopies {0, 1, 0, 1};
    std::vector<Call> single;
    int openedSingle = 0;
    recordingPrinter(&single, &openedSingle).printPaySuccess(kPaySuccess, kParty, {0, 0, 0, 1});
    const QStringList oneJob = page(single);

    {
        // No default printer when the first copy is due: the second copy still prints.
        std::vector<Call> calls;
        int opened = 0;
        QCOMPARE(
            recordingPrinter(&calls, &opened, {0}).printPaySuccess(kPaySuccess, kParty, twoCopies),
            1);
        QCOMPARE(opened, 2);
        QCOMPARE(page(calls), oneJob);
    }
    {
        // The spooler refuses the first job: nothing is drawn for it, the second prints.
        std::vector<Call> calls;
        int opened = 0;
        QCOMPARE(recordingPrinter(&calls, &opened, {}, {0})
                     .printPaySuccess(kPaySuccess, kParty, twoCopies),
            1);
        QCOMPARE(page(calls), QStringList {"begin printer"} + oneJob);
    }
    {
        // No printer at all: nothing, and the caller goes on.
        std::vector<Call> calls;
        int opened = 0;
        QCOMPARE(recordingPrinter(&calls, &opened, {0, 1})
                     .printPaySuccess(kPaySuccess, kParty, twoCopies),
            0);
        QVERIFY(calls.empty());
        QCOMPARE(ReceiptPrinter(nullptr).printPaySuccess(kPaySuccess, kParty, twoCopies), 0);
    }
}

void TestReceiptLayout::unknownPaperWidthGivesAnEmptyPage()
{
    std::vector<Call> calls;
    int opened = 0;
    QCOMPARE(
        recordingPrinter(&calls, &opened).printPaySuccess(kPaySuccess, kParty, {0, 0, 2, 1}), 1);
    QCOMPARE(page(calls), (QStringList {"begin printer", "end page", "end job"}));
}

void TestReceiptLayout::valuesArePrintedAsReceived_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("rows");

    QTest::newRow("null pay type and time")
        << "11#null#25.5#null#20241207153000123456#30#11"
        << QStringList {"1,160 交易类型:", "1,310 交易时间:", "bars 1 450-550 145"};
    QTest::newRow("numeric pay type as received")
        << "11#1#25.5#t#20241207153000123456#30#11"
        << QStringList {"1,160 交易类型:1", "bars 1 450-550 145"};
    // 21 digits: 10 pairs, Code B and the last digit, 14 symbols and the stop.
    QTest::newRow("odd order number") << "11#wx#25.5#t#202412071530001234567#30#11"
                                      << QStringList {"1,380 商户单号:202412071530001234567",
                                             QStringLiteral("bars 1 450-550 %1").arg(14 * 11 + 13)};
    // A number that cannot be a Code 128 C: printed as text, no bars at all.
    QTest::newRow("not digits") << "11#wx#25.5#t#2024-12-07/42#30#11"
                                << QStringList {"1,380 商户单号:2024-12-07/42"};
    // No number: a code of start, check and stop only (11 + 11 + 13 modules).
    QTest::newRow("no order number")
        << "11#wx#25.5" << QStringList {"1,380 商户单号:", "bars 1 450-550 35"};
}

void TestReceiptLayout::valuesArePrintedAsReceived()
{
    QFETCH(QString, message);
    QFETCH(QStringList, rows);

    std::vector<Call> calls;
    int opened = 0;
    QCOMPARE(recordingPrinter(&calls, &opened)
                 .printPaySuccess(message.toStdWString(), kParty, {0, 0, 0, 1}),
        1);
    const QStringList lines = page(calls);
    for (const QString &row : rows)
        QVERIFY2(lines.contains(row), qPrintable(row + QLatin1String(" in\n") + lines.join('\n')));
    const bool bars = std::any_of(rows.begin(), rows.end(),
        [](const QString &row) { return row.startsWith(QLatin1String("bars")); });
    QCOMPARE(lines.filter(QRegularExpression(QStringLiteral("^bars"))).size(), bars ? 1 : 0);
    // The rest of the receipt is there in every case: begin and font, the title and seven
    // lines, the signature block, end page and end job.
    QCOMPARE(lines.size(), 2 + 8 + (bars ? 1 : 0) + 2 + 2);
}

void TestReceiptLayout::reprintBeforeAnyPaymentPrintsEmptyValues()
{
    std::vector<Call> calls;
    int opened = 0;
    QCOMPARE(recordingPrinter(&calls, &opened).reprint(LastReceipt(), {}, {0, 0, 1, 1}), 1);
    // Start, check (2) and stop only: 11 + 11 + 13 modules.
    QCOMPARE(page(calls),
        framed(35,
            {"110,1 支付凭证", "1,100 商户名称:", "1,170 收银员:", "1,240 交易类型:",
                "1,310 订单金额:", "1,400 交付金额:", "1,500 交易时间:", "1,600 商户单号:",
                "bars 1 760-870 35", "1,1000 客户签名", "1,1070 本人确认以上交易"}));
}

QTEST_GUILESS_MAIN(TestReceiptLayout)
#include "TestReceiptLayout.moc"
