#include "GatewayCaller.h"
#include "HttpClient.h"
#include "LoginRequest.h"
#include "Reply.h"
#include "SandboxProcess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QTcpSocket>
#include <QtTest>

#include <openssl/ecdsa.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

// Fault injection, the request journal, robustness against garbage, and what survives a
// restart of the sandbox.
class TestSandboxFaults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void injectedFault_data();
    void injectedFault();
    void faultCountsRequests();
    void delayedAnswerArrives();
    void delayOutlastsClientTimeout();
    void clearRemovesQueuedFaults();
    void controlPathsAreNotFaulted();
    void faultedPaymentStoresNothing();
    void paymentFaults_data();
    void paymentFaults();
    void cannedBodyAnswersInstead_data();
    void cannedBodyAnswersInstead();
    void badFaultRequestsRefused_data();
    void badFaultRequestsRefused();
    void faultsFromCommandLine_data();
    void faultsFromCommandLine();

    void journalHoldsExactBytes_data();
    void journalHoldsExactBytes();
    void journalRecordsRefusedAndFaultedRequests();

    void survivesGarbage();
    void deeplyNestedRequestsAreRefused_data();
    void deeplyNestedRequestsAreRefused();
    void restartKeepsCertificatesAndStore();
    void certificateForAnotherHost();

private:
    GatewayAnswer loginAnswer() const;

    SandboxProcess m_sandbox;
    GatewayCaller m_caller {m_sandbox};
};

namespace {

bool fullLengthSignature(const QString &pemPath)
{
    QFile file(pemPath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray pem = file.readAll();
    BIO *bio = BIO_new_mem_buf(pem.constData(), pem.size());
    X509 *cert = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr);
    BIO_free(bio);
    if (!cert)
        return false;
    const ASN1_BIT_STRING *signature = nullptr;
    X509_get0_signature(&signature, nullptr, cert);
    const unsigned char *bytes = signature->data;
    ECDSA_SIG *parsed = d2i_ECDSA_SIG(nullptr, &bytes, signature->length);
    bool full = false;
    if (parsed) {
        const BIGNUM *r = nullptr;
        const BIGNUM *s = nullptr;
        ECDSA_SIG_get0(parsed, &r, &s);
        full = BN_num_bytes(r) == 32 && BN_num_bytes(s) == 32;
        ECDSA_SIG_free(parsed);
    }
    X509_free(cert);
    return full;
}

QByteArray randomBytes(int size)
{
    QByteArray bytes(size, '\0');
    for (char &byte : bytes) {
        byte = static_cast<char>(QRandomGenerator::global()->bounded(256));
    }
    return bytes;
}

bool isNormalLogin(const GatewayAnswer &answer)
{
    return answer.status == 200 && answer.code() == QLatin1String("100");
}

} // namespace

void TestSandboxFaults::initTestCase()
{
    QVERIFY(m_sandbox.start());
    QVERIFY(m_caller.login());
}

void TestSandboxFaults::init()
{
    QVERIFY(m_sandbox.injectFault(R"({"kind":"clear"})"));
}

GatewayAnswer TestSandboxFaults::loginAnswer() const
{
    return m_caller.post(
        "/api/login", LoginRequest::body("13800000000", LoginRequest::passwordProof("123456")));
}

void TestSandboxFaults::injectedFault_data()
{
    QTest::addColumn<QByteArray>("fault");
    QTest::addColumn<int>("status"); // what the client's Post returns
    QTest::addColumn<bool>("json"); // whether a JSON reply arrives

    QTest::newRow("status 500") << QByteArray(R"({"kind":"status","status":500})") << 500 << false;
    QTest::newRow("status 404") << QByteArray(R"({"kind":"status","status":404})") << 404 << false;
    QTest::newRow("invalid json") << QByteArray(R"({"kind":"invalid_json"})") << 200 << false;
    QTest::newRow("drop") << QByteArray(R"({"kind":"drop"})") << -1 << false;
    QTest::newRow("redirect chain of 1")
        << QByteArray(R"({"kind":"redirect","hops":1})") << 200 << true;
    QTest::newRow("redirect chain of 5")
        << QByteArray(R"({"kind":"redirect","hops":5})") << 200 << true;
    QTest::newRow("redirect chain of 6")
        << QByteArray(R"({"kind":"redirect","hops":6})") << -1 << false;
    QTest::newRow("short delay") << QByteArray(R"({"kind":"delay","ms":200})") << 200 << true;
}

