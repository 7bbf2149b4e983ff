// The query windows' rules without widgets: the one-pass "mch_orderList" decoder held to the
// path-by-path reader, filters, paging, texts by language and of a row, the day totals, and
// what a refund's answer or a check of its order means for the refund.
#include "DateText.h"
#include "DayTotalsReply.h"
#include "OrderFilter.h"
#include "OrderListReply.h"
#include "OrderPages.h"
#include "OrderQueryTexts.h"
#include "RefundLedger.h"
#include "RefundTexts.h"

#include <QtTest>

#include <optional>
#include <string>
#include <vector>

namespace {

OrderRecord order(const std::string &number, const std::string &service, const std::string &status,
    const std::string &totalFee = "100")
{
    return {number, totalFee, service, "2026-12-07 10:15:00", status, "1"};
}

std::vector<OrderRecord> numbered(int count)
{
    std::vector<OrderRecord> records;
    for (int i = 0; i < count; ++i)
        records.push_back(order(std::to_string(i), "wx", "1"));
    return records;
}

QString describe(const std::optional<OrderListReply> &list)
{
    if (!list)
        return QStringLiteral("unreadable");
    QStringList parts {QString::fromStdString(list->code), QString::fromStdString(list->message)};
    for (const OrderRecord &r : list->records)
        parts << QString::fromStdString(r.orderNumber + "|" + r.totalFee + "|" + r.service + "|"
            + r.timeEnd + "|" + r.status + "|" + r.orderStatus);
    return parts.join(QLatin1Char(';'));
}

const std::string kOrder = R"({"out_trade_no":"202612071015001000001","total_fee":"1250",)"
                           R"("service":"wx","time_end":"2026-12-07 10:15:00","status":"1",)"
                           R"("pay_status":"1"})";

std::string listOf(const std::string &orders)
{
    return R"({"code":"100","msg":"ok","data":{"order_data":[)" + orders + "]}}";
}

} // namespace

class TestOrderList : public QObject
{
    Q_OBJECT

private slots:
    void decodingAgreesWithThePathReader_data();
    void decodingAgreesWithThePathReader();
    void filter_data();
    void filter();
    void paging_data();
    void paging();
    void languageTexts_data();
    void languageTexts();
    void rowTexts_data();
    void rowTexts();
    void dayTotals_data();
    void dayTotals();
    void refundDecisions_data();
    void refundDecisions();
};

void TestOrderList::decodingAgreesWithThePathReader_data()
{
    QTest::addColumn<QByteArray>("body");
    const std::string o = kOrder;
    const auto row = [](const char *name, const std::string &body) {
        QTest::newRow(name) << QByteArray::fromStdString(body);
    };
    row("two orders", listOf(o + "," + o));
    row("escapes and UTF-8",
        listOf(R"({"out_trade_no":"a\"b\\c\/d\b\f\n\r\t","total_fee":)"
               R"("\u00e9\ud83d\ude00","service":"微信","time_end":"",)"
               R"("status":"1","pay_status":"1"})"));
    row("no data", R"({"code":"201","msg":"wrong"})");
    row("an order without members", listOf(o + ",{}," + o));
    row("a missing field keeps the orders before it",
        listOf(o + R"(,{"out_trade_no":"2","total_fee":"5"},)" + o));
    row("data is a list", R"({"code":"100","msg":"ok","data":[1]})");
    row("cut short", listOf(o).substr(0, 60));
    row("stray continuation byte", listOf("{\"out_trade_no\":\"\x80\"}"));
    const std::string rest = o.substr(o.find(",\"total_fee\""));
    row("raw U+0800", listOf("{\"out_trade_no\":\"\xe0\xa0\x80\"" + rest));
    row("raw control byte", listOf("{\"out_trade_no\":\"a\x01\"}," + o));
    row("escaped names", listOf(R"({"out_trade_\u006eo":"1","total\u005ffee":"2",)" + o.substr(1)));
    // Strings are scanned sixteen bytes at a time.
    row("escape and UTF-8 past sixteen bytes",
        listOf(R"({"out_trade_no":"2026120710150010\"0","total_fee":"1250",)"
               R"("service":"wx","time_end":"2026-12-07 10:15:00 微信","status":"1",)"
               R"("pay_status":"1"})"));
    row("raw control byte past sixteen bytes",
        listOf("{\"out_trade_no\":\"2026120710150010\x1f\"}," + o));
    row("a repeated name keeps the first value",
        listOf(R"({"out_trade_no":"1","out_trade_no":"2",)" + o.substr(1)));
    row("code without msg", R"({"code":"100","data":{"order_data":[)" + o + "]}}");
    // The body and data are two levels.
    row("64 levels",
        R"({"code":"100","msg":"ok","data":{"a":)" + std::string(62, '[') + std::string(62, ']')
            + "}}");
    row("65 levels",
        R"({"code":"100","msg":"ok","data":{"a":)" + std::string(63, '[') + std::string(63, ']')
            + "}}");
}

