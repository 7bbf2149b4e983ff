// The settings page offscreen: every control writes the configuration the moment it changes
// (the file's bytes, all sixteen keys in their order), a partially checked box changes
// nothing, a stale collection method is replaced, the connection fields follow the mode and
// the adbinfo keys are written only by their own controls, the hot keys' signals, and the
// receipts the page prints.
#include "ConfigStore.h"
#include "ConnectionSettings.h"
#include "GlobalHotKeys.h"
#include "ParamSettingWin.h"
#include "PtyPair.h"
#include "PrintDevice.h"
#include "Resources.h"
#include "SerialPorts.h"
#include "TempHome.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QtTest>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <utility>

namespace {

const QList<SerialPortList::Port> kPorts {{"ttyUSB0", "FT232R USB UART"}, {"ttyS0", "16550A"},
    {"CNCA0", "com0com - serial port emulator"}};

// The keys the page saves, in the order it writes them, with what a page left as it was
// built from no file writes.
const QList<QPair<QString, QString>> kSavedKeys {{"CASH_HOTKEY/cash_hotkey", "8"},
    {"CASH_HOTKEY_ALT/cash_hotkey_alt", "1"}, {"RECEIPT_HOTKEY/receipt_hotkey", "0"},
    {"RECEIPT_HOTKEY_ALT/receipt_hotkey_alt", "1"}, {"REPORT_HOTKEY/report_hotkey", "5"},
    {"REPORT_HOTKEY_ALT/report_hotkey_alt", "1"}, {"CASH_SOFTWARE/cash_software", ""},
    {"SUSPENDWINDOW_SHOW/suspendwindow_show", "0"}, {"MULTIWINDOW_SHOW/multiwindow_show", "0"},
    {"PRINTCOUNT/printcount", "0"}, {"COLLECTMETHOD/collectmethod", "手动输入"},
    {"GUESTSHOW/guestshow", ""}, {"PRINTWIDTH/printwidth", "0"}, {"PRINT/print", "0"},
    {"AUTOMICSHOW/automicShow", "0"}, {"AUTOLOGIN/autologin", "0"}};

// The file a save writes, with `changed` ("SECTION/key" to value) in place of the defaults.
QByteArray savedFile(const QMap<QString, QString> &changed = {})
{
    QByteArray bytes;
    for (const auto &entry : kSavedKeys) {
        const QString section = entry.first.section('/', 0, 0);
        const QString key = entry.first.section('/', 1);
        const QString value = changed.value(entry.first, entry.second);
        bytes += ('[' + section + "]\r\n" + key + '=' + value + "\r\n").toUtf8();
    }
    return bytes;
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A printer that keeps what it is given, and can be made to hang like a spooler that does not
// answer. Jobs arrive on the page's print thread.
class TestPrinter final
{
public:
    struct Job
    {
        QString name;
        QStringList texts;
    };

    ReceiptPrinter::DeviceFactory factory()
    {
        return [this]() -> std::unique_ptr<PrintDevice> {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_opened.wait(lock, [this] { return !m_holding; });
            return std::make_unique<Device>(this);
        };
    }

    void hold(bool holding)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_holding = holding;
        m_opened.notify_all();
    }

    QList<Job> jobs() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_jobs;
    }

private:
    class Device final : public PrintDevice
    {
    public:
        explicit Device(TestPrinter *printer)
            : m_printer(printer)
        { }
        bool beginJob(const QString &name) override
        {
            m_job.name = name;
            return true;
        }
        void selectFont(const Font &) override { }
        void drawText(int, int, const QString &text) override { m_job.texts << text; }
        void drawVerticalLine(int, int, int, Colour, int) override { }
        void endPage() override { }
        bool endJob() override
        {
            std::lock_guard<std::mutex> lock(m_printer->m_mutex);
            m_printer->m_jobs << m_job;
            return true;
        }

    private:
        TestPrinter *m_printer;
        Job m_job;
    };

    mutable std::mutex m_mutex;
    std::condition_variable m_opened;
    bool m_holding = false;
    QList<Job> m_jobs;
};

} // namespace

