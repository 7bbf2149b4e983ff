// The real client on a real X display with a real print spooler: a payment whose answer is lost
// shows the failure card with its unknown-outcome line; the ledger's follow-up finds an order of
// the store's list that may be it, and a notice asks at once over the checkout, which keeps the
// keyboard; 是这笔 makes it a payment, whose receipt 打印小票 prints (read back with pdftotext),
// and 知道了 closes it. A second till started on the same data directory stays out. A till whose
// lock files a power cut left empty starts all the same; its disk fills up, a payment is paid
// and kept in memory while a lasting line says so, and once there is room again the next sale
// writes both to the ledger and the line goes.
#include "CupsQueue.h"
#include "DesktopSession.h"
#include "SandboxProcess.h"
#include "SmallDisk.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kPayingCode = QStringLiteral("134567890123456780"); // WeChat form, paid at once
const QString kCheckoutSize = QStringLiteral("671x503");
const QString kNotice = QStringLiteral("RecoveredNotice");
// The notice's buttons in its form (forms/RecoveredNotice.ui), kept on screens up to 1440 wide:
// 打印小票 or 不是 on the left, 知道了 or 是这笔 on the right.
const QPoint kPrintButton(110, 224);
const QPoint kDismissButton(270, 224);
const QPoint kConfirmButton = kDismissButton;
constexpr int kTimeoutMs = 30000;

} // namespace

class TestE2eLedger : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void lostAnswerFoundPaidShowsTheNoticeAndPrintsItsReceipt();
    void aSecondTillOnTheSameDataStaysOut();
    // Last: it ends the first till.
    void aFullDiskThatGetsRoomAgainLosesNothing();

private:
    QString ledgerRows(const QString &home = QString()) const;
    void pay(const QString &window, const QString &amount, const QString &code);

    CupsQueue m_cups; // first: the client inherits its CUPS_SERVER and HOME
    DesktopSession m_desktop;
    SandboxProcess m_sandbox;
    QTemporaryDir m_home;
    ChildProcess m_client;
};

QString TestE2eLedger::ledgerRows(const QString &home) const
{
    const QString file = (home.isEmpty() ? m_home.path() : home) + QStringLiteral("/ledger.db");
    return QString::fromUtf8(
        ChildProcess::output("sqlite3", {"-readonly", file, "SELECT * FROM payments ORDER BY id"}));
}

void TestE2eLedger::pay(const QString &window, const QString &amount, const QString &code)
{
    m_desktop.input(window, {"type", amount});
    m_desktop.input(window, {"key", "Return"});
    m_desktop.input(window, {"type", code});
    m_desktop.input(window, {"key", "Return"});
}

void TestE2eLedger::initTestCase()
{
    const QString reason = CupsQueue::unavailableReason();
    if (!reason.isEmpty())
        QSKIP(qPrintable(reason));
    for (const char *tool : {"pdftotext", "sqlite3", "xdotool"}) {
        QVERIFY2(!QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty(),
            "poppler-utils, sqlite3 and xdotool are needed (scripts/setup.sh)");
    }
    QVERIFY2(m_cups.start(), m_cups.errorLog().constData());
    QVERIFY2(m_desktop.start(), "Xvfb did not start");
    QVERIFY(m_sandbox.start());
    QVERIFY(m_home.isValid());
    QVERIFY(m_sandbox.writeClientConfig(m_home.path(),
        {"[USERNAME]", "username=13800000000", "[PASSWORD]", "password=123456", "[AUTOLOGIN]",
            "autologin=1", "[SUSPENDWINDOW_SHOW]", "suspendwindow_show=1"}));

    QVERIFY(m_desktop.startClient(m_client, m_home.path()));
    QTRY_VERIFY_WITH_TIMEOUT(
        !m_desktop.windowWithSize("Tallyport", kCheckoutSize).isEmpty(), kTimeoutMs);
}

void TestE2eLedger::cleanupTestCase()
{
    m_client.terminate();
    if (!m_client.waitForFinished(5000))
        m_client.kill();
    m_client.waitForFinished(2000);
}

