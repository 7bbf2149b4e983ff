// The real client on a real X display with a real print spooler (a private CUPS whose default
// queue writes PDFs): a paid order prints its receipts, read back with pdftotext and scanned
// with zbarimg; a payment while the spooler is down still ends on its card; the global hot
// keys fire while another program's window has the focus, follow the key and modifier chosen
// on the settings page, and are taken again by the page of the next login.
#include "CupsQueue.h"
#include "DesktopSession.h"
#include "FormGeometry.h"
#include "SandboxProcess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

namespace {

const QString kPayingCode = QStringLiteral("134567890123456780"); // WeChat form, paid at once
const QString kCheckoutSize = QStringLiteral("671x503");
const QString kSettingsSize = QStringLiteral("671x580");
const QString kOrderListSize = QStringLiteral("873x542");
// Where the main window shows its pages, and the height of a menu item (app/PayWin).
const QPoint kPageOrigin(90, 30);
constexpr int kMenuItemHeight = 65;
constexpr int kTimeoutMs = 20000;

QByteArray runTool(const QString &program, const QStringList &arguments)
{
    ChildProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
    }
    return process.readAllStandardOutput();
}

// Every bar code zbarimg finds on the pages of a PDF rendered at 200 dpi.
QStringList scannedCodes(const QString &pdf)
{
    QTemporaryDir pages;
    runTool("pdftoppm", {"-png", "-r", "200", pdf, pages.filePath("page")});
    QStringList codes;
    for (const QString &image : QDir(pages.path()).entryList({"*.png"})) {
        const QByteArray found = runTool("zbarimg", {"--raw", "-q", pages.filePath(image)});
        for (const QByteArray &line : found.split('\n')) {
            if (!line.isEmpty())
                codes << QString::fromLatin1(line);
        }
    }
    return codes;
}

} // namespace

class TestE2eSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void paidOrderPrintsTwoReceiptsThatReadAndScan();
    void cashKeyShowsTheCheckoutWhileAnotherWindowHasTheFocus();
    void paymentWithTheSpoolerDownEndsOnItsCard();
    void changedKeyLeavesOnlyTheNewCombination();
    void modifierSwitchLeavesOnlyTheNewModifier();
    void receiptKeyPrintsNothingWithReceiptsOff();
    void nextLoginTakesTheHotKeysAgain();

private:
    QString artifact(const QString &name) const;
    QString window(const QString &size) const;
    bool mainWindowHidden() const;
    void press(const QString &keys);
    void click(const QString &windowId, QPoint at);
    void clickOnSettingsPage(const QString &objectName);
    void openSettingsPage();
    void pay(const QString &amount);
    QString configValue(const QString &key) const;
    QString lastOrderNumber() const;
    int pdfCount() const { return m_cups.pdfFiles().size(); }
    bool spoolerSettledAt(int pdfs) const;
    void checkReceipt(const QString &pdfName, const QString &orderNumber);

    CupsQueue m_cups; // first: the client inherits its CUPS_SERVER and HOME
    DesktopSession m_desktop;
    SandboxProcess m_sandbox;
    QTemporaryDir m_home;
    ChildProcess m_client;
    ChildProcess m_rival;
    QString m_rivalWindow;
    FormGeometry m_settingsForm {QStringLiteral("ParamSettingWin")};
};

QString TestE2eSettings::artifact(const QString &name) const
{
    const QString dir = qEnvironmentVariable("TALLYPORT_ARTIFACTS", QDir::tempPath());
    QDir().mkpath(dir);
    return dir + QLatin1Char('/') + name;
}

QString TestE2eSettings::window(const QString &size) const
{
    return m_desktop.windowWithSize(QStringLiteral("Tallyport"), size);
}

bool TestE2eSettings::mainWindowHidden() const
{
    return window(kCheckoutSize).isEmpty() && window(kSettingsSize).isEmpty()
        && window(kOrderListSize).isEmpty();
}

// Keys pressed while the other program's window has the keyboard focus.
void TestE2eSettings::press(const QString &keys)
{
    m_desktop.run("xdotool", {"windowfocus", "--sync", m_rivalWindow});
    m_desktop.run("xdotool", {"key", keys});
}

void TestE2eSettings::click(const QString &windowId, QPoint at)
{
    const QString geometry = m_desktop.run("xdotool", {"getwindowgeometry", windowId});
    const QString position = geometry.section("Position: ", 1).section(' ', 0, 0);
    const QPoint origin(position.section(',', 0, 0).toInt(), position.section(',', 1).toInt());
    const QPoint target = origin + at;
    m_desktop.run("xdotool",
        {"mousemove", "--sync", QString::number(target.x()), QString::number(target.y()), "click",
            "1"});
}

