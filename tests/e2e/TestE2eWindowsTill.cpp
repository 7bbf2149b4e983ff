// The Windows till (Tallyport.exe of the cross build) under Wine, in a Wine prefix of its own,
// on a real X display, against the sandbox gateway on the Linux side, with the Windows parts a
// shop has: serial port COM1 (a socat pty pair) for the customer display, KeyHook.exe, which
// the till starts itself, hooking the keyboard of the whole desktop, another program (Wine's
// Notepad) that has the focus when a code is scanned or a hot key pressed, the tray of Wine's
// desktop, and the Windows registry. A second start stays out; a typed payment is paid and
// booked; a pending one is followed to paid; the display's amount is paid with a code typed
// into Notepad; Ctrl+F9 over Notepad shows the checkout again; the tray item writes and
// removes the Run value; after the till is killed, it starts again on a serial scanner
// (COM2), whose code pays the display's amount.
#include "CupsQueue.h"
#include "DesktopSession.h"
#include "PtyPair.h"
#include "SandboxProcess.h"
#include "WinePrefix.h"
#include "WineTray.h"
#include "WindowsTillHome.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kPayingCode = QStringLiteral("134567890123456780"); // WeChat form, paid at once
const QString kPendingCode = QStringLiteral("134567890123456786"); // paid at the third query
const QString kScannedCode = QStringLiteral("2812345678901234561"); // Alipay form, paid at once
const QString kCheckoutSize = QStringLiteral("671x503");
const QString kRunKey = QStringLiteral("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");
constexpr int kTrayItems = 8;
constexpr int kStartAtBootItem = 0;
constexpr quint16 kKeyHookPort = 1234;
constexpr int kTimeoutMs = 60000;

} // namespace

class TestE2eWindowsTill : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();
    void secondStartStaysOut();
    void typedPaymentIsPaidAndBooked();
    void cashKeyShowsTheCheckoutOverAnotherProgram();
    void pendingPaymentIsFollowedToPaid();
    void displayedAmountIsPaidWithACodeScannedIntoAnotherProgram();
    void trayItemWritesAndRemovesTheRunValue();
    void codeScannedOnASerialPortIsPaid();

private:
    QString mainWindow() const { return m_desktop.windowWithSize("Tallyport", kCheckoutSize); }
    void pay(const QString &amount, const QString &code);
    void startTill();
    void waitForTheCardToGo();
    bool clickTrayItem(int index, const std::function<bool()> &clicked);
    void screenshot(const QString &name) const;
    // A path in the directory of what a run leaves to look at.
    static QString artifact(const QString &name);

    CupsQueue m_cups; // first: Wine's printing reaches it through the CUPS_SERVER it sets
    DesktopSession m_desktop;
    SandboxProcess m_sandbox;
    QTemporaryDir m_home;
    WindowsTillHome m_tillHome;
    std::unique_ptr<PtyPair> m_display; // COM1
    std::unique_ptr<PtyPair> m_scanner; // COM2
    std::unique_ptr<WinePrefix> m_wine;
    ChildProcess m_till;
    ChildProcess m_notepad;
    QString m_notepadWindow;
    bool m_failed = false;
};

void TestE2eWindowsTill::pay(const QString &amount, const QString &code)
{
    // Typed by the cashier, at a person's pace: KeyHook.exe, which hears it too, tells it from
    // a scan and sends nothing.
    const QString window = mainWindow();
    QVERIFY(!window.isEmpty());
    for (const QString &text : {amount, code}) {
        m_desktop.run("xdotool", {"windowfocus", "--sync", window, "type", "--delay", "150", text});
        m_desktop.run("xdotool", {"windowfocus", "--sync", window, "key", "Return"});
    }
}

