// The printer of the settings page on a real print spooler (a private CUPS with cups-pdf
// queues): the page shows the default queue, or none when the default is not one of them, and
// the queue the cashier chooses becomes the default that receipts go to, also when it is the
// only one. A spooler that does not answer holds nothing up: the page opens and takes changes
// while its printer list is being asked for, and the list comes once the spooler's questions
// have timed out.
#include "ConfigStore.h"
#include "CupsQueue.h"
#include "ParamSettingWin.h"
#include "Printers.h"
#include "Resources.h"
#include "TempHome.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLocalServer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kSecondQueue = QStringLiteral("TallyportPdf2");

// The cashier picks an entry of the list, the one already shown or another.
void choose(QComboBox *combo, int index)
{
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}

// The cashier opens the page; true once its printer list is there.
bool openPage(ParamSettingWin &window)
{
    window.show();
    auto *printers = window.findChild<QComboBox *>("comboBox_printname");
    return QTest::qWaitFor([printers] { return printers->isEnabled(); }, 20000);
}

} // namespace

class TestParamSettingWinPrinter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void chosenPrinterBecomesTheDefault();
    void silentSpoolerHoldsNothingUp();

private:
    CupsQueue m_cups; // every spooler call of this test goes to it
};

void TestParamSettingWinPrinter::initTestCase()
{
    const QString reason = CupsQueue::unavailableReason();
    if (!reason.isEmpty())
        QSKIP(qPrintable(reason));
    Resources::initialise();
    QVERIFY2(m_cups.start() && m_cups.addQueue(kSecondQueue), m_cups.errorLog().constData());
}

void TestParamSettingWinPrinter::chosenPrinterBecomesTheDefault()
{
    const TempHome home;
    {
        // One queue, and no default: none is shown as chosen, and choosing it makes it the
        // default.
        QVERIFY(m_cups.removeQueue(m_cups.queueName()));
        ParamSettingWin window;
        QVERIFY(openPage(window));
        auto *printers = window.findChild<QComboBox *>("comboBox_printname");
        QCOMPARE(printers->count(), 1);
        QCOMPARE(printers->currentIndex(), -1);
        QSignalSpy changed(&window, &ParamSettingWin::SendPrintChangedToPayWin);
        choose(printers, 0);
        QCOMPARE(Printers::defaultName(), kSecondQueue);
        QCOMPARE(QList<QVariantList>(changed), QList<QVariantList> {{kSecondQueue}});
    }

    // Two queues: the page shows the default; the other one chosen becomes it.
    QVERIFY(m_cups.addQueue(m_cups.queueName()));
    ParamSettingWin window;
    QVERIFY(openPage(window));
    auto *printers = window.findChild<QComboBox *>("comboBox_printname");
    QCOMPARE(printers->count(), 2);
    QCOMPARE(printers->currentText(), kSecondQueue);
    choose(printers, printers->findText(m_cups.queueName()));
    QCOMPARE(Printers::defaultName(), m_cups.queueName());
}

void TestParamSettingWinPrinter::silentSpoolerHoldsNothingUp()
{
    // A spooler that takes the connection and never answers.
    QTemporaryDir dir;
    QLocalServer silent;
    QVERIFY(silent.listen(dir.filePath(QStringLiteral("silent.sock"))));
    const QByteArray spooler = qgetenv("CUPS_SERVER");
    qputenv("CUPS_SERVER", QFile::encodeName(silent.fullServerName()));
    const TempHome home;
    {
        // The page opens and takes a change while the spooler, asked, keeps silent.
        ParamSettingWin window;
        window.show();
        auto *printers = window.findChild<QComboBox *>("comboBox_printname");
        QTRY_VERIFY(silent.hasPendingConnections());
        window.findChild<QCheckBox *>("checkBox_zddl")->click();
        QCOMPARE(ConfigStore().readString("AUTOLOGIN", "autologin"), QStringLiteral("1"));
        QVERIFY2(!printers->isEnabled(), "the page waited for the spooler");

        // Its questions time out: the list comes, without a printer.
        QTRY_VERIFY_WITH_TIMEOUT(printers->isEnabled(), 4 * Printers::kQueryTimeoutMs);
        QCOMPARE(printers->count(), 0);
    }
    qputenv("CUPS_SERVER", spooler);
}

QTEST_MAIN(TestParamSettingWinPrinter)
#include "TestParamSettingWinPrinter.moc"
