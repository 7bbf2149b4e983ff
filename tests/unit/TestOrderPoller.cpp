#include "CurrentOrder.h"
#include "HttpClient.h"
#include "LoginRequest.h"
#include "LoginSession.h"
#include "OrderPoller.h"
#include "PayTransaction.h"
#include "SandboxProcess.h"
#include "Text.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QtTest>

#include <chrono>
#include <condition_variable>
#include <initializer_list>
#include <mutex>
#include <string>
#include <thread>

namespace {

// Payment codes whose last digit tells the sandbox how the order goes on.
const std::string kPaidAtThirdQuery = "134567890123456786"; // WeChat form
const std::string kFailedAtThirdQuery = "2845678901234567"; // Alipay form
const std::string kPendingForEver = "114567890123456788"; // WeChat form

QByteArray upperMd5(const QByteArray &text)
{
    return QCryptographicHash::hash(text, QCryptographicHash::Md5).toHex().toUpper();
}

QString w(const std::wstring &text)
{
    return QString::fromStdWString(text);
}

// What the callbacks saw, in order: "1".."15" and "-1" for progress, then "paid", "failed",
// "voice".
struct Recorder
{
    QStringList events;
    CurrentOrder reported;
    int exchanges = 0;

    OrderPoller::Callbacks callbacks()
    {
        OrderPoller::Callbacks callbacks;
        callbacks.progress = [this](int attempt) { events << QString::number(attempt); };
        callbacks.paid = [this](const CurrentOrder &order) {
            events << QStringLiteral("paid");
            reported = order;
        };
        callbacks.failed = [this](const CurrentOrder &order) {
            events << QStringLiteral("failed");
            reported = order;
        };
        callbacks.playVoice = [this] { events << QStringLiteral("voice"); };
        callbacks.exchanged = [this](const std::string &, const std::string &) { ++exchanges; };
        return callbacks;
    }
};

// Each attempt that polls on reports its number six times.
QStringList pollingOn(int fromAttempt, int toAttempt)
{
    QStringList events;
    for (int attempt = fromAttempt; attempt <= toAttempt; ++attempt) {
        for (int i = 0; i < 6; ++i)
            events << QString::number(attempt);
    }
    return events;
}

QStringList list(std::initializer_list<const char *> events)
{
    QStringList list;
    for (const char *event : events)
        list << QString::fromLatin1(event);
    return list;
}

OrderPoller::Cadence fastCadence(int attempts = 15)
{
    OrderPoller::Cadence cadence;
    cadence.attempts = attempts;
    cadence.waits = 5;
    cadence.waitMs = 5;
    cadence.finalWaitMs = 5;
    return cadence;
}

} // namespace

class TestOrderPoller : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void paidAtTheThirdQuery();
    void failedAtTheThirdQuery();
    void givesUpAfterTheLastAttempt();
    void failedTransferPollsOn_data();
    void failedTransferPollsOn();
    void voiceOnlyWhenSwitchedOnAndPaid_data();
    void voiceOnlyWhenSwitchedOnAndPaid();
    void stopDuringTheWaitsEndsWithoutCallbacks();
    void noCallbackAfterStopReturns();

private:
    // Pays 12.5 with `payCode` and returns the pending order.
    CurrentOrder pendingOrder(const std::string &payCode);
    OrderPoller::Target target(bool voice) const;
    // The status requests of `orderNumber` in the journal, each checked for its bytes and sign;
    // returns their nonces in order.
    QStringList statusRequestNonces(const std::wstring &orderNumber);

    SandboxProcess m_sandbox;
    std::string m_appid;
    std::string m_key;
    std::string m_sid;
};

void TestOrderPoller::initTestCase()
{
    QVERIFY(m_sandbox.start());

    LoginSession session;
    QVERIFY(m_sandbox.loginDemo(session));
    m_appid = Text::wideToUtf8(session.appid);
    m_key = Text::wideToUtf8(session.key);
    m_sid = Text::wideToUtf8(session.sid);
    QVERIFY(!m_appid.empty());
    QVERIFY(!m_key.empty());
    QCOMPARE(QByteArray::fromStdString(m_sid), QByteArray("1001"));
}

