// Hostile gateways: the real client's login, pay, status and upgrade exchanges against the
// sandbox serving answers that are deep, cut short, wrongly shaped, huge or not text at all.
// Each ends in its usual failure (or, for a status answer, the poll goes on); none crashes or
// hangs the till.
#include "CheckStandWin.h"
#include "ConfigStore.h"
#include "GatewayClientFixture.h"
#include "Tallyport.h"
#include "collectionWin.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

const QString kWeChatPaid = QStringLiteral("134567890123456780");
const QString kWeChatPendingThenPaid = QStringLiteral("134567890123456786");
const OrderPoller::Cadence kFastCadence {15, 5, 10, 20};
constexpr int kOutcomeMs = 20000;

// The fault request for a body built as prefix + body x repeat + suffix.
QByteArray bodyFault(
    const QString &prefix, const QString &body, int repeat = 1, const QString &suffix = QString())
{
    QJsonObject fault {{"kind", "body"}, {"prefix", prefix}, {"body", body}, {"repeat", repeat},
        {"suffix", suffix}};
    return QJsonDocument(fault).toJson(QJsonDocument::Compact);
}

QByteArray bytesFault(const QByteArray &bytes)
{
    QJsonObject fault {{"kind", "body"}, {"body_base64", QString::fromLatin1(bytes.toBase64())}};
    return QJsonDocument(fault).toJson(QJsonDocument::Compact);
}

} // namespace

class TestHostileReplies : public QObject, GatewayClientFixture
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void login_data() { hostileAnswers(); }
    void login();
    void pay_data() { hostileAnswers(); }
    void pay();
    void status_data() { hostileAnswers(); }
    void status();
    void upgrade_data() { hostileAnswers(); }
    void upgrade();
    void upgradeOfferCannotAddASection();

private:
    void hostileAnswers();
    CheckStandWin *checkout();

    std::unique_ptr<QWidget> m_main;
};

void TestHostileReplies::hostileAnswers()
{
    QTest::addColumn<QByteArray>("fault");

    QTest::newRow("empty") << bodyFault(QString(), QString());
    QTest::newRow("100000 open lists") << bodyFault(QString(), "[", 100000);
    QTest::newRow("deep lists in the data")
        << bodyFault(R"({"code":"100","msg":"ok","data":)", "[", 100000);
    QTest::newRow("deep objects in the data")
        << bodyFault(R"({"code":"100","msg":"ok","data":)", R"({"a":)", 50000);
    QTest::newRow("cut short") << bodyFault(
        R"({"code":"100","msg":"ok","data":{"status":"1","ou)", QString());
    QTest::newRow("null") << bodyFault("null", QString());
    QTest::newRow("a list of answers")
        << bodyFault(R"([{"code":"100","msg":"ok","data":{"status":"1"}}])", QString());
    QTest::newRow("code is an object")
        << bodyFault(R"({"code":{"code":"100"},"msg":"ok","data":{"status":"1"}})", QString());
    QTest::newRow("data is a list") << bodyFault(
        R"({"code":"100","msg":"ok","data":[{"status":"1","payType":"wx"}]})", QString());
    QTest::newRow("NUL inside the code") << bodyFault(
        QStringLiteral("{\"code\":\"100") + QChar(0) + "\",\"msg\":\"ok\"}", QString());
    QTest::newRow("raw NUL byte") << bytesFault(
        QByteArray("{\"code\":\"100\",\0\"msg\":\"ok\"}", 26));
    QTest::newRow("bytes that are not UTF-8")
        << bytesFault("{\"code\":\"500\",\"msg\":\"\xff\xfe\xc3\"}");
    QTest::newRow("eight megabytes of text") << bodyFault(QString(), "0123456789abcdef", 524288);
    QTest::newRow("a megabyte message")
        << bodyFault(R"({"code":"500","msg":")", "x", 1024 * 1024, R"("})");
}

void TestHostileReplies::initTestCase()
{
    QVERIFY(startGateway());
}

void TestHostileReplies::init()
{
    QVERIFY(newHome(true, {"[USERNAME]", "username=13800000000", "[PASSWORD]", "password=123456"}));
    qputenv("TALLYPORT_PLAYER", "true");
}

void TestHostileReplies::cleanup()
{
    m_main.reset();
    endTest();
}

CheckStandWin *TestHostileReplies::checkout()
{
    // As a login would have left it.
    GatewaySession::set({m_appid.toStdWString(), m_key.toStdWString(), m_sid.toStdWString()});
    m_main = std::make_unique<QWidget>();
    auto *win = new CheckStandWin(m_main.get());
    win->setPollCadence(kFastCadence);
    m_main->show();
    return win;
}

