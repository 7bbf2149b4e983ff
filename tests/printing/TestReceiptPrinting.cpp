// Receipts on a real print spooler: a private CUPS daemon with a cups-pdf queue as the default
// printer. What comes out is read back as a user would check it: the text with pdftotext, the
// bar code rendered at 200 dpi and scanned with zbarimg.
#include "ChildProcess.h"
#include "Code128Encoder.h"
#include "CupsQueue.h"
#include "LastReceipt.h"
#include "Printers.h"
#include "PrintDevices.h"
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

const QString kSecondQueue = QStringLiteral("TallyportPdf2");
const ReceiptPrinter::Party kParty {QStringLiteral("Shop 1"), QStringLiteral("13800000000")};

std::wstring paySuccessMessage(const QString &orderNumber)
{
    return QStringLiteral("11#wx#25.5#2024-12-07 15:30:00#%1#30#11")
        .arg(orderNumber)
        .toStdWString();
}

} // namespace

class TestReceiptPrinting : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void receiptScansAsTheOrderNumber_data();
    void receiptScansAsTheOrderNumber();
    void everyCode128SymbolScans();
    void withoutDefaultPrinterNothingIsPrinted();

private:
    QString pdfPath(const QString &name) const { return m_cups.outputDir() + '/' + name; }

    CupsQueue m_cups;
    ReceiptPrinter m_printer {&PrintDevices::openDefault};
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

void TestReceiptPrinting::receiptScansAsTheOrderNumber_data()
{
    QTest::addColumn<QString>("orderNumber");
    QTest::addColumn<int>("printWidth");
    QTest::addColumn<bool>("reprint");
    QTest::addColumn<int>("printCount");

    QTest::newRow("21 digits, 58 mm, two copies") << "202412071530001234567" << 0 << false << 1;
    QTest::newRow("hot key, 20 digits, 80 mm") << "20241207153000987654" << 1 << true << 0;
}

void TestReceiptPrinting::receiptScansAsTheOrderNumber()
{
    QFETCH(QString, orderNumber);
    QFETCH(int, printWidth);
    QFETCH(bool, reprint);
    QFETCH(int, printCount);

    const std::wstring message = paySuccessMessage(orderNumber);
    const ReceiptPrinter::Settings settings {0, printCount, printWidth, 1};
    LastReceipt last;
    last.store(message, 1);
    const int jobs = reprint ? m_printer.reprint(last, kParty, settings)
                             : m_printer.printPaySuccess(message, kParty, settings);
    QCOMPARE(jobs, printCount + 1);
    QVERIFY2(m_cups.waitForPdfs(jobs), m_cups.errorLog().constData());
    // Each copy is a job of its own named "printer".
    for (const QString &pdf : m_cups.pdfFiles()) {
        QCOMPARE(m_cups.jobName(CupsQueue::jobId(pdf)), QStringLiteral("printer"));
        QVERIFY(QString::fromUtf8(
            ChildProcess::output(QStringLiteral("pdftotext"), {pdfPath(pdf), QStringLiteral("-")}))
                    .contains(QStringLiteral("商户单号:") + orderNumber));
        QCOMPARE(CupsQueue::scannedCodes(pdfPath(pdf)), QStringList {orderNumber});
    }
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

    const std::unique_ptr<PrintDevice> device = PrintDevices::openDefault();
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
    QCOMPARE(CupsQueue::scannedCodes(pdfPath(m_cups.pdfFiles().value(0))), texts);
}

void TestReceiptPrinting::withoutDefaultPrinterNothingIsPrinted()
{
    const std::wstring message = paySuccessMessage(QStringLiteral("202412071530002222222"));
    const ReceiptPrinter::Settings twoCopies {0, 1, 0, 1};

    // A printer there, but none is the default.
    QVERIFY(m_cups.addQueue(kSecondQueue));
    QVERIFY(m_cups.removeQueue(m_cups.queueName()));
    QCOMPARE(Printers::defaultName(), QString());
    QCOMPARE(m_printer.printPaySuccess(message, kParty, twoCopies), 0);

    // No spooler at all: the payment goes on at once.
    m_cups.stop();
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(m_printer.printPaySuccess(message, kParty, twoCopies), 0);
    qInfo("printing without a spooler returned after %lld ms", clock.elapsed());
    QVERIFY2(clock.elapsed() < 10000, "printing without a spooler held the caller up");

    // Nothing was queued on the way: back up, the spooler has no job and no PDF appears.
    QVERIFY2(m_cups.start(), m_cups.errorLog().constData());
    QVERIFY(m_cups.waitForPdfs(0));
}

QTEST_MAIN(TestReceiptPrinting)
#include "TestReceiptPrinting.moc"
