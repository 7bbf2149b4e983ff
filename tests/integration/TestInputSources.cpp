// Payment codes from real parts into the checkout, with the floating icon, the main window and
// the checkout as a login builds them: the real KeyHook fed on its standard input (and
// restarted), a network device that is away, comes, goes and comes back, and a serial scanner
// and a customer display on socat pty pairs, also when the scanner's port takes its time to
// open. With auto-pay on, codes are paid against the sandbox gateway.
#include "CheckStandWin.h"
#include "PayWin.h"
#include "PtyPair.h"
#include "ReFundWin.h"
#include "GatewayClientFixture.h"
#include "ShowWin.h"
#include "SerialReader.h"
#include "SingleWin.h"
#include "SystemMessageBox.h"

#include <QLineEdit>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <atomic>
#include <ctime>
#include <future>
#include <memory>
#include <mutex>

namespace {

const QString kWeChatPaid = QStringLiteral("134567890123456780");
const QString kAlipayPaid = QStringLiteral("2812345678901234560");
const QString kOrderNumber = QStringLiteral("202405061230450000001");

// The CPU time this process uses in `ms`: a reader that spins shows here. The wait is a window
// of observation, not a synchronisation.
long cpuMsWithin(int ms)
{
    const std::clock_t before = std::clock();
    QTest::qWait(ms);
    return long(std::clock() - before) * 1000 / CLOCKS_PER_SEC;
}

// Warnings of Qt from any thread, kept while a test watches them.
class WarningWatch
{
public:
    WarningWatch()
    {
        s_watch = this;
        m_previous = qInstallMessageHandler(&WarningWatch::handle);
    }
    ~WarningWatch()
    {
        qInstallMessageHandler(m_previous);
        s_watch = nullptr;
    }
    QStringList warnings() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_warnings;
    }

private:
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &text)
    {
        if (type == QtWarningMsg) {
            std::lock_guard<std::mutex> lock(s_watch->m_mutex);
            s_watch->m_warnings << text;
        }
        s_watch->m_previous(type, context, text);
    }

    static inline WarningWatch *s_watch = nullptr;
    QtMessageHandler m_previous = nullptr;
    mutable std::mutex m_mutex;
    QStringList m_warnings;
};

// The serial readers' opens, watched through the reader's test hook. hold(port) makes each
// open of that port wait on the reader's thread until answer(), as a Bluetooth port's driver
// takes seconds, or for at most 20 s, after which heldTooLong() says that the test's own thread
// was held up. A seam: a pty opens at once, and QSerialPort's open does not block. The open
// itself is the real one.
class SerialOpens
{
public:
    explicit SerialOpens(const QString &held = QString())
        : m_state(std::make_shared<State>())
    {
        m_state->answered = m_state->answer.get_future().share();
        SerialReader::setOpenHookForTests([state = m_state, held](const QString &port,
                                              const std::function<void()> &open) {
            state->add(state->begun, port);
            if (port == held
                && state->answered.wait_for(std::chrono::seconds(20)) != std::future_status::ready)
                state->heldTooLong = true;
            open();
            state->add(state->ended, port);
        });
    }
    ~SerialOpens()
    {
        answer();
        SerialReader::setOpenHookForTests({});
    }
    void answer()
    {
        std::call_once(m_state->once, [this] { m_state->answer.set_value(); });
    }
    // Opens of `port` begun, and ended (opened or not).
    int begun(const QString &port) const { return m_state->count(m_state->begun, port); }
    int ended(const QString &port) const { return m_state->count(m_state->ended, port); }
    bool heldTooLong() const { return m_state->heldTooLong; }

private:
    struct State
    {
        void add(QStringList &list, const QString &port)
        {
            std::lock_guard<std::mutex> lock(mutex);
            list << port;
        }
        int count(const QStringList &list, const QString &port)
        {
            std::lock_guard<std::mutex> lock(mutex);
            return list.count(port);
        }

        std::promise<void> answer;
        std::shared_future<void> answered;
        std::once_flag once;
        std::mutex mutex;
        QStringList begun;
        QStringList ended;
        std::atomic<bool> heldTooLong {false};
    };
    std::shared_ptr<State> m_state;
};