void TestHostileReplies::login()
{
    QFETCH(QByteArray, fault);
    QVERIFY(m_sandbox.injectFault(fault));
    Tallyport window;
    window.show();
    window.OnInputLogin();
    QTRY_VERIFY_WITH_TIMEOUT(!Tallyport::busy(), kOutcomeMs);
    QVERIFY(window.floatingIcon() == nullptr);
    QVERIFY(window.findChild<QLabel *>(QStringLiteral("label_note"))->isVisible());
    QVERIFY(window.session().key.empty());
}

void TestHostileReplies::pay()
{
    QFETCH(QByteArray, fault);
    CheckStandWin *win = checkout();
    QSignalSpy printed(win, &CheckStandWin::sendMsgToPrinter);
    win->findChild<QLineEdit *>(QStringLiteral("lineEdit_money"))->setText("12.5");
    win->findChild<QLineEdit *>(QStringLiteral("lineEdit_paycode"))->setText(kWeChatPaid);
    QVERIFY(m_sandbox.injectFault(fault));

    win->OnInputYes();

    QTRY_VERIFY_WITH_TIMEOUT(win->resultCard()->isVisible(), 20000);
    QVERIFY(!win->resultCard()->successShown());
    QVERIFY(!win->polling());
    QCOMPARE(printed.count(), 0);
}

void TestHostileReplies::status()
{
    // The pay answer passes; the first status answer is hostile and does not count at the
    // gateway, so the order is paid at the fourth status request.
    QFETCH(QByteArray, fault);
    CheckStandWin *win = checkout();
    QSignalSpy progress(win, &CheckStandWin::sendContinueQuery);
    win->findChild<QLineEdit *>(QStringLiteral("lineEdit_money"))->setText("3");
    win->findChild<QLineEdit *>(QStringLiteral("lineEdit_paycode"))
        ->setText(kWeChatPendingThenPaid);
    QVERIFY(m_sandbox.injectFault(R"({"kind":"delay","ms":0})"));
    QVERIFY(m_sandbox.injectFault(fault));

    win->OnInputYes();
    QTRY_VERIFY_WITH_TIMEOUT(win->polling(), kOutcomeMs);

    QTRY_VERIFY_WITH_TIMEOUT(!win->polling(), kOutcomeMs);
    // The polling thread ends after it has queued the outcome for the window's thread.
    QTRY_VERIFY_WITH_TIMEOUT(win->resultCard()->isVisible(), kOutcomeMs);
    QVERIFY(win->resultCard()->successShown());
    // Attempts 1 to 3 went undecided (six steps each), the fourth paid.
    QCOMPARE(progress.size(), 3 * 6 + 2);
    QCOMPARE(progress.at(3 * 6).at(0).toInt(), 4);
}

void TestHostileReplies::upgrade()
{
    QFETCH(QByteArray, fault);
    const QByteArray before = [this] {
        QFile file(m_home->filePath(QStringLiteral("TallyportConfig.ini")));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    Tallyport window;
    QVERIFY(m_sandbox.injectFault(fault));
    QSignalSpy told(&window, &Tallyport::sendMsgToUpdate);

    window.OnUpgrade();

    QCOMPARE(told.count(), 0);
    QFile file(m_home->filePath(QStringLiteral("TallyportConfig.ini")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before);
}

void TestHostileReplies::upgradeOfferCannotAddASection()
{
    const ConfigStore store;
    const QString gateway = store.readString("GATEWAY_HOST", "gateway_host");
    QVERIFY(m_sandbox.injectFault(
        bodyFault(R"({"status":"1","msg":"new","info":"notes\r\n[GATEWAY_HOST]\r\ngateway_host=)"
                  R"(https://elsewhere","version":"2\n[PASSWORD]","url":"https://127.0.0.1/u"})",
            QString())));
    Tallyport window;
    QSignalSpy told(&window, &Tallyport::sendMsgToUpdate);

    window.OnUpgrade();

    QCOMPARE(told.count(), 1);
    QCOMPARE(store.readString("GATEWAY_HOST", "gateway_host"), gateway);
    QCOMPARE(store.readString("PASSWORD", "password"), QStringLiteral("123456"));
    QCOMPARE(store.readString("MEMO", "MEMO"),
        QStringLiteral("notes  [GATEWAY_HOST]  gateway_host=https://elsewhere"));
    QCOMPARE(store.readString("VERSION", "version"), QStringLiteral("2 [PASSWORD]"));
}

QTEST_MAIN(TestHostileReplies)
#include "TestHostileReplies.moc"