void TestE2eLedger::lostAnswerFoundPaidShowsTheNoticeAndPrintsItsReceipt()
{
    const QString main = m_desktop.windowWithSize("Tallyport", kCheckoutSize);
    QVERIFY(!main.isEmpty());
    // The gateway takes the payment, and its answer never reaches the till.
    QVERIFY(m_sandbox.injectFault(R"({"kind":"drop_reply"})"));
    pay(main, QStringLiteral("12.5"), kPayingCode);

    QString notice;
    QTRY_VERIFY_WITH_TIMEOUT(
        !(notice = m_desktop.visibleWindows(kNotice).value(0)).isEmpty(), kTimeoutMs);
    const QString orderNumber = m_sandbox.lastOrderNumber();
    QCOMPARE(orderNumber.size(), 21);
    // Shown over the checkout, which keeps the keyboard for the next sale.
    QCOMPARE(m_desktop.run("xdotool", {"getwindowfocus"}).trimmed(), main);
    const QString artifacts = qEnvironmentVariable("TALLYPORT_ARTIFACTS", QDir::tempPath());
    QDir().mkpath(artifacts);
    m_desktop.screenshot(artifacts + QStringLiteral("/e2e-recovered-notice.png"));

    // A guess until the cashier says it is this payment.
    QVERIFY(ledgerRows().contains(QStringLiteral("|matched|")));
    m_desktop.click(notice, kConfirmButton);
    QTRY_VERIFY_WITH_TIMEOUT(ledgerRows().contains(QStringLiteral("|paid|")), kTimeoutMs);
    QVERIFY(!m_desktop.visibleWindows(kNotice).isEmpty());

    m_desktop.click(notice, kPrintButton);
    QVERIFY2(m_cups.waitForPdfs(1), m_cups.errorLog().constData());
    const QString pdf = m_cups.outputDir() + '/' + m_cups.pdfFiles().value(0);
    const QString text = QString::fromUtf8(ChildProcess::output("pdftotext", {pdf, "-"}));
    for (const QString &expected : {QStringLiteral("支付凭证"), QStringLiteral("订单金额:12.5"),
             QStringLiteral("商户单号:") + orderNumber}) {
        QVERIFY2(text.contains(expected), qPrintable(expected + " in:\n" + text));
    }

    m_desktop.click(notice, kDismissButton);
    QTRY_VERIFY_WITH_TIMEOUT(m_desktop.visibleWindows(kNotice).isEmpty(), kTimeoutMs);
}

void TestE2eLedger::aSecondTillOnTheSameDataStaysOut()
{
    // Another session's till (its own lock directory) on this till's data directory.
    const QString rows = ledgerRows();
    QTemporaryDir otherSession;
    QProcessEnvironment environment = m_desktop.clientEnvironment(m_home.path());
    environment.insert(QStringLiteral("TALLYPORT_LOCK_DIR"), otherSession.path());
    ChildProcess second;
    QVERIFY(m_desktop.startClient(second, m_home.path(), environment));
    const QString log = m_home.filePath("tallyport.log");
    const auto refused = [&log] {
        QFile file(log);
        return file.open(QIODevice::ReadOnly)
            && QString::fromLocal8Bit(file.readAll()).contains(QStringLiteral("未启动: "));
    };
    QTRY_VERIFY_WITH_TIMEOUT(refused(), kTimeoutMs);
    // It says so and changes nothing: no login window, the first till's rows as they were.
    QVERIFY(m_desktop.windowWithSize("Tallyport", QStringLiteral("520x480")).isEmpty());
    QCOMPARE(ledgerRows(), rows);
    QVERIFY(second.state() == QProcess::Running); // its message waits for the cashier
    second.kill();
    second.waitForFinished(5000);
    QVERIFY(m_client.state() == QProcess::Running);
}

