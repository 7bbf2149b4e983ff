// Receipts on a real print spooler: a private CUPS daemon with a cups-pdf queue as the default
// printer. What comes out is read back as a user would check it: the text with pdftotext, the
// bar code rendered at 200 dpi and scanned with zbarimg.
#include "Code128Encoder.h"
#include "CupsQueue.h"
#include "LastReceipt.h"
#include "Printers.h"
#include "QtPrintDevice.h"
#include "ReceiptPrinter.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <memory>
#include <string>

namespace {

constexpr int kToolTimeoutMs = 60000;
const QString kSecondQueue = QStringLiteral("TallyportPdf2");
const ReceiptPrinter::Party kParty {QStringLiteral("Shop 1"), QStringLiteral("13800000000")};

QByteArray runTool(const QString &program, const QStringList &arguments, int *exitCode = nullptr)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    if (!process.waitForFinished(kToolTimeoutMs)) {
        process.kill();
        process.waitForFinished();
    }
    if (exitCode)
        *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return process.readAllStandardOutput();
}

QString pdfText(const QString &pdf)
{
    return QString::fromUtf8(runTool(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")}));
}

// Every bar code zbarimg finds on the pages of the PDF, rendered at 200 dpi, one per entry.
QStringList scannedCodes(const QString &pdf)
{
    QTemporaryDir pages;
    const QString prefix = pages.filePath(QStringLiteral("page"));
    runTool(QStringLiteral("pdftoppm"),
        {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("200"), pdf, prefix});
    QStringList codes;
    const QStringList images = QDir(pages.path()).entryList({QStringLiteral("*.png")});
    for (const QString &image : images) {
        const QByteArray found = runTool(QStringLiteral("zbarimg"),
            {QStringLiteral("--raw"), QStringLiteral("-q"), pages.filePath(image)});
        for (const QByteArray &line : found.split('\n')) {
            if (!line.isEmpty())
                codes << QString::fromLatin1(line);
        }
    }
    std::sort(codes.begin(), codes.end());
    return codes;
}

std::wstring paySuccessMessage(const QString &orderNumber)
{
    return (
        QStringLiteral("11#wx#25.5#2024-12-07 15:30:00#") + orderNumber + QStringLiteral("#30#11"))
        .toStdWString();
}

} // namespace

class TestReceiptPrinting : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void receiptReadsAndScansAsTheOrderNumber_data();
    void receiptReadsAndScansAsTheOrderNumber();
    void everyCode128SymbolScans();
    void twoCopiesAreTwoJobs();
    void chosenPrinterBecomesTheDefault();
    void withoutDefaultPrinterNothingIsPrinted();

private:
    QString pdfPath(const QString &name) const { return m_cups.outputDir() + '/' + name; }

    CupsQueue m_cups;
    ReceiptPrinter m_printer {&QtPrintDevice::openDefault};
};

void TestReceiptPrinting::initTestCase()
{
    const QString reason = CupsQueue::unavailableReason();
    if (!reason.isEmpty())
        QSKIP(qPrintable(reason));
    for (const char *tool : {"pdftotext", "pdftoppm", "zbarimg"}) {
        QVERIFY2(!QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty(),
            "poppler-utils and zbar-tools are needed (scripts/setup.sh)");
    }
    QVERIFY2(m_cups.start(), m_cups.errorLog().constData());
    QCOMPARE(Printers::defaultName(), m_cups.queueName());
}

void TestReceiptPrinting::init()
{
    QVERIFY(m_cups.waitForPdfs(m_cups.pdfFiles().size()));
    for (const QString &pdf : m_cups.pdfFiles())
        QFile::remove(pdfPath(pdf));
}

void TestReceiptPrinting::cleanup()
{
    // Keep what was printed by a failed test beside the other test artifacts.
    const QString artifacts = qEnvironmentVariable("TALLYPORT_ARTIFACTS");
    if (!QTest::currentTestFailed() || artifacts.isEmpty())
        return;
    const QString folder = artifacts + QStringLiteral("/TestReceiptPrinting/")
        + QLatin1String(QTest::currentTestFunction());
    QDir().mkpath(folder);
    for (const QString &pdf : m_cups.pdfFiles())
        QFile::copy(pdfPath(pdf), folder + '/' + pdf);
}