void TestE2eWindowsTill::waitForTheCardToGo()
{
    // The success card counts down, then the checkout hides.
    QTRY_VERIFY_WITH_TIMEOUT(m_desktop.visibleWindows("collectionWin").isEmpty(), kTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(mainWindow().isEmpty(), kTimeoutMs);
}

QString TestE2eWindowsTill::artifact(const QString &name)
{
    const QString artifacts = qEnvironmentVariable("TALLYPORT_ARTIFACTS", QDir::tempPath());
    QDir().mkpath(artifacts);
    return artifacts + QLatin1Char('/') + name;
}

void TestE2eWindowsTill::screenshot(const QString &name) const
{
    m_desktop.screenshot(artifact(name));
}

bool TestE2eWindowsTill::clickTrayItem(int index, const std::function<bool()> &clicked)
{
    return WineTray::clickItemUntil(m_desktop, QStringLiteral("Tallyport"), index, kTrayItems,
        artifact(QStringLiteral("e2e-windows-tray-menu.png")), clicked);
}

void TestE2eWindowsTill::initTestCase()
{
    for (const char *variable :
        {"TALLYPORT_WINDOWS_CLIENT", "TALLYPORT_WINDOWS_KEYHOOK", "TALLYPORT_WINE_RUN"}) {
        QVERIFY2(qEnvironmentVariableIsSet(variable),
            "run by the Windows build's CTest, which names the till, KeyHook.exe and the runner");
    }
    for (const char *tool : {"wine", "sqlite3", "xdotool", "socat", "pdftoppm", "zbarimg"}) {
        QVERIFY2(!QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty(),
            "wine, sqlite3, xdotool, socat, pdftoppm and zbarimg are needed (scripts/setup.sh, "
            "scripts/windows-deps.sh)");
    }
    // KeyHook.exe listens where a Windows till expects it.
    {
        QTcpServer probe;
        QVERIFY2(probe.listen(QHostAddress::LocalHost, kKeyHookPort),
            "port 1234, KeyHook.exe's, is taken on this machine");
    }
    const QString noCups = CupsQueue::unavailableReason();
    QVERIFY2(noCups.isEmpty(), qPrintable(noCups));
    QVERIFY2(m_cups.start(), m_cups.errorLog().constData());
    QVERIFY2(m_desktop.start(), "Xvfb did not start");
    QVERIFY(m_sandbox.start());
    QVERIFY(m_home.isValid());
    m_display = std::make_unique<PtyPair>(m_home.path(), QStringLiteral("pole"));
    QVERIFY(m_display->start());
    m_scanner = std::make_unique<PtyPair>(m_home.path(), QStringLiteral("scan"));
    QVERIFY(m_scanner->start());
    m_wine = std::make_unique<WinePrefix>(m_desktop.display());
    QVERIFY2(
        m_wine->start({m_display->portA(), m_scanner->portA()}), "the Wine prefix did not boot");

    // The configuration of a Windows till: the gateway by name (Schannel matches names only),
    // paths as Wine's drive Z:, KeyHook (ConnMode 0), the customer display on COM1, the floating
    // icon, Ctrl+F9 for the checkout.
    QVERIFY(m_sandbox.writeClientConfig(m_home.path(),
        {"[USERNAME]", "username=13800000000", "[PASSWORD]", "password=123456", "[AUTOLOGIN]",
            "autologin=1", "[SUSPENDWINDOW_SHOW]", "suspendwindow_show=0", "[AUTOMICSHOW]",
            "automicShow=1", "[COLLECTMETHOD]", "collectmethod=COM1", "[CASH_HOTKEY]",
            "cash_hotkey=8", "[CASH_HOTKEY_ALT]", "cash_hotkey_alt=1"}));
    m_tillHome = WindowsTillHome(m_home.path());
    QVERIFY(m_tillHome.rewriteConfig({{"https://127.0.0.1:", "https://localhost:"},
        {"ca_bundle=/", "ca_bundle=Z:/"}, {"ConnMode=9", "ConnMode=0"}}));
    QVERIFY(QFile::copy(
        qEnvironmentVariable("TALLYPORT_WINDOWS_KEYHOOK"), m_home.filePath("KeyHook.exe")));

    // The other program: Notepad ("无标题 - 记事本" in the Chinese locale), moved off the tray.
    QVERIFY(m_wine->startProgram(m_notepad, {"notepad"}, m_home.path()));
    QTRY_VERIFY_WITH_TIMEOUT(
        !(m_notepadWindow = m_desktop.visibleWindows("notepad.exe", "--class").value(0)).isEmpty(),
        kTimeoutMs);
    m_desktop.run("xdotool", {"windowmove", "--sync", m_notepadWindow, "700", "360"});

    startTill();
    screenshot(QStringLiteral("e2e-windows-checkout.png"));
}

void TestE2eWindowsTill::startTill()
{
    QProcessEnvironment till;
    till.insert("TALLYPORT_HOME", "Z:" + m_home.path());
    QVERIFY(m_wine->startProgram(
        m_till, {qEnvironmentVariable("TALLYPORT_WINDOWS_CLIENT")}, m_home.path(), till));
    // Logged in at once (autologin), the checkout is shown.
    QTRY_VERIFY_WITH_TIMEOUT(!mainWindow().isEmpty(), kTimeoutMs);
}

void TestE2eWindowsTill::cleanupTestCase()
{
    // The prefix's server takes the till, KeyHook.exe and Notepad with it.
    m_wine.reset();
    for (ChildProcess *process : {&m_till, &m_notepad}) {
        if (!process->waitForFinished(10000))
            process->kill();
    }
    // What a support engineer would ask for: the till's logs, its ledger and its configuration.
    if (QTest::currentTestFailed() || m_failed) {
        const QString kept = artifact(QStringLiteral("e2e-windows-home"));
        QDir(kept).removeRecursively();
        QDir().mkpath(kept);
        for (const QFileInfo &file : QDir(m_home.path()).entryInfoList(QDir::Files))
            QFile::copy(file.absoluteFilePath(), kept + QLatin1Char('/') + file.fileName());
        qWarning("the till's home is kept in %s", qPrintable(kept));
    }
}

void TestE2eWindowsTill::cleanup()
{
    m_failed = m_failed || QTest::currentTestFailed();
}

void TestE2eWindowsTill::secondStartStaysOut()
{
    ChildProcess second;
    QProcessEnvironment till;
    till.insert("TALLYPORT_HOME", "Z:" + m_home.path());
    QVERIFY(m_wine->startProgram(
        second, {qEnvironmentVariable("TALLYPORT_WINDOWS_CLIENT")}, m_home.path(), till));
    QVERIFY(second.waitForFinished(kTimeoutMs));
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(m_till.state(), QProcess::Running);
    QCOMPARE(m_desktop.visibleWindowSizes("Tallyport").filter(kCheckoutSize).size(), 1);
}

void TestE2eWindowsTill::typedPaymentIsPaidAndBooked()
{
    pay("12.5", kPayingCode);
    QTRY_VERIFY_WITH_TIMEOUT(!m_desktop.visibleWindows("collectionWin").isEmpty(), kTimeoutMs);
    screenshot(QStringLiteral("e2e-windows-paid.png"));
    const QStringList pays = m_sandbox.payRequests();
    QCOMPARE(pays.size(), 1);
    QVERIFY2(pays.last().contains("\"total\":\"1250\""), qPrintable(pays.last()));
    const QString orderNumber = m_sandbox.lastOrderNumber();
    QCOMPARE(orderNumber.size(), 21);
    QTRY_COMPARE_WITH_TIMEOUT(
        m_tillHome.ledgerState(orderNumber), QStringLiteral("paid"), kTimeoutMs);
    // The receipt goes to Windows' default printer, which Wine takes from CUPS: its bar code
    // is the order number.
    QVERIFY2(m_cups.waitForPdfs(1, kTimeoutMs), m_cups.errorLog().constData());
    const QString receipt = m_cups.outputDir() + '/' + m_cups.pdfFiles().value(0);
    const QString kept = artifact(QStringLiteral("e2e-windows-receipt.pdf"));
    QFile::remove(kept);
    QFile::copy(receipt, kept);
    // GDI draws the bars in the printer's own dots, finer than a Linux receipt's.
    QCOMPARE(CupsQueue::scannedCodes(receipt, 300), QStringList {orderNumber});
    waitForTheCardToGo();
}

void TestE2eWindowsTill::pendingPaymentIsFollowedToPaid()
{
    pay("3", kPendingCode);
    QTRY_VERIFY_WITH_TIMEOUT(!m_desktop.visibleWindows("collectionWin").isEmpty(), kTimeoutMs);
    const QString orderNumber = m_sandbox.lastOrderNumber();
    QTRY_COMPARE_WITH_TIMEOUT(
        m_tillHome.ledgerState(orderNumber), QStringLiteral("paid"), kTimeoutMs);
    int queries = 0;
    for (const QJsonObject &entry : m_sandbox.journal())
        queries += entry.value("body").toString().contains(orderNumber)
            && entry.value("body").toString().contains("auto_orderQuery");
    QCOMPARE(queries, 3);
    screenshot(QStringLiteral("e2e-windows-pending-paid.png"));
    waitForTheCardToGo();
}

void TestE2eWindowsTill::displayedAmountIsPaidWithACodeScannedIntoAnotherProgram()
{
    // The till shows the display's amount and takes it as the sale's, as a scanner types the
    // code into whatever has the focus: KeyHook.exe's hook reads it there.
    QVERIFY(m_display->send("\x0c\x1bQA8.8\r"));
    QTRY_VERIFY_WITH_TIMEOUT(
        m_tillHome.log().contains(QStringLiteral("收到客显金额 8.8")), kTimeoutMs);
    const int before = m_sandbox.payRequests().size();
    m_desktop.run("xdotool",
        {"windowfocus", "--sync", m_notepadWindow, "type", "--delay", "20", kScannedCode});
    m_desktop.run("xdotool", {"key", "Return"});
    QTRY_COMPARE_WITH_TIMEOUT(m_sandbox.payRequests().size(), before + 1, kTimeoutMs);
    const QString body = m_sandbox.payRequests().last();
    QVERIFY2(body.contains("\"total\":\"880\""), qPrintable(body));
    QVERIFY2(body.contains("\"authCode\":\"" + kScannedCode + "\""), qPrintable(body));
    QTRY_VERIFY_WITH_TIMEOUT(!m_desktop.visibleWindows("collectionWin").isEmpty(), kTimeoutMs);
    screenshot(QStringLiteral("e2e-windows-keyhook-paid.png"));
    waitForTheCardToGo();
}

void TestE2eWindowsTill::cashKeyShowsTheCheckoutOverAnotherProgram()
{
    QVERIFY(mainWindow().isEmpty());
    m_desktop.run("xdotool", {"windowfocus", "--sync", m_notepadWindow, "key", "ctrl+F9"});
    QTRY_VERIFY_WITH_TIMEOUT(!mainWindow().isEmpty(), kTimeoutMs);
}

void TestE2eWindowsTill::trayItemWritesAndRemovesTheRunValue()
{
    // The till's path as Windows names it: Wine's drive Z: is the Linux root.
    QString exe
        = "Z:" + QFileInfo(qEnvironmentVariable("TALLYPORT_WINDOWS_CLIENT")).absoluteFilePath();
    exe.replace(QLatin1Char('/'), QLatin1Char('\\'));
    const QString expected = exe.contains(' ') ? '"' + exe + '"' : exe;
    // Each look is a run of Wine's reg: waited for by the clock, not by counting looks.
    const auto runValueBecomes = [this](const QString &value) {
        return QTest::qWaitFor(
            [&] { return m_wine->registryValue(kRunKey, "Tallyport") == value; }, kTimeoutMs);
    };
    const auto why = [this] {
        return ("Run key: " + m_wine->run("wine", {"reg", "query", kRunKey}).toLocal8Bit()
            + "\nconfiguration: "
            + m_tillHome.config().mid(m_tillHome.config().indexOf("power_boot"), 12));
    };
    // A click shows at once in the configuration; the Run value follows.
    const auto powerBoot = [this](char value) {
        return [this, value] {
            return m_tillHome.config().contains(QByteArray("power_boot=") + value);
        };
    };
    QVERIFY2(runValueBecomes(QString()), why().constData());
    QVERIFY(clickTrayItem(kStartAtBootItem, powerBoot('1')));
    QVERIFY2(runValueBecomes(expected), why().constData());
    QVERIFY(clickTrayItem(kStartAtBootItem, powerBoot('0')));
    QVERIFY2(runValueBecomes(QString()), why().constData());
}

void TestE2eWindowsTill::codeScannedOnASerialPortIsPaid()
{
    // The till is ended as Windows ends a program (no leave flow: the ledger's lock is left
    // behind) and started again with the scanner on COM2 instead of KeyHook.exe.
    int code = -1;
    m_wine->run("wine", {"taskkill", "/im", "Tallyport.exe", "/f"}, &code);
    QCOMPARE(code, 0);
    QVERIFY(m_till.waitForFinished(kTimeoutMs));
    QTRY_VERIFY_WITH_TIMEOUT(mainWindow().isEmpty(), kTimeoutMs);
    QVERIFY(m_tillHome.rewriteConfig({{"ConnMode=0", "ConnMode=1\r\ncom=COM2"}}));
    startTill();

    QVERIFY(m_display->send("\x0c\x1bQA6.6\r"));
    QTRY_VERIFY_WITH_TIMEOUT(
        m_tillHome.log().contains(QStringLiteral("收到客显金额 6.6")), kTimeoutMs);
    const int before = m_sandbox.payRequests().size();
    QVERIFY(m_scanner->send(kPayingCode.toLatin1() + "\r\n"));
    QTRY_COMPARE_WITH_TIMEOUT(m_sandbox.payRequests().size(), before + 1, kTimeoutMs);
    const QString body = m_sandbox.payRequests().last();
    QVERIFY2(body.contains("\"total\":\"660\""), qPrintable(body));
    QVERIFY2(body.contains("\"authCode\":\"" + kPayingCode + "\""), qPrintable(body));
    QTRY_VERIFY_WITH_TIMEOUT(!m_desktop.visibleWindows("collectionWin").isEmpty(), kTimeoutMs);
}

QTEST_GUILESS_MAIN(TestE2eWindowsTill)
#include "TestE2eWindowsTill.moc"