// The KeyHook helper as a child of the test, fed on its standard input.
class KeyHook
{
public:
    // The port it listens on ("KeyHook listening on 127.0.0.1:PORT"), 0 when it did not start.
    quint16 start(quint16 port)
    {
        m_output.clear();
        m_process.start(
            qEnvironmentVariable("TALLYPORT_KEYHOOK"), {"--port", QString::number(port)});
        if (!QTest::qWaitFor([this] { return m_process.canReadLine(); }, 10000))
            return 0;
        const QByteArray line = m_process.readLine().trimmed();
        return line.mid(line.lastIndexOf(':') + 1).toUShort();
    }
    void stop()
    {
        m_process.terminate();
        m_process.waitForFinished(5000);
    }
    // Clients KeyHook has accepted since it started.
    int clients()
    {
        return (m_output += m_process.readAllStandardOutput()).count("client connected");
    }
    void type(const QString &line) { m_process.write(line.toLatin1() + "\r\n"); }

private:
    ChildProcess m_process;
    QByteArray m_output;
};

} // namespace

class TestInputSources : public QObject, GatewayClientFixture
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void keyHookCodesAndRestart();
    void networkDeviceAwayThenGoneAndBack();
    void serialScannerPaysTheDisplayedAmountAndIsReopened();
    void slowSerialPortHoldsNothingUp();

private:
    // The sandbox client's configuration with auto-pay on: `adbinfo` holds more lines of that
    // section (address, port, serial port).
    bool buildWindows(int connMode, const QByteArray &adbinfo, const QStringList &extra = {});
    QLineEdit *field(const char *name) const
    {
        return m_icon->payWin()->checkStandWin()->findChild<QLineEdit *>(name);
    }
    QString logText() const;
    // The bodies of the payments sent to the sandbox.

    std::unique_ptr<ShowWin> m_icon;
    QStringList m_boxes;
};

void TestInputSources::initTestCase()
{
    QVERIFY(startGateway());
    SystemMessageBox::setTestHook([this](const QString &caption, const QString &text) {
        m_boxes.append(caption + QLatin1Char('|') + text);
    });
}

void TestInputSources::init()
{
    QVERIFY(newHome(false));
    m_boxes.clear();
}

void TestInputSources::cleanup()
{
    m_icon.reset();
    endTest();
    qunsetenv("TALLYPORT_KEYHOOK_PORT");
}

bool TestInputSources::buildWindows(
    int connMode, const QByteArray &adbinfo, const QStringList &extra)
{
    if (!m_sandbox.writeClientConfig(m_home->path(),
            QStringList {
                "[AUTOMICSHOW]", "automicShow=1", "[SUSPENDWINDOW_SHOW]", "suspendwindow_show=1"}
                + extra))
        return false;
    QFile file(m_home->filePath(QStringLiteral("TallyportConfig.ini")));
    if (!file.open(QIODevice::ReadWrite))
        return false;
    const QByteArray text = file.readAll().replace(
        "ConnMode=9", "ConnMode=" + QByteArray::number(connMode) + adbinfo);
    if (!file.resize(0) || file.write(text) != text.size())
        return false;
    file.close();
    m_icon = std::make_unique<ShowWin>();
    return true;
}

QString TestInputSources::logText() const
{
    QFile log(m_home->filePath(QStringLiteral("tallyport.log")));
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
}

void TestInputSources::keyHookCodesAndRestart()
{
    KeyHook keyHook;
    const quint16 port = keyHook.start(0);
    QVERIFY(port != 0);
    qputenv("TALLYPORT_KEYHOOK_PORT", QByteArray::number(port));
    const int paysBefore = m_sandbox.payRequests().size();
    QVERIFY(buildWindows(0, {}));
    QTRY_COMPARE_WITH_TIMEOUT(keyHook.clients(), 1, 10000);
    // Another program has the keyboard: the scans' keys go there, and the hook is the till's
    // only way to hear them.
    QWidget otherProgram;
    const auto elsewhere = [&otherProgram] {
        otherProgram.show();
        otherProgram.activateWindow();
        return QTest::qWaitForWindowActive(&otherProgram);
    };
    QVERIFY(elsewhere());

    // An order number goes to the refund window's order field.
    keyHook.type(kOrderNumber);
    auto *orderNo = m_icon->payWin()->reFundWin()->findChild<QLineEdit *>("lineEdit_orderno");
    QVERIFY(orderNo);
    QTRY_COMPARE(orderNo->text(), kOrderNumber);
    QCOMPARE(m_icon->payWin()->currentItem(), PayWin::Refund);
    QVERIFY(field("lineEdit_paycode")->text().isEmpty());

    // A code without an amount waits for the cashier to type it: nothing is paid.
    QVERIFY(elsewhere());
    keyHook.type(kWeChatPaid);
    QTRY_COMPARE(field("lineEdit_paycode")->text(), kWeChatPaid);
    QTRY_VERIFY(field("lineEdit_money")->hasFocus());
    QCOMPARE(m_sandbox.payRequests().size(), paysBefore);
    // Now the till's amount field has the keyboard: a scan's keys land in it, and the hook's
    // copy of them is no second input.
    QVERIFY(QApplication::focusWidget() == field("lineEdit_money"));
    keyHook.type(kAlipayPaid);
    QTRY_VERIFY(logText().contains("键盘钩子条码 " + kAlipayPaid + " 的按键已输入本程序的输入框"));
    QCOMPARE(field("lineEdit_paycode")->text(), kWeChatPaid);
    QVERIFY(elsewhere());

    // KeyHook goes away: the reader waits between attempts and logs the loss once.
    keyHook.stop();
    QTRY_VERIFY(logText().contains("Hook Client connection lost, retry in 1000 ms"));
    QVERIFY2(cpuMsWithin(3500) < 700, "the reader spins while KeyHook is away");
    QCOMPARE(logText().count("Hook Client connection lost"), 1);

    // Back on its port: codes arrive again, and the next loss starts the back-off anew.
    QCOMPARE(keyHook.start(port), port);
    QTRY_COMPARE_WITH_TIMEOUT(keyHook.clients(), 1, 20000);
    keyHook.type(kAlipayPaid);
    QTRY_COMPARE(field("lineEdit_paycode")->text(), kAlipayPaid);
    keyHook.stop();
    QTRY_COMPARE(logText().count("connection lost, retry in 1000 ms"), 2);
}

