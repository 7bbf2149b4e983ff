// The order list's rules without widgets: the one-pass decoding of an "mch_orderList" answer
// (held to what the reply reader concludes path by path from the same bytes), the type and
// status filters, paging, the page labels, the texts of a row and the date texts.
#include "DateText.h"
#include "OrderFilter.h"
#include "OrderListReply.h"
#include "OrderPages.h"
#include "OrderQueryTexts.h"
#include "Reply.h"

#include <QtTest>

#include <optional>
#include <string>
#include <vector>

namespace {

OrderRecord order(const std::string &number, const std::string &service, const std::string &status,
    const std::string &orderStatus = "1", const std::string &totalFee = "100")
{
    return {number, totalFee, service, "2026-12-07 10:15:00", status, orderStatus};
}

std::vector<OrderRecord> numbered(int count)
{
    std::vector<OrderRecord> records;
    for (int i = 0; i < count; ++i)
        records.push_back(order(std::to_string(i), "wx", "1"));
    return records;
}

QStringList numbers(const std::vector<OrderRecord> &records)
{
    QStringList list;
    for (const OrderRecord &record : records)
        list << QString::fromStdString(record.orderNumber);
    return list;
}

QString describe(const std::optional<OrderListReply> &list)
{
    if (!list)
        return QStringLiteral("unreadable");
    QStringList parts {QString::fromStdString(list->code), QString::fromStdString(list->message)};
    for (const OrderRecord &r : list->records) {
        parts << QString::fromStdString(r.orderNumber + "|" + r.totalFee + "|" + r.service + "|"
            + r.timeEnd + "|" + r.status + "|" + r.orderStatus);
    }
    return parts.join(QLatin1Char(';'));
}

const char kOrder[] = R"({"out_trade_no":"202612071015001000001","total_fee":"1250",)"
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
    void missingFieldKeepsTheOrdersBeforeIt();
    void filter_data();
    void filter();
    void paging_data();
    void paging();
    void pageTwoRowThreeIsRecordThirteen();
    void pageLabels_data();
    void pageLabels();
    void amountTexts_data();
    void amountTexts();
    void statusTexts_data();
    void statusTexts();
    void reprintMessage();
    void dateTexts_data();
    void dateTexts();
};