class TestParamSettingWin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void builtFromNoFileSavesTheDefaults();
    void eachControlWritesItsKeyAtOnce_data();
    void eachControlWritesItsKeyAtOnce();
    void partiallyCheckedBoxChangesNothing_data();
    void partiallyCheckedBoxChangesNothing();
    void storedChoicesOfPorts_data();
    void storedChoicesOfPorts();
    void storedDevicePathThatIsThereIsKept();
    void connectionModeShowsItsFields_data();
    void connectionModeShowsItsFields();
    void connectionKeysOnlyByTheirControlsAndOnlyIntoAFile();
    void hotKeysAskForTheirPages();
    void receiptsNameTheMerchantAndTheCashier();
    void paymentDoesNotWaitForThePrinter();

private:
    std::unique_ptr<ParamSettingWin> makeWindow();
    QString configPath() const { return m_home->filePath(QStringLiteral("TallyportConfig.ini")); }
    void writeConfig(const QByteArray &bytes);

    std::unique_ptr<TempHome> m_home;
    QTemporaryDir m_noSpooler;
};

void TestParamSettingWin::initTestCase()
{
    Resources::initialise();
    // No print spooler answers: the printer list is empty and nothing reaches a real printer.
    qputenv("CUPS_SERVER", QFile::encodeName(m_noSpooler.filePath(QStringLiteral("none.sock"))));
}

void TestParamSettingWin::init()
{
    m_home = std::make_unique<TempHome>();
    SerialPorts::setOverride(kPorts);
    ConnectionSettings::set({});
}

void TestParamSettingWin::cleanup()
{
    SerialPorts::setOverride(std::nullopt);
    m_home.reset();
}

std::unique_ptr<ParamSettingWin> TestParamSettingWin::makeWindow()
{
    auto window = std::make_unique<ParamSettingWin>();
    window->setClerkTel("13800000000");
    window->setSessionInfo(L"演示商户", L"演示门店", L"演示商户", L"021-55550100");
    return window;
}

