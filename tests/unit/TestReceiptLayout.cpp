// Receipts and the settlement report on a recording print device: every text and the bars by
// document, width and language; copies, PRINT, a missing or refusing printer; pay type texts.
// How any message splits into its fields is held to a model by fuzz/FuzzReceiptMessage.
#include "LastReceipt.h"
#include "PayTypeText.h"
#include "ReceiptPrinter.h"
#include "RecordingPrintDevice.h"
#include "ReportPrinter.h"

#include <QtTest>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

using Call = RecordingPrintDevice::Call;

const std::wstring kPaySuccess = L"11#wx#25.5#2024-12-07 15:30:00#20241207153000123456#30#11";
// The same order as the order list sends it.
const std::wstring kOrderList = L"##wx#30#25.5#2024-12-07 15:30:00#20241207153000123456";
// The last receipt keeps the pay form's numeric code: 2 is WeChat Pay.
const std::wstring kLastPayment = L"11#2#25.5#2024-12-07 15:30:00#20241207153000123456#30#11";
const ReceiptPrinter::Party kParty {QStringLiteral("Shop 1"), QStringLiteral("13800000000")};

ReportLayout::Content report()
{
    ReportLayout::Content content {QDate(2019, 7, 5), QDate(2019, 7, 15),
        QDateTime(QDate(2019, 7, 15), QTime(18, 5, 9)), QStringLiteral("演示门店"), {}};
    for (int i = 0; i < SettlementFigures::kFigureCount; ++i)
        content.figures.values[i] = QString::number(100 + i);
    return content;
}

// Devices that record into `calls`; `opened` counts those asked for. The copies listed in
// `missing` get no device, those in `refusing` one that refuses the job.
ReceiptPrinter::DeviceFactory recording(
    std::vector<Call> *calls, int *opened, QList<int> missing = {}, QList<int> refusing = {})
{
    return [=]() -> std::unique_ptr<PrintDevice> {
        const int copy = (*opened)++;
        if (missing.contains(copy))
            return nullptr;
        return std::make_unique<RecordingPrintDevice>(calls, !refusing.contains(copy));
    };
}

// Prints a "receipt", an order "list" re-print, the hot key's "reprint" or the "report".
int printDocument(const QString &document, const ReceiptPrinter::DeviceFactory &open,
    const ReceiptPrinter::Settings &settings)
{
    const ReceiptPrinter printer(open);
    if (document == QLatin1String("report"))
        return ReportPrinter(open).print(
            report(), {settings.print, settings.printCount, settings.printWidth});
    if (document == QLatin1String("list"))
        return printer.printOrderList(kOrderList, kParty, settings);
    if (document == QLatin1String("reprint")) {
        LastReceipt last;
        last.store(kLastPayment, settings.language);
        return printer.reprint(last, kParty, settings);
    }
    return printer.printPaySuccess(kPaySuccess, kParty, settings);
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
            lines << QStringLiteral("bars %1 %2-%3 ").arg(call.x).arg(call.y).arg(call.bottom)
                    + QString::number(end - i);
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
    void copiesAndPrintSwitch_data();
    void copiesAndPrintSwitch();
    void missingPrinterOrJobNotOpened_data();
    void missingPrinterOrJobNotOpened();
    void valuesArePrintedAsReceived_data();
    void valuesArePrintedAsReceived();
    void payTypes_data();
    void payTypes();
};

