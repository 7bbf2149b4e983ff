#include "Reply.h"

#include <QtTest>

#include <optional>
#include <string>
#include <vector>

namespace {

QByteArray q(const std::string &text)
{
    return QByteArray::fromStdString(text);
}

struct Order
{
    std::string outTradeNo;
    std::string total;
};

} // namespace

class TestReply : public QObject
{
    Q_OBJECT

private slots:
    void bodiesThatAreNotJsonGiveNoReply_data();
    void bodiesThatAreNotJsonGiveNoReply();
    void nestingUpToTheBoundIsRead_data();
    void nestingUpToTheBoundIsRead();
    void valuesOfTheWrongShapeMarkTheReply_data();
    void valuesOfTheWrongShapeMarkTheReply();
    void readsByDottedPath();
    void missingPathStopsTheLaterReads();
    void missingFirstPathReadsNothing();
    void wideReadsDecodeUtf8_data();
    void wideReadsDecodeUtf8();
    void numbersAndBooleansReadAsText_data();
    void numbersAndBooleansReadAsText();
    void forEachVisitsEntriesInOrder();
    void forEachStopsAtAnEntryMissingAField();
    void forEachOverMissingPathStopsTheReader();
    void forEachOverEmptyList();
    void eachReaderStartsAfresh();
};

void TestReply::bodiesThatAreNotJsonGiveNoReply_data()
{
    QTest::addColumn<QByteArray>("body");

    QTest::newRow("empty") << QByteArray("");
    QTest::newRow("html error page") << QByteArray("<html><body>502 Bad Gateway</body></html>");
    QTest::newRow("plain text") << QByteArray("not json");
    QTest::newRow("cut short") << QByteArray("{\"code\":\"100\",\"msg\":");
    QTest::newRow("unbalanced") << QByteArray("{\"code\":\"100\"");
    QTest::newRow("unquoted name") << QByteArray("{code:\"100\"}");
    QTest::newRow("a list") << QByteArray("[{\"code\":\"100\"}]");
    QTest::newRow("null") << QByteArray("null");
    QTest::newRow("a text") << QByteArray("\"100\"");
    QTest::newRow("a number") << QByteArray("100");
    QTest::newRow("NUL byte inside a text") << QByteArray("{\"code\":\"1\0"
                                                          "00\"}",
        15);
    QTest::newRow("100000 open lists") << QByteArray(100000, '[');
    QTest::newRow("deep lists inside an object")
        << "{\"code\":" + QByteArray(200000, '[') + QByteArray(200000, ']') + "}";
    QTest::newRow("one object too deep") << "{" + QByteArray("\"a\":{").repeated(Reply::kMaxDepth)
            + "}" + QByteArray(Reply::kMaxDepth, '}');
}

void TestReply::nestingUpToTheBoundIsRead_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("path");
    const int inner = Reply::kMaxDepth - 1; // objects inside the outermost one
    QTest::newRow("objects at the bound") << "{" + QByteArray("\"a\":{").repeated(inner - 1)
            + "\"a\":{\"v\":\"x\"}" + QByteArray(inner - 1, '}')
            + "}" << QByteArray("a.").repeated(inner) + "v";
    QTest::newRow("brackets inside texts do not count")
        << "{\"v\":\"x\",\"w\":\"" + QByteArray(5000, '[') + "\\\"{\"}" << QByteArray("v");
}

void TestReply::nestingUpToTheBoundIsRead()
{
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, path);
    const std::optional<Reply> reply = Reply::parse(body.toStdString());
    QVERIFY(reply.has_value());
    ReplyReader reader = reply->reader();
    std::string value;
    QVERIFY(reader.read(path.constData(), value));
    QCOMPARE(q(value), QByteArray("x"));
}