void TestParamSettingWin::writeConfig(const QByteArray &bytes)
{
    QFile file(configPath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

void TestParamSettingWin::builtFromNoFileSavesTheDefaults()
{
    // No file: the collection method is empty, which names no port; the page takes manual
    // input and saves, so the file holds the built-in hot keys from then on.
    const auto window = makeWindow();
    QCOMPARE(fileBytes(configPath()), savedFile());
    QCOMPARE(window->findChild<QComboBox *>("comboBox_cashhotkey")->currentText(), " VK_F9");
    QVERIFY(window->findChild<QRadioButton *>("radioButton_cashctrl")->isChecked());
}

void TestParamSettingWin::eachControlWritesItsKeyAtOnce_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("value"); // combo index, or -1 to click the box or button
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("written");

    QTest::newRow("hover icon off")
        << "checkBox_showsuspend" << -1 << "SUSPENDWINDOW_SHOW/suspendwindow_show"
        << "1";
    QTest::newRow("multi-window off")
        << "checkBox_showmultiwindows" << -1 << "MULTIWINDOW_SHOW/multiwindow_show"
        << "1";
    QTest::newRow("receipts off") << "checkBox_pdxp" << -1 << "PRINT/print"
                                  << "1";
    QTest::newRow("auto-confirm on") << "checkBox_query" << -1 << "AUTOMICSHOW/automicShow"
                                     << "1";
    QTest::newRow("auto-login on") << "checkBox_zddl" << -1 << "AUTOLOGIN/autologin"
                                   << "1";
    QTest::newRow("cash key F10") << "comboBox_cashhotkey" << 9 << "CASH_HOTKEY/cash_hotkey"
                                  << "9";
    QTest::newRow("cash key with Alt")
        << "radioButton_cashalt" << -1 << "CASH_HOTKEY_ALT/cash_hotkey_alt"
        << "0";
    QTest::newRow("receipt key A")
        << "comboBox_receipthotkey" << 20 << "RECEIPT_HOTKEY/receipt_hotkey"
        << "20";
    QTest::newRow("receipt key with Alt")
        << "radioButton_receiptalt" << -1 << "RECEIPT_HOTKEY_ALT/receipt_hotkey_alt"
        << "0";
    QTest::newRow("report key keypad /")
        << "comboBox_reporthotkey" << 61 << "REPORT_HOTKEY/report_hotkey"
        << "61";
    QTest::newRow("report key with Alt")
        << "radioButton_reportalt" << -1 << "REPORT_HOTKEY_ALT/report_hotkey_alt"
        << "0";
    QTest::newRow("80 mm paper") << "comboBox_paperwidth" << 1 << "PRINTWIDTH/printwidth"
                                 << "1";
    QTest::newRow("two copies") << "comboBox_papercount" << 1 << "PRINTCOUNT/printcount"
                                << "1";
    QTest::newRow("collect from a port")
        << "comboBox_collectmethod_2" << 1 << "COLLECTMETHOD/collectmethod"
        << "ttyUSB0";
    QTest::newRow("display on a port") << "comboBox_guestshow_2" << 2 << "GUESTSHOW/guestshow"
                                       << "ttyS0";
}

void TestParamSettingWin::eachControlWritesItsKeyAtOnce()
{
    QFETCH(QString, control);
    QFETCH(int, value);
    QFETCH(QString, key);
    QFETCH(QString, written);

    const auto window = makeWindow();
    QCOMPARE(fileBytes(configPath()), savedFile());
    QSignalSpy widthSpy(window.get(), &ParamSettingWin::SendPrintWidthToDailQuery);
    QSignalSpy countSpy(window.get(), &ParamSettingWin::SendPrintCountToOrderQuery);

    QWidget *widget = window->findChild<QWidget *>(control);
    QVERIFY(widget);
    if (auto *combo = qobject_cast<QComboBox *>(widget))
        combo->setCurrentIndex(value);
    else
        qobject_cast<QAbstractButton *>(widget)->click();

    QCOMPARE(fileBytes(configPath()), savedFile({{key, written}}));
    QCOMPARE(widthSpy.count(), control == "comboBox_paperwidth" ? 1 : 0);
    QCOMPARE(countSpy.count(), control == "comboBox_papercount" ? 1 : 0);
    if (!widthSpy.isEmpty())
        QCOMPARE(widthSpy.first().value(0).toInt(), 1);
    if (!countSpy.isEmpty())
        QCOMPARE(countSpy.first().value(0).toInt(), 1);
}

void TestParamSettingWin::partiallyCheckedBoxChangesNothing_data()
{
    QTest::addColumn<QString>("box");
    QTest::newRow("hover icon") << "checkBox_showsuspend";
    QTest::newRow("multi-window") << "checkBox_showmultiwindows";
    QTest::newRow("receipts") << "checkBox_pdxp";
    QTest::newRow("auto-confirm") << "checkBox_query";
    QTest::newRow("auto-login") << "checkBox_zddl";
}

void TestParamSettingWin::partiallyCheckedBoxChangesNothing()
{
    QFETCH(QString, box);
    const auto window = makeWindow();
    auto *check = window->findChild<QCheckBox *>(box);
    QVERIFY(check);
    check->setTristate(true);
    check->setCheckState(Qt::PartiallyChecked);
    QCOMPARE(fileBytes(configPath()), savedFile());

    // Nor is anything kept to be written by the next change.
    window->findChild<QComboBox *>("comboBox_paperwidth")->setCurrentIndex(1);
    QCOMPARE(fileBytes(configPath()), savedFile({{"PRINTWIDTH/printwidth", "1"}}));
}

void TestParamSettingWin::storedChoicesOfPorts_data()
{
    QTest::addColumn<QString>("collect");
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("collectShown");
    QTest::addColumn<QString>("displayShown");
    QTest::addColumn<bool>("saved");

    QTest::newRow("ports still there") << "ttyUSB0"
                                       << "ttyS0"
                                       << "ttyUSB0"
                                       << "ttyS0" << false;
    QTest::newRow("collection port gone: replaced and saved") << "COM9"
                                                              << "ttyS0"
                                                              << "手动输入"
                                                              << "ttyS0" << true;
    QTest::newRow("display port gone: first entry shown, not saved") << "手动输入"
                                                                     << "COM4"
                                                                     << "手动输入"
                                                                     << "停用" << false;
    QTest::newRow("display never on a virtual port") << "CNCA0"
                                                     << "CNCA0"
                                                     << "CNCA0"
                                                     << "停用" << false;
}

void TestParamSettingWin::storedChoicesOfPorts()
{
    QFETCH(QString, collect);
    QFETCH(QString, display);
    QFETCH(QString, collectShown);
    QFETCH(QString, displayShown);
    QFETCH(bool, saved);

    // Stored with LF line ends: a save rewrites the file with CR LF.
    QByteArray stored
        = savedFile({{"COLLECTMETHOD/collectmethod", collect}, {"GUESTSHOW/guestshow", display}});
    stored.replace("\r\n", "\n");
    writeConfig(stored);
    const auto window = makeWindow();
    QCOMPARE(
        window->findChild<QComboBox *>("comboBox_collectmethod_2")->currentText(), collectShown);
    QCOMPARE(window->findChild<QComboBox *>("comboBox_guestshow_2")->currentText(), displayShown);
    QCOMPARE(fileBytes(configPath()),
        saved ? savedFile(
            {{"COLLECTMETHOD/collectmethod", "手动输入"}, {"GUESTSHOW/guestshow", display}})
              : stored);
}

void TestParamSettingWin::storedDevicePathThatIsThereIsKept()
{
    // A scanner set up by a stable path (/dev/serial/by-id/... on Linux) is not in the
    // system's list of ports, but it is there: the page offers it and keeps it.
    QTemporaryDir devices;
    PtyPair line(devices.path(), QStringLiteral("scanner"));
    QVERIFY(line.start());
    QByteArray stored = savedFile(
        {{"COLLECTMETHOD/collectmethod", line.portA()}, {"GUESTSHOW/guestshow", line.portA()}});
    writeConfig(stored);
    const auto window = makeWindow();
    QCOMPARE(
        window->findChild<QComboBox *>("comboBox_collectmethod_2")->currentText(), line.portA());
    QCOMPARE(window->findChild<QComboBox *>("comboBox_guestshow_2")->currentText(), line.portA());
    QCOMPARE(fileBytes(configPath()), stored);
}

void TestParamSettingWin::connectionModeShowsItsFields_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("serialShown");
    QTest::addColumn<bool>("ipShown");

    QTest::newRow("USB") << 0 << false << false;
    QTest::newRow("serial port") << 1 << true << false;
    QTest::newRow("network") << 2 << false << true;
}

