// The Windows till (Tallyport.exe of the cross build) under Wine, in a Wine prefix of its own
// whose user is named in Chinese (张三), on a real X display, against the sandbox gateway on the
// Linux side, as a shop runs it: a portable till unzipped into a folder named in Chinese with a
// blank ("收银 台"), its CA bundle beside it, started with C:\Windows\System32 as its working
// directory (as the Run value starts it), with the Windows parts a shop has: serial port COM1 (a
// socat pty pair) for the customer display, KeyHook.exe, which the till starts itself from its
// own folder, hooking the keyboard of the whole desktop, another program (Wine's Notepad) that
// has the focus when a code is scanned or a hot key pressed, the tray of Wine's desktop, and the
// Windows registry. A bundle of another CA refuses the login, the right one admits it; the run
// logs lie beside the till, in GBK only. A second start stays out; a typed payment is paid and
// booked; a pending one is followed to paid; after a logout and a login the display's amount is
// paid with a code typed into Notepad (KeyHook.exe started again); Ctrl+F9 over Notepad shows
// the checkout again; the tray item writes and removes the Run value; a restart from the
// settings comes back; after the till is killed, it starts again on a serial scanner (COM2),
// whose code pays the display's amount.
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
#include <QTextCodec>
#include <QtTest>

namespace {

const QString kPayingCode = QStringLiteral("134567890123456780"); // WeChat form, paid at once
const QString kPendingCode = QStringLiteral("134567890123456786"); // paid at the third query
const QString kScannedCode = QStringLiteral("2812345678901234561"); // Alipay form, paid at once
const QString kCheckoutSize = QStringLiteral("671x503");
const QString kSettingsSize = QStringLiteral("671x580");
const QString kLoginSize = QStringLiteral("520x480");
// The settings page within the main window, and the fifth item of its menu (参数设置).
const QPoint kPageOrigin(90, 30);
const QPoint kSettingsMenuItem(30, 4 * 65 + 32);
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
    void logoutAndLoginStartKeyHookAgain();
    void displayedAmountIsPaidWithACodeScannedIntoAnotherProgram();
    void trayItemWritesAndRemovesTheRunValue();
    void restartFromTheSettingsComesBack();
    void codeScannedOnASerialPortIsPaid();
    void windowsKeepTheirProportionsAtEveryDisplayScale();

private:
    QString mainWindow() const { return m_desktop.windowWithSize("Tallyport", kCheckoutSize); }
    void pay(const QString &amount, const QString &code);
    // Starts the till as the Run value does: C:\Windows\System32 its working directory.
    void startTill(bool loggedIn = true);
    void openSettingsPage();
    // Clicks a button of the settings page and 确定 on the question it asks.
    void confirmOnSettingsPage(const QString &button);
    bool keyHookListens() const;
    void waitForTheCardToGo();
    bool clickTrayItem(int index, const std::function<bool()> &clicked);
    void screenshot(const QString &name) const;
    // A path in the directory of what a run leaves to look at.
    static QString artifact(const QString &name);