void TestE2eSettings::openSettingsPage()
{
    QString main;
    QTRY_VERIFY_WITH_TIMEOUT(!(main = window(kCheckoutSize)).isEmpty(), kTimeoutMs);
    click(main, QPoint(30, 4 * kMenuItemHeight + kMenuItemHeight / 2));
    QTRY_VERIFY_WITH_TIMEOUT(!window(kSettingsSize).isEmpty(), kTimeoutMs);
}

void TestE2eSettings::clickOnSettingsPage(const QString &objectName)
{
    QVERIFY2(!m_settingsForm.rect(objectName).isEmpty(), qPrintable(objectName));
    click(window(kSettingsSize), kPageOrigin + m_settingsForm.centre(objectName));
}

void TestE2eSettings::pay(const QString &amount)
{
    const QString main = window(kCheckoutSize);
    QVERIFY(!main.isEmpty());
    m_desktop.run("xdotool", {"windowfocus", "--sync", main});
    m_desktop.run("xdotool", {"type", "--delay", "50", amount});
    m_desktop.run("xdotool", {"key", "Return"});
    m_desktop.run("xdotool", {"type", "--delay", "30", kPayingCode});
    m_desktop.run("xdotool", {"key", "Return"});
}

QString TestE2eSettings::configValue(const QString &key) const
{
    QFile file(m_home.filePath("TallyportConfig.ini"));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.startsWith(key.toUtf8() + '='))
            return QString::fromUtf8(line.mid(key.size() + 1)).trimmed();
    }
    return QString();
}

QString TestE2eSettings::lastOrderNumber() const
{
    return QString::fromUtf8(
        runTool("sqlite3",
            {"-readonly", m_sandbox.dataDir() + "/sandbox.db",
                "SELECT out_trade_no FROM orders ORDER BY rowid DESC LIMIT 1"}))
        .trimmed();
}

// The spooler has no job left and has written `pdfs` files. Jobs reach it in the order the
// client printed them and leave it in that order.
bool TestE2eSettings::spoolerSettledAt(int pdfs) const
{
    return pdfCount() >= pdfs && m_cups.pendingJobs() == 0;
}

void TestE2eSettings::checkReceipt(const QString &pdfName, const QString &orderNumber)
{
    QCOMPARE(m_cups.jobName(CupsQueue::jobId(pdfName)), QStringLiteral("printer"));
    const QString pdf = m_cups.outputDir() + '/' + pdfName;
    const QString text = QString::fromUtf8(runTool("pdftotext", {pdf, "-"}));
    for (const QString &expected : {QStringLiteral("支付凭证"), QStringLiteral("商户名称:演示商户"),
             QStringLiteral("收银员:13800000000"), QStringLiteral("交易类型:微信"),
             QStringLiteral("订单金额:12.5"), QStringLiteral("交付金额:12.5"),
             QStringLiteral("交易时间:"), QStringLiteral("商户单号:") + orderNumber,
             QStringLiteral("客户签名"), QStringLiteral("本人确认以上交易")}) {
        QVERIFY2(text.contains(expected), qPrintable(expected + " in:\n" + text));
    }
    QCOMPARE(scannedCodes(pdf), QStringList {orderNumber});
}

void TestE2eSettings::initTestCase()
{
    const QString reason = CupsQueue::unavailableReason();
    if (!reason.isEmpty())
        QSKIP(qPrintable(reason));
    for (const char *tool : {"pdftotext", "pdftoppm", "zbarimg", "sqlite3", "xdotool"}) {
        QVERIFY2(!QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty(),
            "poppler-utils, zbar-tools, sqlite3 and xdotool are needed (scripts/setup.sh)");
    }
    QVERIFY(m_settingsForm.isValid());
    QVERIFY2(m_cups.start(), m_cups.errorLog().constData());
    QVERIFY2(m_desktop.start(), "Xvfb did not start");
    QVERIFY(m_sandbox.start());
    QVERIFY(m_home.isValid());
    // Two copies of every receipt; the built-in hot keys: cash Ctrl+F9, receipt Ctrl+F1,
    // report Ctrl+F6.
    QVERIFY(m_sandbox.writeClientConfig(m_home.path(),
        {"[USERNAME]", "username=13800000000", "[PASSWORD]", "password=123456", "[AUTOLOGIN]",
            "autologin=1", "[SUSPENDWINDOW_SHOW]", "suspendwindow_show=1", "[PRINTCOUNT]",
            "printcount=1", "[CASH_HOTKEY]", "cash_hotkey=8", "[CASH_HOTKEY_ALT]",
            "cash_hotkey_alt=1", "[RECEIPT_HOTKEY]", "receipt_hotkey=0", "[RECEIPT_HOTKEY_ALT]",
            "receipt_hotkey_alt=1", "[REPORT_HOTKEY]", "report_hotkey=5", "[REPORT_HOTKEY_ALT]",
            "report_hotkey_alt=1"}));

    // The other program, whose window has the keyboard focus whenever a hot key is pressed.
    QProcessEnvironment rivalEnvironment = QProcessEnvironment::systemEnvironment();
    rivalEnvironment.insert("DISPLAY", m_desktop.display());
    m_rival.setProcessEnvironment(rivalEnvironment);
    m_rival.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_rival.start(qEnvironmentVariable("TALLYPORT_RIVAL_X_CLIENT"), QStringList());
    QTRY_VERIFY_WITH_TIMEOUT(m_rival.canReadLine(), kTimeoutMs);
    const QString line = QString::fromLatin1(m_rival.readLine()).trimmed();
    QVERIFY2(line.startsWith("window "), qPrintable(line));
    m_rivalWindow = line.mid(7);

    m_client.setProcessEnvironment(m_desktop.clientEnvironment(m_home.path()));
    m_client.setWorkingDirectory(m_home.path());
    m_client.setProcessChannelMode(QProcess::ForwardedChannels);
    m_client.start(qEnvironmentVariable("TALLYPORT_CLIENT"), QStringList());
    QVERIFY(m_client.waitForStarted(10000));
    QTRY_VERIFY_WITH_TIMEOUT(!window(kCheckoutSize).isEmpty(), kTimeoutMs);
}