void TestOrderList::decodingAgreesWithThePathReader()
{
    QFETCH(QByteArray, body);
    const std::string bytes = body.toStdString();
    const std::optional<OrderListReply> list = OrderListReply::decode(bytes);
    QCOMPARE(describe(list), describe(OrderListReply::decodeByPaths(bytes)));
    if (QByteArray(QTest::currentDataTag()).endsWith("levels"))
        QCOMPARE(bool(list), QByteArray(QTest::currentDataTag()) == "64 levels");
}

void TestOrderList::filter_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("passing");

    // Order numbers name their service and status.
    QTest::newRow("all, all") << 0 << 0
                              << QStringList {"wx0", "wx1", "wx2", "wx3", "wx4", "ali0", "ali1",
                                     "ali3", "ali4", "x1"};
    QTest::newRow("all, paid") << 0 << 1 << QStringList {"wx1", "ali1", "x1"};
    QTest::newRow("all, not paid") << 0 << 2 << QStringList {"wx0", "ali0"};
    QTest::newRow("all, awaiting") << 0 << 3 << QStringList {"wx4", "ali4"};
    QTest::newRow("WeChat, paid") << 1 << 1 << QStringList {"wx1"};
    QTest::newRow("WeChat, awaiting: none") << 1 << 3 << QStringList {};
    QTest::newRow("WeChat, failed: none") << 1 << 4 << QStringList {};
    QTest::newRow("Alipay, not paid") << 2 << 2 << QStringList {"ali0"};
    QTest::newRow("Alipay, awaiting: none") << 2 << 3 << QStringList {};
    QTest::newRow("unknown type") << 3 << 0 << QStringList {};
}

void TestOrderList::filter()
{
    QFETCH(int, type);
    QFETCH(int, status);
    QFETCH(QStringList, passing);

    std::vector<OrderRecord> records;
    for (const char *code : {"0", "1", "2", "3", "4"})
        records.push_back(order(std::string("wx") + code, "wx", code));
    for (const char *code : {"0", "1", "3", "4"})
        records.push_back(order(std::string("ali") + code, "ali", code));
    records.push_back(order("x1", "unionpay", "1"));

    OrderFilter(type, status).apply(records);
    QStringList numbers;
    for (const OrderRecord &record : records)
        numbers << QString::fromStdString(record.orderNumber);
    QCOMPARE(numbers, passing);
}

void TestOrderList::paging_data()
{
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("pages");
    QTest::addColumn<int>("rowsOnLastPage");

    QTest::newRow("none") << 0 << 0 << 0;
    QTest::newRow("ten: one page") << 10 << 1 << 10;
    QTest::newRow("eleven: two pages") << 11 << 2 << 1;
}

void TestOrderList::paging()
{
    QFETCH(int, records);
    QFETCH(int, pages);
    QFETCH(int, rowsOnLastPage);

    OrderPages list;
    list.setRecords(numbered(records));
    QCOMPARE(list.pageCount(), pages);
    // Previous on the first page and next on the last change nothing.
    QVERIFY(!list.previousPage());
    for (int page = 2; page <= pages; ++page)
        QVERIFY(list.nextPage());
    QVERIFY(!list.nextPage());
    QCOMPARE(list.currentPage(), std::max(pages, 1));
    int rows = 0;
    for (int row = 0; row < OrderPages::kRowsPerPage; ++row)
        rows += list.recordAt(row) ? 1 : 0;
    QCOMPARE(rows, rowsOnLastPage);

    // A new list starts again at page 1.
    list.setRecords(numbered(records));
    QCOMPARE(list.currentPage(), 1);
}