void TestOrderPoller::init()
{
    QVERIFY(m_sandbox.injectFault(R"({"kind":"clear"})"));
}

CurrentOrder TestOrderPoller::pendingOrder(const std::string &payCode)
{
    CurrentOrder order;
    const std::optional<PayTransaction::Request> request
        = PayTransaction::payRequest("12.5", payCode, m_appid, m_sid, m_key);
    if (!request) {
        QTest::qFail("no pay request", __FILE__, __LINE__);
        return order;
    }
    HttpClient client(m_sandbox.caPath().toStdString());
    std::string reply;
    if (client.Post(m_sandbox.url(PayTransaction::kFacePath), request->body, reply, "json")
        != 200) {
        QTest::qFail("pay request failed", __FILE__, __LINE__);
        return order;
    }
    const PayTransaction::PayDecision decision = PayTransaction::decidePayReply(reply, order);
    if (decision.outcome != PayTransaction::PayOutcome::Pending || order.orderNumber.empty())
        QTest::qFail(("not pending: " + reply).c_str(), __FILE__, __LINE__);
    return order;
}

OrderPoller::Target TestOrderPoller::target(bool voice) const
{
    OrderPoller::Target target;
    target.url = m_sandbox.url(PayTransaction::kFacePath);
    target.appid = m_appid;
    target.key = m_key;
    target.voice = voice;
    return target;
}

QStringList TestOrderPoller::statusRequestNonces(const std::wstring &orderNumber)
{
    const QByteArray number = w(orderNumber).toUtf8();
    const QByteArray appid = QByteArray::fromStdString(m_appid);
    const QByteArray key = QByteArray::fromStdString(m_key);
    const QRegularExpression nonceForm(QStringLiteral("^[0-9]{16,31}$"));

    QStringList nonces;
    for (const QJsonObject &entry : m_sandbox.journal()) {
        if (entry.value(QStringLiteral("path")).toString() != QLatin1String("/api/face"))
            continue;
        const QByteArray body = entry.value(QStringLiteral("body")).toString().toUtf8();
        const QJsonObject envelope = QJsonDocument::fromJson(body).object();
        const QJsonObject data = envelope.value(QStringLiteral("data")).toObject();
        if (envelope.value(QStringLiteral("method")).toString() != QLatin1String("auto_orderQuery")
            || data.value(QStringLiteral("out_trade_no")).toString().toUtf8() != number)
            continue;

        const QByteArray nonce = data.value(QStringLiteral("nonce_str")).toString().toUtf8();
        if (!nonceForm.match(QString::fromLatin1(nonce)).hasMatch())
            QTest::qFail(("nonce of the wrong form: " + body).constData(), __FILE__, __LINE__);
        const QByteArray sign
            = upperMd5("nonce_str=" + nonce + "&out_trade_no=" + number + "&key=" + key);
        const QByteArray expected = "{\"appid\":\"" + appid
            + "\",\"method\":\"auto_orderQuery\",\"sign\":\"" + sign
            + "\",\"data\":{\"out_trade_no\":\"" + number + "\",\"nonce_str\":\"" + nonce + "\"}}";
        if (body != expected)
            QTest::qFail(
                ("status request " + body + " is not " + expected).constData(), __FILE__, __LINE__);
        nonces << QString::fromLatin1(nonce);
    }
    return nonces;
}

