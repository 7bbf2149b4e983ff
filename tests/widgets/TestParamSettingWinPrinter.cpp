// The printer of the settings page on a real print spooler (a private CUPS with two cups-pdf
// queues): the page lists the queues with the default one selected, and the queue chosen
// becomes the default that receipts go to.
#include "CupsQueue.h"
#include "ParamSettingWin.h"
#include "Printers.h"
#include "Resources.h"
#include "TempHome.h"

#include <QComboBox>
#include <QSignalSpy>
#include <QtTest>

namespace {

const QString kSecondQueue = QStringLiteral("TallyportPdf2");

} // namespace

class TestParamSettingWinPrinter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void chosenPrinterBecomesTheDefault();

private:
    CupsQueue m_cups; // first, so that every spooler call of this test goes to it
};

void TestParamSettingWinPrinter::initTestCase()
{
    const QString reason = CupsQueue::unavailableReason();
    if (!reason.isEmpty())
        QSKIP(qPrintable(reason));
    Resources::initialise();
    QVERIFY2(m_cups.start(), m_cups.errorLog().constData());
    QVERIFY2(m_cups.addQueue(kSecondQueue), m_cups.errorLog().constData());
    QCOMPARE(Printers::defaultName(), m_cups.queueName());
}

void TestParamSettingWinPrinter::chosenPrinterBecomesTheDefault()
{
    TempHome home;
    ParamSettingWin window;
    auto *printers = window.findChild<QComboBox *>("comboBox_printname");
    QVERIFY(printers);
    QCOMPARE(printers->count(), 2);
    QCOMPARE(printers->currentText(), m_cups.queueName());
    QSignalSpy changed(&window, &ParamSettingWin::SendPrintChangedToPayWin);

    printers->setCurrentIndex(printers->findText(kSecondQueue));
    QCOMPARE(Printers::defaultName(), kSecondQueue);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.first().value(0).toString(), kSecondQueue);

    // A page built afterwards shows the new default.
    ParamSettingWin next;
    QCOMPARE(next.findChild<QComboBox *>("comboBox_printname")->currentText(), kSecondQueue);
}

QTEST_MAIN(TestParamSettingWinPrinter)
#include "TestParamSettingWinPrinter.moc"
