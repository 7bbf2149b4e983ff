// The real client on a real X display with a real print spooler (a private CUPS whose default
// queue writes PDFs): a paid order prints its receipts, read back with pdftotext and scanned
// with zbarimg; a payment while the spooler is down still ends on its card; the global hot
// keys fire while another program's window has the focus and follow the key, the modifier and
// the receipt switch chosen on the settings page.
#include "CupsQueue.h"
#include "DesktopSession.h"
#include "SandboxProcess.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kPayingCode = QStringLiteral("134567890123456780"); // WeChat form, paid at once
const QString kCheckoutSize = QStringLiteral("671x503");
const QString kSettingsSize = QStringLiteral("671x580");
const QString kOrderListSize = QStringLiteral("873x542");
// Where the main window shows its pages, and the height of a menu item (app/PayWin).
const QPoint kPageOrigin(90, 30);
constexpr int kMenuItemHeight = 65;
constexpr int kTimeoutMs = 20000;

// Every bar code zbarimg finds on the pages of a PDF rendered at 200 dpi.
QStringList scannedCodes(const QString &pdf)
{
    QTemporaryDir pages;
    ChildProcess::output("pdftoppm", {"-png", "-r", "200", pdf, pages.filePath("page")});
    QStringList codes;
    for (const QString &image : QDir(pages.path()).entryList({"*.png"})) {
        const QByteArray found
            = ChildProcess::output("zbarimg", {"--raw", "-q", pages.filePath(image)});
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

private:
    QString window(const QString &size) const
    {
        return m_desktop.windowWithSize(QStringLiteral("Tallyport"), size);
    }
    bool mainWindowHidden() const
    {
        return window(kCheckoutSize).isEmpty() && window(kSettingsSize).isEmpty()
            && window(kOrderListSize).isEmpty();
    }
    // Keys pressed while the other program's window has the keyboard focus.
    void press(const QString &keys) { m_desktop.input(m_otherWindow, {"key", keys}); }
    void onlyTheNewCashKeyWorks(const QString &newKeys, const QString &oldKeys);
    void openSettingsPage();
    void clickOnSettingsPage(const QString &objectName);
    void pay(const QString &amount);
    QString configValue(const QString &key) const;
    void checkReceipt(const QString &pdfName, const QString &orderNumber);

    CupsQueue m_cups; // first: the client inherits its CUPS_SERVER and HOME
    DesktopSession m_desktop;
    SandboxProcess m_sandbox;
    QTemporaryDir m_home;
    ChildProcess m_client;
    ChildProcess m_otherProgram;
    QString m_otherWindow;
};

// With the main window shown: the new cash combination hides it and shows it again. The old
// one does nothing: the report key after it opens the order list, where it would have hidden
// the main window had the old combination shown it.
void TestE2eSettings::onlyTheNewCashKeyWorks(const QString &newKeys, const QString &oldKeys)
{
    press(newKeys);
    QTRY_VERIFY_WITH_TIMEOUT(mainWindowHidden(), kTimeoutMs);
    press(oldKeys);
    press("ctrl+F6");
    QTRY_VERIFY_WITH_TIMEOUT(!window(kOrderListSize).isEmpty(), kTimeoutMs);
    press("ctrl+F6");
    QTRY_VERIFY_WITH_TIMEOUT(mainWindowHidden(), kTimeoutMs);
    press(newKeys);
    QTRY_VERIFY_WITH_TIMEOUT(!window(kCheckoutSize).isEmpty(), kTimeoutMs);
}

void TestE2eSettings::openSettingsPage()
{
    QString main;
    QTRY_VERIFY_WITH_TIMEOUT(!(main = window(kCheckoutSize)).isEmpty(), kTimeoutMs);
    m_desktop.click(main, QPoint(30, 4 * kMenuItemHeight + kMenuItemHeight / 2));
    QTRY_VERIFY_WITH_TIMEOUT(!window(kSettingsSize).isEmpty(), kTimeoutMs);
}

void TestE2eSettings::clickOnSettingsPage(const QString &objectName)
{
    const QPoint centre = DesktopSession::formWidgetCentre("ParamSettingWin", objectName);
    QVERIFY2(!centre.isNull(), qPrintable(objectName));
    m_desktop.click(window(kSettingsSize), kPageOrigin + centre);
}

void TestE2eSettings::pay(const QString &amount)
{
    const QString main = window(kCheckoutSize);
    QVERIFY(!main.isEmpty());
    m_desktop.input(main, {"type", amount});
    m_desktop.input(main, {"key", "Return"});
    m_desktop.input(main, {"type", kPayingCode});
    m_desktop.input(main, {"key", "Return"});
}

// A key of the client's configuration, in the section of its name in capitals.
QString TestE2eSettings::configValue(const QString &key) const
{
    const QSettings config(m_home.filePath("TallyportConfig.ini"), QSettings::IniFormat);
    return config.value(key.toUpper() + '/' + key).toString();
}

void TestE2eSettings::checkReceipt(const QString &pdfName, const QString &orderNumber)
{
    QCOMPARE(m_cups.jobName(CupsQueue::jobId(pdfName)), QStringLiteral("printer"));
    const QString pdf = m_cups.outputDir() + '/' + pdfName;
    const QString text = QString::fromUtf8(ChildProcess::output("pdftotext", {pdf, "-"}));
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
    for (const char *tool :
        {"pdftotext", "pdftoppm", "zbarimg", "sqlite3", "xdotool", "xmessage"}) {
        QVERIFY2(!QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty(),
            "poppler-utils, zbar-tools, sqlite3, xdotool and x11-utils are needed "
            "(scripts/setup.sh)");
    }
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
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DISPLAY", m_desktop.display());
    m_otherProgram.setProcessEnvironment(environment);
    m_otherProgram.start("xmessage", {"-title", "Other program", "It has the keyboard focus."});
    QTRY_VERIFY_WITH_TIMEOUT(
        !(m_otherWindow = m_desktop.visibleWindows("Other program").value(0)).isEmpty(),
        kTimeoutMs);

    QVERIFY(m_desktop.startClient(m_client, m_home.path()));
    QTRY_VERIFY_WITH_TIMEOUT(!window(kCheckoutSize).isEmpty(), kTimeoutMs);
}

void TestE2eSettings::cleanupTestCase()
{
    for (ChildProcess *child : {&m_client, &m_otherProgram}) {
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
    const QString orderNumber = m_sandbox.lastOrderNumber();
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
}

void TestE2eSettings::paymentWithTheSpoolerDownEndsOnItsCard()
{
    m_cups.stop();
    pay("12.5");
    QTRY_VERIFY_WITH_TIMEOUT(
        !m_desktop.visibleWindowSizes(QStringLiteral("collectionWin")).isEmpty(), kTimeoutMs);
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
    onlyTheNewCashKeyWorks("ctrl+F10", "ctrl+F9");
}

void TestE2eSettings::modifierSwitchLeavesOnlyTheNewModifier()
{
    openSettingsPage();
    clickOnSettingsPage("radioButton_cashalt");
    QTRY_COMPARE_WITH_TIMEOUT(configValue("cash_hotkey_alt"), QStringLiteral("0"), kTimeoutMs);
    onlyTheNewCashKeyWorks("alt+F10", "ctrl+F10");
}

void TestE2eSettings::receiptKeyPrintsNothingWithReceiptsOff()
{
    const QString orderNumber = m_sandbox.lastOrderNumber();
    const int printed = m_cups.pdfFiles().size();

    openSettingsPage();
    clickOnSettingsPage("checkBox_pdxp");
    QTRY_COMPARE_WITH_TIMEOUT(configValue("print"), QStringLiteral("1"), kTimeoutMs);
    press("ctrl+F1"); // two copies, were receipts on

    // Receipts on again: the next press prints the last receipt's two copies. Anything the
    // first press had printed would have reached the spooler before them.
    clickOnSettingsPage("checkBox_pdxp");
    QTRY_COMPARE_WITH_TIMEOUT(configValue("print"), QStringLiteral("0"), kTimeoutMs);
    press("ctrl+F1");
    QTRY_VERIFY_WITH_TIMEOUT(
        m_cups.pdfFiles().size() >= printed + 2 && m_cups.pendingJobs() == 0, kTimeoutMs);
    const QStringList pdfs = m_cups.pdfFiles();
    QCOMPARE(pdfs.size(), printed + 2);
    checkReceipt(pdfs.at(printed), orderNumber);
    checkReceipt(pdfs.at(printed + 1), orderNumber);
}

QTEST_GUILESS_MAIN(TestE2eSettings)
#include "TestE2eSettings.moc"
