// Payment codes from real parts into the checkout, with the floating icon, the main window and
// the checkout as a login builds them: the real KeyHook fed on its standard input (and
// restarted), a network device that goes away and comes back, a serial scanner and a customer
// display on socat pty pairs. With auto-pay on, codes are paid against the sandbox gateway.
#include "CheckStandWin.h"
#include "LoginSession.h"
#include "MetaTypes.h"
#include "PayWin.h"
#include "PtyPair.h"
#include "Resources.h"
#include "SandboxProcess.h"
#include "ShowWin.h"
#include "SingleWin.h"
#include "SystemMessageBox.h"
#include "TempHome.h"
#include "WindowScaling.h"
#include "collectionWin.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

#include <sys/resource.h>

namespace {

const QByteArray kWeChatPaid = "134567890123456780";
const QByteArray kAlipayPaid = "2812345678901234560";
const QByteArray kOrderNumber = "202405061230450000001";

// The CPU time this process has used so far, in milliseconds.
long cpuMs()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
}

// The KeyHook helper as a child of the test, fed on its standard input.
class KeyHook
{
public:
    ~KeyHook() { stop(); }

    bool start(quint16 port)
    {
        m_output.clear();
        m_process.start(qEnvironmentVariable("TALLYPORT_KEYHOOK"),
            {QStringLiteral("--port"), QString::number(port)});
        if (!m_process.waitForStarted(5000))
            return false;
        QDeadlineTimer deadline(10000);
        while (!m_output.contains('\n') && !deadline.hasExpired()) {
            m_process.waitForReadyRead(100);
            m_output += m_process.readAllStandardOutput();
        }
        const QByteArray line = m_output.left(m_output.indexOf('\n')).trimmed();
        m_port = static_cast<quint16>(line.mid(line.lastIndexOf(':') + 1).toUInt());
        return line.startsWith("KeyHook listening on 127.0.0.1:") && m_port != 0;
    }

    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(2000);
        }
    }

    // Clients KeyHook has accepted since it started.
    int clients()
    {
        m_output += m_process.readAllStandardOutput();
        return m_output.count("KeyHook client connected");
    }

    void type(const QByteArray &line) { m_process.write(line + "\n"); }
    quint16 port() const { return m_port; }

private:
    ChildProcess m_process;
    QByteArray m_output;
    quint16 m_port = 0;
};

} // namespace

class TestInputSources : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void keyHookCodeWithoutAmountWaitsForTheAmount();
    void keyHookRestartIsReconnected();
    void orderNumberGoesToTheRefundWindow();
    void networkDeviceThatGoesAwayIsReconnected();
    void unreachableNetworkDeviceIsToldOnceWithoutBlocking();
    void serialScannerCode();
    void missingSerialPortIsLogged();
    void serialLineThatGoesAwayIsOpenedAgain();
    void displayAmountThenScannedCodePaysThatAmount();
    void readersEndWithTheWindowAndStartWithTheNext();

private:
    // The sandbox client's configuration with auto-pay on and the icon switch off; `adbinfo`
    // holds more lines of that section (address, port, serial port).
    void writeConfig(
        int connMode, const QByteArray &adbinfo = {}, const QStringList &extra = {}) const;
    void buildWindows();
    CheckStandWin *checkout() const { return m_icon->payWin()->checkStandWin(); }
    QLineEdit *field(const char *name) const;
    QString logText() const;
    QList<QJsonObject> payRequests() const;

    SandboxProcess m_sandbox;
    std::unique_ptr<TempHome> m_home;
    std::unique_ptr<ShowWin> m_icon;
    QStringList m_boxes;
};

void TestInputSources::initTestCase()
{
    Resources::initialise();
    MetaTypes::registerAll();
    WindowScaling::setScreenOverride(QSize(1366, 768));
    QVERIFY(m_sandbox.start());
    LoginSession login;
    QVERIFY(m_sandbox.loginDemo(login));
    GatewaySession::set({login.appid, login.key, login.sid});
    SystemMessageBox::setTestHook([this](const QString &caption, const QString &text) {
        m_boxes.append(caption + QLatin1Char('|') + text);
    });
}