void TestSandboxFaults::injectedFault()
{
    QFETCH(QByteArray, fault);
    QFETCH(int, status);
    QFETCH(bool, json);

    QVERIFY(m_sandbox.injectFault(fault));
    const GatewayAnswer faulted = loginAnswer();
    QCOMPARE(faulted.status, status);
    if (json) {
        QVERIFY(isNormalLogin(faulted));
    } else if (status == 200) {
        QVERIFY(!faulted.body.empty());
        QVERIFY(!Reply::parse(faulted.body));
    } else {
        QVERIFY(faulted.body.empty());
    }
    // The fault was for one request only.
    QVERIFY(isNormalLogin(loginAnswer()));
}

void TestSandboxFaults::faultCountsRequests()
{
    QVERIFY(m_sandbox.injectFault(R"({"kind":"status","status":503,"count":3})"));
    QVERIFY(m_sandbox.injectFault(R"({"kind":"invalid_json"})"));
    const QList<int> expected {503, 503, 503, 200};
    for (int i = 0; i < expected.size(); ++i) {
        QCOMPARE(loginAnswer().status, expected.at(i));
    }
    QVERIFY(isNormalLogin(loginAnswer()));
}

void TestSandboxFaults::delayedAnswerArrives()
{
    QVERIFY(m_sandbox.injectFault(R"({"kind":"delay","ms":1500})"));
    const GatewayAnswer answer = m_caller.pay("134567890123456780", "100");
    QCOMPARE(answer.status, 200);
    QCOMPARE(answer.code(), QStringLiteral("100"));
    QCOMPARE(answer.field("status"), QStringLiteral("1"));
}

void TestSandboxFaults::delayOutlastsClientTimeout()
{
    // The server holds the answer far longer than this client waits.
    QVERIFY(m_sandbox.injectFault(R"({"kind":"delay","ms":20000})"));
    HttpClient impatient(m_sandbox.caPath().toStdString());
    impatient.setTimeouts(5000, 1000);
    std::string reply;
    QCOMPARE(
        impatient.Post(m_sandbox.url("/api/login"),
            LoginRequest::body("13800000000", LoginRequest::passwordProof("1")), reply, "json"),
        -1);
    QVERIFY(reply.empty());
    QVERIFY(isNormalLogin(loginAnswer()));
}

void TestSandboxFaults::clearRemovesQueuedFaults()
{
    QVERIFY(m_sandbox.injectFault(R"({"kind":"drop","count":10})"));
    QVERIFY(m_sandbox.injectFault(R"({"kind":"clear"})"));
    QVERIFY(isNormalLogin(loginAnswer()));
}

void TestSandboxFaults::controlPathsAreNotFaulted()
{
    QVERIFY(m_sandbox.injectFault(R"({"kind":"status","status":500})"));
    // Fault requests and the health check pass; the gateway request takes the fault.
    QVERIFY(m_sandbox.injectFault(R"({"kind":"invalid_json"})"));
    HttpClient client(m_sandbox.caPath().toStdString());
    std::string health;
    QCOMPARE(client.Post(m_sandbox.url("/sandbox/health"), "", health, ""), 200);
    QCOMPARE(health, std::string("ok"));
    QCOMPARE(loginAnswer().status, 500);
    QCOMPARE(loginAnswer().status, 200);
    QVERIFY(isNormalLogin(loginAnswer()));
}