void TestOrderPoller::paidAtTheThirdQuery()
{
    const CurrentOrder pending = pendingOrder(kPaidAtThirdQuery);
    QVERIFY(!QTest::currentTestFailed());

    Recorder recorder;
    OrderPoller poller;
    HttpClient client(m_sandbox.caPath().toStdString());
    const CurrentOrder order
        = poller.run(client, target(false), pending, fastCadence(), recorder.callbacks());

    QCOMPARE(recorder.events, pollingOn(1, 2) + list({"3", "paid", "-1"}));
    QCOMPARE(recorder.exchanges, 3);
    const QStringList nonces = statusRequestNonces(pending.orderNumber);
    QCOMPARE(nonces.size(), 3);
    QCOMPARE(QSet<QString>(nonces.begin(), nonces.end()).size(), 3);

    // The order as the paid answer left it, also as handed to the callback.
    for (const CurrentOrder &paid : {order, recorder.reported}) {
        QCOMPARE(w(paid.orderNumber), w(pending.orderNumber));
        QCOMPARE(w(paid.status), QStringLiteral("1"));
        QCOMPARE(w(paid.marker), QStringLiteral("1"));
        QCOMPARE(w(paid.payType), QStringLiteral("wx"));
        QCOMPARE(w(paid.amountA), QStringLiteral("12.5"));
        QCOMPARE(w(paid.amountB), QStringLiteral("12.5"));
        QVERIFY(!paid.payTime.empty());
        QCOMPARE(w(paid.receiptMessage()),
            QStringLiteral("1#wx#12.5#%1#%2#12.5#11").arg(w(paid.payTime), w(pending.orderNumber)));
    }
}

void TestOrderPoller::failedAtTheThirdQuery()
{
    const CurrentOrder pending = pendingOrder(kFailedAtThirdQuery);
    QVERIFY(!QTest::currentTestFailed());

    Recorder recorder;
    OrderPoller poller;
    HttpClient client(m_sandbox.caPath().toStdString());
    const CurrentOrder order
        = poller.run(client, target(true), pending, fastCadence(), recorder.callbacks());

    QCOMPARE(recorder.events, pollingOn(1, 2) + list({"3", "failed", "-1"}));
    QCOMPARE(statusRequestNonces(pending.orderNumber).size(), 3);
    QCOMPARE(w(order.status), QStringLiteral("0"));
    QCOMPARE(w(recorder.reported.status), QStringLiteral("0"));
}

void TestOrderPoller::givesUpAfterTheLastAttempt()
{
    const CurrentOrder pending = pendingOrder(kPendingForEver);
    QVERIFY(!QTest::currentTestFailed());

    Recorder recorder;
    OrderPoller poller;
    HttpClient client(m_sandbox.caPath().toStdString());
    const CurrentOrder order
        = poller.run(client, target(true), pending, fastCadence(15), recorder.callbacks());

    QCOMPARE(recorder.events, pollingOn(1, 15) + list({"-1", "failed"}));
    const QStringList nonces = statusRequestNonces(pending.orderNumber);
    QCOMPARE(nonces.size(), 15);
    QCOMPARE(QSet<QString>(nonces.begin(), nonces.end()).size(), 15);
    QCOMPARE(w(order.status), QStringLiteral("3"));
}

void TestOrderPoller::failedTransferPollsOn_data()
{
    QTest::addColumn<QByteArray>("fault");
    QTest::newRow("HTTP 500") << QByteArray(R"({"kind":"status","status":500,"count":1})");
    QTest::newRow("not JSON") << QByteArray(R"({"kind":"invalid_json","count":1})");
    QTest::newRow("dropped connection") << QByteArray(R"({"kind":"drop","count":1})");
}

void TestOrderPoller::failedTransferPollsOn()
{
    QFETCH(QByteArray, fault);
    const CurrentOrder pending = pendingOrder(kPaidAtThirdQuery);
    QVERIFY(!QTest::currentTestFailed());

    // The first status request fails; the sandbox does not count it as a query of the order,
    // so the order is paid at the fourth attempt.
    QVERIFY(m_sandbox.injectFault(fault));
    Recorder recorder;
    OrderPoller poller;
    HttpClient client(m_sandbox.caPath().toStdString());
    const CurrentOrder order
        = poller.run(client, target(false), pending, fastCadence(), recorder.callbacks());

    QCOMPARE(recorder.events, pollingOn(1, 3) + list({"4", "paid", "-1"}));
    QCOMPARE(statusRequestNonces(pending.orderNumber).size(), 4);
    QCOMPARE(w(order.status), QStringLiteral("1"));
}

void TestOrderPoller::voiceOnlyWhenSwitchedOnAndPaid_data()
{
    QTest::addColumn<bool>("voice");
    QTest::addColumn<QString>("payCode");
    QTest::addColumn<QStringList>("ending");

    const QString paidCode = QString::fromStdString(kPaidAtThirdQuery);
    QTest::newRow("paid, voice on") << true << paidCode << list({"3", "voice", "paid", "-1"});
    QTest::newRow("paid, voice off") << false << paidCode << list({"3", "paid", "-1"});
    QTest::newRow("failed, voice on")
        << true << QString::fromStdString(kFailedAtThirdQuery) << list({"3", "failed", "-1"});
}