void TestReply::valuesOfTheWrongShapeMarkTheReply_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<bool>("read");
    QTest::addColumn<bool>("malformed");

    QTest::newRow("a text") << QByteArray(R"({"data":{"v":"x"}})") << QByteArray("data.v") << true
                            << false;
    QTest::newRow("an empty object reads as an empty text")
        << QByteArray(R"({"data":{"v":{}}})") << QByteArray("data.v") << true << false;
    QTest::newRow("missing") << QByteArray(R"({"data":{}})") << QByteArray("data.v") << false
                             << false;
    QTest::newRow("object where a text is expected")
        << QByteArray(R"({"data":{"v":{"w":"x"}}})") << QByteArray("data.v") << false << true;
    QTest::newRow("list where a text is expected")
        << QByteArray(R"({"data":{"v":["x"]}})") << QByteArray("data.v") << false << true;
    QTest::newRow("list where an object is expected")
        << QByteArray(R"({"data":[{"v":"x"}]})") << QByteArray("data.v") << false << true;
    QTest::newRow("text where an object is expected")
        << QByteArray(R"({"data":"v"})") << QByteArray("data.v") << false << true;
}

void TestReply::valuesOfTheWrongShapeMarkTheReply()
{
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, path);
    QFETCH(bool, read);
    QFETCH(bool, malformed);
    const std::optional<Reply> reply = Reply::parse(body.toStdString());
    QVERIFY(reply.has_value());
    ReplyReader reader = reply->reader();
    std::string value;
    QCOMPARE(reader.read(path.constData(), value), read);
    QCOMPARE(reader.malformed(), malformed);
    QCOMPARE(reader.stopped(), !read);

    // The same holds inside the entries of a list.
    const std::optional<Reply> list = Reply::parse("{\"list\":[" + body.toStdString() + "]}");
    QVERIFY(list.has_value());
    ReplyReader listReader = list->reader();
    listReader.forEach("list", [&path](ReplyReader &entry) {
        std::string ignored;
        entry.read(path.constData(), ignored);
    });
    QCOMPARE(listReader.malformed(), malformed);
}

void TestReply::bodiesThatAreNotJsonGiveNoReply()
{
    QFETCH(QByteArray, body);

    QVERIFY(!Reply::parse(body.toStdString()).has_value());
}

void TestReply::readsByDottedPath()
{
    const std::optional<Reply> reply = Reply::parse(
        R"({"code":"100","msg":"ok","data":{"appid":"2024030001","store":{"name":"A1"}}})");
    QVERIFY(reply.has_value());

    ReplyReader reader = reply->reader();
    std::string code, msg, appid, storeName;
    QVERIFY(reader.read("code", code));
    QVERIFY(reader.read("msg", msg));
    QVERIFY(reader.read("data.appid", appid));
    QVERIFY(reader.read("data.store.name", storeName));
    QVERIFY(!reader.stopped());
    QCOMPARE(q(code), QByteArray("100"));
    QCOMPARE(q(msg), QByteArray("ok"));
    QCOMPARE(q(appid), QByteArray("2024030001"));
    QCOMPARE(q(storeName), QByteArray("A1"));
}

void TestReply::missingPathStopsTheLaterReads()
{
    // A login reply whose data lacks "key": what was read before stays, nothing after is read.
    const std::optional<Reply> reply
        = Reply::parse(R"({"code":"100","msg":"success","data":{"appid":"APP-2",)"
                       R"("sid":"1024","uid":"77","api_time":"1709618829",)"
                       R"("mch_name":"好运便利店"}})");
    QVERIFY(reply.has_value());

    ReplyReader reader = reply->reader();
    std::string code;
    QVERIFY(reader.read("code", code));
    QCOMPARE(q(code), QByteArray("100"));

    std::string appid = "old-appid";
    std::string key = "old-key";
    std::string sid = "old-sid";
    std::string uid = "old-uid";
    std::wstring mchName = L"old-name";
    QVERIFY(reader.read("data.appid", appid));
    QVERIFY(!reader.read("data.key", key));
    QVERIFY(reader.stopped());
    QVERIFY(!reader.read("data.sid", sid));
    QVERIFY(!reader.read("data.uid", uid));
    QVERIFY(!reader.read("data.mch_name", mchName));

    QCOMPARE(q(appid), QByteArray("APP-2"));
    QCOMPARE(q(key), QByteArray("old-key"));
    QCOMPARE(q(sid), QByteArray("old-sid"));
    QCOMPARE(q(uid), QByteArray("old-uid"));
    QVERIFY(mchName == L"old-name");
}