void TestInputSources::networkDeviceAwayThenGoneAndBack()
{
    QTcpServer device;
    QVERIFY(device.listen(QHostAddress::LocalHost));
    const quint16 port = device.serverPort();
    device.close(); // away when the windows are built: the cashier is told once
    QVERIFY(buildWindows(2, "\r\nIP=127.0.0.1\r\nport=" + QByteArray::number(port)));
    QTRY_COMPARE(m_boxes, QStringList {QStringLiteral("提示|连接失败!")});

    // It comes up later: the till takes its codes without a restart.
    QVERIFY(device.listen(QHostAddress::LocalHost, port));
    QTRY_VERIFY_WITH_TIMEOUT(device.hasPendingConnections(), 20000);
    QTcpSocket *peer = device.nextPendingConnection();
    peer->write(kAlipayPaid.toLatin1());
    QTRY_COMPARE(field("lineEdit_paycode")->text(), kAlipayPaid);

    // It restarts: the connection drops and the port is closed for a while.
    device.close();
    peer->close();
    QTRY_VERIFY(logText().contains(QStringLiteral("网络设备连接断开, 1000 ms 后重试")));
    QVERIFY(device.listen(QHostAddress::LocalHost, port));
    QTRY_VERIFY_WITH_TIMEOUT(device.hasPendingConnections(), 20000);
    peer = device.nextPendingConnection();
    peer->write(kWeChatPaid.toLatin1() + "\r\n");
    QTRY_COMPARE(field("lineEdit_paycode")->text(), kWeChatPaid);
    QCOMPARE(logText().count(QStringLiteral("网络设备连接断开")), 1);
    QCOMPARE(m_boxes.size(), 1);

    // Logout: the windows go, and their reader closes its connection.
    m_icon.reset();
    QTRY_COMPARE(peer->state(), QAbstractSocket::UnconnectedState);
}