void TestOrderList::languageTexts_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<int>("records");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("date"); // 5 July 2019 in the date pickers

    const QString r = QStringLiteral("<font style='color:rgba(193,39,45,1);'>");
    const QString r2 = QStringLiteral("<font style='color:rgba(193,39,45,1,1);'>");
    const QString e = QStringLiteral("</font>");
    QTest::newRow("Chinese") << 1 << 11
                             << "共 " + r + "11" + e + " 条记录     共 " + r2 + "2" + e
            + " 页     第 " + r2 + "2" + e + " 页"
                             << " 2019年7月5日";
    QTest::newRow("English") << 2 << 11
                             << "total " + r + "11" + e + " records     total " + r + "2" + e
            + " page     page " + r + "2" + e
                             << " July 5,2019";
    QTest::newRow("Vietnamese") << 0 << 11
                                << "Tổng " + r + "11" + e + " mục   tổng " + r + "2" + e
            + " trang   Trang " + r + "2" + e
                                << " Ngày 5 tháng 7 năm 2019";
    QTest::newRow("Chinese, empty")
        << 1 << 0
        << "共 " + r + "0" + e + " 条记录   共 " + r + "0" + e + " 页   第 " + r + "0" + e + " 页"
        << " 2019年7月5日";
}

void TestOrderList::languageTexts()
{
    QFETCH(int, language);
    QFETCH(int, records);
    QFETCH(QString, label);
    QFETCH(QString, date);

    OrderPages list;
    list.setRecords(numbered(records));
    list.nextPage();
    const QString shown = records == 0 ? OrderQueryTexts::zeroPageLabel(language)
                                       : OrderQueryTexts::pageLabel(language, list.recordCount(),
                                           list.pageCount(), list.currentPage());
    QCOMPARE(shown, label);
    QCOMPARE(DateText::display(language, 2019, 7, 5), date);
    // The requests' dates: eight digits.
    QCOMPARE(DateText::compact(2019, 7, 5), std::string("20190705"));
}

void TestOrderList::rowTexts_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("totalFee");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QStringList>("shown"); // amount, status listed, status refreshed

    QTest::newRow("one cent, not paid") << 1 << "1"
                                        << "0" << QStringList {"0.01", "未支付", "未支付"};
    QTest::newRow("no exponent, paid") << 1 << "250000000"
                                       << "1" << QStringList {"2500000", "支付成功", "支付成功"};
    QTest::newRow("2 reads paid only in the list") << 1 << "1250"
                                                   << "2" << QStringList {"12.5", "支付成功", ""};
    // Refreshed, "3" is the status query's pending: the customer may still pay.
    QTest::newRow("3 refreshed is still pending") << 1 << "12,50"
                                                  << "3" << QStringList {"12,50", "", "待支付"};
    QTest::newRow("3 refreshed is still pending, English")
        << 2 << "100"
        << "3" << QStringList {"1", "", "unpaid"};
    QTest::newRow("3 refreshed is still pending, Vietnamese")
        << 0 << "100"
        << "3" << QStringList {"1", "", "Thanh toán"};
    QTest::newRow("4 awaiting") << 1 << "100"
                                << "4" << QStringList {"1", "", "待支付"};
}

void TestOrderList::rowTexts()
{
    QFETCH(int, language);
    QFETCH(QString, totalFee);
    QFETCH(QString, status);
    QFETCH(QStringList, shown);
    const OrderRecord record = order("1", "ali", status.toStdString(), totalFee.toStdString());
    const auto listed = OrderQueryTexts::rowTexts(language, record, false);
    QCOMPARE(
        (QStringList {listed[1], listed[4], OrderQueryTexts::rowTexts(language, record, true)[4]}),
        shown);
}

void TestOrderList::dayTotals_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("figures"); // in the grid's order, joined by "|"

    QTest::newRow("the twelve figures")
        << QByteArray(R"({"code":"100","msg":"ok","data":{"total":"100000","re_total":"200",)"
                      R"("suc_total":"99800","count":"7","wx_total":"60000","wx_re_total":"150",)"
                      R"("wx_suc_total":"59850","wx_count":"4","ali_total":"40000",)"
                      R"("ali_re_total":"50","ali_suc_total":"39950","ali_count":"3"}})")
        << "1000|2|998|7|600|1.5|598.5|4|400|0.5|399.5|3";
    // Read in the order ali_suc_total, ali_total, ali_re_total, ...: the third is missing.
    QTest::newRow("a missing figure stops the reading")
        << QByteArray(R"({"code":"100","msg":"ok","data":{"ali_suc_total":"100",)"
                      R"("ali_total":"250000000","suc_total":"5","total":"7"}})")
        << "||||||||2500000||1|";
    QTest::newRow("no data") << QByteArray(R"({"code":"303","msg":"bad sign"})") << "|||||||||||";
    QTest::newRow("data is a list")
        << QByteArray(R"({"code":"100","msg":"ok","data":[1]})") << "unreadable";
    QTest::newRow("not JSON") << QByteArray("<html>502</html>") << "unreadable";
}

