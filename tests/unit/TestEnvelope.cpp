#include "Envelope.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QtTest>

#include <string>

Q_DECLARE_METATYPE(Fields)

namespace {

QByteArray q(const std::string &text)
{
    return QByteArray::fromStdString(text);
}

// Percent escapes in upper case, so either spelling of the hex digits compares equal.
QByteArray upperEscapes(const std::string &encoded)
{
    QString text = QString::fromStdString(encoded);
    const QRegularExpression escape(QStringLiteral("%[0-9a-fA-F]{2}"));
    QRegularExpressionMatchIterator it = escape.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        text.replace(match.capturedStart(), 3, match.captured().toUpper());
    }
    return text.toLatin1();
}

} // namespace

class TestEnvelope : public QObject
{
    Q_OBJECT

private slots:
    void envelopeBytes_data();
    void envelopeBytes();
    void jsonObjectKeepsFieldOrder();
    void escaping_data();
    void escaping();
    void envelopeParsesAsJsonWithTheSameValues_data();
    void envelopeParsesAsJsonWithTheSameValues();
    void formEncode_data();
    void formEncode();
    void formDecodeReversesFormEncode_data();
    void formDecodeReversesFormEncode();
    void formDecodeOfHandWrittenValues_data();
    void formDecodeOfHandWrittenValues();
};

void TestEnvelope::envelopeBytes_data()
{
    QTest::addColumn<QByteArray>("appid");
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QByteArray>("sign");
    QTest::addColumn<Fields>("data");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("pay request")
        << QByteArray("2024030001") << QByteArray("auto_pay")
        << QByteArray("0A1B2C3D4E5F60718293A4B5C6D7E8F9")
        << Fields {{"store_id", "1024"}, {"total", "1250"}, {"nonce_str", "7c4e19a0d2f6b"},
               {"authCode", "134567890123456789"}}
        << QByteArray("{\"appid\":\"2024030001\",\"method\":\"auto_pay\","
                      "\"sign\":\"0A1B2C3D4E5F60718293A4B5C6D7E8F9\",\"data\":{"
                      "\"store_id\":\"1024\",\"total\":\"1250\",\"nonce_str\":\"7c4e19a0d2f6b\","
                      "\"authCode\":\"134567890123456789\"}}");
    QTest::newRow("order query")
        << QByteArray("A") << QByteArray("auto_orderQuery") << QByteArray("S")
        << Fields {{"out_trade_no", "T20240305"}, {"nonce_str", "4821907735516203"}}
        << QByteArray("{\"appid\":\"A\",\"method\":\"auto_orderQuery\",\"sign\":\"S\",\"data\":{"
                      "\"out_trade_no\":\"T20240305\",\"nonce_str\":\"4821907735516203\"}}");
    QTest::newRow("no data fields")
        << QByteArray("A") << QByteArray("m") << QByteArray("S") << Fields {}
        << QByteArray("{\"appid\":\"A\",\"method\":\"m\",\"sign\":\"S\",\"data\":{}}");
    QTest::newRow("value escaped in data")
        << QByteArray("A") << QByteArray("m") << QByteArray("S")
        << Fields {{"refund_desc", "say \"no\""}}
        << QByteArray("{\"appid\":\"A\",\"method\":\"m\",\"sign\":\"S\",\"data\":{"
                      "\"refund_desc\":\"say \\\"no\\\"\"}}");
}

void TestEnvelope::envelopeBytes()
{
    QFETCH(QByteArray, appid);
    QFETCH(QByteArray, method);
    QFETCH(QByteArray, sign);
    QFETCH(Fields, data);
    QFETCH(QByteArray, expected);

    QCOMPARE(
        q(Envelope::build(appid.toStdString(), method.toStdString(), sign.toStdString(), data)),
        expected);
}

void TestEnvelope::jsonObjectKeepsFieldOrder()
{
    QCOMPARE(q(Envelope::jsonObject(
                 {{"type", "1"}, {"terminal", "2"}, {"tel", "13800138000"}, {"pass", "X"}})),
        QByteArray("{\"type\":\"1\",\"terminal\":\"2\",\"tel\":\"13800138000\",\"pass\":\"X\"}"));
    QCOMPARE(
        q(Envelope::jsonObject({{"z", "1"}, {"a", "2"}})), QByteArray("{\"z\":\"1\",\"a\":\"2\"}"));
    QCOMPARE(q(Envelope::jsonObject({})), QByteArray("{}"));
}

