// The real client on a real X display with its real input parts: a code typed into KeyHook's
// standard input is paid at once against the sandbox and ends on the success card, and the
// amount a till sends to its customer display (a socat pty pair) appears on the floating icon.
#include "DesktopSession.h"
#include "PtyPair.h"
#include "SandboxProcess.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kAlipayPaid = QStringLiteral("2812345678901234561");

QList<QJsonObject> payRequests(const SandboxProcess &sandbox)
{
    QList<QJsonObject> found;
    for (const QJsonObject &entry : sandbox.journal()) {
        if (entry.value("body").toString().contains("\"method\":\"auto_pay\""))
            found.append(entry);
    }
    return found;
}

} // namespace

class TestE2eInputs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void codeTypedIntoKeyHookEndsInAPaidCard();
    void customerDisplayAmountAppearsOnTheFloatingIcon();

private:
    QString artifact(const QString &name) const;
    QString mainWindowId() const;
    // Pixels of the floating icon's amount display in the dark red of its figures, from a
    // screenshot; -1 when the icon is not on screen.
    int redPixelsOnTheIcon(const QString &shot) const;

    DesktopSession m_desktop;
    SandboxProcess m_sandbox;
    QTemporaryDir m_home;
    std::unique_ptr<PtyPair> m_display;
    ChildProcess m_keyHook;
    ChildProcess m_client;
};

QString TestE2eInputs::artifact(const QString &name) const
{
    const QString dir = qEnvironmentVariable("TALLYPORT_ARTIFACTS", QDir::tempPath());
    QDir().mkpath(dir);
    return dir + QLatin1Char('/') + name;
}

QString TestE2eInputs::mainWindowId() const
{
    return m_desktop.windowWithSize(QStringLiteral("Tallyport"), QStringLiteral("671x503"));
}

void TestE2eInputs::initTestCase()
{
    QVERIFY2(m_desktop.start(), "Xvfb did not start");
    QVERIFY(m_sandbox.start());
    QVERIFY(m_home.isValid());

    m_keyHook.start(
        qEnvironmentVariable("TALLYPORT_KEYHOOK"), {QStringLiteral("--port"), QStringLiteral("0")});
    QVERIFY(m_keyHook.waitForStarted(5000));
    QTRY_VERIFY(m_keyHook.canReadLine());
    const QByteArray listening = m_keyHook.readLine().trimmed();
    const QByteArray port = listening.mid(listening.lastIndexOf(':') + 1);
    QVERIFY2(listening.startsWith("KeyHook listening on 127.0.0.1:"), listening.constData());

    m_display = std::make_unique<PtyPair>(m_home.path(), QStringLiteral("pole"));
    QVERIFY(m_display->start());

    QVERIFY(m_sandbox.writeClientConfig(m_home.path(),
        {"[USERNAME]", "username=13800000000", "[PASSWORD]", "password=123456", "[AUTOLOGIN]",
            "autologin=1", "[SUSPENDWINDOW_SHOW]", "suspendwindow_show=0", "[AUTOMICSHOW]",
            "automicShow=1", "[COLLECTMETHOD]", "collectmethod=" + m_display->portA()}));
    QFile config(m_home.filePath(QStringLiteral("TallyportConfig.ini")));
    QVERIFY(config.open(QIODevice::ReadWrite));
    QByteArray text = config.readAll();
    text.replace("ConnMode=9", "ConnMode=0");
    QVERIFY(config.resize(0));
    QVERIFY(config.write(text) == text.size());
    config.close();

    QProcessEnvironment environment = m_desktop.clientEnvironment(m_home.path());
    environment.insert(QStringLiteral("TALLYPORT_KEYHOOK_PORT"), QString::fromLatin1(port));
    m_client.setProcessEnvironment(environment);
    m_client.setWorkingDirectory(m_home.path());
    m_client.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_client.start(qEnvironmentVariable("TALLYPORT_CLIENT"), QStringList());
    QVERIFY(m_client.waitForStarted(10000));
    QTRY_VERIFY_WITH_TIMEOUT(!mainWindowId().isEmpty(), 30000);
}