void TestE2eSettings::cleanupTestCase()
{
    for (ChildProcess *child : {&m_client, &m_rival}) {
        if (child->state() == QProcess::NotRunning)
            continue;
        child->terminate();
        if (!child->waitForFinished(5000))
            child->kill();
        child->waitForFinished(2000);
    }
}

void TestE2eSettings::paidOrderPrintsTwoReceiptsThatReadAndScan()
{
    pay("12.5");
    QTRY_VERIFY_WITH_TIMEOUT(
        !m_desktop.visibleWindowSizes(QStringLiteral("collectionWin")).isEmpty(), kTimeoutMs);
    QVERIFY2(m_cups.waitForPdfs(2), m_cups.errorLog().constData());
    const QString orderNumber = lastOrderNumber();
    QCOMPARE(orderNumber.size(), 21);
    const QStringList pdfs = m_cups.pdfFiles();
    QCOMPARE(pdfs.size(), 2);
    QVERIFY(CupsQueue::jobId(pdfs.first()) != CupsQueue::jobId(pdfs.last()));
    for (const QString &pdf : pdfs)
        checkReceipt(pdf, orderNumber);
    // After the success card has counted down, the main window hides.
    QTRY_VERIFY_WITH_TIMEOUT(mainWindowHidden(), kTimeoutMs);
}

void TestE2eSettings::cashKeyShowsTheCheckoutWhileAnotherWindowHasTheFocus()
{
    QVERIFY(mainWindowHidden());
    press("ctrl+F9");
    QTRY_VERIFY_WITH_TIMEOUT(!window(kCheckoutSize).isEmpty(), kTimeoutMs);
    QVERIFY(m_desktop.screenshot(artifact("e2e-cash-hot-key.png")));
}

void TestE2eSettings::paymentWithTheSpoolerDownEndsOnItsCard()
{
    m_cups.stop();
    QElapsedTimer clock;
    clock.start();
    pay("12.5");
    QTRY_VERIFY_WITH_TIMEOUT(
        !m_desktop.visibleWindowSizes(QStringLiteral("collectionWin")).isEmpty(), kTimeoutMs);
    qInfo("with the spooler down the card showed %lld ms after the payment was typed",
        clock.elapsed());
    QTRY_VERIFY_WITH_TIMEOUT(mainWindowHidden(), kTimeoutMs);

    // Nothing was kept back to print later.
    QVERIFY2(m_cups.start(), m_cups.errorLog().constData());
    QVERIFY(m_cups.waitForPdfs(2));
}

void TestE2eSettings::changedKeyLeavesOnlyTheNewCombination()
{
    press("ctrl+F9");
    openSettingsPage();
    clickOnSettingsPage("comboBox_cashhotkey");
    m_desktop.run("xdotool", {"key", "Down", "Return"}); // " VK_F9" -> " VK_F10"
    QTRY_COMPARE_WITH_TIMEOUT(configValue("cash_hotkey"), QStringLiteral("9"), kTimeoutMs);

    press("ctrl+F10"); // the main window is shown: the cash key hides it
    QTRY_VERIFY_WITH_TIMEOUT(mainWindowHidden(), kTimeoutMs);
    // The old combination does nothing: the report key after it opens the order list. Had
    // Ctrl+F9 shown the main window, the report key would have hidden it instead.
    press("ctrl+F9");
    press("ctrl+F6");
    QTRY_VERIFY_WITH_TIMEOUT(!window(kOrderListSize).isEmpty(), kTimeoutMs);
    press("ctrl+F6");
    QTRY_VERIFY_WITH_TIMEOUT(mainWindowHidden(), kTimeoutMs);
    press("ctrl+F10");
    QTRY_VERIFY_WITH_TIMEOUT(!window(kCheckoutSize).isEmpty(), kTimeoutMs);
}

