// The real client on a real X display: one instance only, auto-login against the sandbox
// gateway, the main window, and a payment typed on the keyboard.
#include "DesktopSession.h"
#include "SandboxProcess.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kPayingCode = QStringLiteral("134567890123456780"); // WeChat form, paid at once

int countRequests(const SandboxProcess &sandbox, const QString &path, const QString &needle = {})
{
    int count = 0;
    for (const QJsonObject &entry : sandbox.journal()) {
        if (entry.value("path").toString() == path
            && entry.value("body").toString().contains(needle))
            ++count;
    }
    return count;
}

} // namespace

class TestE2eClient : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void autoLoginOpensTheMainWindow();
    void secondInstanceEndsAtOnceAndShowsNothing();
    void typedPaymentReachesTheGateway();

private:
    QString artifact(const QString &name) const;
    QString mainWindowId() const;

    DesktopSession m_desktop;
    SandboxProcess m_sandbox;
    QTemporaryDir m_home;
    ChildProcess m_client;
};

QString TestE2eClient::artifact(const QString &name) const
{
    const QString dir = qEnvironmentVariable("TALLYPORT_ARTIFACTS", QDir::tempPath());
    QDir().mkpath(dir);
    return dir + QLatin1Char('/') + name;
}

QString TestE2eClient::mainWindowId() const
{
    return m_desktop.windowWithSize(QStringLiteral("Tallyport"), QStringLiteral("671x503"));
}

void TestE2eClient::initTestCase()
{
    QVERIFY2(m_desktop.start(), "Xvfb did not start");
    QVERIFY(m_sandbox.start());
    QVERIFY(m_home.isValid());
    QVERIFY(m_sandbox.writeClientConfig(m_home.path(),
        {"[USERNAME]", "username=13800000000", "[PASSWORD]", "password=123456", "[AUTOLOGIN]",
            "autologin=1", "[SUSPENDWINDOW_SHOW]", "suspendwindow_show=1"}));

    QVERIFY(m_desktop.startClient(m_client, m_home.path()));
}

void TestE2eClient::cleanupTestCase()
{
    if (m_client.state() != QProcess::NotRunning) {
        m_client.terminate();
        if (!m_client.waitForFinished(5000))
            m_client.kill();
        m_client.waitForFinished(2000);
    }
}

void TestE2eClient::autoLoginOpensTheMainWindow()
{
    QTRY_COMPARE_WITH_TIMEOUT(countRequests(m_sandbox, "/api/login"), 1, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(!mainWindowId().isEmpty(), 20000);
    // The login window has hidden itself: the only visible window of the client is the main one.
    QCOMPARE(m_desktop.visibleWindowSizes(QStringLiteral("Tallyport")).size(), 1);
    QVERIFY(m_desktop.screenshot(artifact(QStringLiteral("e2e-main-window.png"))));
}

void TestE2eClient::secondInstanceEndsAtOnceAndShowsNothing()
{
    QProcess second;
    QVERIFY(m_desktop.startClient(second, m_home.path()));
    QVERIFY(second.waitForFinished(10000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(m_client.state(), QProcess::Running);
    QCOMPARE(countRequests(m_sandbox, "/api/login"), 1);
    QCOMPARE(m_desktop.visibleWindowSizes(QStringLiteral("Tallyport")).size(), 1);
}

void TestE2eClient::typedPaymentReachesTheGateway()
{
    const QString window = mainWindowId();
    QVERIFY(!window.isEmpty());
    m_desktop.run("xdotool", {"windowfocus", "--sync", window});
    // The checkout page opens with the focus in the amount field; Return moves it on.
    m_desktop.run("xdotool", {"type", "--delay", "50", "12.5"});
    m_desktop.run("xdotool", {"key", "Return"});
    m_desktop.run("xdotool", {"type", "--delay", "30", kPayingCode});
    m_desktop.run("xdotool", {"key", "Return"});

    QTRY_COMPARE_WITH_TIMEOUT(
        countRequests(m_sandbox, "/api/face", "\"method\":\"auto_pay\""), 1, 20000);
    const QString body = [this] {
        for (const QJsonObject &entry : m_sandbox.journal()) {
            if (entry.value("body").toString().contains("auto_pay"))
                return entry.value("body").toString();
        }
        return QString();
    }();
    QVERIFY2(body.contains("\"total\":\"1250\""), qPrintable(body));
    QVERIFY2(body.contains("\"authCode\":\"" + kPayingCode + "\""), qPrintable(body));
    // The success card over the checkout page.
    QTRY_VERIFY_WITH_TIMEOUT(
        !m_desktop.visibleWindowSizes(QStringLiteral("collectionWin")).isEmpty(), 10000);
    QVERIFY(m_desktop.screenshot(artifact(QStringLiteral("e2e-payment-card.png"))));

    QFile log(m_home.filePath(QStringLiteral("tallyport.log")));
    QTRY_VERIFY_WITH_TIMEOUT(log.exists(), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(
        [&log] {
            if (!log.open(QIODevice::ReadOnly))
                return false;
            const QByteArray text = log.readAll();
            log.close();
            return text.contains("OnInputYes m_stopPay = 0  Kovani\r\n")
                && text.contains(
                    "OnInputYes emit sendMoneyToShowWin(money.toFloat());  Kovani\r\n");
        }(),
        5000);
    // After the success card has counted down, the main window hides.
    QTRY_VERIFY_WITH_TIMEOUT(mainWindowId().isEmpty(), 10000);
}

QTEST_GUILESS_MAIN(TestE2eClient)
#include "TestE2eClient.moc"
