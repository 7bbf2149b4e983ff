#include "FaultPlan.h"

#include <QtTest>

#include <thread>
#include <vector>

Q_DECLARE_METATYPE(Fault::Kind)

class TestFaultPlan : public QObject
{
    Q_OBJECT

private slots:
    void appliesEachFaultCountTimesInOrder();
    void clearDropsEverything();
    void zeroCountIsIgnored();
    void concurrentTakesNeverOverApply();
    void parse_data();
    void parse();
    void parseRefuses_data();
    void parseRefuses();
    void hostileBodies_data();
    void hostileBodies();
};

void TestFaultPlan::appliesEachFaultCountTimesInOrder()
{
    FaultPlan plan;
    QVERIFY(!plan.take());
    plan.add({Fault::Kind::Status, 500, 2});
    plan.add({Fault::Kind::Delay, 10, 1});
    QCOMPARE(plan.pending(), 3);

    const std::vector<std::pair<Fault::Kind, int>> expected
        = {{Fault::Kind::Status, 500}, {Fault::Kind::Status, 500}, {Fault::Kind::Delay, 10}};
    for (const auto &step : expected) {
        const std::optional<Fault> fault = plan.take();
        QVERIFY(fault);
        QCOMPARE(fault->kind, step.first);
        QCOMPARE(fault->value, step.second);
        QCOMPARE(fault->count, 1);
    }
    QCOMPARE(plan.pending(), 0);
    QVERIFY(!plan.take());
}

void TestFaultPlan::clearDropsEverything()
{
    FaultPlan plan;
    plan.add({Fault::Kind::Drop, 0, 5});
    plan.add({Fault::Kind::InvalidJson, 0, 1});
    plan.clear();
    QCOMPARE(plan.pending(), 0);
    QVERIFY(!plan.take());
}

void TestFaultPlan::zeroCountIsIgnored()
{
    FaultPlan plan;
    plan.add({Fault::Kind::Drop, 0, 0});
    QCOMPARE(plan.pending(), 0);
    QVERIFY(!plan.take());
}

void TestFaultPlan::concurrentTakesNeverOverApply()
{
    FaultPlan plan;
    const int faults = 1000;
    plan.add({Fault::Kind::Status, 503, faults});
    std::atomic<int> taken {0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&plan, &taken] {
            for (int i = 0; i < 400; ++i) {
                if (plan.take()) {
                    ++taken;
                }
            }
        });
    }
    for (std::thread &thread : threads) {
        thread.join();
    }
    QCOMPARE(taken.load(), faults);
    QCOMPARE(plan.pending(), 0);
}

void TestFaultPlan::parse_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("isClear");
    QTest::addColumn<Fault::Kind>("kind");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("count");

    QTest::newRow("delay") << QByteArray(R"({"kind":"delay","ms":2000,"count":1})") << false
                           << Fault::Kind::Delay << 2000 << 1;
    QTest::newRow("delay 0 ms, strings") << QByteArray(R"({"kind":"delay","ms":"0","count":"3"})")
                                         << false << Fault::Kind::Delay << 0 << 3;
    QTest::newRow("status default count") << QByteArray(R"({"kind":"status","status":500})")
                                          << false << Fault::Kind::Status << 500 << 1;
    QTest::newRow("invalid json") << QByteArray(R"({"kind":"invalid_json","count":4})") << false
                                  << Fault::Kind::InvalidJson << 0 << 4;
    QTest::newRow("redirect hops") << QByteArray(R"({"kind":"redirect","hops":6})") << false
                                   << Fault::Kind::Redirect << 6 << 1;
    QTest::newRow("redirect length") << QByteArray(R"({"kind":"redirect","length":5})") << false
                                     << Fault::Kind::Redirect << 5 << 1;
    QTest::newRow("drop") << QByteArray(R"({"kind":"drop"})") << false << Fault::Kind::Drop << 0
                          << 1;
    QTest::newRow("body") << QByteArray(R"({"kind":"body","body":"{\"code\":\"100\"}"})") << false
                          << Fault::Kind::Body << 0 << 1;
    QTest::newRow("empty body") << QByteArray(R"({"kind":"body","body":"","count":2})") << false
                                << Fault::Kind::Body << 0 << 2;
    QTest::newRow("drop reply") << QByteArray(R"({"kind":"drop_reply"})") << false
                                << Fault::Kind::DropReply << 0 << 1;
    QTest::newRow("cut reply") << QByteArray(R"({"kind":"cut_reply","count":3})") << false
                               << Fault::Kind::CutReply << 0 << 3;
    QTest::newRow("paid late, default queries")
        << QByteArray(R"({"kind":"paid_late"})") << false << Fault::Kind::PaidLate << 15 << 1;
    QTest::newRow("paid late, 0 queries") << QByteArray(R"({"kind":"paid_late","queries":0})")
                                          << false << Fault::Kind::PaidLate << 0 << 1;
    QTest::newRow("clear") << QByteArray(R"({"kind":"clear"})") << true << Fault::Kind::Delay << 0
                           << 1;
}

