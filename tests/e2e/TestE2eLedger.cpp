// The real client on a real X display with a real print spooler: a payment whose answer is lost
// shows the failure card with its unknown-outcome line; the ledger's follow-up finds it paid and
// a notice shows at once over the checkout, which keeps the keyboard; the notice's 打印小票
// prints the payment's receipt (read back with pdftotext) and 知道了 closes it.
#include "CupsQueue.h"
#include "DesktopSession.h"
#include "SandboxProcess.h"

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kPayingCode = QStringLiteral("134567890123456780"); // WeChat form, paid at once
const QString kCheckoutSize = QStringLiteral("671x503");
const QString kNotice = QStringLiteral("RecoveredNotice");
// The notice's buttons in its form (forms/RecoveredNotice.ui), kept on screens up to 1440 wide.
const QPoint kPrintButton(110, 224);
const QPoint kDismissButton(270, 224);
constexpr int kTimeoutMs = 30000;

} // namespace

class TestE2eLedger : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void lostAnswerFoundPaidShowsTheNoticeAndPrintsItsReceipt();

private:
    void click(const QString &windowId, QPoint at);
    QString lastOrderNumber() const;

    CupsQueue m_cups; // first: the client inherits its CUPS_SERVER and HOME
    DesktopSession m_desktop;
    SandboxProcess m_sandbox;
    QTemporaryDir m_home;
    ChildProcess m_client;
};

void TestE2eLedger::click(const QString &windowId, QPoint at)
{
    // The pointer comes from elsewhere: a second click where it already is does not reach Qt's
    // widget.
    const QPoint target = m_desktop.windowGeometry(windowId).topLeft() + at;
    m_desktop.run("xdotool",
        {"mousemove", "--sync", "0", "0", "mousemove", "--sync", QString::number(target.x()),
            QString::number(target.y()), "click", "1"});
}

QString TestE2eLedger::lastOrderNumber() const
{
    return QString::fromUtf8(
        ChildProcess::output("sqlite3",
            {"-readonly", m_sandbox.dataDir() + "/sandbox.db",
                "SELECT out_trade_no FROM orders ORDER BY rowid DESC LIMIT 1"}))
        .trimmed();
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
    m_desktop.input(main, {"type", "12.5"});
    m_desktop.input(main, {"key", "Return"});
    m_desktop.input(main, {"type", kPayingCode});
    m_desktop.input(main, {"key", "Return"});

    QString notice;
    QTRY_VERIFY_WITH_TIMEOUT(
        !(notice = m_desktop.visibleWindows(kNotice).value(0)).isEmpty(), kTimeoutMs);
    const QString orderNumber = lastOrderNumber();
    QCOMPARE(orderNumber.size(), 21);
    // Shown over the checkout, which keeps the keyboard for the next sale.
    QCOMPARE(m_desktop.run("xdotool", {"getwindowfocus"}).trimmed(), main);
    const QString artifacts = qEnvironmentVariable("TALLYPORT_ARTIFACTS", QDir::tempPath());
    QDir().mkpath(artifacts);
    m_desktop.screenshot(artifacts + QStringLiteral("/e2e-recovered-notice.png"));

    click(notice, kPrintButton);
    QVERIFY2(m_cups.waitForPdfs(1), m_cups.errorLog().constData());
    const QString pdf = m_cups.outputDir() + '/' + m_cups.pdfFiles().value(0);
    const QString text = QString::fromUtf8(ChildProcess::output("pdftotext", {pdf, "-"}));
    for (const QString &expected : {QStringLiteral("支付凭证"), QStringLiteral("订单金额:12.5"),
             QStringLiteral("商户单号:") + orderNumber}) {
        QVERIFY2(text.contains(expected), qPrintable(expected + " in:\n" + text));
    }

    click(notice, kDismissButton);
    QTRY_VERIFY_WITH_TIMEOUT(m_desktop.visibleWindows(kNotice).isEmpty(), kTimeoutMs);
}

QTEST_GUILESS_MAIN(TestE2eLedger)
#include "TestE2eLedger.moc"