void TestEnvelope::escaping_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QByteArray>("escaped");

    QTest::newRow("plain") << QByteArray("abc 123-_.") << QByteArray("abc 123-_.");
    QTest::newRow("empty") << QByteArray("") << QByteArray("");
    QTest::newRow("quote") << QByteArray("a\"b") << QByteArray("a\\\"b");
    QTest::newRow("backslash") << QByteArray("C:\\dir\\") << QByteArray("C:\\\\dir\\\\");
    QTest::newRow("quote after backslash") << QByteArray("\\\"") << QByteArray("\\\\\\\"");
    QTest::newRow("line feed") << QByteArray("a\nb") << QByteArray("a\\nb");
    QTest::newRow("carriage return") << QByteArray("a\r\nb") << QByteArray("a\\r\\nb");
    QTest::newRow("tab") << QByteArray("a\tb") << QByteArray("a\\tb");
    QTest::newRow("control 0x01") << QByteArray("a\x01z") << QByteArray("a\\u0001z");
    QTest::newRow("control 0x10") << QByteArray("\x10") << QByteArray("\\u0010");
    QTest::newRow("zero byte") << QByteArray("a\0b", 3) << QByteArray("a\\u0000b");
    QTest::newRow("chinese passes unchanged") << QByteArray("收款成功") << QByteArray("收款成功");
    QTest::newRow("four-byte utf-8 passes unchanged")
        << QByteArray("\xf0\x9f\x98\x80") << QByteArray("\xf0\x9f\x98\x80");
}

void TestEnvelope::escaping()
{
    QFETCH(QByteArray, value);
    QFETCH(QByteArray, escaped);

    QCOMPARE(q(Envelope::jsonEscape(value.toStdString())), escaped);
    QCOMPARE(q(Envelope::jsonObject({{"v", value.toStdString()}})),
        QByteArray("{\"v\":\"") + escaped + QByteArray("\"}"));
}

void TestEnvelope::envelopeParsesAsJsonWithTheSameValues_data()
{
    QTest::addColumn<QByteArray>("appid");
    QTest::addColumn<QByteArray>("value");

    QTest::newRow("plain") << QByteArray("2024030001") << QByteArray("1250");
    QTest::newRow("quotes") << QByteArray("2024030001") << QByteArray("\"},\"x\":\"");
    QTest::newRow("backslashes") << QByteArray("2024030001") << QByteArray("\\u0041\\");
    QTest::newRow("control characters")
        << QByteArray("2024030001") << QByteArray("line1\nline2\tcol\x01\x1f\r");
    QTest::newRow("chinese") << QByteArray("2024030001") << QByteArray("好运便利店 退款");
    QTest::newRow("quote in appid") << QByteArray("id\"1") << QByteArray("v");
}

void TestEnvelope::envelopeParsesAsJsonWithTheSameValues()
{
    QFETCH(QByteArray, appid);
    QFETCH(QByteArray, value);

    const std::string body = Envelope::build(appid.toStdString(), "auto_orderRefund",
        "0A1B2C3D4E5F60718293A4B5C6D7E8F9",
        {{"out_trade_no", "T1"}, {"refund_desc", value.toStdString()},
            {"nonce_str", "1234567890123456"}});
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(q(body), &error);
    QVERIFY2(error.error == QJsonParseError::NoError,
        qPrintable(error.errorString() + QLatin1String(": ") + QString::fromStdString(body)));
    QVERIFY(document.isObject());

    const QJsonObject envelope = document.object();
    QCOMPARE(envelope.keys().size(), 4);
    QCOMPARE(envelope.value(QLatin1String("appid")).toString(), QString::fromUtf8(appid));
    QCOMPARE(
        envelope.value(QLatin1String("method")).toString(), QStringLiteral("auto_orderRefund"));
    QCOMPARE(envelope.value(QLatin1String("sign")).toString(),
        QStringLiteral("0A1B2C3D4E5F60718293A4B5C6D7E8F9"));
    const QJsonObject data = envelope.value(QLatin1String("data")).toObject();
    QCOMPARE(data.keys().size(), 3);
    QCOMPARE(data.value(QLatin1String("out_trade_no")).toString(), QStringLiteral("T1"));
    QCOMPARE(data.value(QLatin1String("refund_desc")).toString(), QString::fromUtf8(value));
    QCOMPARE(data.value(QLatin1String("nonce_str")).toString(), QStringLiteral("1234567890123456"));
}