void TestReceiptLayout::layout_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<int>("printWidth");
    QTest::addColumn<int>("language");
    QTest::addColumn<QStringList>("expected");

    const QStringList receipt80zh = framed(35,
        {"100,1 支付凭证", "90,100 商户名称:Shop 1", "90,170 收银员:13800000000",
            "90,240 交易类型:微信", "90,310 订单金额:30", "90,400 交付金额:25.5",
            "90,500 交易时间:2024-12-07 15:30:00", "90,600 商户单号:20241207153000123456",
            "bars 90 760-870 145", "90,1000 客户签名", "90,1070 本人确认以上交易"});
    QTest::newRow("receipt 80 mm zh") << "receipt" << 1 << 1 << receipt80zh;
    QTest::newRow("order list 80 mm zh") << "list" << 1 << 1 << receipt80zh;
    QTest::newRow("receipt 80 mm en")
        << "receipt" << 1 << 2
        << framed(35,
               {"110,1 Payment voucher", "100,100 Merchant name:Shop 1",
                   "100,170 cashier:13800000000", "100,240 Transaction type:WeChat",
                   "100,310 order amount:30", "100,400 Delivery amount:25.5",
                   "100,500 Trading hours:", "100,550 2024-12-07 15:30:00",
                   "100,600 Merchants to order:", "100,650 20241207153000123456",
                   "bars 100 760-870 145", "100,1000 Customer signature",
                   "100,1070 I confirm the above transaction"});
    QTest::newRow("receipt 80 mm vi")
        << "receipt" << 1 << 0
        << framed(35,
               {"110,1 Căn cứ thanh toán", "100,100 Căn cứ thanh toán:Shop 1",
                   "100,170 Nhân viên thu ngân:13800000000", "100,240 Loại giao dịch:WeChat",
                   "100,310 Số tiền đơn hàng:30", "100,400 Số tiền thanh toán:25.5",
                   "100,500 Thời gian giao dịch:", "100,550 2024-12-07 15:30:00",
                   "100,600 Mã đơn Merchant:", "100,650 20241207153000123456",
                   "bars 100 760-870 145", "100,1000 Chữ ký khách hàng",
                   "100,1070 Tôi xác nhận giao dịch trên"});
    const QStringList receipt58zh = framed(27,
        {"80,1 支付凭证", "1,80 商户名称:Shop 1", "1,120 收银员:13800000000", "1,160 交易类型:微信",
            "1,200 订单金额:30", "1,240 交付金额:25.5", "1,310 交易时间:2024-12-07 15:30:00",
            "1,380 商户单号:20241207153000123456", "bars 1 450-550 145", "1,590 客户签名",
            "1,630 本人确认以上交易"});
    QTest::newRow("receipt 58 mm zh") << "receipt" << 0 << 1 << receipt58zh;
    // A width the page does not offer is the 58 mm paper, as the settings page shows it.
    QTest::newRow("receipt PRINTWIDTH 5 as 58 mm") << "receipt" << 5 << 1 << receipt58zh;
    QTest::newRow("receipt 58 mm en")
        << "receipt" << 0 << 2
        << framed(27,
               {"80,1 Payment voucher", "1,80 Merchant name:Shop 1", "1,120 cashier:13800000000",
                   "1,160 Transaction type:WeChat", "1,200 order amount:30",
                   "1,240 Delivery amount:25.5",
                   "1,310 Trading hours:", "1,340 2024-12-07 15:30:00",
                   "1,380 Merchants to order:", "1,410 20241207153000123456", "bars 1 450-550 145",
                   "1,590 Customer signature", "1,630 I confirm the above transaction"});
    QTest::newRow("receipt 58 mm vi")
        << "receipt" << 0 << 0
        << framed(27,
               {"80,1 Căn cứ thanh toán", "1,80 Căn cứ thanh toán:Shop 1",
                   "1,120 Nhân viên thu ngân:13800000000", "1,160 Loại giao dịch:WeChat",
                   "1,200 Số tiền đơn hàng:30", "1,240 Số tiền thanh toán:25.5",
                   "1,310 Thời gian giao dịch:", "1,340 2024-12-07 15:30:00",
                   "1,380 Mã đơn Merchant:", "1,410 20241207153000123456", "bars 1 450-550 145",
                   "1,590 Chữ ký khách hàng", "1,630 Tôi xác nhận giao dịch trên"});
    // The hot-key re-print: label and value on one row in every language, at the left margin.
    QTest::newRow("reprint 80 mm en")
        << "reprint" << 1 << 2
        << framed(35,
               {"110,1 Payment voucher", "1,100 Merchant name:Shop 1", "1,170 cashier:13800000000",
                   "1,240 Transaction type:WeChat", "1,310 order amount:30",
                   "1,400 Delivery amount:25.5", "1,500 Trading hours:2024-12-07 15:30:00",
                   "1,600 Merchants to order:20241207153000123456", "bars 1 760-870 145",
                   "1,1000 Customer signature", "1,1070 I confirm the above transaction"});
    QTest::newRow("reprint 58 mm vi")
        << "reprint" << 0 << 0
        << framed(27,
               {"80,1 Căn cứ thanh toán", "1,80 Căn cứ thanh toán:Shop 1",
                   "1,120 Nhân viên thu ngân:13800000000", "1,160 Loại giao dịch:WeChat",
                   "1,200 Số tiền đơn hàng:30", "1,240 Số tiền thanh toán:25.5",
                   "1,310 Thời gian giao dịch:2024-12-07 15:30:00",
                   "1,380 Mã đơn Merchant:20241207153000123456", "bars 1 450-550 145",
                   "1,590 Chữ ký khách hàng", "1,630 Tôi xác nhận giao dịch trên"});
    // The settlement report is in Chinese whatever the language; figures 100 to 111.
    const QStringList report58 = framed(27,
        {"80,1 当班结算", "1,80 开始时间：2019-7-5", "1,120 结束时间：2019-7-15",
            "1,150 查询时间：2019-07-15 18:05:09", "1,180 收银员：演示门店", "1,240 收款总额：100",
            "1,280 退款总额：101", "1,320 实收总额：102", "1,360 交易笔数：103",
            "1,420 微信总额：104", "1,460 微信退款：105", "1,500 微信实收：106",
            "1,540 交易笔数：107", "1,600 支付宝总额：108", "1,640 支付宝退款：109",
            "1,680 支付宝实收：110", "1,720 交易笔数：111"});
    QTest::newRow("report 58 mm") << "report" << 0 << 2 << report58;
    QTest::newRow("report PRINTWIDTH -1 as 58 mm") << "report" << -1 << 1 << report58;
    QTest::newRow("report 80 mm")
        << "report" << 1 << 1
        << framed(35,
               {"110,1 当班结算", "100,100 开始时间：2019-7-5", "100,170 结束时间：2019-7-15",
                   "100,220 查询时间：2019-07-15 18:05:09", "100,270 收银员：演示门店",
                   "100,370 收款总额：100", "100,440 退款总额：101", "100,510 实收总额：102",
                   "100,580 交易笔数：103", "100,680 微信总额：104", "100,750 微信退款：105",
                   "100,820 微信实收：106", "100,890 交易笔数：107", "100,990 支付宝总额：108",
                   "100,1060 支付宝退款：109", "100,1130 支付宝实收：110",
                   "100,1200 交易笔数：111"});
}

