// The gateway client of the Windows till: HTTPS through Schannel against the sandbox gateway,
// which runs on the Linux side (scripts/sandbox-fixture.sh) and is given here by its directory:
// a signed login and payment whose request reaches the gateway byte for byte, the CA bundle
// read from a folder named in Chinese, a certificate for another host refused, and a request
// that outlasts its time-out abandoned.
#include "HttpClient.h"
#include "LoginRequest.h"
#include "LoginSession.h"
#include "PayTransaction.h"
#include "Text.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QString gatewayFile(const QString &name)
{
    return qEnvironmentVariable("TALLYPORT_GATEWAY_DIR") + QLatin1Char('/') + name;
}

std::string firstLine(const QString &name)
{
    QFile file(gatewayFile(name));
    return file.open(QIODevice::ReadOnly) ? file.readLine().trimmed().toStdString() : std::string();
}

// The body of the last request the gateway received on `path`.
QString lastBody(const QString &path)
{
    QFile journal(gatewayFile(QStringLiteral("data/journal.jsonl")));
    if (!journal.open(QIODevice::ReadOnly))
        return QString();
    QString body;
    for (const QByteArray &line : journal.readAll().split('\n')) {
        const QJsonObject request = QJsonDocument::fromJson(line).object();
        if (request.value(QStringLiteral("path")).toString() == path)
            body = request.value(QStringLiteral("body")).toString();
    }
    return body;
}

} // namespace

class TestWindowsGateway : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void signedLoginAndPayment();
    void bundleInAChineseFolderIsRead();
    void certificateForAnotherHostIsRefused();
    void requestOutlastingItsTimeOutIsAbandoned();

private:
    std::string m_url;
    std::string m_ca;
};

void TestWindowsGateway::initTestCase()
{
    m_url = firstLine(QStringLiteral("url"));
    m_ca = gatewayFile(QStringLiteral("data/ca.pem")).toStdString();
    QVERIFY2(!m_url.empty(), "no sandbox: TALLYPORT_GATEWAY_DIR names none");
}

void TestWindowsGateway::signedLoginAndPayment()
{
    HttpClient client(m_ca);
    std::string reply;
    QCOMPARE(client.Post(m_url + LoginRequest::kPath,
                 LoginRequest::body("13800000000", LoginRequest::passwordProof("123456")), reply,
                 "json"),
        200);
    LoginSession session;
    QCOMPARE(LoginRequest::decodeReply(reply, session), LoginRequest::LoginOutcome::LoggedIn);

    const std::optional<PayTransaction::Request> request
        = PayTransaction::payRequest("12.5", "134567890123456780", Text::wideToUtf8(session.appid),
            Text::wideToUtf8(session.sid), Text::wideToUtf8(session.key));
    QVERIFY(request);
    reply.clear();
    QCOMPARE(client.Post(m_url + PayTransaction::kFacePath, request->body, reply, "json"), 200);
    CurrentOrder order;
    QCOMPARE(
        PayTransaction::decidePayReply(reply, order).outcome, PayTransaction::PayOutcome::Paid);
    QCOMPARE(Text::wideToUtf8(order.amountA), std::string("12.5"));
    // What the gateway received is what was signed.
    QCOMPARE(lastBody(QString::fromLatin1(PayTransaction::kFacePath)),
        QString::fromStdString(request->body));
}

void TestWindowsGateway::bundleInAChineseFolderIsRead()
{
    // The path as the till keeps it (UTF-8), of a folder outside the ANSI code page too.
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("收银 台 Ωμ"));
    QVERIFY(QDir().mkpath(folder));
    const QString bundle = folder + QStringLiteral("/ca.pem");
    QVERIFY(QFile::copy(QString::fromStdString(m_ca), bundle));
    HttpClient client(bundle.toStdString());
    std::string reply;
    QCOMPARE(client.Post(m_url + LoginRequest::kPath,
                 LoginRequest::body("13800000000", LoginRequest::passwordProof("123456")), reply,
                 "json"),
        200);
}

void TestWindowsGateway::certificateForAnotherHostIsRefused()
{
    HttpClient client(m_ca);
    std::string reply = "untouched";
    QCOMPARE(client.Post(firstLine(QStringLiteral("other-url")) + LoginRequest::kPath,
                 LoginRequest::body("13800000000", LoginRequest::passwordProof("123456")), reply,
                 "json"),
        -1);
    QCOMPARE(reply, std::string("untouched"));
}

void TestWindowsGateway::requestOutlastingItsTimeOutIsAbandoned()
{
    HttpClient faults(m_ca);
    std::string reply;
    QCOMPARE(
        faults.Post(m_url + "/sandbox/faults", R"({"kind":"delay","ms":10000})", reply, "json"),
        200);
    qputenv(HttpClient::kTotalTimeoutVariable, "1500");
    HttpClient client(m_ca);
    qunsetenv(HttpClient::kTotalTimeoutVariable);
    QElapsedTimer clock;
    clock.start();
    reply.clear();
    QCOMPARE(client.Post(m_url + LoginRequest::kPath,
                 LoginRequest::body("13800000000", LoginRequest::passwordProof("123456")), reply,
                 "json"),
        -1);
    QVERIFY2(clock.elapsed() < 8000, "the request waited for the answer");
    QVERIFY(reply.empty());
}

QTEST_GUILESS_MAIN(TestWindowsGateway)
#include "TestWindowsGateway.moc"