void TestSandboxFaults::faultedPaymentStoresNothing()
{
    const int before = m_caller.orderCount();
    for (const char *fault : {R"({"kind":"status","status":502})", R"({"kind":"invalid_json"})",
             R"({"kind":"drop"})", R"({"kind":"redirect","hops":6})"}) {
        QVERIFY(m_sandbox.injectFault(fault));
        const GatewayAnswer answer = m_caller.pay("134567890123456781", "100");
        QVERIFY2(answer.code() != QLatin1String("100"), fault);
    }
    // A redirect chain that ends after 6 hops is not followed by the client: nothing is paid.
    QCOMPARE(m_caller.orderCount(), before);
}

void TestSandboxFaults::paymentFaults_data()
{
    QTest::addColumn<QByteArray>("fault");
    QTest::addColumn<int>("payStatus"); // what the client's Post of the payment returns
    QTest::addColumn<QStringList>("statuses"); // of the order, query after query

    // A code the sandbox pays at once: stored as paid, but the client never hears it.
    QTest::newRow("reply dropped after paid")
        << QByteArray(R"({"kind":"drop_reply"})") << -1 << QStringList {"1"};
    QTest::newRow("reply cut halfway after paid")
        << QByteArray(R"({"kind":"cut_reply"})") << -1 << QStringList {"1"};
    QTest::newRow("paid after the third query") << QByteArray(R"({"kind":"paid_late","queries":3})")
                                                << 200 << QStringList {"3", "3", "3", "1", "1"};
}

void TestSandboxFaults::paymentFaults()
{
    QFETCH(QByteArray, fault);
    QFETCH(int, payStatus);
    QFETCH(QStringList, statuses);

    const int before = m_caller.orderCount();
    QVERIFY(m_sandbox.injectFault(fault));
    const GatewayAnswer paid = m_caller.pay("134567890123456780", "1234");
    QCOMPARE(paid.status, payStatus);
    const QJsonArray orders = m_caller.allOrders();
    QCOMPARE(orders.size(), before + 1);
    const QJsonObject order = orders.last().toObject();
    QCOMPARE(order.value(QStringLiteral("total_fee")).toString(), QStringLiteral("1234"));
    const std::string number = order.value(QStringLiteral("out_trade_no")).toString().toStdString();
    for (const QString &status : statuses) {
        QCOMPARE(m_caller.query(number).field("status"), status);
    }
}

void TestSandboxFaults::cannedBodyAnswersInstead_data()
{
    QTest::addColumn<QString>("body");

    QTest::newRow("login without key") << R"({"code":"100","msg":"ok","data":{"appid":"A-NEW"}})";
    QTest::newRow("chinese refusal") << R"({"code":"999","msg":"网关维护中"})";
    QTest::newRow("empty") << "";
}

void TestSandboxFaults::cannedBodyAnswersInstead()
{
    QFETCH(QString, body);

    const QJsonObject fault {{"kind", "body"}, {"body", body}};
    const int before = m_caller.orderCount();
    QVERIFY(m_sandbox.injectFault(QJsonDocument(fault).toJson(QJsonDocument::Compact)));
    const GatewayAnswer canned = m_caller.pay("134567890123456780", "100");
    QCOMPARE(canned.status, 200);
    QCOMPARE(QString::fromStdString(canned.body), body);
    QCOMPARE(m_caller.orderCount(), before);
    QVERIFY(isNormalLogin(loginAnswer()));
}

void TestSandboxFaults::badFaultRequestsRefused_data()
{
    QTest::addColumn<QByteArray>("json");

    QTest::newRow("unknown kind") << QByteArray(R"({"kind":"slow"})");
    QTest::newRow("not json") << QByteArray("delay");
    QTest::newRow("status without status") << QByteArray(R"({"kind":"status"})");
}