void TestOrderList::dayTotals()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, figures);
    const std::optional<DayTotalsReply> totals = DayTotalsReply::decode(body.toStdString());
    QStringList read;
    if (totals) {
        for (const QString &value : totals->figures.values)
            read << value;
    }
    QCOMPARE(totals ? read.join(QLatin1Char('|')) : QStringLiteral("unreadable"), figures);
}

void TestOrderList::refundDecisions_data()
{
    QTest::addColumn<bool>("check"); // a status answer about the order, else a refund answer
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("decided"); // "state|message"; "" for a check that tells nothing
    QTest::addColumn<int>("refunded"); // of the refund checked, in minor units; 0: the whole order

    const auto status = [](const char *number, const char *code, const char *orderStatus) {
        return QByteArray(R"({"code":")") + code + R"(","msg":"ok","data":{"out_trade_no":")"
            + number + R"(","status":"1","payType":"wx","total":"400","orderStatus":")"
            + orderStatus + R"("}})";
    };
    const QString checkedRefunded
        = QStringLiteral("refunded|") + RefundTexts::kLedgerCheckedRefunded;
    const QString checkedNot = QStringLiteral("refused|") + RefundTexts::kLedgerCheckedNotRefunded;
    const QString lost = QStringLiteral("unresolved|") + RefundTexts::kLedgerNoAnswer;

    QTest::newRow("refunded") << false << QByteArray(R"({"code":"100","msg":"退款成功"})")
                              << "refunded|退款成功" << 0;
    QTest::newRow("refused") << false << QByteArray(R"({"code":"405","msg":"已退款"})")
                             << "refused|已退款" << 0;
    QTest::newRow("no answer") << false << QByteArray() << lost << 0;
    QTest::newRow("not JSON") << false << QByteArray("<html>502</html>") << lost << 0;
    QTest::newRow("wrong shape") << false << QByteArray(R"({"code":["100"]})") << lost << 0;
    QTest::newRow("check: refunded") << true << status("1", "100", "2") << checkedRefunded << 0;
    QTest::newRow("check: normal") << true << status("1", "100", "1") << checkedNot << 0;
    QTest::newRow("check: cancelled") << true << status("1", "100", "0") << checkedNot << 0;
    QTest::newRow("check: another status") << true << status("1", "100", "5") << "" << 0;
    QTest::newRow("check: another order") << true << status("2", "100", "2") << "" << 0;
    QTest::newRow("check refused") << true << status("1", "404", "2") << "" << 0;
    QTest::newRow("check: no order status")
        << true << QByteArray(R"({"code":"100","msg":"ok","data":{"out_trade_no":"1"}})") << ""
        << 0;
    QTest::newRow("check: not JSON") << true << QByteArray("<html>502</html>") << "" << 0;
    // A refund of part of the order: the order's status does not tell its outcome. Of as much
    // as the order's total, it does.
    const QString cannotTell
        = QStringLiteral("unresolved|") + RefundTexts::kLedgerCheckedPartialUnknown;
    QTest::newRow("check: partial, refunded")
        << true << status("1", "100", "2") << cannotTell << 100;
    QTest::newRow("check: partial, normal") << true << status("1", "100", "1") << cannotTell << 100;
    QTest::newRow("check: all of the order's total")
        << true << status("1", "100", "2") << checkedRefunded << 400;
    QTest::newRow("check: partial, no total")
        << true << QByteArray(R"({"code":"100","data":{"out_trade_no":"1","orderStatus":"2"}})")
        << cannotTell << 100;
    QTest::newRow("check: partial, another status") << true << status("1", "100", "5") << "" << 100;
}

void TestOrderList::refundDecisions()
{
    QFETCH(bool, check);
    QFETCH(QByteArray, body);
    QFETCH(QString, decided);
    QFETCH(int, refunded);
    const auto text = [](const RefundLedger::Decision &decision) {
        return QString::fromUtf8(LedgerStore::refundStateName(decision.state)) + '|'
            + QString::fromStdString(decision.message);
    };
    if (check) {
        RefundRow earlier;
        earlier.outTradeNo = "1";
        if (refunded > 0)
            earlier.amountMinor = refunded;
        const auto found = RefundLedger::decideCheck(body.toStdString(), earlier);
        QCOMPARE(found ? text(*found) : QString(), decided);
    } else {
        const std::optional<RefundReply> answer
            = body.isEmpty() ? std::nullopt : RefundReply::decode(body.toStdString());
        QCOMPARE(text(RefundLedger::decideAnswer(answer)), decided);
    }
}

QTEST_GUILESS_MAIN(TestOrderList)
#include "TestOrderList.moc"