void TestReply::missingFirstPathReadsNothing()
{
    const std::optional<Reply> reply = Reply::parse(R"({"code":"201","msg":"bad sign"})");
    QVERIFY(reply.has_value());

    ReplyReader reader = reply->reader();
    std::string data = "unchanged";
    std::string code = "unchanged";
    QVERIFY(!reader.read("data.appid", data));
    QVERIFY(!reader.read("code", code));
    QCOMPARE(q(data), QByteArray("unchanged"));
    QCOMPARE(q(code), QByteArray("unchanged"));
}

void TestReply::wideReadsDecodeUtf8_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("expected");

    QTest::newRow("chinese") << QByteArray(R"({"v":"好运便利店"})") << QStringLiteral("好运便利店");
    QTest::newRow("vietnamese") << QByteArray(R"({"v":"Cửa hàng số 1"})")
                                << QStringLiteral("Cửa hàng số 1");
    QTest::newRow("escaped chinese")
        << QByteArray(R"({"v":"\u6536\u6b3e"})") << QStringLiteral("收款");
    QTest::newRow("escaped quote") << QByteArray(R"({"v":"a\"b"})") << QStringLiteral("a\"b");
    QTest::newRow("outside the basic plane") << QByteArray("{\"v\":\"ok \xf0\x9f\x98\x80\"}")
                                             << QString::fromUtf8("ok \xf0\x9f\x98\x80");
    QTest::newRow("ascii") << QByteArray(R"({"v":"store 9"})") << QStringLiteral("store 9");
}

void TestReply::wideReadsDecodeUtf8()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, expected);

    const std::optional<Reply> reply = Reply::parse(body.toStdString());
    QVERIFY(reply.has_value());
    ReplyReader reader = reply->reader();
    std::wstring wide;
    QVERIFY(reader.read("v", wide));
    QCOMPARE(QString::fromStdWString(wide), expected);
}

void TestReply::numbersAndBooleansReadAsText_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QByteArray>("text");

    QTest::newRow("integer") << QByteArray("100") << QByteArray("100");
    QTest::newRow("negative") << QByteArray("-7") << QByteArray("-7");
    QTest::newRow("decimal") << QByteArray("12.5") << QByteArray("12.5");
    QTest::newRow("large integer") << QByteArray("250000000") << QByteArray("250000000");
    QTest::newRow("true") << QByteArray("true") << QByteArray("true");
    QTest::newRow("false") << QByteArray("false") << QByteArray("false");
}

void TestReply::numbersAndBooleansReadAsText()
{
    QFETCH(QByteArray, json);
    QFETCH(QByteArray, text);

    const std::optional<Reply> reply
        = Reply::parse((QByteArray("{\"data\":{\"v\":") + json + "}}").toStdString());
    QVERIFY(reply.has_value());
    ReplyReader reader = reply->reader();
    std::string value;
    QVERIFY(reader.read("data.v", value));
    QCOMPARE(q(value), text);
}