void TestParamSettingWin::connectionModeShowsItsFields()
{
    QFETCH(int, mode);
    QFETCH(bool, serialShown);
    QFETCH(bool, ipShown);

    // The mode of this run, as the checkout read it at its start.
    ConnectionSettings::Values running;
    running.connMode = mode;
    ConnectionSettings::set(running);
    const auto window = makeWindow();
    auto *modes = window->findChild<QComboBox *>("comboBox_ljms");
    QCOMPARE(modes->currentIndex(), mode);
    const auto shows = [&window](const char *name) {
        return window->findChild<QWidget *>(name)->isVisibleTo(window.get());
    };
    QCOMPARE(shows("comboBox_ComSet"), serialShown);
    QCOMPARE(shows("label_com"), serialShown);
    QCOMPARE(shows("lineEditIP"), ipShown);
    QCOMPARE(shows("label_8"), ipShown);

    // Choosing a mode shows its fields at once and writes it; the running connection stays.
    const int chosen = (mode + 1) % 3;
    modes->setCurrentIndex(chosen);
    QCOMPARE(shows("comboBox_ComSet"), chosen == 1);
    QCOMPARE(shows("lineEditIP"), chosen == 2);
    QCOMPARE(ConfigStore().readIntA("adbinfo", "ConnMode", -1), chosen);
    QCOMPARE(ConnectionSettings::get().connMode, mode);
}

void TestParamSettingWin::connectionKeysOnlyByTheirControlsAndOnlyIntoAFile()
{
    const auto window = makeWindow();
    auto *ports = window->findChild<QComboBox *>("comboBox_ComSet");
    auto *ip = window->findChild<QLineEdit *>("lineEditIP");
    auto *modes = window->findChild<QComboBox *>("comboBox_ljms");
    QCOMPARE(ports->count(), kPorts.size());

    // No file: the port becomes this run's choice, but nothing is written, nor created.
    QVERIFY(QFile::remove(configPath()));
    ports->setCurrentIndex(1);
    QCOMPARE(ConnectionSettings::get().com, std::string("ttyS0"));
    ip->setText("10.0.0.5");
    emit ip->editingFinished();
    modes->setCurrentIndex(2);
    QVERIFY(!QFile::exists(configPath()));

    // With a file each goes to its own key of adbinfo, and only there.
    writeConfig("[PRINT]\r\nprint=0\r\n");
    ports->setCurrentIndex(2);
    ip->setText("10.0.0.6");
    emit ip->editingFinished();
    modes->setCurrentIndex(1);
    QCOMPARE(fileBytes(configPath()),
        QByteArray("[PRINT]\r\nprint=0\r\n[adbinfo]\r\ncom=CNCA0\r\nIP=10.0.0.6\r\n"
                   "ConnMode=1\r\n"));

    // The other settings' save leaves them as they are.
    window->findChild<QCheckBox *>("checkBox_zddl")->click();
    const QByteArray afterSave = fileBytes(configPath());
    QVERIFY(afterSave.contains("[adbinfo]\r\ncom=CNCA0\r\nIP=10.0.0.6\r\nConnMode=1\r\n"));
    QVERIFY(afterSave.contains("[AUTOLOGIN]\r\nautologin=1\r\n"));
}

