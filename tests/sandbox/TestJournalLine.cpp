#include "Journal.h"
#include "JsonWriter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <thread>
#include <vector>

class TestJournalLine : public QObject
{
    Q_OBJECT

private slots:
    void writerNestsObjectsAndArrays();
    void writerKeepsUtf8AndEscapes();
    void lineHoldsBodyExactly_data();
    void lineHoldsBodyExactly();
    void invalidUtf8GetsBase64();
    void utf8Validation_data();
    void utf8Validation();
    void concurrentAppendsStayWhole();
};

namespace {

QJsonObject parsed(const std::string &text)
{
    QJsonParseError error {};
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
    if (error.error != QJsonParseError::NoError) {
        qWarning("not JSON (%s): %s", qPrintable(error.errorString()), text.c_str());
    }
    return document.object();
}

} // namespace

void TestJournalLine::writerNestsObjectsAndArrays()
{
    JsonWriter writer;
    writer.beginObject().field("code", "100").beginObject("data").beginArray("order_data");
    writer.beginObject().field("out_trade_no", "1").field("total_fee", "1250").endObject();
    writer.beginObject().field("out_trade_no", "2").endObject();
    writer.endArray().field("after", "x").endObject().endObject();

    const QJsonObject root = parsed(writer.text());
    QCOMPARE(root.value("code").toString(), QStringLiteral("100"));
    const QJsonObject data = root.value("data").toObject();
    const QJsonArray orders = data.value("order_data").toArray();
    QCOMPARE(orders.size(), 2);
    QCOMPARE(orders.at(0).toObject().value("total_fee").toString(), QStringLiteral("1250"));
    QCOMPARE(orders.at(1).toObject().value("out_trade_no").toString(), QStringLiteral("2"));
    QCOMPARE(data.value("after").toString(), QStringLiteral("x"));

    JsonWriter empty;
    empty.beginObject().beginArray("order_data").endArray().endObject();
    QCOMPARE(empty.text(), std::string(R"({"order_data":[]})"));
}

void TestJournalLine::writerKeepsUtf8AndEscapes()
{
    const std::string msg = "演示商户 \"quoted\" back\\slash\nline\ttab\x01";
    const std::string text = JsonWriter::refusal("201", msg);
    // UTF-8 passes byte for byte (no \u escapes of Chinese text).
    QVERIFY(text.find("演示商户") != std::string::npos);
    QCOMPARE(parsed(text).value("msg").toString().toStdString(), msg);
    QCOMPARE(parsed(text).value("code").toString(), QStringLiteral("201"));

    // A name or value repeated from a request that was not UTF-8 still gives JSON.
    JsonWriter echo;
    echo.beginObject().field("\xff=", "a\xc3").endObject();
    QCOMPARE(
        parsed(echo.text()).value(QStringLiteral("\uFFFD=")).toString(), QStringLiteral("a\uFFFD"));
}

void TestJournalLine::lineHoldsBodyExactly_data()
{
    QTest::addColumn<QByteArray>("body");

    QTest::newRow("json") << QByteArray(R"({"type":"1","terminal":"2","tel":"138"})");
    QTest::newRow("chinese") << QByteArray("{\"refund_desc\":\"顾客退货\"}");
    QTest::newRow("quotes and backslashes") << QByteArray("a\"b\\c\\\"d");
    QTest::newRow("controls") << QByteArray("line1\r\nline2\t\x01\x1f");
    QTest::newRow("form") << QByteArray("loginName=138&orderMoney=12.50&authCode=1%2B2");
    QTest::newRow("empty") << QByteArray();
}

void TestJournalLine::lineHoldsBodyExactly()
{
    QFETCH(QByteArray, body);

    JournalEntry entry {
        "POST", "/api/face", {{"Content-Type", "application/json"}}, body.toStdString()};
    const std::string line = Journal::line(entry, "2026-12-07T10:15:00.123");
    QVERIFY(line.find('\n') == std::string::npos);
    const QJsonObject object = parsed(line);
    QCOMPARE(object.value("time").toString(), QStringLiteral("2026-12-07T10:15:00.123"));
    QCOMPARE(object.value("method").toString(), QStringLiteral("POST"));
    QCOMPARE(object.value("path").toString(), QStringLiteral("/api/face"));
    QCOMPARE(object.value("headers").toObject().value("Content-Type").toString(),
        QStringLiteral("application/json"));
    QCOMPARE(object.value("body").toString().toUtf8(), body);
    QVERIFY(!object.contains("body_base64"));
}

void TestJournalLine::invalidUtf8GetsBase64()
{
    const QByteArray body("ab\xff\xfe\x80"
                          "cd\xe4\xb8",
        9);
    JournalEntry entry {"POST", "/api/face", {}, body.toStdString()};
    const QJsonObject object = parsed(Journal::line(entry, "t"));
    QCOMPARE(QByteArray::fromBase64(object.value("body_base64").toString().toLatin1()), body);
    const QString readable = object.value("body").toString();
    QVERIFY(readable.startsWith("ab"));
    QVERIFY(readable.contains(QChar(0xFFFD)));
    QVERIFY(readable.contains("cd"));
}

void TestJournalLine::utf8Validation_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("valid");

    QTest::newRow("ascii") << QByteArray("abc") << true;
    QTest::newRow("chinese") << QByteArray("演示门店") << true;
    QTest::newRow("4-byte") << QByteArray("\xf0\x9f\x98\x80") << true;
    QTest::newRow("lone continuation") << QByteArray("\x80") << false;
    QTest::newRow("truncated") << QByteArray("\xe6\xbc") << false;
    QTest::newRow("overlong") << QByteArray("\xc0\xaf") << false;
    QTest::newRow("surrogate") << QByteArray("\xed\xa0\x80") << false;
    QTest::newRow("above U+10FFFF") << QByteArray("\xf4\x90\x80\x80") << false;
}

void TestJournalLine::utf8Validation()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, valid);

    QCOMPARE(JsonWriter::isValidUtf8(bytes.toStdString()), valid);
    QVERIFY(JsonWriter::isValidUtf8(JsonWriter::validUtf8(bytes.toStdString())));
    if (valid) {
        QCOMPARE(JsonWriter::validUtf8(bytes.toStdString()), bytes.toStdString());
    }
}

void TestJournalLine::concurrentAppendsStayWhole()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("journal.jsonl");
    const int threads = 4;
    const int perThread = 200;
    {
        Journal journal;
        std::string error;
        QVERIFY2(journal.open(path.toStdString(), error), error.c_str());
        std::vector<std::thread> writers;
        for (int t = 0; t < threads; ++t) {
            writers.emplace_back([&journal, t] {
                for (int i = 0; i < perThread; ++i) {
                    const std::string body(1000 + i, char('a' + t));
                    journal.append({"POST", "/api/face", {}, body});
                }
            });
        }
        for (std::thread &writer : writers) {
            writer.join();
        }
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), threads * perThread + 1);
    QVERIFY(lines.last().isEmpty());
    for (int i = 0; i < lines.size() - 1; ++i) {
        const QString body = parsed(lines.at(i).toStdString()).value("body").toString();
        QVERIFY(body.size() >= 1000);
        QCOMPARE(body.count(body.at(0)), body.size());
    }
}

QTEST_GUILESS_MAIN(TestJournalLine)
#include "TestJournalLine.moc"