void TestE2eLedger::aFullDiskThatGetsRoomAgainLosesNothing()
{
    if (!SmallDisk::unavailableReason().isEmpty())
        QSKIP(qPrintable(SmallDisk::unavailableReason()));
    cleanupTestCase(); // the first till leaves the display to this one
    SmallDisk disk(m_home.filePath(QStringLiteral("small")), 1024);
    QVERIFY(disk.isValid());
    QVERIFY(m_sandbox.writeClientConfig(disk.path(),
        {"[USERNAME]", "username=13800000000", "[PASSWORD]", "password=123456", "[AUTOLOGIN]",
            "autologin=1", "[SUSPENDWINDOW_SHOW]", "suspendwindow_show=1", "[CASH_HOTKEY]",
            "cash_hotkey=8", "[CASH_HOTKEY_ALT]", "cash_hotkey_alt=1"}));
    // A power cut left both lock files empty.
    QTemporaryDir locks;
    for (const QString &lock :
        {disk.filePath("ledger.lock"), locks.filePath(QStringLiteral("Tallyport.exe.lock"))}) {
        QFile file(lock);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QProcessEnvironment environment = m_desktop.clientEnvironment(disk.path());
    environment.insert(QStringLiteral("TALLYPORT_LOCK_DIR"), locks.path());
    ChildProcess till;
    QVERIFY(m_desktop.startClient(till, disk.path(), environment));
    QString main;
    QTRY_VERIFY_WITH_TIMEOUT(
        !(main = m_desktop.windowWithSize("Tallyport", kCheckoutSize)).isEmpty(), kTimeoutMs);
    QFile log(disk.filePath(QStringLiteral("tallyport.log")));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QString started = QString::fromLocal8Bit(log.readAll());
    for (const QString &line :
        {QStringLiteral("接管遗留的单实例锁"), QStringLiteral("接管遗留的数据目录锁")})
        QVERIFY2(started.contains(line), qPrintable(started));

    // Full: the payment is paid on its card and kept while the line says the ledger waits.
    QVERIFY(disk.fill());
    pay(main, QStringLiteral("12.5"), kPayingCode);
    QTRY_VERIFY_WITH_TIMEOUT(
        !m_desktop.visibleWindowSizes(QStringLiteral("collectionWin")).isEmpty(), kTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(
        !m_desktop.visibleWindows(QStringLiteral("LastingLine")).isEmpty(), kTimeoutMs);
    const QString orderNumber = m_sandbox.lastOrderNumber();
    QVERIFY(!ledgerRows(disk.path()).contains(orderNumber));
    const QString artifacts = qEnvironmentVariable("TALLYPORT_ARTIFACTS", QDir::tempPath());
    QDir().mkpath(artifacts);
    m_desktop.screenshot(artifacts + QStringLiteral("/e2e-ledger-disk-full.png"));
    QTRY_VERIFY_WITH_TIMEOUT(
        m_desktop.windowWithSize("Tallyport", kCheckoutSize).isEmpty(), kTimeoutMs);

    // Room again: the next sale (refused by the gateway) writes both, and the line goes.
    disk.makeRoom();
    m_desktop.run("xdotool", {"key", "ctrl+F9"});
    QTRY_VERIFY_WITH_TIMEOUT(
        !(main = m_desktop.windowWithSize("Tallyport", kCheckoutSize)).isEmpty(), kTimeoutMs);
    pay(main, QStringLiteral("9.9"), QStringLiteral("134567890123456789"));
    QTRY_VERIFY_WITH_TIMEOUT(
        m_desktop.visibleWindows(QStringLiteral("LastingLine")).isEmpty(), kTimeoutMs);
    const QString rows = ledgerRows(disk.path());
    QVERIFY2(rows.contains(QStringLiteral("|1250|**************6780|%1|paid|").arg(orderNumber)),
        qPrintable(rows));
    QVERIFY2(rows.contains(QStringLiteral("|990|**************6789||refused|")), qPrintable(rows));
    till.terminate();
    if (!till.waitForFinished(5000))
        till.kill();
    till.waitForFinished(2000);
}

QTEST_GUILESS_MAIN(TestE2eLedger)
#include "TestE2eLedger.moc"