void TestReceiptLayout::layout()
{
    QFETCH(QString, document);
    QFETCH(int, printWidth);
    QFETCH(int, language);
    QFETCH(QStringList, expected);

    std::vector<Call> calls;
    int opened = 0;
    QCOMPARE(printDocument(document, recording(&calls, &opened), {0, 0, printWidth, language}), 1);
    QCOMPARE(page(calls), expected);
    // No text line runs into the next one: each starts a font height or more below the last.
    std::vector<int> tops;
    for (const Call &call : calls) {
        if (call.kind == Call::Kind::Text)
            tops.push_back(call.y);
    }
    std::sort(tops.begin(), tops.end());
    const int fontHeight = printWidth == 1 ? 35 : 27;
    for (std::size_t i = 1; i < tops.size(); ++i)
        QVERIFY2(tops[i] - tops[i - 1] >= fontHeight, qPrintable(QString::number(tops[i])));
}

void TestReceiptLayout::copiesAndPrintSwitch_data()
{
    QTest::addColumn<int>("print");
    QTest::addColumn<int>("printCount");
    QTest::addColumn<int>("jobs");

    QTest::newRow("PRINTCOUNT 0: one copy") << 0 << 0 << 1;
    QTest::newRow("PRINTCOUNT 1: two copies") << 0 << 1 << 2;
    QTest::newRow("PRINTCOUNT 2: none") << 0 << 2 << 0;
    QTest::newRow("PRINT 1: nothing") << 1 << 1 << 0;
    QTest::newRow("PRINT 2 prints") << 2 << 0 << 1;
}

void TestReceiptLayout::copiesAndPrintSwitch()
{
    QFETCH(int, print);
    QFETCH(int, printCount);
    QFETCH(int, jobs);

    for (const QString &document : QStringList {"receipt", "list", "reprint", "report"}) {
        std::vector<Call> calls;
        int opened = 0;
        const int printed
            = printDocument(document, recording(&calls, &opened), {print, printCount, 0, 1});
        const QStringList lines = page(calls);
        // No printer is even looked for when nothing is to be printed.
        QCOMPARE(QStringLiteral("%1: %2 printed, %3 opened, %4 ended")
                     .arg(document)
                     .arg(printed)
                     .arg(opened)
                     .arg(lines.count(QStringLiteral("end job"))),
            QStringLiteral("%1: %2 printed, %2 opened, %2 ended").arg(document).arg(jobs));
        // Every copy is the whole document.
        if (jobs == 2)
            QCOMPARE(lines.mid(0, lines.size() / 2), lines.mid(lines.size() / 2));
    }
}