void TestInputSources::init()
{
    m_home = std::make_unique<TempHome>();
    QVERIFY(m_home->isValid());
    m_boxes.clear();
}

void TestInputSources::cleanup()
{
    m_icon.reset();
    m_home.reset();
    qunsetenv("TALLYPORT_KEYHOOK_PORT");
}

void TestInputSources::writeConfig(
    int connMode, const QByteArray &adbinfo, const QStringList &extra) const
{
    QVERIFY(m_sandbox.writeClientConfig(m_home->path(),
        QStringList {
            "[AUTOMICSHOW]", "automicShow=1", "[SUSPENDWINDOW_SHOW]", "suspendwindow_show=1"}
            + extra));
    QFile file(m_home->filePath(QStringLiteral("TallyportConfig.ini")));
    QVERIFY(file.open(QIODevice::ReadWrite));
    QByteArray text = file.readAll();
    text.replace("ConnMode=9", "ConnMode=" + QByteArray::number(connMode) + adbinfo);
    QVERIFY(file.resize(0));
    QVERIFY(file.write(text) == text.size());
}

void TestInputSources::buildWindows()
{
    m_icon = std::make_unique<ShowWin>();
}

QLineEdit *TestInputSources::field(const char *name) const
{
    return checkout()->findChild<QLineEdit *>(QLatin1String(name));
}