void TestE2eSettings::modifierSwitchLeavesOnlyTheNewModifier()
{
    openSettingsPage();
    clickOnSettingsPage("radioButton_cashalt");
    QTRY_COMPARE_WITH_TIMEOUT(configValue("cash_hotkey_alt"), QStringLiteral("0"), kTimeoutMs);

    press("alt+F10");
    QTRY_VERIFY_WITH_TIMEOUT(mainWindowHidden(), kTimeoutMs);
    press("ctrl+F10");
    press("ctrl+F6");
    QTRY_VERIFY_WITH_TIMEOUT(!window(kOrderListSize).isEmpty(), kTimeoutMs);
    press("ctrl+F6");
    QTRY_VERIFY_WITH_TIMEOUT(mainWindowHidden(), kTimeoutMs);
    press("alt+F10");
    QTRY_VERIFY_WITH_TIMEOUT(!window(kCheckoutSize).isEmpty(), kTimeoutMs);
}

void TestE2eSettings::receiptKeyPrintsNothingWithReceiptsOff()
{
    const QString orderNumber = lastOrderNumber();
    const int printed = pdfCount();

    openSettingsPage();
    clickOnSettingsPage("checkBox_pdxp");
    QTRY_COMPARE_WITH_TIMEOUT(configValue("print"), QStringLiteral("1"), kTimeoutMs);
    press("alt+F10");
    QTRY_VERIFY_WITH_TIMEOUT(mainWindowHidden(), kTimeoutMs);
    press("ctrl+F1"); // two copies, were receipts on

    // Receipts on again, one copy: the next press prints the last receipt once. Anything the
    // first press had printed would have reached the spooler before it.
    press("alt+F10");
    openSettingsPage();
    clickOnSettingsPage("checkBox_pdxp");
    QTRY_COMPARE_WITH_TIMEOUT(configValue("print"), QStringLiteral("0"), kTimeoutMs);
    clickOnSettingsPage("comboBox_papercount");
    m_desktop.run("xdotool", {"key", "Up", "Return"}); // "两联" -> "一联"
    QTRY_COMPARE_WITH_TIMEOUT(configValue("printcount"), QStringLiteral("0"), kTimeoutMs);
    press("alt+F10");
    QTRY_VERIFY_WITH_TIMEOUT(mainWindowHidden(), kTimeoutMs);
    press("ctrl+F1");

    QTRY_VERIFY_WITH_TIMEOUT(spoolerSettledAt(printed + 1), kTimeoutMs);
    const QStringList pdfs = m_cups.pdfFiles();
    QCOMPARE(pdfs.size(), printed + 1);
    checkReceipt(pdfs.last(), orderNumber);
}

void TestE2eSettings::nextLoginTakesTheHotKeysAgain()
{
    press("alt+F10");
    openSettingsPage();
    clickOnSettingsPage("pushButton_tczh");
    QString note;
    QTRY_VERIFY_WITH_TIMEOUT(
        !(note = m_desktop.windowWithSize(QStringLiteral("NoteWin"), QStringLiteral("354x242")))
             .isEmpty(),
        kTimeoutMs);
    click(note, FormGeometry(QStringLiteral("NoteWin")).centre(QStringLiteral("pushButton_yes")));

    // Logged out: the login window is back and the main window is gone.
    const FormGeometry loginForm(QStringLiteral("Tallyport"));
    const QString loginSize
        = QStringLiteral("%1x%2").arg(loginForm.size().width()).arg(loginForm.size().height());
    QString login;
    QTRY_VERIFY_WITH_TIMEOUT(!(login = window(loginSize)).isEmpty(), kTimeoutMs);
    QVERIFY(mainWindowHidden());
    click(login, loginForm.centre(QStringLiteral("pushButton_login")));
    QTRY_VERIFY_WITH_TIMEOUT(!window(kCheckoutSize).isEmpty(), kTimeoutMs);

    // The page of this login took the keys saved by the last one.
    press("alt+F10");
    QTRY_VERIFY_WITH_TIMEOUT(mainWindowHidden(), kTimeoutMs);
    press("alt+F10");
    QTRY_VERIFY_WITH_TIMEOUT(!window(kCheckoutSize).isEmpty(), kTimeoutMs);
    QVERIFY(m_desktop.screenshot(artifact("e2e-after-second-login.png")));
}

QTEST_GUILESS_MAIN(TestE2eSettings)
#include "TestE2eSettings.moc"
