// The daily summary's rules without widgets: reading the day totals, and the settlement report
// as it reaches a print device (recorded): every line at its place in both paper widths, the
// copies, the PRINT switch, and a printer that is missing or refuses the job.
#include "DayTotalsReply.h"
#include "RecordingPrintDevice.h"
#include "ReportPrinter.h"

#include <QtTest>

#include <memory>
#include <vector>

namespace {

using Call = RecordingPrintDevice::Call;

const char kTotals[] = R"({"code":"100","msg":"ok","data":{"total":"123456","re_total":"1250",)"
                       R"("suc_total":"122206","count":"3","wx_total":"1250","wx_re_total":)"
                       R"("1250","wx_suc_total":"0","wx_count":"1","ali_total":"122206",)"
                       R"("ali_re_total":"0","ali_suc_total":"122206","ali_count":"2"}})";

ReportLayout::Content content(const SettlementFigures &figures)
{
    return {QDate(2019, 7, 5), QDate(2019, 7, 15), QStringLiteral("演示门店"), figures};
}

SettlementFigures decoded()
{
    const std::optional<DayTotalsReply> totals = DayTotalsReply::decode(kTotals);
    return totals ? totals->figures : SettlementFigures();
}

// The recorded calls, one readable line each.
QStringList lines(const std::vector<Call> &calls)
{
    QStringList out;
    for (const Call &call : calls)
        out << call.toString();
    return out;
}

} // namespace

class TestDailyReport : public QObject
{
    Q_OBJECT

private slots:
    void readsTheTwelveFigures();
    void missingFigureStopsTheReading();
    void answerWithoutDataLeavesEveryFigureEmpty();
    void wrongShapeIsNotRead();
    void reportLines_data();
    void reportLines();
    void copies_data();
    void copies();
    void emptyPageForAnotherWidth();
    void beforeAnyQueryTheLabelsPrintEmpty();
    void missingOrRefusingPrinterDropsOnlyThatCopy();
};

void TestDailyReport::readsTheTwelveFigures()
{
    const std::optional<DayTotalsReply> totals = DayTotalsReply::decode(kTotals);
    QVERIFY(totals);
    QCOMPARE(totals->code, std::string("100"));
    const QStringList expected {"1234.56", "12.5", "1222.06", "3", "12.5", "12.5", "0", "1",
        "1222.06", "0", "1222.06", "2"};
    QStringList read;
    for (const QString &value : totals->figures.values)
        read << value;
    QCOMPARE(read, expected);
}

void TestDailyReport::missingFigureStopsTheReading()
{
    // Read in the order ali_suc_total, ali_total, ali_re_total, suc_total, total, ...
    const std::optional<DayTotalsReply> totals = DayTotalsReply::decode(
        R"({"code":"100","msg":"ok","data":{"ali_suc_total":"100","ali_total":"250000000",)"
        R"("suc_total":"5","total":"7"}})");
    QVERIFY(totals);
    QCOMPARE(totals->figures[SettlementFigures::AlipayPaidIn], QStringLiteral("1"));
    QCOMPARE(totals->figures[SettlementFigures::AlipayTotal], QStringLiteral("2500000"));
    QCOMPARE(totals->figures[SettlementFigures::PaidIn], QString());
    QCOMPARE(totals->figures[SettlementFigures::Total], QString());
}

void TestDailyReport::answerWithoutDataLeavesEveryFigureEmpty()
{
    const std::optional<DayTotalsReply> totals
        = DayTotalsReply::decode(R"({"code":"303","msg":"bad sign"})");
    QVERIFY(totals);
    QCOMPARE(totals->message, std::string("bad sign"));
    for (const QString &value : totals->figures.values)
        QVERIFY(value.isEmpty());
}

void TestDailyReport::wrongShapeIsNotRead()
{
    QVERIFY(!DayTotalsReply::decode(R"({"code":"100","msg":"ok","data":[1]})"));
    QVERIFY(
        !DayTotalsReply::decode(R"({"code":"100","msg":"ok","data":{"ali_suc_total":{"a":1}}})"));
    QVERIFY(!DayTotalsReply::decode("<html>502</html>"));
}