QString TestInputSources::logText() const
{
    QFile log(m_home->filePath(QStringLiteral("tallyport.log")));
    if (!log.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(log.readAll());
}

QList<QJsonObject> TestInputSources::payRequests() const
{
    QList<QJsonObject> found;
    for (const QJsonObject &entry : m_sandbox.journal()) {
        if (entry.value("body").toString().contains("\"method\":\"auto_pay\""))
            found.append(entry);
    }
    return found;
}

void TestInputSources::keyHookCodeWithoutAmountWaitsForTheAmount()
{
    KeyHook keyHook;
    QVERIFY(keyHook.start(0));
    qputenv("TALLYPORT_KEYHOOK_PORT", QByteArray::number(keyHook.port()));
    writeConfig(0);
    const int paysBefore = payRequests().size();
    buildWindows();
    QTRY_COMPARE_WITH_TIMEOUT(keyHook.clients(), 1, 10000);
    QTRY_VERIFY(logText().contains("USB连接模式---------------------  Kovani\r\n"));
    QVERIFY(logText().contains("Connect Hook Client Success  Kovani\r\n"));

    QElapsedTimer clock;
    qint64 latencyMs = -1;
    connect(field("lineEdit_paycode"), &QLineEdit::textChanged, this,
        [&] { latencyMs = clock.elapsed(); });
    clock.start();
    keyHook.type(kWeChatPaid + "\r");
    QTRY_COMPARE(field("lineEdit_paycode")->text(), QString::fromLatin1(kWeChatPaid));
    qInfo("KeyHook code to the payment field: %lld ms", latencyMs);

    // No amount yet: the cashier types it next; nothing is paid, even with auto-pay on.
    QTRY_VERIFY(field("lineEdit_money")->hasFocus());
    QVERIFY(m_icon->payWin()->isVisible());
    QVERIFY(logText().contains(QStringLiteral("Receive Hook Message  %1  Kovani\r\n")
                                   .arg(QString::fromLatin1(kWeChatPaid))));
    QVERIFY(logText().contains(QStringLiteral("收到微信付款条码 ===== %1  Kovani\r\n")
                                   .arg(QString::fromLatin1(kWeChatPaid))));
    QVERIFY(logText().contains("sMoney.length() = 0  Kovani\r\n"));
    QCOMPARE(payRequests().size(), paysBefore);
}

void TestInputSources::keyHookRestartIsReconnected()
{
    KeyHook keyHook;
    QVERIFY(keyHook.start(0));
    const quint16 port = keyHook.port();
    qputenv("TALLYPORT_KEYHOOK_PORT", QByteArray::number(port));
    writeConfig(0);
    buildWindows();
    QTRY_COMPARE_WITH_TIMEOUT(keyHook.clients(), 1, 10000);

    keyHook.stop();
    const QString lost
        = QStringLiteral("Hook Client connection lost, retry in 1000 ms  Kovani\r\n");
    QTRY_VERIFY(logText().contains(lost));
    // While KeyHook is away the reader waits between attempts: no busy loop, and the loss is
    // logged once, not once per attempt.
    const long cpuBefore = cpuMs();
    QTest::qWait(3500); // an observation window for the CPU time, not a synchronisation
    const long idleCpu = cpuMs() - cpuBefore;
    qInfo("CPU used in 3.5 s without KeyHook: %ld ms", idleCpu);
    QVERIFY2(idleCpu < 700, qPrintable(QString::number(idleCpu)));
    QCOMPARE(logText().count(QStringLiteral("Hook Client connection lost")), 1);

    QElapsedTimer clock;
    QVERIFY(keyHook.start(port));
    clock.start();
    QTRY_COMPARE_WITH_TIMEOUT(keyHook.clients(), 1, 20000);
    qInfo("KeyHook restarted after 3.5 s away: client back after %lld ms", clock.elapsed());
    QCOMPARE(logText().count(QStringLiteral("Connect Hook Client Success")), 2);

    keyHook.type(kWeChatPaid);
    QTRY_COMPARE(field("lineEdit_paycode")->text(), QString::fromLatin1(kWeChatPaid));

    // Restarted at once, as after an update of KeyHook: back within the first back-off step.
    keyHook.stop();
    QTRY_COMPARE(logText().count(QStringLiteral("Hook Client connection lost")), 2);
    QVERIFY(keyHook.start(port));
    clock.restart();
    QTRY_COMPARE_WITH_TIMEOUT(keyHook.clients(), 1, 10000);
    qInfo("KeyHook restarted at once: client back after %lld ms", clock.elapsed());
    QVERIFY(clock.elapsed() < 5000);
}

void TestInputSources::orderNumberGoesToTheRefundWindow()
{
    KeyHook keyHook;
    QVERIFY(keyHook.start(0));
    qputenv("TALLYPORT_KEYHOOK_PORT", QByteArray::number(keyHook.port()));
    writeConfig(0);
    buildWindows();
    QTRY_COMPARE_WITH_TIMEOUT(keyHook.clients(), 1, 10000);
    QSignalSpy refund(checkout(), &CheckStandWin::SendReceiveRefundCode);

    keyHook.type(kOrderNumber + "\r");
    QTRY_COMPARE(refund.count(), 1);
    QCOMPARE(refund.first().first().value<std::string>(), kOrderNumber.toStdString());
    QTRY_COMPARE(m_icon->payWin()->currentItem(), PayWin::Refund);
    QVERIFY(logText().contains(QStringLiteral("收到订单号  =====  %1  Kovani\r\n")
                                   .arg(QString::fromLatin1(kOrderNumber))));
    QVERIFY(field("lineEdit_paycode")->text().isEmpty());
}

void TestInputSources::networkDeviceThatGoesAwayIsReconnected()
{
    QTcpServer device;
    QVERIFY(device.listen(QHostAddress::LocalHost));
    const quint16 port = device.serverPort();
    writeConfig(2, "\r\nIP=127.0.0.1\r\nport=" + QByteArray::number(port));
    buildWindows();
    QTRY_VERIFY_WITH_TIMEOUT(device.hasPendingConnections(), 10000);
    QTcpSocket *peer = device.nextPendingConnection();
    QVERIFY(logText().contains("网络连接模式-----------------------  Kovani\r\n"));
    QVERIFY(m_boxes.isEmpty());

    peer->write(kAlipayPaid);
    QTRY_COMPARE(field("lineEdit_paycode")->text(), QString::fromLatin1(kAlipayPaid));
    QVERIFY(logText().contains(
        QStringLiteral("收到socket消息: %1  Kovani\r\n").arg(QString::fromLatin1(kAlipayPaid))));

    // The device restarts: the connection drops and the port is closed for a while.
    device.close();
    peer->close();
    QTRY_VERIFY(logText().contains(QStringLiteral("网络设备连接断开, 1000 ms 后重试")));
    QVERIFY(device.listen(QHostAddress::LocalHost, port));
    QElapsedTimer clock;
    clock.start();
    QTRY_VERIFY_WITH_TIMEOUT(device.hasPendingConnections(), 20000);
    qInfo("network device back: reconnected after %lld ms", clock.elapsed());
    QTcpSocket *again = device.nextPendingConnection();
    field("lineEdit_paycode")->clear();
    again->write(kWeChatPaid);
    QTRY_COMPARE(field("lineEdit_paycode")->text(), QString::fromLatin1(kWeChatPaid));
    QCOMPARE(logText().count(QStringLiteral("网络设备连接断开")), 1);
    QVERIFY(m_boxes.isEmpty());
}

void TestInputSources::unreachableNetworkDeviceIsToldOnceWithoutBlocking()
{
    QTcpServer device;
    QVERIFY(device.listen(QHostAddress::LocalHost));
    const quint16 port = device.serverPort();
    device.close(); // nobody listens there now
    writeConfig(2, "\r\nIP=127.0.0.1\r\nport=" + QByteArray::number(port));
    QElapsedTimer clock;
    clock.start();
    buildWindows();
    qInfo("windows built with the network device away in %lld ms", clock.elapsed());
    QTRY_COMPARE(m_boxes, QStringList {QStringLiteral("提示|连接失败!")});

    // The device comes up later: the till takes its codes without a restart.
    QVERIFY(device.listen(QHostAddress::LocalHost, port));
    QTRY_VERIFY_WITH_TIMEOUT(device.hasPendingConnections(), 20000);
    device.nextPendingConnection()->write(kWeChatPaid + "\r\n");
    QTRY_COMPARE(field("lineEdit_paycode")->text(), QString::fromLatin1(kWeChatPaid));
    QCOMPARE(m_boxes.size(), 1);
}

void TestInputSources::serialScannerCode()
{
    PtyPair line(m_home->path());
    QVERIFY(line.start());
    writeConfig(1, "\r\ncom=" + line.portA().toUtf8());
    buildWindows();
    QVERIFY(logText().contains("COM 串口连接模式---------------------  Kovani\r\n"));
    QVERIFY(logText().contains(QStringLiteral("打开串口: %1  Kovani\r\n").arg(line.portA())));

    QElapsedTimer clock;
    qint64 latencyMs = -1;
    connect(field("lineEdit_paycode"), &QLineEdit::textChanged, this,
        [&] { latencyMs = clock.elapsed(); });
    clock.start();
    QVERIFY(line.send(kWeChatPaid + "\r\n"));
    QTRY_COMPARE(field("lineEdit_paycode")->text(), QString::fromLatin1(kWeChatPaid));
    qInfo("serial code to the payment field: %lld ms (the line is read once quiet for 500 ms)",
        latencyMs);
    QVERIFY(
        logText().contains("COM receive1 = 3133343536373839303132333435363738300d0a  Kovani\r\n"));
    QVERIFY(logText().contains("COM receive = 31333435363738393031323334353637383000  Kovani\r\n"));
    QVERIFY(logText().contains(QStringLiteral("收到串口数据------------   %1  Kovani\r\n")
                                   .arg(QString::fromLatin1(kWeChatPaid))));
}

void TestInputSources::missingSerialPortIsLogged()
{
    writeConfig(1, "\r\ncom=" + m_home->filePath(QStringLiteral("no-such-port")).toUtf8());
    buildWindows();
    QVERIFY2(logText().contains("打开串口失败, 2  Kovani\r\n"), qPrintable(logText()));
}

void TestInputSources::serialLineThatGoesAwayIsOpenedAgain()
{
    auto line = std::make_unique<PtyPair>(m_home->path());
    QVERIFY(line->start());
    writeConfig(1, "\r\ncom=" + line->portA().toUtf8());
    buildWindows();
    QVERIFY(line->send(kAlipayPaid + "\r\n"));
    QTRY_COMPARE(field("lineEdit_paycode")->text(), QString::fromLatin1(kAlipayPaid));

    // The scanner is unplugged: the port fails, the reader waits and tries again, quietly.
    line.reset();
    QTRY_VERIFY(logText().contains(QStringLiteral("串口读取失败, 稍后重新打开")));
    const long cpuBefore = cpuMs();
    QTest::qWait(3000); // an observation window for the CPU time, not a synchronisation
    const long idleCpu = cpuMs() - cpuBefore;
    qInfo("CPU used in 3 s with the serial scanner away: %ld ms", idleCpu);
    QVERIFY2(idleCpu < 600, qPrintable(QString::number(idleCpu)));
    QCOMPARE(logText().count(QStringLiteral("串口读取失败")), 1);

    // Plugged in again under the same name.
    line = std::make_unique<PtyPair>(m_home->path());
    QVERIFY(line->start());
    QTRY_VERIFY_WITH_TIMEOUT(logText().contains(QStringLiteral("串口已重新打开")), 40000);
    field("lineEdit_paycode")->clear();
    QVERIFY(line->send(kWeChatPaid + "\r\n"));
    QTRY_COMPARE(field("lineEdit_paycode")->text(), QString::fromLatin1(kWeChatPaid));
}

void TestInputSources::displayAmountThenScannedCodePaysThatAmount()
{
    PtyPair scanner(m_home->path(), QStringLiteral("scan"));
    PtyPair display(m_home->path(), QStringLiteral("pole"));
    QVERIFY(scanner.start());
    QVERIFY(display.start());
    writeConfig(1, "\r\ncom=" + scanner.portA().toUtf8(),
        {"[COLLECTMETHOD]", "collectmethod=" + display.portA()});
    const int paysBefore = payRequests().size();
    buildWindows();
    QVERIFY(m_icon->displayReaderRunning());
    QStringList displayed;
    connect(m_icon.get(), &ShowWin::sendDataToCheckStand, this,
        [&displayed](const QString &text) { displayed.append(text); });

    QVERIFY(display.send("\x0c\x1bQA1500\r"));
    QTRY_COMPARE(field("lineEdit_money")->text(), QStringLiteral("1500"));
    QLineEdit *singleAmount
        = m_icon->payWin()->singleWin()->findChild<QLineEdit *>("lineEdit_money");
    QVERIFY(singleAmount);
    QCOMPARE(singleAmount->text(), QStringLiteral("1500"));
    // The floating icon follows the checkout's amount.
    QTRY_COMPARE(m_icon->amountText(), QStringLiteral("1500"));
    // Bytes without the display command carry no amount.
    QVERIFY(display.send("999\r"));
    QTRY_COMPARE(displayed, (QStringList {QStringLiteral("1500\r"), QString()}));
    QCOMPARE(field("lineEdit_money")->text(), QStringLiteral("1500"));

    QVERIFY(scanner.send(kWeChatPaid + "\r\n"));
    QTRY_COMPARE_WITH_TIMEOUT(payRequests().size(), paysBefore + 1, 20000);
    const QList<QJsonObject> pays = payRequests();
    QVERIFY(!pays.isEmpty());
    QVERIFY2(pays.last().value("body").toString().contains("\"total\":\"150000\""),
        qPrintable(pays.last().value("body").toString()));
}

void TestInputSources::readersEndWithTheWindowAndStartWithTheNext()
{
    QTcpServer device;
    QVERIFY(device.listen(QHostAddress::LocalHost));
    writeConfig(2, "\r\nIP=127.0.0.1\r\nport=" + QByteArray::number(device.serverPort()));
    buildWindows();
    QTRY_VERIFY_WITH_TIMEOUT(device.hasPendingConnections(), 10000);
    QTcpSocket *first = device.nextPendingConnection();

    // Logout: the windows go, and their reader with them; it closes its connection.
    QElapsedTimer clock;
    clock.start();
    m_icon.reset();
    qInfo("windows with a connected reader destroyed in %lld ms", clock.elapsed());
    QTRY_COMPARE(first->state(), QAbstractSocket::UnconnectedState);
    // A code now reaches nobody, and nothing is left to touch the old window.
    first->write(kWeChatPaid);

    // The next login starts a new reader.
    buildWindows();
    QTRY_VERIFY_WITH_TIMEOUT(device.hasPendingConnections(), 10000);
    device.nextPendingConnection()->write(kWeChatPaid);
    QTRY_COMPARE(field("lineEdit_paycode")->text(), QString::fromLatin1(kWeChatPaid));
}

QTEST_MAIN(TestInputSources)
#include "TestInputSources.moc"