void TestOrderList::decodingAgreesWithThePathReader_data()
{
    QTest::addColumn<QByteArray>("body");
    const std::string o = kOrder;
    const auto row = [](const char *name, const std::string &body) {
        QTest::newRow(name) << QByteArray::fromStdString(body);
    };
    row("two orders", listOf(o + "," + o));
    row("no orders", listOf(""));
    row("spaces everywhere",
        " { \"code\" : \"100\" , \"msg\" : \"ok\" , \"data\" : { "
        "\"order_data\" : [ "
            + o + " ] } } ");
    row("fields in another order",
        listOf(R"({"pay_status":"2","status":"1","time_end":"t",)"
               R"("service":"ali","total_fee":"7","out_trade_no":"9"})"));
    row("numbers, literals and empty containers as values",
        listOf(R"({"out_trade_no":202612,"total_fee":-12.5e3,"service":true,"time_end":null,)"
               R"("status":{},"pay_status":[]})"));
    row("escapes and UTF-8",
        listOf(R"({"out_trade_no":"a\"b\\c\/d\b\f\n\r\t","total_fee":)"
               R"("\u00e9\ud83d\ude00","service":"微信","time_end":"",)"
               R"("status":"1","pay_status":"1"})"));
    row("a name twice: the first counts",
        listOf(R"({"out_trade_no":"1","out_trade_no":{"x":1},"total_fee":"2","service":"wx",)"
               R"("time_end":"t","status":"1","pay_status":"1"})"));
    row("other members are skipped",
        R"({"extra":[1,{"a":[true,false,null]}],"code":"100","msg":"ok","data":{"more":{},)"
        R"("order_data":[)"
            + o + R"(]},"data":"second data is ignored"})");
    row("code after the data", R"({"data":{"order_data":[)" + o + R"(]},"msg":"m","code":"1"})");
    row("orders as an object",
        R"({"code":"100","msg":"ok","data":{"order_data":{"a":)" + o + R"(,"b":)" + o + "}}}");
    row("orders as an empty text", R"({"code":"100","msg":"ok","data":{"order_data":""}})");
    row("data as an empty text", R"({"code":"100","msg":"ok","data":""})");
    row("no data", R"({"code":"201","msg":"wrong"})");
    row("no msg", R"({"code":"100","data":{"order_data":[)" + o + "]}}");
    row("no code", R"({"msg":"ok","data":{"order_data":[)" + o + "]}}");
    row("empty object", "{}");
    row("an order without members", listOf(o + ",{}," + o));
    row("an order as an empty text", listOf(o + ",\"\"," + o));
    row("code is an object", R"({"code":{"a":"1"},"msg":"ok"})");
    row("msg is a list", R"({"code":"100","msg":["a"]})");
    row("data is a text", R"({"code":"100","msg":"ok","data":"x"})");
    row("data is a list", R"({"code":"100","msg":"ok","data":[1]})");
    row("data reads as a list", R"({"code":"100","msg":"ok","data":{"":1,"order_data":[]}})");
    row("orders are a text", R"({"code":"100","msg":"ok","data":{"order_data":"x"}})");
    row("orders are a number", R"({"code":"100","msg":"ok","data":{"order_data":5}})");
    row("an order is a text", listOf(o + ",\"x\""));
    row("an order is a list", listOf(o + ",[1]"));
    row("a field is an object", listOf(R"({"out_trade_no":{"a":"b"}})"));
    row("a wrong shape after a missing field", listOf(o + R"(,{"total_fee":{"a":1}})"));
    row("the body reads as a list", R"({"":1,"code":"100"})");
    row("wrong shape but no code", R"({"msg":"ok","data":[1]})");
    row("not an object", "[" + o + "]");
    row("cut short", listOf(o).substr(0, 60));
    row("trailing garbage", listOf(o) + "x");
    row("trailing comma", listOf(o + ","));
    row("leading zero", listOf(R"({"out_trade_no":01})"));
    row("bad escape", listOf(R"({"out_trade_no":"\x"})"));
    row("lone low surrogate", listOf(R"({"out_trade_no":"\udc00"})"));
    row("high surrogate alone", listOf(R"({"out_trade_no":"\ud800x"})"));
    row("control character in a text", listOf("{\"out_trade_no\":\"a\tb\"}"));
    row("stray continuation byte", listOf("{\"out_trade_no\":\"\x80\"}"));
    row("cut UTF-8 sequence", listOf("{\"out_trade_no\":\"\xe5\xbe\"}"));
    row("five-byte lead", listOf("{\"out_trade_no\":\"\xf8\x80\x80\x80\x80\"}"));
    row("NUL byte", std::string("{\"code\":\"1\0\"}", 13));
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
    QCOMPARE(
        describe(OrderListReply::decode(bytes)), describe(OrderListReply::decodeByPaths(bytes)));
    if (QByteArray(QTest::currentDataTag()) == "64 levels")
        QVERIFY(OrderListReply::decode(bytes));
    if (QByteArray(QTest::currentDataTag()) == "65 levels")
        QVERIFY(!OrderListReply::decode(bytes));
}

void TestOrderList::missingFieldKeepsTheOrdersBeforeIt()
{
    const std::optional<OrderListReply> list = OrderListReply::decode(
        listOf(std::string(kOrder) + R"(,{"out_trade_no":"2","total_fee":"5"},)" + kOrder));
    QVERIFY(list);
    QCOMPARE(list->code, std::string("100"));
    QCOMPARE(list->records.size(), std::size_t(1));
    QCOMPARE(list->records[0].orderNumber, std::string("202612071015001000001"));
    QCOMPARE(list->records[0].amountText(), std::string("12.5"));
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
    QTest::newRow("all, not paid (Chinese 支付失败)") << 0 << 2 << QStringList {"wx0", "ali0"};
    QTest::newRow("all, awaiting") << 0 << 3 << QStringList {"wx4", "ali4"};
    QTest::newRow("all, failed") << 0 << 4 << QStringList {"wx3", "ali3"};
    QTest::newRow("WeChat, all") << 1 << 0 << QStringList {"wx0", "wx1", "wx2", "wx3", "wx4"};
    QTest::newRow("WeChat, paid") << 1 << 1 << QStringList {"wx1"};
    QTest::newRow("WeChat, not paid") << 1 << 2 << QStringList {"wx0"};
    QTest::newRow("WeChat, awaiting: none") << 1 << 3 << QStringList {};
    QTest::newRow("WeChat, failed: none") << 1 << 4 << QStringList {};
    QTest::newRow("Alipay, all") << 2 << 0 << QStringList {"ali0", "ali1", "ali3", "ali4"};
    QTest::newRow("Alipay, paid") << 2 << 1 << QStringList {"ali1"};
    QTest::newRow("Alipay, not paid") << 2 << 2 << QStringList {"ali0"};
    QTest::newRow("Alipay, awaiting: none") << 2 << 3 << QStringList {};
    QTest::newRow("unknown type") << 3 << 0 << QStringList {};
    QTest::newRow("unknown status") << 0 << 5 << QStringList {};
    QTest::newRow("no selection") << -1 << -1 << QStringList {};
}