void TestReceiptPrinting::receiptReadsAndScansAsTheOrderNumber_data()
{
    QTest::addColumn<QString>("orderNumber");
    QTest::addColumn<int>("printWidth");
    QTest::addColumn<bool>("reprint");

    QTest::newRow("21 digits, 58 mm") << "202412071530001234567" << 0 << false;
    QTest::newRow("20 digits, 80 mm") << "20241207153000123456" << 1 << false;
    QTest::newRow("hot key, 21 digits, 58 mm") << "202412071530009876543" << 0 << true;
    QTest::newRow("hot key, 20 digits, 80 mm") << "20241207153000987654" << 1 << true;
}

void TestReceiptPrinting::receiptReadsAndScansAsTheOrderNumber()
{
    QFETCH(QString, orderNumber);
    QFETCH(int, printWidth);
    QFETCH(bool, reprint);

    const ReceiptPrinter::Settings settings {0, 0, printWidth, 1};
    QElapsedTimer clock;
    clock.start();
    int jobs = 0;
    if (reprint) {
        LastReceipt last;
        last.store(paySuccessMessage(orderNumber), 1);
        jobs = m_printer.reprint(last, kParty, settings);
    } else {
        jobs = m_printer.printPaySuccess(paySuccessMessage(orderNumber), kParty, settings);
    }
    qInfo("the spooler took the receipt after %lld ms", clock.elapsed());
    QCOMPARE(jobs, 1);
    QVERIFY2(m_cups.waitForPdfs(1), m_cups.errorLog().constData());
    QCOMPARE(
        m_cups.jobName(CupsQueue::jobId(m_cups.pdfFiles().value(0))), QStringLiteral("printer"));
    const QString pdf = pdfPath(m_cups.pdfFiles().value(0));

    const QString text = pdfText(pdf);
    for (const QString &expected : {QStringLiteral("支付凭证"), QStringLiteral("商户名称:Shop 1"),
             QStringLiteral("收银员:13800000000"), QStringLiteral("交易类型:微信"),
             QStringLiteral("订单金额:30"), QStringLiteral("交付金额:25.5"),
             QStringLiteral("交易时间:2024-12-07 15:30:00"),
             QStringLiteral("商户单号:") + orderNumber, QStringLiteral("客户签名"),
             QStringLiteral("本人确认以上交易")}) {
        QVERIFY2(text.contains(expected), qPrintable(expected + QLatin1String(" in:\n") + text));
    }
    QCOMPARE(scannedCodes(pdf), QStringList {orderNumber});
}

void TestReceiptPrinting::everyCode128SymbolScans()
{
    // Values 0-99 as the pairs 00-99 of code set C, 0-95 as the characters of code set B,
    // the start of code set A with control characters, and the switch to code set B.
    QStringList texts;
    QList<int> codeSets;
    for (int first = 0; first < 100; first += 20) {
        QString digits;
        for (int pair = first; pair < first + 20; ++pair)
            digits += QStringLiteral("%1").arg(pair, 2, 10, QLatin1Char('0'));
        texts << digits;
        codeSets << Code128Encoder::CodeSetC;
    }
    for (int first = 32; first < 128; first += 32) {
        QString characters;
        for (int c = first; c < first + 32 && c < 127; ++c)
            characters += QChar(c);
        texts << characters;
        codeSets << Code128Encoder::CodeSetB;
    }
    texts << QStringLiteral("TAB\tESC\x1b_") << QStringLiteral("12345");
    codeSets << Code128Encoder::CodeSetA << Code128Encoder::CodeSetC;

    const std::unique_ptr<PrintDevice> device = QtPrintDevice::openDefault();
    QVERIFY(device);
    QVERIFY(device->beginJob(QStringLiteral("printer")));
    for (int i = 0; i < texts.size(); ++i) {
        Code128Encoder encoder;
        QVERIFY2(encoder.encode(texts[i].toStdString(), codeSets[i]), qPrintable(texts[i]));
        encoder.draw(
            *device, 40, 40 + i * 200, 140 + i * 200, PrintDevice::kBlack, PrintDevice::kWhite);
    }
    device->endPage();
    QVERIFY(device->endJob());
    QVERIFY2(m_cups.waitForPdfs(1), m_cups.errorLog().constData());

    std::sort(texts.begin(), texts.end());
    QCOMPARE(scannedCodes(pdfPath(m_cups.pdfFiles().value(0))), texts);
}