void TestDailyReport::reportLines_data()
{
    QTest::addColumn<int>("printWidth");
    QTest::addColumn<QStringList>("expected");

    // The total paid is labelled 收款总额 and the paid-in sum 实收总额, as the grid names them.
    QTest::newRow("58 mm") << 0
                           << QStringList {"begin printer", "font Arial 27 500",
                                  "text 80,1 当班结算", "text 1,80 开始时间：2019-7-5",
                                  "text 1,120 结束时间：2019-7-15", "text 1,180 收银员：演示门店",
                                  "text 1,240 收款总额：1234.56", "text 1,280 退款总额：12.5",
                                  "text 1,320 实收总额：1222.06", "text 1,360 交易笔数：3",
                                  "text 1,420 微信总额：12.5", "text 1,460 微信退款：12.5",
                                  "text 1,500 微信实收：0", "text 1,540 交易笔数：1",
                                  "text 1,600 支付宝总额：1222.06", "text 1,640 支付宝退款：0",
                                  "text 1,680 支付宝实收：1222.06", "text 1,720 交易笔数：2",
                                  "end page", "end job"};
    QTest::newRow("80 mm") << 1
                           << QStringList {"begin printer", "font Arial 35 500",
                                  "text 110,1 当班结算", "text 100,100 开始时间：2019-7-5",
                                  "text 100,170 结束时间：2019-7-15",
                                  "text 100,270 收银员：演示门店", "text 100,370 收款总额：1234.56",
                                  "text 100,440 退款总额：12.5", "text 100,510 实收总额：1222.06",
                                  "text 100,580 交易笔数：3", "text 100,680 微信总额：12.5",
                                  "text 100,750 微信退款：12.5", "text 100,820 微信实收：0",
                                  "text 100,890 交易笔数：1", "text 100,990 支付宝总额：1222.06",
                                  "text 100,1060 支付宝退款：0",
                                  "text 100,1130 支付宝实收：1222.06", "text 100,1200 交易笔数：2",
                                  "end page", "end job"};
}

void TestDailyReport::reportLines()
{
    QFETCH(int, printWidth);
    QFETCH(QStringList, expected);
    std::vector<Call> calls;
    const ReportPrinter printer(
        [&calls] { return std::make_unique<RecordingPrintDevice>(&calls); });
    QCOMPARE(printer.print(content(decoded()), {0, 0, printWidth}), 1);
    QCOMPARE(lines(calls), expected);
}

void TestDailyReport::copies_data()
{
    QTest::addColumn<int>("print");
    QTest::addColumn<int>("printCount");
    QTest::addColumn<int>("jobs");

    QTest::newRow("one copy") << 0 << 0 << 1;
    QTest::newRow("two copies") << 0 << 1 << 2;
    QTest::newRow("another count prints nothing") << 0 << 2 << 0;
    QTest::newRow("print switched off") << 1 << 1 << 0;
}

void TestDailyReport::copies()
{
    QFETCH(int, print);
    QFETCH(int, printCount);
    QFETCH(int, jobs);
    std::vector<Call> calls;
    int opened = 0;
    const ReportPrinter printer([&calls, &opened] {
        ++opened;
        return std::make_unique<RecordingPrintDevice>(&calls);
    });
    QCOMPARE(printer.print(content(decoded()), {print, printCount, 1}), jobs);
    QCOMPARE(opened, jobs);
    const QStringList recorded = lines(calls);
    QCOMPARE(recorded.count(QStringLiteral("begin printer")), jobs);
    // Each copy is the whole report.
    if (jobs == 2)
        QCOMPARE(recorded.mid(0, recorded.size() / 2), recorded.mid(recorded.size() / 2));
}

void TestDailyReport::emptyPageForAnotherWidth()
{
    std::vector<Call> calls;
    const ReportPrinter printer(
        [&calls] { return std::make_unique<RecordingPrintDevice>(&calls); });
    QCOMPARE(printer.print(content(decoded()), {0, 1, 2}), 2);
    QCOMPARE(lines(calls),
        (QStringList {
            "begin printer", "end page", "end job", "begin printer", "end page", "end job"}));
}

void TestDailyReport::beforeAnyQueryTheLabelsPrintEmpty()
{
    std::vector<Call> calls;
    const ReportPrinter printer(
        [&calls] { return std::make_unique<RecordingPrintDevice>(&calls); });
    QCOMPARE(printer.print(content(SettlementFigures()), {0, 0, 0}), 1);
    const QStringList recorded = lines(calls);
    QVERIFY(recorded.contains(QStringLiteral("text 1,240 收款总额：")));
    QVERIFY(recorded.contains(QStringLiteral("text 1,720 交易笔数：")));
    QVERIFY(recorded.contains(QStringLiteral("text 1,180 收银员：演示门店")));
}

void TestDailyReport::missingOrRefusingPrinterDropsOnlyThatCopy()
{
    std::vector<Call> calls;
    int copy = 0;
    // The first copy has no printer; the second is taken.
    const ReportPrinter missing([&calls, &copy]() -> std::unique_ptr<PrintDevice> {
        if (copy++ == 0)
            return nullptr;
        return std::make_unique<RecordingPrintDevice>(&calls);
    });
    QCOMPARE(missing.print(content(decoded()), {0, 1, 0}), 1);
    QCOMPARE(lines(calls).count(QStringLiteral("begin printer")), 1);

    calls.clear();
    copy = 0;
    // The spooler refuses the first job; the second copy is still printed.
    const ReportPrinter refusing(
        [&calls, &copy] { return std::make_unique<RecordingPrintDevice>(&calls, copy++ != 0); });
    QCOMPARE(refusing.print(content(decoded()), {0, 1, 0}), 1);
    QCOMPARE(lines(calls).count(QStringLiteral("begin printer")), 2);
    QCOMPARE(lines(calls).count(QStringLiteral("end job")), 1);
}

QTEST_GUILESS_MAIN(TestDailyReport)
#include "TestDailyReport.moc"