void TestOrderList::filter()
{
    QFETCH(int, type);
    QFETCH(int, status);
    QFETCH(QStringList, passing);

    std::vector<OrderRecord> records;
    for (const char *status : {"0", "1", "2", "3", "4"})
        records.push_back(order(std::string("wx") + status, "wx", status));
    for (const char *status : {"0", "1", "3", "4"})
        records.push_back(order(std::string("ali") + status, "ali", status));
    records.push_back(order("x1", "unionpay", "1"));

    OrderFilter(type, status).apply(records);
    QCOMPARE(numbers(records), passing);
}

void TestOrderList::paging_data()
{
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("pages");
    QTest::addColumn<int>("rowsOnLastPage");

    QTest::newRow("none") << 0 << 0 << 0;
    QTest::newRow("ten: one page") << 10 << 1 << 10;
    QTest::newRow("eleven: two pages") << 11 << 2 << 1;
    QTest::newRow("twenty") << 20 << 2 << 10;
    QTest::newRow("25") << 25 << 3 << 5;
}

void TestOrderList::paging()
{
    QFETCH(int, records);
    QFETCH(int, pages);
    QFETCH(int, rowsOnLastPage);

    OrderPages list;
    list.setRecords(numbered(records));
    QCOMPARE(list.pageCount(), pages);
    QCOMPARE(list.currentPage(), 1);
    QVERIFY(!list.previousPage());
    QCOMPARE(list.currentPage(), 1);

    for (int page = 2; page <= pages; ++page) {
        QVERIFY(list.nextPage());
        QCOMPARE(list.currentPage(), page);
    }
    // Next on the last page changes nothing.
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

void TestOrderList::pageTwoRowThreeIsRecordThirteen()
{
    OrderPages list;
    list.setRecords(numbered(25));
    QVERIFY(list.nextPage());
    QCOMPARE(list.recordIndex(3), 13);
    QVERIFY(list.recordAt(3));
    QCOMPARE(list.recordAt(3)->orderNumber, std::string("13"));
    QCOMPARE(list.recordIndex(10), -1);
    QCOMPARE(list.recordIndex(-1), -1);
}

void TestOrderList::pageLabels_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<int>("records");
    QTest::addColumn<QString>("label");

    const QString r = QStringLiteral("<font style='color:rgba(193,39,45,1);'>");
    const QString r2 = QStringLiteral("<font style='color:rgba(193,39,45,1,1);'>");
    const QString e = QStringLiteral("</font>");
    QTest::newRow("Chinese") << 1 << 11
                             << "共 " + r + "11" + e + " 条记录     共 " + r2 + "2" + e
            + " 页     第 " + r2 + "2" + e + " 页";
    QTest::newRow("English") << 2 << 11
                             << "total " + r + "11" + e + " records     total " + r + "2" + e
            + " page     page " + r + "2" + e;
    QTest::newRow("Vietnamese") << 0 << 11
                                << "Tổng " + r + "11" + e + " mục   tổng " + r + "2" + e
            + " trang   Trang " + r + "2" + e;
    QTest::newRow("Chinese, empty")
        << 1 << 0
        << "共 " + r + "0" + e + " 条记录   共 " + r + "0" + e + " 页   第 " + r + "0" + e + " 页";
    QTest::newRow("English, empty") << 2 << 0
                                    << "total " + r + "0" + e + " records   total " + r + "0" + e
            + " page   page " + r + "0" + e;
    QTest::newRow("Vietnamese, empty")
        << 0 << 0
        << "Tổng " + r + "0" + e + " mục   tổng " + r + "0" + e + " trang   Trang " + r + "0" + e;
}