void TestReceiptPrinting::twoCopiesAreTwoJobs()
{
    const QString orderNumber = QStringLiteral("202412071530001111111");
    QCOMPARE(m_printer.printPaySuccess(paySuccessMessage(orderNumber), kParty, {0, 1, 0, 1}), 2);
    QVERIFY2(m_cups.waitForPdfs(2), m_cups.errorLog().constData());
    const QStringList pdfs = m_cups.pdfFiles();
    QVERIFY(CupsQueue::jobId(pdfs.value(0)) != CupsQueue::jobId(pdfs.value(1)));
    for (const QString &pdf : pdfs) {
        QCOMPARE(m_cups.jobName(CupsQueue::jobId(pdf)), QStringLiteral("printer"));
        QCOMPARE(scannedCodes(pdfPath(pdf)), QStringList {orderNumber});
    }
}

void TestReceiptPrinting::chosenPrinterBecomesTheDefault()
{
    QVERIFY(m_cups.addQueue(kSecondQueue));
    QVERIFY(Printers::names().contains(kSecondQueue));
    QVERIFY(Printers::names().contains(m_cups.queueName()));
    QCOMPARE(Printers::defaultName(), m_cups.queueName());

    QVERIFY(Printers::setDefault(kSecondQueue));
    QCOMPARE(Printers::defaultName(), kSecondQueue);
    QCOMPARE(
        m_printer.printPaySuccess(paySuccessMessage(QStringLiteral("42")), kParty, {0, 0, 0, 1}),
        1);
    QVERIFY2(m_cups.waitForPdfs(1), m_cups.errorLog().constData());
    QByteArray done;
    m_cups.runTool(QStringLiteral("lpstat"),
        {QStringLiteral("-W"), QStringLiteral("completed"), QStringLiteral("-o"), kSecondQueue},
        &done);
    QVERIFY2(done.startsWith(kSecondQueue.toLatin1() + '-'), done.constData());

    // A name that is not a printer changes nothing.
    QVERIFY(!Printers::setDefault(QStringLiteral("NoSuchPrinter")));
    QVERIFY(!Printers::setDefault(QStringLiteral("-x")));
    QCOMPARE(Printers::defaultName(), kSecondQueue);

    QVERIFY(Printers::setDefault(m_cups.queueName()));
    QCOMPARE(Printers::defaultName(), m_cups.queueName());
}

void TestReceiptPrinting::withoutDefaultPrinterNothingIsPrinted()
{
    const std::wstring message = paySuccessMessage(QStringLiteral("202412071530002222222"));
    const ReceiptPrinter::Settings twoCopies {0, 1, 0, 1};

    // Printers there, none of them the default.
    if (!Printers::names().contains(kSecondQueue))
        QVERIFY(m_cups.addQueue(kSecondQueue));
    QVERIFY(m_cups.removeQueue(m_cups.queueName()));
    QCOMPARE(Printers::defaultName(), QString());
    QVERIFY(!Printers::names().isEmpty());
    QCOMPARE(m_printer.printPaySuccess(message, kParty, twoCopies), 0);

    // No spooler at all: the payment goes on at once.
    m_cups.stop();
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(m_printer.printPaySuccess(message, kParty, twoCopies), 0);
    const qint64 elapsed = clock.elapsed();
    qInfo("printing without a spooler returned after %lld ms", elapsed);
    QVERIFY2(elapsed < 10000, "printing without a spooler held the caller up");
    QCOMPARE(Printers::defaultName(), QString());

    // Nothing was queued on the way: back up, the spooler has no job and no PDF appears.
    QVERIFY2(m_cups.start(), m_cups.errorLog().constData());
    QVERIFY(m_cups.waitForPdfs(0));
    QCOMPARE(Printers::defaultName(), m_cups.queueName());
}

QTEST_MAIN(TestReceiptPrinting)
#include "TestReceiptPrinting.moc"