    CupsQueue m_cups; // first: Wine's printing reaches it through the CUPS_SERVER it sets
    DesktopSession m_desktop;
    SandboxProcess m_sandbox;
    QTemporaryDir m_home;
    QString m_tillDirectory; // the unzipped portable till
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

void TestE2eWindowsTill::openSettingsPage()
{
    // Wine hears a hot key only while one of its windows has the keyboard: Notepad.
    if (mainWindow().isEmpty())
        m_desktop.run("xdotool", {"windowfocus", "--sync", m_notepadWindow, "key", "ctrl+F9"});
    QString main;
    QTRY_VERIFY_WITH_TIMEOUT(!(main = mainWindow()).isEmpty(), kTimeoutMs);
    m_desktop.click(main, kSettingsMenuItem);
    QTRY_VERIFY_WITH_TIMEOUT(
        !m_desktop.windowWithSize("Tallyport", kSettingsSize).isEmpty(), kTimeoutMs);
}

void TestE2eWindowsTill::confirmOnSettingsPage(const QString &button)
{
    openSettingsPage();
    if (QTest::currentTestFailed())
        return;
    m_desktop.click(m_desktop.windowWithSize("Tallyport", kSettingsSize),
        kPageOrigin + DesktopSession::formWidgetCentre("ParamSettingWin", button));
    QString prompt;
    QTRY_VERIFY_WITH_TIMEOUT(
        !(prompt = m_desktop.visibleWindows("NoteWin").value(0)).isEmpty(), kTimeoutMs);
    m_desktop.click(prompt, DesktopSession::formWidgetCentre("NoteWin", "pushButton_yes"));
}

bool TestE2eWindowsTill::keyHookListens() const
{
    QTcpServer probe;
    return !probe.listen(QHostAddress::LocalHost, kKeyHookPort);
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
    m_wine = std::make_unique<WinePrefix>(
        m_desktop.display(), WinePrefix::Programs::CrossBuild, QStringLiteral("张三"));
    QVERIFY2(
        m_wine->start({m_display->portA(), m_scanner->portA()}), "the Wine prefix did not boot");
    QVERIFY(QFileInfo::exists(m_wine->path() + QStringLiteral("/drive_c/users/张三")));

    // The portable till, unzipped where a shop puts it, with its helper beside it.
    m_tillDirectory = m_home.filePath(QStringLiteral("收银 台"));
    QVERIFY(QDir().mkpath(m_tillDirectory));
    QVERIFY(QFile::copy(qEnvironmentVariable("TALLYPORT_WINDOWS_CLIENT"),
        m_tillDirectory + QStringLiteral("/Tallyport.exe")));
    QVERIFY(QFile::copy(qEnvironmentVariable("TALLYPORT_WINDOWS_KEYHOOK"),
        m_tillDirectory + QStringLiteral("/KeyHook.exe")));
    // Its configuration beside it: the gateway by name (Schannel matches names only), KeyHook
    // (ConnMode 0), the customer display on COM1, the floating icon, Ctrl+F9 for the checkout;
    // the CA bundle beside the till, by a path in Chinese, in the file's code page (GBK). The
    // bundle is first another CA's.
    QVERIFY(m_sandbox.writeClientConfig(m_tillDirectory,
        {"[USERNAME]", "username=13800000000", "[PASSWORD]", "password=123456", "[AUTOLOGIN]",
            "autologin=1", "[SUSPENDWINDOW_SHOW]", "suspendwindow_show=0", "[AUTOMICSHOW]",
            "automicShow=1", "[COLLECTMETHOD]", "collectmethod=COM1", "[CASH_HOTKEY]",
            "cash_hotkey=8", "[CASH_HOTKEY_ALT]", "cash_hotkey_alt=1"}));
    m_tillHome = WindowsTillHome(m_tillDirectory);
    const QString bundle = m_tillDirectory + QStringLiteral("/ca.pem");
    QVERIFY(QTextCodec::codecForName("GBK"));
    QVERIFY(m_tillHome.rewriteConfig({{"https://127.0.0.1:", "https://localhost:"},
        {"ca_bundle=" + m_sandbox.caPath().toUtf8(),
            "ca_bundle=" + QTextCodec::codecForName("GBK")->fromUnicode("Z:" + bundle)},
        {"ConnMode=9", "ConnMode=0"}}));
    const QString otherCa = m_home.filePath(QStringLiteral("other-ca.pem"));
    ChildProcess::output(QStringLiteral("openssl"),
        {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=Other CA",
            "-keyout", m_home.filePath(QStringLiteral("other-ca.key")), "-out", otherCa});
    QVERIFY(QFile::copy(otherCa, bundle));

    // The other program: Notepad ("无标题 - 记事本" in the Chinese locale), moved off the tray.
    QVERIFY(m_wine->startProgram(m_notepad, {"notepad"}, m_home.path()));
    QTRY_VERIFY_WITH_TIMEOUT(
        !(m_notepadWindow = m_desktop.visibleWindows("notepad.exe", "--class").value(0)).isEmpty(),
        kTimeoutMs);
    m_desktop.run("xdotool", {"windowmove", "--sync", m_notepadWindow, "700", "360"});

    // Another CA's bundle: the login is refused (by TLS: no answer), said in the login log.
    startTill(false);
    const QByteArray gbkRefused
        = QTextCodec::codecForName("GBK")->fromUnicode(QStringLiteral("登录失败=====0=="));
    const auto loginLog = [this] {
        QFile log(m_tillHome.filePath(QStringLiteral("RecordRun.log")));
        return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
    };
    QTRY_VERIFY_WITH_TIMEOUT(loginLog().contains(gbkRefused), kTimeoutMs);
    QVERIFY(mainWindow().isEmpty());
    screenshot(QStringLiteral("e2e-windows-login-refused.png"));
    int code = -1;
    m_wine->run("wine", {"taskkill", "/im", "Tallyport.exe", "/f"}, &code);
    QCOMPARE(code, 0);
    QVERIFY(m_till.waitForFinished(kTimeoutMs));
    // The right one admits it.
    QVERIFY(QFile::remove(bundle) && QFile::copy(m_sandbox.caPath(), bundle));
    startTill();
    screenshot(QStringLiteral("e2e-windows-checkout.png"));

    // The logs lie beside the till, not in the working directory it was started in, and every
    // line with Chinese in it is in the local code page (GBK), none in UTF-8.
    const QString system32 = m_wine->path() + QStringLiteral("/drive_c/windows/system32");
    QVERIFY(!QFileInfo::exists(system32 + QStringLiteral("/tallyport.log")));
    QVERIFY(!QFileInfo::exists(system32 + QStringLiteral("/RecordRun.log")));
    for (const QString &name : {QStringLiteral("tallyport.log"), QStringLiteral("RecordRun.log")}) {
        QFile log(m_tillHome.filePath(name));
        QVERIFY2(log.open(QIODevice::ReadOnly), qPrintable(name));
        for (const QByteArray &line : log.readAll().split('\n')) {
            QTextCodec::ConverterState utf8;
            QTextCodec::codecForName("UTF-8")->toUnicode(line.constData(), line.size(), &utf8);
            const bool nonAscii = std::any_of(line.begin(), line.end(),
                [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
            QVERIFY2(!nonAscii || utf8.invalidChars > 0,
                qPrintable(name + QStringLiteral(": a UTF-8 line: ") + QString::fromUtf8(line)));
        }
    }
}

void TestE2eWindowsTill::startTill(bool loggedIn)
{
    const QString system32 = m_wine->path() + QStringLiteral("/drive_c/windows/system32");
    QVERIFY(m_wine->startProgram(
        m_till, {m_tillDirectory + QStringLiteral("/Tallyport.exe")}, system32));
    if (!loggedIn)
        return;
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
        for (const QFileInfo &file : QDir(m_tillDirectory).entryInfoList(QDir::Files))
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
    QVERIFY(m_wine->startProgram(
        second, {m_tillDirectory + QStringLiteral("/Tallyport.exe")}, m_tillDirectory));
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

void TestE2eWindowsTill::logoutAndLoginStartKeyHookAgain()
{
    // 退出账户 on the settings page, and 确定: the login window; KeyHook.exe ends with the logout.
    QVERIFY(keyHookListens());
    confirmOnSettingsPage(QStringLiteral("pushButton_tczh"));
    if (QTest::currentTestFailed())
        return;
    QString login;
    QTRY_VERIFY_WITH_TIMEOUT(
        !(login = m_desktop.windowWithSize("Tallyport", kLoginSize)).isEmpty(), kTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(!keyHookListens(), kTimeoutMs);
    // The cashier logs in again: KeyHook.exe runs again, and the new checkout reaches it (the
    // next test scans through it).
    const auto connected
        = [this] { return m_tillHome.log().count(QStringLiteral("Connect Hook Client Success")); };
    const int before = connected();
    m_desktop.click(login, DesktopSession::formWidgetCentre("Tallyport", "pushButton_login"));
    QTRY_VERIFY_WITH_TIMEOUT(!mainWindow().isEmpty(), kTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(keyHookListens(), kTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(connected() > before, kTimeoutMs);
    // The cash key hides the checkout again: the next scan goes into Notepad, as before the
    // logout (Wine, without a window manager, leaves a shown till the active window).
    m_desktop.run("xdotool", {"windowfocus", "--sync", m_notepadWindow, "key", "ctrl+F9"});
    QTRY_VERIFY_WITH_TIMEOUT(mainWindow().isEmpty(), kTimeoutMs);
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
    // The till's path as Windows names it (Wine's drive Z: is the Linux root), in Chinese.
    QString exe = "Z:" + m_tillDirectory + QStringLiteral("/Tallyport.exe");
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

void TestE2eWindowsTill::restartFromTheSettingsComesBack()
{
    // 确定 on the settings page asks to restart; 确定 again: the till ends and comes back, a new
    // process started from its folder named in Chinese, and logs in again.
    const auto logins = [this] {
        QFile log(m_tillHome.filePath(QStringLiteral("RecordRun.log")));
        return log.open(QIODevice::ReadOnly) ? log.readAll().count(
                   QTextCodec::codecForName("GBK")->fromUnicode(QStringLiteral("登录成功")))
                                             : -1;
    };
    const int before = logins();
    confirmOnSettingsPage(QStringLiteral("pushButton_yes"));
    if (QTest::currentTestFailed())
        return;
    QTRY_VERIFY_WITH_TIMEOUT(m_tillHome.log().contains(QStringLiteral("重启软件")), kTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(logins(), before + 1, kTimeoutMs);
    QVERIFY(!m_tillHome.log().contains(QStringLiteral("重启失败")));
}

void TestE2eWindowsTill::codeScannedOnASerialPortIsPaid()
{
    // The till is ended as Windows ends a program (no leave flow: the ledger's lock is left
    // behind) and started again with the scanner on COM2 instead of KeyHook.exe. (The till that
    // runs now was started by the one before, not by this test.)
    int code = -1;
    m_wine->run("wine", {"taskkill", "/im", "Tallyport.exe", "/f"}, &code);
    QCOMPARE(code, 0);
    m_till.waitForFinished(kTimeoutMs);
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

void TestE2eWindowsTill::windowsKeepTheirProportionsAtEveryDisplayScale()
{
    // Windows' display scale (LogPixels, read when a program starts) on screens that offer it:
    // 100 % and 125 % on the suite's 1366 x 768, 150 % on a counter PC's 1920 x 1080, 200 % on
    // a laptop's 2560 x 1600. The till lays its forms out for the screen in device-independent
    // pixels (a screen wider than 1440 scales the 1440 x 900 design, rounded down) and Qt draws
    // them at LogPixels / 96: each window has the size that rule gives, within two pixels, and
    // lies inside the screen. A screenshot of each window at each scale is left to look at.
    // (125 % on a 1920 x 1080 gives the sizes of 100 % there: the layout rule meets the scale.)
    struct Scale
    {
        QSize screen;
        int logPixels;
    };
    const QList<Scale> scales {{QSize(1366, 768), 96}, {QSize(1366, 768), 120},
        {QSize(1920, 1080), 144}, {QSize(2560, 1600), 192}};
    const auto onScreen = [](QSize design, QSize screen, int logPixels) {
        const qreal factor = logPixels / 96.0;
        const QSize logical = screen / factor;
        QSize laidOut = design;
        if (logical.width() > 1440) {
            laidOut = QSize(
                design.width() * logical.width() / 1440, design.height() * logical.height() / 900);
        }
        return laidOut * factor;
    };
    const auto near = [](QSize a, QSize b) {
        return qAbs(a.width() - b.width()) <= 2 && qAbs(a.height() - b.height()) <= 2;
    };
    const auto text
        = [](QSize size) { return QStringLiteral("%1x%2").arg(size.width()).arg(size.height()); };
    // The pages of the main window (menu item, name, designed size), back to the checkout; each
    // has another size than the one before, which tells that it is shown.
    struct Page
    {
        int item;
        QString name;
        QSize design;
    };
    const QSize checkout(671, 503);
    const QList<Page> pages {{1, "order-list", QSize(873, 542)},
        {2, "daily-summary", QSize(691, 503)}, {3, "refund", QSize(671, 503)},
        {4, "settings", QSize(671, 580)}, {0, "checkout", checkout}};
    const QSize card(360, 300);

    std::unique_ptr<DesktopSession> ownDesktop;
    QSize ownScreen;
    for (const Scale &scale : scales) {
        // Every program of the prefix ends (the till, KeyHook.exe, Notepad, Wine's desktop):
        // the till starts again at the new scale, on a display of the screen's size.
        m_wine->run("wineserver", {"-k"});
        m_wine->run("wineserver", {"-w"});
        QVERIFY(m_till.waitForFinished(kTimeoutMs));
        const DesktopSession *desktop = &m_desktop;
        if (scale.screen != QSize(1366, 768)) {
            if (ownScreen != scale.screen) {
                ownDesktop = std::make_unique<DesktopSession>();
                QVERIFY2(ownDesktop->start(text(scale.screen)), "Xvfb did not start");
                ownScreen = scale.screen;
            }
            desktop = ownDesktop.get();
        }
        const QString display = "DISPLAY=" + desktop->display();
        int code = -1;
        m_wine->run("env",
            {display, "wine", "reg", "add", "HKCU\\Control Panel\\Desktop", "/v", "LogPixels", "/t",
                "REG_DWORD", "/d", QString::number(scale.logPixels), "/f"},
            &code);
        QCOMPARE(code, 0);
        QProcessEnvironment till;
        till.insert("DISPLAY", desktop->display());
        QVERIFY(m_wine->startProgram(
            m_till, {m_tillDirectory + QStringLiteral("/Tallyport.exe")}, m_tillDirectory, till));

        const QString tag = QStringLiteral("e2e-windows-%1dpi-").arg(scale.logPixels);
        const QRect screen(QPoint(0, 0), scale.screen);
        const auto seen = [&](const QString &title) {
            return desktop->visibleWindowSizes(title).join(", ").toLocal8Bit();
        };
        // Logged in at once (autologin): the checkout.
        const QSize checkoutOnScreen = onScreen(checkout, scale.screen, scale.logPixels);
        const auto checkoutWindow = [&] {
            for (const QString &id : desktop->visibleWindows("Tallyport")) {
                if (near(desktop->windowGeometry(id).size(), checkoutOnScreen))
                    return id;
            }
            return QString();
        };
        QString main;
        QTRY_VERIFY2_WITH_TIMEOUT(!(main = checkoutWindow()).isEmpty(),
            "no checkout of " + text(checkoutOnScreen).toLatin1() + ": " + seen("Tallyport"),
            kTimeoutMs);
        // A menu item is 63 x 65 of the 671 x 503 checkout, stacked from the top; the chosen
        // one is drawn in red, which tells that the page is on the screen, not only its size.
        const QSize menu(checkoutOnScreen.width() * 63 / 671, checkoutOnScreen.height() * 65 / 503);
        const auto colourOfItem = [&](int item) {
            const QPoint at = desktop->windowGeometry(main).topLeft()
                + QPoint(menu.width() / 2, item * menu.height() + 2);
            static const QRegularExpression hex(QStringLiteral("#([0-9A-F]{6})"));
            return hex
                .match(desktop->run("import",
                    {"-window", "root", "-crop",
                        QStringLiteral("1x1+%1+%2").arg(at.x()).arg(at.y()), "-depth", "8",
                        "txt:-"}))
                .captured(1);
        };
        QTRY_COMPARE_WITH_TIMEOUT(colourOfItem(0), QStringLiteral("C1272D"), kTimeoutMs);
        QVERIFY(screen.contains(desktop->windowGeometry(main)));
        QVERIFY(desktop->screenshot(artifact(tag + "checkout.png")));
        for (const Page &page : pages) {
            const QSize expected = onScreen(page.design, scale.screen, scale.logPixels);
            const auto shown = [&] { return near(desktop->windowGeometry(main).size(), expected); };
            // A click that Wine lets go by while it is busy is given again (choosing an item
            // twice shows it once).
            bool done = shown();
            for (int attempt = 0; attempt < 3 && !done; ++attempt) {
                desktop->click(
                    main, QPoint(menu.width() / 2, page.item * menu.height() + menu.height() / 2));
                done = QTest::qWaitFor(shown, kTimeoutMs / 3);
            }
            QVERIFY2(done,
                qPrintable(page.name + ": " + text(desktop->windowGeometry(main).size()) + ", not "
                    + text(expected)));
            QTRY_COMPARE_WITH_TIMEOUT(
                colourOfItem(page.item), QStringLiteral("C1272D"), kTimeoutMs);
            QVERIFY2(screen.contains(desktop->windowGeometry(main)), qPrintable(page.name));
            QVERIFY(desktop->screenshot(artifact(tag + page.name + ".png")));
        }

        // A payment's result card.
        for (const QString &typed : {QStringLiteral("1.25"), kPayingCode}) {
            desktop->run(
                "xdotool", {"windowfocus", "--sync", main, "type", "--delay", "150", typed});
            desktop->run("xdotool", {"windowfocus", "--sync", main, "key", "Return"});
        }
        QString result;
        QTRY_VERIFY_WITH_TIMEOUT(
            !(result = desktop->visibleWindows("collectionWin").value(0)).isEmpty(), kTimeoutMs);
        const QSize cardOnScreen = onScreen(card, scale.screen, scale.logPixels);
        QVERIFY2(near(desktop->windowGeometry(result).size(), cardOnScreen),
            seen("collectionWin") + " is not " + text(cardOnScreen).toLatin1());
        QVERIFY(screen.contains(desktop->windowGeometry(result)));
        QVERIFY(desktop->screenshot(artifact(tag + "result-card.png")));

        // The payments to check (待核实支付 in the tray): a window laid out by its contents,
        // inside the screen.
        const QString attentionTitle = QStringLiteral("待核实与今日已找回的支付");
        QVERIFY(WineTray::clickItemUntil(*desktop, QStringLiteral("Tallyport"), kTrayItems - 1,
            kTrayItems, artifact(tag + "tray-menu.png"),
            [&] { return !desktop->visibleWindows(attentionTitle).isEmpty(); }));
        const QRect attention
            = desktop->windowGeometry(desktop->visibleWindows(attentionTitle).value(0));
        QVERIFY2(screen.contains(attention), seen(attentionTitle));
        QVERIFY(desktop->screenshot(artifact(tag + "attention.png")));
    }
    // The till leaves the display before the display goes.
    m_wine->run("wineserver", {"-k"});
    m_wine->run("wineserver", {"-w"});
}

QTEST_GUILESS_MAIN(TestE2eWindowsTill)
#include "TestE2eWindowsTill.moc"