void TestOrderPoller::voiceOnlyWhenSwitchedOnAndPaid()
{
    QFETCH(bool, voice);
    QFETCH(QString, payCode);
    QFETCH(QStringList, ending);

    const CurrentOrder pending = pendingOrder(payCode.toStdString());
    QVERIFY(!QTest::currentTestFailed());

    Recorder recorder;
    OrderPoller poller;
    HttpClient client(m_sandbox.caPath().toStdString());
    poller.run(client, target(voice), pending, fastCadence(), recorder.callbacks());
    QCOMPARE(recorder.events, pollingOn(1, 2) + ending);
}

void TestOrderPoller::stopDuringTheWaitsEndsWithoutCallbacks()
{
    const CurrentOrder pending = pendingOrder(kPendingForEver);
    QVERIFY(!QTest::currentTestFailed());

    OrderPoller poller;
    std::mutex mutex;
    std::condition_variable changed;
    bool waiting = false;

    // Waits long enough that only stop() can end the run within the test's time-out.
    OrderPoller::Cadence cadence = fastCadence();
    cadence.waitMs = 600000;
    cadence.finalWaitMs = 600000;

    Recorder recorder;
    OrderPoller::Callbacks callbacks = recorder.callbacks();
    callbacks.exchanged = [&](const std::string &, const std::string &) {
        ++recorder.exchanges;
        std::lock_guard<std::mutex> lock(mutex);
        waiting = true;
        changed.notify_all();
    };

    std::thread stopper([&] {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return waiting; });
        lock.unlock();
        poller.stop();
    });

    HttpClient client(m_sandbox.caPath().toStdString());
    const CurrentOrder order = poller.run(client, target(true), pending, cadence, callbacks);
    stopper.join();

    QVERIFY(poller.stopped());
    QCOMPARE(recorder.events, list({"1"}));
    QCOMPARE(recorder.exchanges, 1);
    QCOMPARE(statusRequestNonces(pending.orderNumber).size(), 1);
    QCOMPARE(w(order.status), QStringLiteral("3"));
}

void TestOrderPoller::noCallbackAfterStopReturns()
{
    const CurrentOrder pending = pendingOrder(kPaidAtThirdQuery);
    QVERIFY(!QTest::currentTestFailed());

    // The order is paid while the voice plays; stop() is called during the voice, as a logout
    // would. Every callback notes whether stop() had already returned when it ran.
    OrderPoller poller;
    std::mutex mutex;
    std::condition_variable changed;
    bool voicePlaying = false;
    bool stopReturned = false;
    QStringList lateCallbacks;

    Recorder recorder;
    OrderPoller::Callbacks callbacks = recorder.callbacks();
    const auto noteIfLate = [&](const QString &what) {
        std::lock_guard<std::mutex> lock(mutex);
        if (stopReturned)
            lateCallbacks << what;
    };
    callbacks.playVoice = [&] {
        {
            std::lock_guard<std::mutex> lock(mutex);
            voicePlaying = true;
            changed.notify_all();
        }
        // The length of a short payment voice.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        noteIfLate(QStringLiteral("voice"));
    };
    callbacks.paid = [&](const CurrentOrder &) { noteIfLate(QStringLiteral("paid")); };
    callbacks.progress = [&](int attempt) {
        if (attempt == -1)
            noteIfLate(QStringLiteral("-1"));
    };

    std::thread stopper([&] {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return voicePlaying; });
        lock.unlock();
        poller.stop();
        lock.lock();
        stopReturned = true;
    });

    HttpClient client(m_sandbox.caPath().toStdString());
    poller.run(client, target(true), pending, fastCadence(), callbacks);
    stopper.join();

    QVERIFY(stopReturned);
    QCOMPARE(lateCallbacks, QStringList());
}

QTEST_GUILESS_MAIN(TestOrderPoller)
#include "TestOrderPoller.moc"