void TestParamSettingWin::hotKeysAskForTheirPages()
{
    const auto window = makeWindow();
    auto *hotKeys = window->findChild<GlobalHotKeys *>();
    QVERIFY(hotKeys);
    QSignalSpy cash(window.get(), &ParamSettingWin::SendDataToPayWinHotKey);
    QSignalSpy report(window.get(), &ParamSettingWin::ReportSendDataToPayWinHotKey);

    emit hotKeys->activated(5001);
    window->findChild<QCheckBox *>("checkBox_showmultiwindows")->click();
    emit hotKeys->activated(5001);
    emit hotKeys->activated(5003);
    emit hotKeys->activated(4999);

    // The cash key carries MULTIWINDOW_SHOW as it is now: 0, then 1 once the box is unchecked.
    QCOMPARE(cash.count(), 2);
    QCOMPARE(cash.at(0).value(0).toInt(), 0);
    QCOMPARE(cash.at(1).value(0).toInt(), 1);
    QCOMPARE(report.count(), 1);
}

void TestParamSettingWin::receiptsNameTheMerchantAndTheCashier()
{
    TestPrinter printer;
    const auto window = makeWindow();
    window->setPrintDeviceFactory(printer.factory());
    auto *hotKeys = window->findChild<GlobalHotKeys *>();

    // The checkout sends its marker and trailer where the cashier and merchant lines are: the
    // receipt names who is logged in instead. The order list's re-print does the same.
    const std::wstring paid = L"11#1#25.5#2024-12-07 15:30:00#202412071530001234567#30#11";
    window->receiveMsgFromCheckStand(paid);
    window->receivePayPrint(paid);
    window->recvivePrint(L"x#y#wx#40#38.5#2024-12-07 16:00:00#202412071600007654321");
    emit hotKeys->activated(5002); // the receipt key: the last pay-success receipt again
    QVERIFY(window->waitForPrinting(10000));

    const QList<TestPrinter::Job> jobs = printer.jobs();
    QCOMPARE(jobs.size(), 3);
    for (const TestPrinter::Job &job : jobs) {
        QCOMPARE(job.name, QStringLiteral("printer"));
        QVERIFY2(job.texts.contains("商户名称:演示商户"), qPrintable(job.texts.join('|')));
        QVERIFY2(job.texts.contains("收银员:13800000000"), qPrintable(job.texts.join('|')));
    }
    QVERIFY(jobs.at(0).texts.contains("交易类型:1"));
    QVERIFY(jobs.at(0).texts.contains("商户单号:202412071530001234567"));
    QVERIFY(jobs.at(1).texts.contains("交易类型:微信"));
    QVERIFY(jobs.at(1).texts.contains("商户单号:202412071600007654321"));
    // The kept copy maps the pay type when it is stored.
    QVERIFY(jobs.at(2).texts.contains("交易类型:支付宝"));
    QVERIFY(jobs.at(2).texts.contains("商户单号:202412071530001234567"));
}

void TestParamSettingWin::paymentDoesNotWaitForThePrinter()
{
    TestPrinter printer;
    auto window = makeWindow();
    window->setPrintDeviceFactory(printer.factory());
    const std::wstring paid = L"11#wx#25.5#2024-12-07 15:30:00#202412071530001234567#30#11";

    // The spooler does not answer: the slots return all the same.
    printer.hold(true);
    QElapsedTimer clock;
    clock.start();
    window->receiveMsgFromCheckStand(paid);
    window->receivePayPrint(paid);
    window->receivePayPrint(paid);
    qInfo("two receipts handed over in %lld us", clock.nsecsElapsed() / 1000);
    QVERIFY(!window->waitForPrinting(50));
    QVERIFY(printer.jobs().isEmpty());

    // It answers; the page goes at logout: both receipts are printed, once each.
    printer.hold(false);
    window.reset();
    QCOMPARE(printer.jobs().size(), 2);
}

QTEST_MAIN(TestParamSettingWin)
#include "TestParamSettingWin.moc"