void TestInputSources::serialScannerPaysTheDisplayedAmountAndIsReopened()
{
    WarningWatch watch;
    auto scanner = std::make_unique<PtyPair>(m_home->path(), QStringLiteral("scan"));
    PtyPair display(m_home->path(), QStringLiteral("pole"));
    QVERIFY(scanner->start());
    QVERIFY(display.start());
    const int paysBefore = m_sandbox.payRequests().size();
    SerialOpens opens;
    QVERIFY(buildWindows(1, "\r\ncom=" + scanner->portA().toUtf8(),
        {"[COLLECTMETHOD]", "collectmethod=" + display.portA()}));
    // Both ports open on their readers' threads; what a device sends before is not heard.
    QTRY_VERIFY(opens.ended(scanner->portA()) == 1 && opens.ended(display.portA()) == 1);

    // The display's amount goes to both pay forms and to the floating icon.
    QVERIFY(display.send("\x0c\x1bQA1500\r"));
    QTRY_COMPARE(field("lineEdit_money")->text(), QStringLiteral("1500"));
    auto *singleAmount = m_icon->payWin()->singleWin()->findChild<QLineEdit *>("lineEdit_money");
    QVERIFY(singleAmount);
    QCOMPARE(singleAmount->text(), QStringLiteral("1500"));
    QTRY_COMPARE(m_icon->amountText(), QStringLiteral("1500"));

    // A scanned code is paid at once for that amount.
    QVERIFY(scanner->send(kWeChatPaid.toLatin1() + "\r\n"));
    QTRY_COMPARE_WITH_TIMEOUT(m_sandbox.payRequests().size(), paysBefore + 1, 20000);
    const QStringList pays = m_sandbox.payRequests();
    QVERIFY(!pays.isEmpty());
    QVERIFY2(pays.last().contains("\"total\":\"150000\""), qPrintable(pays.last()));

    // The scanner is unplugged: the reader tries again, quietly, and reads it once it is back.
    scanner.reset();
    QTRY_VERIFY(logText().contains(QStringLiteral("串口读取失败, 稍后重新打开")));
    QVERIFY2(cpuMsWithin(3000) < 600, "the reader spins while the scanner is away");
    QCOMPARE(logText().count(QStringLiteral("串口读取失败")), 1);
    scanner = std::make_unique<PtyPair>(m_home->path(), QStringLiteral("scan"));
    QVERIFY(scanner->start());
    QTRY_VERIFY_WITH_TIMEOUT(logText().contains(QStringLiteral("串口已重新打开")), 40000);
    QVERIFY(scanner->send(kAlipayPaid.toLatin1() + "\r\n"));
    QTRY_COMPARE(field("lineEdit_paycode")->text(), kAlipayPaid);

    // Both ports were opened (the scanner twice) on threads Qt accepts for their notifiers.
    QCOMPARE(watch.warnings().filter(QStringLiteral("QSocketNotifier")), QStringList());
}

void TestInputSources::slowSerialPortHoldsNothingUp()
{
    auto scanner = std::make_unique<PtyPair>(m_home->path(), QStringLiteral("scan"));
    PtyPair display(m_home->path(), QStringLiteral("pole"));
    QVERIFY(scanner->start());
    QVERIFY(display.start());
    const int paysBefore = m_sandbox.payRequests().size();
    {
        // The login builds its windows while the scanner's port is still opening, and the
        // customer display's amount reaches the checkout meanwhile.
        SerialOpens opens(scanner->portA());
        QVERIFY(buildWindows(1, "\r\ncom=" + scanner->portA().toUtf8(),
            {"[COLLECTMETHOD]", "collectmethod=" + display.portA()}));
        QTRY_VERIFY(opens.begun(scanner->portA()) == 1 && opens.ended(display.portA()) == 1);
        QVERIFY(display.send("\x0c\x1bQA1500\r"));
        QTRY_COMPARE(field("lineEdit_money")->text(), QStringLiteral("1500"));
        QVERIFY2(!opens.heldTooLong() && opens.ended(scanner->portA()) == 0,
            "the login waited for the port");
        QVERIFY(logText().contains(QStringLiteral("打开串口: ") + scanner->portA()));

        // Once open, a scan is paid for the displayed amount.
        opens.answer();
        QTRY_COMPARE(opens.ended(scanner->portA()), 1);
        QVERIFY(scanner->send(kWeChatPaid.toLatin1() + "\r\n"));
        QTRY_COMPARE_WITH_TIMEOUT(m_sandbox.payRequests().size(), paysBefore + 1, 20000);
        QVERIFY2(m_sandbox.payRequests().last().contains("\"total\":\"150000\""),
            qPrintable(m_sandbox.payRequests().last()));
        m_icon.reset();
    }

    // A port that is not there, slow to say so: the failure is logged as ever, once known.
    scanner.reset();
    const QString missing = m_home->filePath(QStringLiteral("scanA"));
    SerialOpens opens(missing);
    QVERIFY(buildWindows(1, "\r\ncom=" + missing.toUtf8()));
    QTRY_COMPARE(opens.begun(missing), 1);
    QVERIFY(!logText().contains(QStringLiteral("打开串口失败")));
    opens.answer();
    // ENOENT, after the line that names the port.
    QTRY_VERIFY(logText().contains(QStringLiteral("打开串口失败, 2 ")));
    QVERIFY(logText().indexOf(QStringLiteral("打开串口: ") + missing)
        < logText().indexOf(QStringLiteral("打开串口失败")));
    QVERIFY(!opens.heldTooLong());
    QCOMPARE(m_boxes, QStringList());
    m_icon.reset();
}

QTEST_MAIN(TestInputSources)
#include "TestInputSources.moc"