void TestReceiptLayout::missingPrinterOrJobNotOpened_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QList<int>>("missing");
    QTest::addColumn<QList<int>>("refusing");
    QTest::addColumn<int>("opened");
    QTest::addColumn<int>("jobs");

    for (const char *document : {"receipt", "report"}) {
        const auto row = [document](const char *name) -> QTestData & {
            return QTest::addRow("%s: %s", document, name) << QString(document);
        };
        row("no default printer for the first copy") << QList<int> {0} << QList<int> {} << 2 << 1;
        row("no printer at all") << QList<int> {0, 1} << QList<int> {} << 2 << 0;
        row("the second job cannot be opened") << QList<int> {} << QList<int> {1} << 2 << 1;
    }
    // A receipt stops at a job that cannot be opened; the report's second copy is still tried.
    QTest::newRow("receipt: the first job cannot be opened: no second copy")
        << "receipt" << QList<int> {} << QList<int> {0} << 1 << 0;
    QTest::newRow("report: the first job cannot be opened: the second is printed")
        << "report" << QList<int> {} << QList<int> {0} << 2 << 1;
}

void TestReceiptLayout::missingPrinterOrJobNotOpened()
{
    QFETCH(QString, document);
    QFETCH(QList<int>, missing);
    QFETCH(QList<int>, refusing);
    QFETCH(int, opened);
    QFETCH(int, jobs);

    std::vector<Call> calls;
    int devices = 0;
    QCOMPARE(printDocument(document, recording(&calls, &devices, missing, refusing), {0, 1, 0, 1}),
        jobs);
    QCOMPARE(devices, opened);
    // Nothing is drawn for a job that could not be opened.
    const QStringList lines = page(calls);
    QCOMPARE(lines.count(QStringLiteral("end page")), jobs);
    QCOMPARE(lines.count(QStringLiteral("end job")), jobs);
}

void TestReceiptLayout::valuesArePrintedAsReceived_data()
{
    QTest::addColumn<bool>("orderList"); // the order list's layout, else the checkout's
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("rows");

    QTest::newRow("null pay type and time")
        << false << "11#null#25.5#null#20241207153000123456#30#11"
        << QStringList {"1,160 交易类型:", "1,310 交易时间:", "bars 1 450-550 145"};
    // A number that cannot be a Code 128 C: printed as text, no bars at all.
    QTest::newRow("not digits") << false << "11#wx#25.5#t#2024-12-07/42#30#11"
                                << QStringList {"1,380 商户单号:2024-12-07/42"};
    // The seventh field runs to the end of the message, "#" and all.
    QTest::newRow("# in the seventh field")
        << true << "##wx#30#25.5#t#2024#42" << QStringList {"1,380 商户单号:2024#42"};
}

void TestReceiptLayout::valuesArePrintedAsReceived()
{
    QFETCH(bool, orderList);
    QFETCH(QString, message);
    QFETCH(QStringList, rows);

    std::vector<Call> calls;
    int opened = 0;
    const ReceiptPrinter printer(recording(&calls, &opened));
    const std::wstring text = message.toStdWString();
    QCOMPARE(orderList ? printer.printOrderList(text, kParty, {0, 0, 0, 1})
                       : printer.printPaySuccess(text, kParty, {0, 0, 0, 1}),
        1);
    const QStringList lines = page(calls);
    for (const QString &row : rows)
        QVERIFY2(lines.contains(row), qPrintable(row + QLatin1String(" in\n") + lines.join('\n')));
    const int bars = rows.filter(QStringLiteral("bars ")).size();
    QCOMPARE(lines.filter(QStringLiteral("bars ")).size(), bars);
    // The rest of the receipt is there in every case: begin and font, the title and seven
    // lines, the signature block, end page and end job.
    QCOMPARE(lines.size(), 2 + 8 + bars + 2 + 2);
}

void TestReceiptLayout::payTypes_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("onReceipt");
    QTest::addColumn<QString>("inLastReceipt");

    // WeChat Pay on a receipt is in the layouts above.
    QTest::newRow("ali zh") << QString("ali") << 1 << "支付宝" << QString("支付宝");
    QTest::newRow("0 vi") << QString("0") << 0 << "Quét mã thông minh"
                          << QString("Quét mã thông minh");
    // The numeric codes of the single-window pay form are known to the last receipt only.
    QTest::newRow("1 zh") << QString("1") << 1 << "1" << QString("支付宝");
}

void TestReceiptLayout::payTypes()
{
    QFETCH(QString, code);
    QFETCH(int, language);
    QFETCH(QString, onReceipt);
    QFETCH(QString, inLastReceipt);

    QCOMPARE(PayTypeText::forReceipt(code, language), onReceipt);
    QCOMPARE(PayTypeText::forLastReceipt(code, language), inLastReceipt);
}

QTEST_GUILESS_MAIN(TestReceiptLayout)
#include "TestReceiptLayout.moc"