void TestFaultPlan::parse()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, isClear);
    QFETCH(Fault::Kind, kind);
    QFETCH(int, value);
    QFETCH(int, count);

    Fault fault;
    bool clear = !isClear;
    std::string error;
    QVERIFY2(FaultPlan::parse(json.toStdString(), fault, clear, error), error.c_str());
    QCOMPARE(clear, isClear);
    if (!isClear) {
        QCOMPARE(fault.kind, kind);
        if (kind == Fault::Kind::Body) {
            QCOMPARE(fault.body, std::string(count == 1 ? R"({"code":"100"})" : ""));
        }
        QCOMPARE(fault.value, value);
        QCOMPARE(fault.count, count);
    }
}

void TestFaultPlan::parseRefuses_data()
{
    QTest::addColumn<QByteArray>("json");

    QTest::newRow("not json") << QByteArray("kind=delay");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("unknown kind") << QByteArray(R"({"kind":"explode"})");
    QTest::newRow("no kind") << QByteArray(R"({"ms":100})");
    QTest::newRow("delay without ms") << QByteArray(R"({"kind":"delay"})");
    QTest::newRow("negative ms") << QByteArray(R"({"kind":"delay","ms":-5})");
    QTest::newRow("ms too long") << QByteArray(R"({"kind":"delay","ms":600001})");
    QTest::newRow("status too small") << QByteArray(R"({"kind":"status","status":99})");
    QTest::newRow("status too big") << QByteArray(R"({"kind":"status","status":600})");
    QTest::newRow("status text") << QByteArray(R"({"kind":"status","status":"five"})");
    QTest::newRow("redirect 0") << QByteArray(R"({"kind":"redirect","hops":0})");
    QTest::newRow("redirect too long") << QByteArray(R"({"kind":"redirect","hops":51})");
    QTest::newRow("body missing") << QByteArray(R"({"kind":"body"})");
    QTest::newRow("paid late too late") << QByteArray(R"({"kind":"paid_late","queries":1001})");
    QTest::newRow("body not a string") << QByteArray(R"({"kind":"body","body":{"code":"1"}})");
    QTest::newRow("count 0") << QByteArray(R"({"kind":"drop","count":0})");
    QTest::newRow("count fraction") << QByteArray(R"({"kind":"drop","count":1.5})");
    QTest::newRow("body and body_base64")
        << QByteArray(R"({"kind":"body","body":"a","body_base64":"YQ=="})");
    QTest::newRow("not base64") << QByteArray(R"({"kind":"body","body_base64":"a!=="})");
    QTest::newRow("repeat 0") << QByteArray(R"({"kind":"body","body":"[","repeat":0})");
    QTest::newRow("larger than 128 MiB")
        << QByteArray(R"({"kind":"body","body":"[[","repeat":67108864,"suffix":"]"})");
    QTest::newRow("location not a string")
        << QByteArray(R"({"kind":"redirect","location":["http://x"]})");
}

void TestFaultPlan::hostileBodies_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QByteArray>("body");

    QTest::newRow("deep nesting") << QByteArray(
        R"({"kind":"body","prefix":"{\"code\":","body":"[","repeat":100000})")
                                  << "{\"code\":" + QByteArray(100000, '[');
    QTest::newRow("megabytes") << QByteArray(
        R"({"kind":"body","prefix":"{\"msg\":\"","body":"0123456789abcdef","repeat":262144,"suffix":"\"}"})")
                               << "{\"msg\":\"" + QByteArray("0123456789abcdef").repeated(262144)
            + "\"}";
    QTest::newRow("NUL characters")
        << QByteArray(R"({"kind":"body","body":"{\"code\":\"1\u00000\"}"})")
        << QByteArray("{\"code\":\"1\0"
                      "0\"}",
               14);
    QTest::newRow("bytes that are not text")
        << QByteArray(R"({"kind":"body","body_base64":"3q2+7w=="})")
        << QByteArray("\xde\xad\xbe\xef");
    QTest::newRow("redirect to a location")
        << QByteArray(R"({"kind":"redirect","location":"http://127.0.0.1:1/api/login"})")
        << QByteArray("http://127.0.0.1:1/api/login");
}

void TestFaultPlan::hostileBodies()
{
    QFETCH(QByteArray, json);
    QFETCH(QByteArray, body);
    Fault fault;
    bool clear = false;
    std::string error;
    QVERIFY2(FaultPlan::parse(json.toStdString(), fault, clear, error), error.c_str());
    QCOMPARE(QByteArray::fromStdString(fault.body), body);
}

void TestFaultPlan::parseRefuses()
{
    QFETCH(QByteArray, json);

    Fault fault;
    bool clear = false;
    std::string error;
    QVERIFY(!FaultPlan::parse(json.toStdString(), fault, clear, error));
    QVERIFY(!error.empty());
}

QTEST_GUILESS_MAIN(TestFaultPlan)
#include "TestFaultPlan.moc"