void TestOrderList::pageLabels()
{
    QFETCH(int, language);
    QFETCH(int, records);
    QFETCH(QString, label);

    OrderPages list;
    list.setRecords(numbered(records));
    list.nextPage();
    const QString shown = records == 0 ? OrderQueryTexts::zeroPageLabel(language)
                                       : OrderQueryTexts::pageLabel(language, list.recordCount(),
                                           list.pageCount(), list.currentPage());
    QCOMPARE(shown, label);
}

void TestOrderList::amountTexts_data()
{
    QTest::addColumn<QString>("totalFee");
    QTest::addColumn<QString>("shown");

    QTest::newRow("one cent") << "1"
                              << "0.01";
    QTest::newRow("no exponent") << "250000000"
                                 << "2500000";
    QTest::newRow("trailing zero dropped") << "1250"
                                           << "12.5";
    QTest::newRow("whole") << "1500000"
                           << "15000";
    QTest::newRow("not a number, as it came") << "12,50"
                                              << "12,50";
    QTest::newRow("empty") << ""
                           << "";
}

void TestOrderList::amountTexts()
{
    QFETCH(QString, totalFee);
    QFETCH(QString, shown);
    const OrderRecord record = order("1", "wx", "1", "1", totalFee.toStdString());
    QCOMPARE(QString::fromStdString(record.amountText()), shown);
    QCOMPARE(OrderQueryTexts::rowTexts(1, record, false)[1], shown);
}

void TestOrderList::statusTexts_data()
{
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("listed");
    QTest::addColumn<QString>("refreshed");

    QTest::newRow("0") << "0"
                       << "未支付"
                       << "未支付";
    QTest::newRow("1") << "1"
                       << "支付成功"
                       << "支付成功";
    QTest::newRow("2 reads paid only in the list") << "2"
                                                   << "支付成功"
                                                   << "";
    QTest::newRow("3") << "3"
                       << ""
                       << "支付失败";
    QTest::newRow("4") << "4"
                       << ""
                       << "待支付";
    QTest::newRow("unknown") << "9"
                             << ""
                             << "";
}

void TestOrderList::statusTexts()
{
    QFETCH(QString, status);
    QFETCH(QString, listed);
    QFETCH(QString, refreshed);
    const OrderRecord record = order("1", "ali", status.toStdString(), "2");
    QCOMPARE(OrderQueryTexts::rowTexts(1, record, false)[4], listed);
    QCOMPARE(OrderQueryTexts::rowTexts(1, record, true)[4], refreshed);
    QCOMPARE(OrderQueryTexts::rowTexts(1, record, false)[2], QStringLiteral("支付宝"));
    QCOMPARE(OrderQueryTexts::rowTexts(1, record, false)[5], QStringLiteral("已退款"));
    QCOMPARE(record.refundable(), false);
}

void TestOrderList::reprintMessage()
{
    const OrderRecord record = order("202612071015001000001", "wx", "1", "1", "1250");
    QVERIFY(record.refundable());
    QCOMPARE(QString::fromStdWString(record.receiptMessage()),
        QStringLiteral("##wx#12.5#12.5#2026-12-07 10:15:00#202612071015001000001"));
}

void TestOrderList::dateTexts_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("text");

    QTest::newRow("Chinese") << 1 << " 2019年7月5日";
    QTest::newRow("English") << 2 << " July 5,2019";
    QTest::newRow("Vietnamese") << 0 << " Ngày 5 tháng 7 năm 2019";
}

void TestOrderList::dateTexts()
{
    QFETCH(int, language);
    QFETCH(QString, text);
    QCOMPARE(DateText::display(language, 2019, 7, 5), text);
    QCOMPARE(DateText::display(2, 2019, 1, 31), QStringLiteral(" Janurary 31,2019"));
    QCOMPARE(DateText::compact(2019, 7, 5), std::string("20190705"));
    QCOMPARE(DateText::compact(2019, 12, 25), std::string("20191225"));
}

QTEST_GUILESS_MAIN(TestOrderList)
#include "TestOrderList.moc"