void TestE2eInputs::cleanupTestCase()
{
    for (ChildProcess *process : {&m_client, &m_keyHook}) {
        if (process->state() == QProcess::NotRunning)
            continue;
        process->terminate();
        if (!process->waitForFinished(5000))
            process->kill();
        process->waitForFinished(2000);
    }
}

void TestE2eInputs::codeTypedIntoKeyHookEndsInAPaidCard()
{
    QFile log(m_home.filePath(QStringLiteral("tallyport.log")));
    const auto logged = [&log](const QByteArray &line) {
        if (!log.open(QIODevice::ReadOnly))
            return false;
        const bool found = log.readAll().contains(line);
        log.close();
        return found;
    };
    QTRY_VERIFY_WITH_TIMEOUT(logged("Connect Hook Client Success  Kovani\r\n"), 15000);

    const QString window = mainWindowId();
    QVERIFY(!window.isEmpty());
    m_desktop.run("xdotool", {"windowfocus", "--sync", window});
    m_desktop.run("xdotool", {"type", "--delay", "50", "8.8"});
    // The amount is in the field once the floating icon, which mirrors it, shows a figure.
    const QString typed = artifact(QStringLiteral("e2e-amount-typed.png"));
    QTRY_VERIFY_WITH_TIMEOUT(redPixelsOnTheIcon(typed) > 50, 10000);
    const int before = payRequests(m_sandbox).size();
    m_keyHook.write(kAlipayPaid.toLatin1() + "\n");

    QTRY_COMPARE_WITH_TIMEOUT(payRequests(m_sandbox).size(), before + 1, 20000);
    const QList<QJsonObject> pays = payRequests(m_sandbox);
    QVERIFY(!pays.isEmpty());
    const QString body = pays.last().value("body").toString();
    QVERIFY2(body.contains("\"total\":\"880\""), qPrintable(body));
    QVERIFY2(body.contains("\"authCode\":\"" + kAlipayPaid + "\""), qPrintable(body));
    QTRY_VERIFY_WITH_TIMEOUT(
        !m_desktop.visibleWindowSizes(QStringLiteral("collectionWin")).isEmpty(), 10000);
    QVERIFY(m_desktop.screenshot(artifact(QStringLiteral("e2e-keyhook-paid.png"))));
    QVERIFY(logged("收到支付宝付款条码 ===== " + kAlipayPaid.toLatin1() + "  Kovani\r\n"));
    // The card counts down and the main window goes.
    QTRY_VERIFY_WITH_TIMEOUT(mainWindowId().isEmpty(), 10000);
}

int TestE2eInputs::redPixelsOnTheIcon(const QString &shot) const
{
    const QString id
        = m_desktop.windowWithSize(QStringLiteral("Tallyport"), QStringLiteral("276x60"));
    if (id.isEmpty())
        return -1;
    const QString geometry = m_desktop.run("xdotool", {"getwindowgeometry", "--shell", id});
    QPoint at;
    for (const QString &line : geometry.split('\n')) {
        if (line.startsWith("X="))
            at.setX(line.mid(2).toInt());
        else if (line.startsWith("Y="))
            at.setY(line.mid(2).toInt());
    }
    if (!m_desktop.screenshot(shot))
        return -1;
    // The amount display, right of the round icon (which is dark red itself).
    const QImage image = QImage(shot).copy(QRect(at + QPoint(65, 0), QSize(211, 60)));
    int red = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() > 140 && c.green() < 90 && c.blue() < 90)
                ++red;
        }
    }
    return red;
}

void TestE2eInputs::customerDisplayAmountAppearsOnTheFloatingIcon()
{
    // The checkout's amount is empty after the payment: the icon shows no figure.
    const QString shot = artifact(QStringLiteral("e2e-floating-icon.png"));
    QTRY_COMPARE_WITH_TIMEOUT(redPixelsOnTheIcon(shot), 0, 10000);

    QVERIFY(m_display->send("\x0c\x1bQA66.6\r"));
    QTRY_VERIFY_WITH_TIMEOUT(redPixelsOnTheIcon(shot) > 50, 10000);
    qInfo("floating icon after the display line: %d dark red pixels", redPixelsOnTheIcon(shot));
}

QTEST_GUILESS_MAIN(TestE2eInputs)
#include "TestE2eInputs.moc"