void TestEnvelope::formEncode_data()
{
    QTest::addColumn<Fields>("fields");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("plain values keep their order") << Fields {{"total", "12.50"}, {"appid", "A1"},
        {"body", "ok"}} << QByteArray("total=12.50&appid=A1&body=ok");
    QTest::newRow("unreserved characters kept")
        << Fields {{"v", "AZaz09-_.~"}} << QByteArray("v=AZaz09-_.~");
    QTest::newRow("ampersand and equals")
        << Fields {{"memo", "a&b=c"}, {"x", "1"}} << QByteArray("memo=a%26b%3Dc&x=1");
    QTest::newRow("blank") << Fields {{"name", "Ma Li"}} << QByteArray("name=Ma%20Li");
    QTest::newRow("plus percent slash question")
        << Fields {{"v", "+%/?#"}} << QByteArray("v=%2B%25%2F%3F%23");
    QTest::newRow("non-ascii") << Fields {{"name", "收款"}}
                               << QByteArray("name=%E6%94%B6%E6%AC%BE");
    QTest::newRow("control characters") << Fields {{"v", "a\r\n"}} << QByteArray("v=a%0D%0A");
    QTest::newRow("empty value") << Fields {{"a", ""}, {"b", "1"}} << QByteArray("a=&b=1");
    QTest::newRow("no fields") << Fields {} << QByteArray("");
}

void TestEnvelope::formEncode()
{
    QFETCH(Fields, fields);
    QFETCH(QByteArray, expected);

    QCOMPARE(upperEscapes(Envelope::formEncode(fields)), expected);
}

void TestEnvelope::formDecodeReversesFormEncode_data()
{
    QTest::addColumn<QByteArray>("value");

    QTest::newRow("plain") << QByteArray("12.50");
    QTest::newRow("reserved") << QByteArray("a&b=c d+e%f/g?h#i");
    QTest::newRow("percent sequences") << QByteArray("%41%zz%");
    QTest::newRow("chinese") << QByteArray("好运便利店");
    QTest::newRow("controls and high bytes") << QByteArray("\x01\n\xff\x80");
    QTest::newRow("empty") << QByteArray("");
}

void TestEnvelope::formDecodeReversesFormEncode()
{
    QFETCH(QByteArray, value);

    const std::string encoded = Envelope::formEncode({{"v", value.toStdString()}});
    QVERIFY(encoded.rfind("v=", 0) == 0);
    const std::string encodedValue = encoded.substr(2);
    QVERIFY2(encodedValue.find_first_of("&= +") == std::string::npos, encoded.c_str());
    QCOMPARE(q(Envelope::formDecode(encodedValue)), value);
}

void TestEnvelope::formDecodeOfHandWrittenValues_data()
{
    QTest::addColumn<QByteArray>("encoded");
    QTest::addColumn<QByteArray>("decoded");

    QTest::newRow("plus reads as a blank") << QByteArray("Ma+Li") << QByteArray("Ma Li");
    QTest::newRow("upper-case escapes") << QByteArray("a%26b%3Dc") << QByteArray("a&b=c");
    QTest::newRow("lower-case escapes") << QByteArray("%e6%94%b6") << QByteArray("收");
    QTest::newRow("escaped plus") << QByteArray("1%2B1") << QByteArray("1+1");
    QTest::newRow("bad escape kept") << QByteArray("%zz1") << QByteArray("%zz1");
    QTest::newRow("cut escape kept") << QByteArray("100%") << QByteArray("100%");
    QTest::newRow("half escape kept") << QByteArray("a%4") << QByteArray("a%4");
}

void TestEnvelope::formDecodeOfHandWrittenValues()
{
    QFETCH(QByteArray, encoded);
    QFETCH(QByteArray, decoded);

    QCOMPARE(q(Envelope::formDecode(encoded.toStdString())), decoded);
}

QTEST_GUILESS_MAIN(TestEnvelope)
#include "TestEnvelope.moc"
