// The printer of the settings page on a real print spooler (a private CUPS with two cups-pdf
// queues): the page shows the default queue, and the queue chosen becomes the default that
// receipts go to.
#include "CupsQueue.h"
#include "ParamSettingWin.h"
#include "Printers.h"
#include "Resources.h"
#include "TempHome.h"

#include <QComboBox>
#include <QSignalSpy>
#include <QtTest>

class TestParamSettingWinPrinter : public QObject
{
    Q_OBJECT

private slots:
    void chosenPrinterBecomesTheDefault();
};

void TestParamSettingWinPrinter::chosenPrinterBecomesTheDefault()
{
    const QString reason = CupsQueue::unavailableReason();
    if (!reason.isEmpty())
        QSKIP(qPrintable(reason));
    Resources::initialise();
    CupsQueue cups; // every spooler call of this test goes to it
    QVERIFY2(cups.start() && cups.addQueue("TallyportPdf2"), cups.errorLog().constData());
    const TempHome home;
    ParamSettingWin window;
    auto *printers = window.findChild<QComboBox *>("comboBox_printname");
    QVERIFY(printers);
    QCOMPARE(printers->count(), 2);
    QCOMPARE(printers->currentText(), cups.queueName());
    QSignalSpy changed(&window, &ParamSettingWin::SendPrintChangedToPayWin);

    printers->setCurrentIndex(printers->findText("TallyportPdf2"));
    QCOMPARE(Printers::defaultName(), QStringLiteral("TallyportPdf2"));
    QCOMPARE(QList<QVariantList>(changed), QList<QVariantList> {{"TallyportPdf2"}});
}

QTEST_MAIN(TestParamSettingWinPrinter)
#include "TestParamSettingWinPrinter.moc"
