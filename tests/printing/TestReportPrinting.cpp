// The daily summary's settlement report on a real print spooler: the figures of the sandbox
// gateway's day, printed through a private CUPS daemon with a cups-pdf queue as the default
// printer, read back with pdftotext, in both paper widths and both copy counts.
#include "CupsQueue.h"
#include "DailyQueryWin.h"
#include "HttpClient.h"
#include "LoginSession.h"
#include "MetaTypes.h"
#include "PayTransaction.h"
#include "Printers.h"
#include "QueryRequests.h"
#include "Reply.h"
#include "Resources.h"
#include "SandboxProcess.h"
#include "Signing.h"
#include "TempHome.h"
#include "WindowScaling.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include <memory>

namespace {

constexpr int kAnswerMs = 20000;

QString pdfText(const QString &pdf)
{
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace

class TestReportPrinting : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void reportShowsTheDayFigures_data();
    void reportShowsTheDayFigures();

private:
    bool post(const std::string &body, std::string &reply) const;

    CupsQueue m_cups;
    SandboxProcess m_sandbox;
    std::unique_ptr<TempHome> m_home;
    QueryRequests::Session m_session;
};

bool TestReportPrinting::post(const std::string &body, std::string &reply) const
{
    HttpClient client(m_sandbox.caPath().toStdString());
    return client.Post(m_sandbox.url(PayTransaction::kFacePath), body, reply, "json") == 200;
}

void TestReportPrinting::initTestCase()
{
    const QString reason = CupsQueue::unavailableReason();
    if (!reason.isEmpty())
        QSKIP(qPrintable(reason));
    QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty(),
        "poppler-utils is needed (scripts/setup.sh)");
    Resources::initialise();
    MetaTypes::registerAll();
    WindowScaling::setScreenOverride(QSize(1366, 768));
    QVERIFY2(m_cups.start(), m_cups.errorLog().constData());
    QCOMPARE(Printers::defaultName(), m_cups.queueName());

    QVERIFY(m_sandbox.start());
    LoginSession login;
    QVERIFY(m_sandbox.loginDemo(login));
    GatewaySession::set({login.appid, login.key, login.sid});
    m_session = {QString::fromStdWString(login.appid).toStdString(),
        QString::fromStdWString(login.sid).toStdString(),
        QString::fromStdWString(login.key).toStdString()};

    // The day: 12.5 by WeChat Pay, of which 5 refunded, and 30 by Alipay.
    std::string weChatOrder;
    for (const auto &[code, amount] :
        {std::pair {"134567890123456781", "12.5"}, std::pair {"2812345678901234562", "30"}}) {
        const auto pay = PayTransaction::payRequest(
            amount, code, m_session.appid, m_session.sid, m_session.key);
        QVERIFY(pay);
        std::string reply;
        QVERIFY(post(pay->body, reply));
        if (weChatOrder.empty()) {
            const std::optional<Reply> decoded = Reply::parse(reply);
            QVERIFY(decoded);
            QVERIFY(decoded->reader().read("data.out_trade_no", weChatOrder));
        }
    }
    std::string reply;
    QVERIFY(post(QueryRequests::refund(
                     weChatOrder, std::nullopt, std::string("500"), Signing::nonce(), m_session)
                     .body,
        reply));
    QVERIFY2(reply.find("\"code\":\"100\"") != std::string::npos, reply.c_str());
}

void TestReportPrinting::init()
{
    QVERIFY(m_cups.waitForPdfs(m_cups.pdfFiles().size()));
    for (const QString &pdf : m_cups.pdfFiles())
        QFile::remove(m_cups.outputDir() + QLatin1Char('/') + pdf);
    m_home = std::make_unique<TempHome>();
    QVERIFY(m_home->isValid());
}

void TestReportPrinting::cleanup()
{
    m_home.reset();
}

void TestReportPrinting::reportShowsTheDayFigures_data()
{
    QTest::addColumn<int>("print");
    QTest::addColumn<int>("printWidth");
    QTest::addColumn<int>("printCount");
    QTest::addColumn<int>("jobs");

    QTest::newRow("58 mm, one copy") << 0 << 0 << 0 << 1;
    QTest::newRow("80 mm, two copies") << 0 << 1 << 1 << 2;
    QTest::newRow("printing switched off") << 1 << 0 << 0 << 0;
}

void TestReportPrinting::reportShowsTheDayFigures()
{
    QFETCH(int, print);
    QFETCH(int, printWidth);
    QFETCH(int, printCount);
    QFETCH(int, jobs);

    QVERIFY(m_sandbox.writeClientConfig(m_home->path(),
        {QStringLiteral("[PRINT]"), QStringLiteral("print=%1").arg(print),
            QStringLiteral("[PRINTWIDTH]"), QStringLiteral("printwidth=%1").arg(printWidth),
            QStringLiteral("[PRINTCOUNT]"), QStringLiteral("printcount=%1").arg(printCount)}));
    DailyQueryWin daily;
    daily.setStoreName(L"演示门店");
    daily.QueryTimeout();
    QTRY_VERIFY_WITH_TIMEOUT(!daily.busy(), kAnswerMs);
    QCOMPARE(daily.figures()[SettlementFigures::Total], QStringLiteral("42.5"));

    daily.OnPrint();
    QVERIFY2(m_cups.waitForPdfs(jobs), m_cups.errorLog().constData());
    const QDate today = QDate::currentDate();
    const QString date
        = QStringLiteral("%1-%2-%3").arg(today.year()).arg(today.month()).arg(today.day());
    for (const QString &pdf : m_cups.pdfFiles()) {
        QCOMPARE(m_cups.jobName(CupsQueue::jobId(pdf)), QStringLiteral("printer"));
        const QString text = pdfText(m_cups.outputDir() + QLatin1Char('/') + pdf);
        for (const QString &line : {QStringLiteral("当班结算"), QStringLiteral("开始时间：") + date,
                 QStringLiteral("结束时间：") + date, QStringLiteral("收银员：演示门店"),
                 QStringLiteral("收款总额：42.5"), QStringLiteral("退款总额：5"),
                 QStringLiteral("实收总额：37.5"), QStringLiteral("交易笔数：2"),
                 QStringLiteral("微信总额：12.5"), QStringLiteral("微信退款：5"),
                 QStringLiteral("微信实收：7.5"), QStringLiteral("支付宝总额：30"),
                 QStringLiteral("支付宝退款：0"), QStringLiteral("支付宝实收：30"),
                 QStringLiteral("交易笔数：1")}) {
            QVERIFY2(text.contains(line), qPrintable(line + QLatin1String(" in:\n") + text));
        }
    }
}

QTEST_MAIN(TestReportPrinting)
#include "TestReportPrinting.moc"