void TestSandboxFaults::badFaultRequestsRefused()
{
    QFETCH(QByteArray, json);

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("fault refused"));
    QVERIFY(!m_sandbox.injectFault(json));
    QVERIFY(isNormalLogin(loginAnswer()));
}

void TestSandboxFaults::faultsFromCommandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QList<int>>("statuses"); // of consecutive login requests

    QTest::newRow("status twice") << QStringList {"--fault-status", "503", "--fault-count", "2"}
                                  << QList<int> {503, 503, 200};
    QTest::newRow("drop then invalid json")
        << QStringList {"--fault-drop", "--fault-invalid-json"} << QList<int> {-1, 200, 200};
    QTest::newRow("redirects 6") << QStringList {"--fault-redirects", "6"} << QList<int> {-1, 200};
    QTest::newRow("delay") << QStringList {"--fault-delay", "100"} << QList<int> {200, 200};
}

void TestSandboxFaults::faultsFromCommandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(QList<int>, statuses);

    SandboxProcess sandbox(arguments);
    QVERIFY(sandbox.start());
    GatewayCaller caller(sandbox);
    const std::string body
        = LoginRequest::body("13800000000", LoginRequest::passwordProof("123456"));
    for (int i = 0; i < statuses.size(); ++i) {
        QCOMPARE(caller.post("/api/login", body).status, statuses.at(i));
    }
    QVERIFY(isNormalLogin(caller.post("/api/login", body)));
}

void TestSandboxFaults::journalHoldsExactBytes_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("kind");

    QTest::newRow("login") << "/api/login"
                           << QByteArray::fromStdString(LoginRequest::body(
                                  "13800000000", LoginRequest::passwordProof("123456")))
                           << "json";
    QTest::newRow("chinese and escapes")
        << "/api/face" << QByteArray("{\"refund_desc\":\"顾客\\\"退货\\\\\",\"x\":\"\\n\"}")
        << "json";
    QTest::newRow("raw controls") << "/api/update" << QByteArray("a\tb\r\nc\"d\\e\x01") << "json";
    QTest::newRow("form") << "/papi/api/createApp.html"
                          << QByteArray("loginName=13800000000&orderMoney=12.50&authCode=1%2B1"
                                        "&payType=0")
                          << "";
    QTest::newRow("invalid utf-8") << "/api/face" << QByteArray("{\"x\":\"\xff\xfe\"}") << "json";
}

void TestSandboxFaults::journalHoldsExactBytes()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, body);
    QFETCH(QString, kind);

    const GatewayAnswer answer
        = m_caller.post(path.toStdString(), body.toStdString(), kind.toStdString());
    QCOMPARE(answer.status, 200);
    // The answer came, so its request is in the journal already.
    const QList<QJsonObject> journal = m_sandbox.journal();
    QVERIFY(!journal.isEmpty());
    const QJsonObject last = journal.last();
    QCOMPARE(last.value("method").toString(), QStringLiteral("POST"));
    QCOMPARE(last.value("path").toString(), path);
    QVERIFY(QRegularExpression("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}$")
                .match(last.value("time").toString())
                .hasMatch());
    const QJsonObject headers = last.value("headers").toObject();
    QCOMPARE(headers.value("User-Agent").toString(), QString(HttpClient::kUserAgent));
    QCOMPARE(headers.value("Content-Length").toString(), QString::number(body.size()));
    if (kind == QLatin1String("json")) {
        QCOMPARE(headers.value("Content-Type").toString(), QStringLiteral("application/json"));
    } else {
        QVERIFY(headers.value("Content-Type").toString() != QLatin1String("application/json"));
    }
    if (last.contains("body_base64")) {
        QCOMPARE(QByteArray::fromBase64(last.value("body_base64").toString().toLatin1()), body);
    } else {
        QCOMPARE(last.value("body").toString().toUtf8(), body);
    }
}