void TestReply::forEachVisitsEntriesInOrder()
{
    const std::optional<Reply> reply
        = Reply::parse(R"({"code":"100","data":{"order_data":[)"
                       R"({"out_trade_no":"T3","total":"100"},)"
                       R"({"out_trade_no":"T1","total":250},)"
                       R"({"out_trade_no":"T2","total":"1"}],"count":"3"}})");
    QVERIFY(reply.has_value());

    ReplyReader reader = reply->reader();
    std::vector<Order> orders;
    const bool complete = reader.forEach("data.order_data", [&orders](ReplyReader &entry) {
        Order order;
        entry.read("out_trade_no", order.outTradeNo);
        entry.read("total", order.total);
        orders.push_back(order);
    });
    QVERIFY(complete);
    QVERIFY(!reader.stopped());
    QCOMPARE(int(orders.size()), 3);
    QCOMPARE(q(orders[0].outTradeNo), QByteArray("T3"));
    QCOMPARE(q(orders[0].total), QByteArray("100"));
    QCOMPARE(q(orders[1].outTradeNo), QByteArray("T1"));
    QCOMPARE(q(orders[1].total), QByteArray("250"));
    QCOMPARE(q(orders[2].outTradeNo), QByteArray("T2"));
    QCOMPARE(q(orders[2].total), QByteArray("1"));

    std::string count;
    QVERIFY(reader.read("data.count", count));
    QCOMPARE(q(count), QByteArray("3"));
}

void TestReply::forEachStopsAtAnEntryMissingAField()
{
    const std::optional<Reply> reply
        = Reply::parse(R"({"code":"100","data":{"order_data":[)"
                       R"({"out_trade_no":"T1","total":"100"},)"
                       R"({"out_trade_no":"T2"},)"
                       R"({"out_trade_no":"T3","total":"300"}],"count":"3"}})");
    QVERIFY(reply.has_value());

    ReplyReader reader = reply->reader();
    int visits = 0;
    std::vector<Order> complete;
    const bool finished = reader.forEach("data.order_data", [&](ReplyReader &entry) {
        ++visits;
        Order order;
        if (entry.read("out_trade_no", order.outTradeNo) && entry.read("total", order.total))
            complete.push_back(order);
    });
    QVERIFY(!finished);
    QCOMPARE(visits, 2);
    QCOMPARE(int(complete.size()), 1);
    QCOMPARE(q(complete[0].outTradeNo), QByteArray("T1"));
    QVERIFY(reader.stopped());

    std::string count = "unchanged";
    QVERIFY(!reader.read("data.count", count));
    QCOMPARE(q(count), QByteArray("unchanged"));
}

void TestReply::forEachOverMissingPathStopsTheReader()
{
    const std::optional<Reply> reply = Reply::parse(R"({"code":"100","data":{"count":"0"}})");
    QVERIFY(reply.has_value());

    ReplyReader reader = reply->reader();
    int visits = 0;
    QVERIFY(!reader.forEach("data.order_data", [&visits](ReplyReader &) { ++visits; }));
    QCOMPARE(visits, 0);
    QVERIFY(reader.stopped());
    std::string code = "unchanged";
    QVERIFY(!reader.read("code", code));
    QCOMPARE(q(code), QByteArray("unchanged"));
}

void TestReply::forEachOverEmptyList()
{
    const std::optional<Reply> reply
        = Reply::parse(R"({"code":"100","data":{"order_data":[],"count":"0"}})");
    QVERIFY(reply.has_value());

    ReplyReader reader = reply->reader();
    int visits = 0;
    QVERIFY(reader.forEach("data.order_data", [&visits](ReplyReader &) { ++visits; }));
    QCOMPARE(visits, 0);
    std::string count;
    QVERIFY(reader.read("data.count", count));
    QCOMPARE(q(count), QByteArray("0"));
}

void TestReply::eachReaderStartsAfresh()
{
    const std::optional<Reply> reply = Reply::parse(R"({"code":"100","msg":"ok"})");
    QVERIFY(reply.has_value());

    ReplyReader first = reply->reader();
    std::string value;
    QVERIFY(!first.read("data", value));
    QVERIFY(first.stopped());

    ReplyReader second = reply->reader();
    QVERIFY(!second.stopped());
    QVERIFY(second.read("msg", value));
    QCOMPARE(q(value), QByteArray("ok"));
}

QTEST_GUILESS_MAIN(TestReply)
#include "TestReply.moc"