void TestSandboxFaults::journalRecordsRefusedAndFaultedRequests()
{
    const int before = m_sandbox.journal().size();
    QVERIFY(m_sandbox.injectFault(R"({"kind":"redirect","hops":2})"));
    QVERIFY(m_sandbox.injectFault(R"({"kind":"status","status":500})"));
    QVERIFY(isNormalLogin(loginAnswer()));
    QCOMPARE(loginAnswer().status, 500);
    QCOMPARE(m_caller.post("/api/face", "not json").code(), QStringLiteral("301"));
    const QList<QJsonObject> journal = m_sandbox.journal();
    QStringList paths;
    for (int i = before; i < journal.size(); ++i) {
        paths << journal.at(i).value("path").toString();
    }
    const QStringList expected {"/sandbox/faults", "/sandbox/faults", "/api/login",
        "/sandbox/redirect/1/api/login", "/sandbox/redirect/0/api/login", "/api/login",
        "/api/face"};
    QCOMPARE(paths, expected);
    // curl keeps POST and the body across the 307 redirects.
    QCOMPARE(journal.at(before + 4).value("method").toString(), QStringLiteral("POST"));
    QCOMPARE(journal.at(before + 4).value("body").toString(),
        journal.at(before + 2).value("body").toString());
    QCOMPARE(journal.last().value("body").toString(), QStringLiteral("not json"));
}

void TestSandboxFaults::deeplyNestedRequestsAreRefused_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("answerName"); // "code", or "status" for the upgrade path
    QTest::newRow("pay and queries") << "/api/face"
                                     << "code";
    QTest::newRow("login") << "/api/login"
                           << "code";
    QTest::newRow("upgrade") << "/api/update"
                             << "status";
    QTest::newRow("faults") << "/sandbox/faults"
                            << "code";
}

void TestSandboxFaults::deeplyNestedRequestsAreRefused()
{
    QFETCH(QString, path);
    QFETCH(QString, answerName);
    const std::string body = std::string(R"({"appid":"a","data":)") + std::string(200000, '[');
    const GatewayAnswer answer = m_caller.post(path.toStdString(), body);
    QCOMPARE(answer.status, 200);
    QVERIFY(!answer.json.value(answerName).toString().isEmpty());
    QVERIFY(answer.json.value(answerName).toString() != QLatin1String("100"));
    // Still serving.
    QVERIFY(isNormalLogin(loginAnswer()));
}

void TestSandboxFaults::survivesGarbage()
{
    // Bytes that are not TLS at all, on raw connections.
    for (int round = 0; round < 3; ++round) {
        QTcpSocket socket;
        socket.connectToHost(QStringLiteral("127.0.0.1"), static_cast<quint16>(m_sandbox.port()));
        QVERIFY(socket.waitForConnected(5000));
        socket.write(randomBytes(4096));
        socket.write("\r\n\r\n");
        QVERIFY(socket.waitForBytesWritten(5000));
        // The server closes the connection; wait for that within a bound.
        QDeadlineTimer deadline(10000);
        while (socket.state() != QAbstractSocket::UnconnectedState && !deadline.hasExpired()) {
            socket.waitForReadyRead(100);
            socket.readAll();
        }
        QCOMPARE(socket.state(), QAbstractSocket::UnconnectedState);
    }

    // Garbage inside well-formed HTTPS requests.
    const int ordersBefore = m_caller.orderCount();
    const std::string envelope = m_caller.envelope("auto_pay",
        {{"store_id", m_caller.sid}, {"total", "100"}, {"nonce_str", GatewayCaller::kPayNonce},
            {"authCode", "134567890123456780"}});
    const std::vector<std::string> bodies = {
        randomBytes(2048).toStdString(),
        envelope.substr(0, envelope.size() / 2),
        envelope.substr(0, envelope.size() - 1),
        std::string(20000, '{'),
        std::string(20000, '['),
        "{\"appid\":" + std::string(5000, '"'),
        std::string("\0\0\0{}", 5),
    };
    for (const char *path :
        {"/api/face", "/api/login", "/api/update", "/papi/api/createApp.html"}) {
        for (const std::string &body : bodies) {
            const GatewayAnswer answer = m_caller.post(path, body);
            QCOMPARE(answer.status, 200);
            QVERIFY2(!answer.json.isEmpty(), path);
            QVERIFY(answer.code() != QLatin1String("100"));
        }
    }
    // A body over the limit is refused without being read.
    const GatewayAnswer huge = m_caller.post("/api/face", std::string(3 * 1024 * 1024, 'x'));
    QVERIFY(huge.status != 200);
    // Unknown paths and methods.
    QCOMPARE(m_caller.post("/api/unknown", "{}").status, 404);

    QCOMPARE(m_caller.orderCount(), ordersBefore);
    QVERIFY(isNormalLogin(loginAnswer()));
    QVERIFY(m_sandbox.isRunning());
}

void TestSandboxFaults::restartKeepsCertificatesAndStore()
{
    SandboxProcess first;
    QVERIFY(first.start());
    GatewayCaller caller(first);
    QVERIFY(caller.login());
    const std::string orderNo
        = caller.pay("281234567890123450", "990").field("out_trade_no").toStdString();
    QFile ca(first.caPath());
    QVERIFY(ca.open(QIODevice::ReadOnly));
    const QByteArray caBytes = ca.readAll();
    ca.close();
    // Signatures whose r and s are full length: Wine's verifier refuses the others.
    for (const char *name : {"ca.pem", "server.pem"})
        QVERIFY2(fullLengthSignature(first.dataDir() + "/" + name), name);
    for (const char *name : {"ca-key.pem", "server-key.pem"}) {
        QCOMPARE(QFile::permissions(first.dataDir() + "/" + name)
                & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
            QFile::Permissions());
    }
    QCOMPARE(first.stop(), 0); // SIGTERM ends it cleanly

    SandboxProcess second;
    second.setDataDir(first.dataDir());
    QVERIFY(second.start());
    QVERIFY(ca.open(QIODevice::ReadOnly));
    QCOMPARE(ca.readAll(), caBytes);
    GatewayCaller again(second);
    QVERIFY(again.login());
    QCOMPARE(again.appid, caller.appid);
    QCOMPARE(again.key, caller.key);
    const GatewayAnswer order = again.query(orderNo);
    QCOMPARE(order.code(), QStringLiteral("100"));
    QCOMPARE(order.field("total"), QStringLiteral("990"));
    // New order numbers do not repeat the old ones.
    const std::string next
        = again.pay("281234567890123450", "10").field("out_trade_no").toStdString();
    QVERIFY(next != orderNo);
    QCOMPARE(again.orderCount(), 2);
}

void TestSandboxFaults::certificateForAnotherHost()
{
    SandboxProcess other({"--cert-host", "gateway.example"});
    QVERIFY(other.start());
    HttpClient client(other.caPath().toStdString());
    std::string reply;
    const std::string body
        = LoginRequest::body("13800000000", LoginRequest::passwordProof("123456"));
    QCOMPARE(client.Post(other.url("/api/login"), body, reply, "json"), -1);
    QVERIFY(reply.empty());
    QVERIFY(other.journal().isEmpty());
    QCOMPARE(other.stop(), 0);

    // Started again without the option, the same CA issues a certificate for 127.0.0.1.
    QFile ca(other.caPath());
    QVERIFY(ca.open(QIODevice::ReadOnly));
    const QByteArray caBytes = ca.readAll();
    ca.close();
    other.setExtraArgs({});
    other.setDataDir(other.dataDir());
    QVERIFY(other.start());
    QCOMPARE(client.Post(other.url("/api/login"), body, reply, "json"), 200);
    QVERIFY(ca.open(QIODevice::ReadOnly));
    QCOMPARE(ca.readAll(), caBytes);
}

QTEST_GUILESS_MAIN(TestSandboxFaults)
#include "TestSandboxFaults.moc"
