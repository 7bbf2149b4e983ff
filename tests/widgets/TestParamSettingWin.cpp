// The settings page offscreen: every control writes the configuration the moment it changes
// (the file's bytes, all sixteen keys in their order), a partially checked box changes
// nothing, the port lists are asked for at the first show and stored port choices are kept or
// replaced then, the connection fields follow the mode and the adbinfo keys are written only by
// their own controls, the hot keys' signals, and the receipts the page prints without making a
// payment wait.
#include "ConfigStore.h"
#include "ConnectionSettings.h"
#include "GlobalHotKeys.h"
#include "ParamSettingWin.h"
#include "PrintQueue.h"
#include "RecordingPrintDevice.h"
#include "Resources.h"
#include "SerialPorts.h"
#include "TempHome.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>

#include <future>
#include <memory>

namespace {

const QList<SerialPortList::Port> kPorts {{"ttyUSB0", "FT232R USB UART"}, {"ttyS0", "16550A"},
    {"CNCA0", "com0com - serial port emulator"}};

// The keys the page saves, in the order it writes them, each in the section of its name in
// capitals, with what a page left as it was built from no file writes.
const QList<QPair<QString, QString>> kSavedKeys {{"cash_hotkey", "8"}, {"cash_hotkey_alt", "1"},
    {"receipt_hotkey", "0"}, {"receipt_hotkey_alt", "1"}, {"report_hotkey", "5"},
    {"report_hotkey_alt", "1"}, {"cash_software", ""}, {"suspendwindow_show", "0"},
    {"multiwindow_show", "0"}, {"printcount", "0"}, {"collectmethod", "手动输入"},
    {"guestshow", ""}, {"printwidth", "0"}, {"print", "0"}, {"automicShow", "0"},
    {"autologin", "0"}};

// The file a save writes, with `changed` (key to value) in place of the defaults.
QByteArray savedFile(const QMap<QString, QString> &changed = {})
{
    QByteArray bytes;
    for (const auto &[key, value] : kSavedKeys)
        bytes += ('[' + key.toUpper() + "]\r\n" + key + '=' + changed.value(key, value) + "\r\n")
                     .toUtf8();
    return bytes;
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Per print job: its name, then each text drawn, each followed by '|'.
QStringList jobsOf(const std::vector<RecordingPrintDevice::Call> &calls)
{
    QStringList jobs;
    for (const RecordingPrintDevice::Call &call : calls) {
        if (call.kind == RecordingPrintDevice::Call::Kind::BeginJob)
            jobs << call.text + '|';
        else if (call.kind == RecordingPrintDevice::Call::Kind::Text && !jobs.isEmpty())
            jobs.last() += call.text + '|';
    }
    return jobs;
}

// What the cashier does: picks an entry of the list, the one already shown or another.
void choose(QComboBox *combo, int index)
{
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}

} // namespace

class TestParamSettingWin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void eachControlWritesItsKeyAtOnce_data();
    void eachControlWritesItsKeyAtOnce();
    void partiallyCheckedBoxesChangeNothing();
    void comboShowsWhatIsInForceAndItsChoiceIsStored_data();
    void comboShowsWhatIsInForceAndItsChoiceIsStored();
    void storedChoicesOfPorts_data();
    void storedChoicesOfPorts();
    void portsAreAskedForAtTheFirstShow();
    void connectionModeShowsItsFields_data();
    void connectionModeShowsItsFields();
    void connectionKeysOnlyByTheirControlsAndOnlyIntoAFile();
    void hotKeysAskForTheirPages();
    void receiptsNeverMakeThePaymentWait();

private:
    // The page as the cashier opens it: shown, its printer and port lists in place (nullptr
    // when they did not come). `shown` false: only built, as at login.
    std::unique_ptr<ParamSettingWin> makeWindow(bool shown = true);
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

std::unique_ptr<ParamSettingWin> TestParamSettingWin::makeWindow(bool shown)
{
    auto window = std::make_unique<ParamSettingWin>();
    window->setClerkTel("13800000000");
    window->setSessionInfo(L"演示商户", L"演示门店", L"演示商户", L"021-55550100");
    if (!shown)
        return window;
    window->show();
    auto *ports = window->findChild<QComboBox *>("comboBox_collectmethod_2");
    if (!QTest::qWaitFor([ports] { return ports->isEnabled(); }, 10000))
        return nullptr;
    return window;
}

void TestParamSettingWin::writeConfig(const QByteArray &bytes)
{
    QFile file(configPath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

void TestParamSettingWin::eachControlWritesItsKeyAtOnce_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("value"); // combo index, or -1 to click the box or button
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("written");

    const struct
    {
        const char *name, *control;
        int value;
        const char *key, *written;
    } rows[] = {{"hover icon off", "checkBox_showsuspend", -1, "suspendwindow_show", "1"},
        {"multi-window off", "checkBox_showmultiwindows", -1, "multiwindow_show", "1"},
        {"receipts off", "checkBox_pdxp", -1, "print", "1"},
        {"auto-confirm on", "checkBox_query", -1, "automicShow", "1"},
        {"auto-login on", "checkBox_zddl", -1, "autologin", "1"},
        {"cash key F10", "comboBox_cashhotkey", 9, "cash_hotkey", "9"},
        {"cash key with Alt", "radioButton_cashalt", -1, "cash_hotkey_alt", "0"},
        {"receipt key A", "comboBox_receipthotkey", 20, "receipt_hotkey", "20"},
        {"receipt key with Alt", "radioButton_receiptalt", -1, "receipt_hotkey_alt", "0"},
        {"report key keypad /", "comboBox_reporthotkey", 61, "report_hotkey", "61"},
        {"report key with Alt", "radioButton_reportalt", -1, "report_hotkey_alt", "0"},
        {"80 mm paper", "comboBox_paperwidth", 1, "printwidth", "1"},
        {"two copies", "comboBox_papercount", 1, "printcount", "1"},
        {"collect from a port", "comboBox_collectmethod_2", 1, "collectmethod", "ttyUSB0"},
        {"display on a port", "comboBox_guestshow_2", 2, "guestshow", "ttyS0"}};
    for (const auto &row : rows)
        QTest::newRow(row.name) << row.control << row.value << row.key << row.written;
}

void TestParamSettingWin::eachControlWritesItsKeyAtOnce()
{
    QFETCH(QString, control);
    QFETCH(int, value);
    QFETCH(QString, key);
    QFETCH(QString, written);

    const auto window = makeWindow();
    QVERIFY(window);
    QSignalSpy width(window.get(), &ParamSettingWin::SendPrintWidthToDailQuery);
    QSignalSpy count(window.get(), &ParamSettingWin::SendPrintCountToOrderQuery);
    QWidget *widget = window->findChild<QWidget *>(control);
    QVERIFY(widget);
    if (auto *combo = qobject_cast<QComboBox *>(widget))
        choose(combo, value);
    else
        qobject_cast<QAbstractButton *>(widget)->click();

    QCOMPARE(fileBytes(configPath()), savedFile({{key, written}}));
    // The paper width and the copies go to the report and the order list as well.
    QCOMPARE(width.value(0), control == "comboBox_paperwidth" ? QVariantList {1} : QVariantList());
    QCOMPARE(count.value(0), control == "comboBox_papercount" ? QVariantList {1} : QVariantList());
}

void TestParamSettingWin::partiallyCheckedBoxesChangeNothing()
{
    const auto window = makeWindow();
    QVERIFY(window);
    const QList<QCheckBox *> boxes = window->findChildren<QCheckBox *>();
    QCOMPARE(boxes.size(), 5);
    for (QCheckBox *box : boxes) {
        box->setTristate(true);
        box->setCheckState(Qt::PartiallyChecked);
    }
    QCOMPARE(fileBytes(configPath()), savedFile());

    // Nor is anything kept to be written by the next change.
    choose(window->findChild<QComboBox *>("comboBox_paperwidth"), 1);
    QCOMPARE(fileBytes(configPath()), savedFile({{"printwidth", "1"}}));
}

void TestParamSettingWin::comboShowsWhatIsInForceAndItsChoiceIsStored_data()
{
    QTest::addColumn<QString>("stored"); // key=value of the file, or the port the reader opens
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");

    // Each time the cashier chooses the entry shown: it is stored even though the combo's
    // index stays as it was.
    const struct
    {
        const char *name, *stored, *control, *shown, *section, *key;
    } rows[] = {{"paper width 7 prints and shows as 58 mm", "printwidth=7", "comboBox_paperwidth",
                    "58mm", "PRINTWIDTH", "printwidth"},
        {"copies 5 shows one copy", "printcount=5", "comboBox_papercount", "一联", "PRINTCOUNT",
            "printcount"},
        {"port of the reader not there", "COM7", "comboBox_ComSet", "COM7 (未连接)", "adbinfo",
            "com"},
        {"port of the reader there", "ttyS0", "comboBox_ComSet", "ttyS0", "adbinfo", "com"}};
    for (const auto &row : rows) {
        QTest::newRow(row.name) << row.stored << row.control << row.shown << row.section << row.key;
    }
}

void TestParamSettingWin::comboShowsWhatIsInForceAndItsChoiceIsStored()
{
    QFETCH(QString, stored);
    QFETCH(QString, control);
    QFETCH(QString, shown);
    QFETCH(QString, section);
    QFETCH(QString, key);

    const QStringList keyValue = stored.split('=');
    if (keyValue.size() == 2) {
        writeConfig(savedFile({{keyValue.at(0), keyValue.at(1)}}));
    } else {
        writeConfig(savedFile());
        ConnectionSettings::Values values;
        values.com = stored.toStdString();
        ConnectionSettings::set(values);
    }
    const auto window = makeWindow();
    QVERIFY(window);
    auto *combo = window->findChild<QComboBox *>(control);
    QCOMPARE(combo->currentText(), shown);

    // Until the cashier chooses, another control's save leaves the file's value as it is.
    window->findChild<QCheckBox *>("checkBox_query")->click();
    QCOMPARE(ConfigStore().readString(section, key), keyValue.value(1));
    if (control == QLatin1String("comboBox_paperwidth")) {
        // A receipt is laid out on the 58 mm paper: its font and its title's place.
        const auto calls = std::make_shared<std::vector<RecordingPrintDevice::Call>>();
        window->setPrintDeviceFactory([calls]() -> std::unique_ptr<PrintDevice> {
            return std::make_unique<RecordingPrintDevice>(calls.get());
        });
        window->receivePayPrint(L"11#wx#25.5#2024-12-07 15:30:00#20241207153000123456#30#11");
        QVERIFY(window->waitForPrinting(30000));
        QVERIFY(calls->size() > 3);
        QCOMPARE(calls->at(1).toString(), QStringLiteral("font Arial 27 500"));
        QCOMPARE(calls->at(2).toString(), QStringLiteral("text 80,1 支付凭证"));
    }

    choose(combo, combo->currentIndex());
    const QString written = keyValue.size() == 2 ? QStringLiteral("0") : stored;
    QCOMPARE(ConfigStore().readString(section, key), written);
}

void TestParamSettingWin::storedChoicesOfPorts_data()
{
    QTest::addColumn<QString>("collect"); // null: no file
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("collectShown");
    QTest::addColumn<QString>("displayShown");
    QTest::addColumn<bool>("saved");

    // No file: the collection method is empty, which names no port. A device set up by a path
    // (/dev/serial/by-id/...) is not in the system's list of ports.
    const struct
    {
        const char *name, *collect, *display, *collectShown, *displayShown;
        bool saved;
    } rows[] = {{"no file: manual input, saved", nullptr, "", "手动输入", "停用", true},
        {"ports still there", "ttyUSB0", "ttyS0", "ttyUSB0", "ttyS0", false},
        {"collection port gone: replaced and saved", "COM9", "ttyS0", "手动输入", "ttyS0", true},
        {"display port gone: first entry shown, not saved", "手动输入", "COM4", "手动输入", "停用",
            false},
        {"a device path that is there is kept", "/dev/null", "/dev/null", "/dev/null", "/dev/null",
            false}};
    for (const auto &row : rows) {
        QTest::newRow(row.name) << QString(row.collect) << row.display << row.collectShown
                                << row.displayShown << row.saved;
    }
}

void TestParamSettingWin::storedChoicesOfPorts()
{
    QFETCH(QString, collect);
    QFETCH(QString, display);
    QFETCH(QString, collectShown);
    QFETCH(QString, displayShown);
    QFETCH(bool, saved);

    // Stored with LF line ends: a save rewrites the file with CR LF.
    QByteArray stored = savedFile({{"collectmethod", collect}, {"guestshow", display}});
    stored.replace("\r\n", "\n");
    if (!collect.isNull())
        writeConfig(stored);
    const auto window = makeWindow();
    QVERIFY(window);
    QCOMPARE(
        window->findChild<QComboBox *>("comboBox_collectmethod_2")->currentText(), collectShown);
    QCOMPARE(window->findChild<QComboBox *>("comboBox_guestshow_2")->currentText(), displayShown);
    QCOMPARE(fileBytes(configPath()),
        saved ? savedFile({{"collectmethod", "手动输入"}, {"guestshow", display}}) : stored);
}

void TestParamSettingWin::portsAreAskedForAtTheFirstShow()
{
    // At login the page is only built: no port is probed, nothing is chosen or written, also
    // while the event loop runs (the wait is a window of observation, not a synchronisation).
    const auto window = makeWindow(false);
    QTest::qWait(500);
    const QStringList combos {"comboBox_printname", "comboBox_collectmethod_2",
        "comboBox_guestshow_2", "comboBox_ComSet"};
    for (const QString &name : combos) {
        auto *combo = window->findChild<QComboBox *>(name);
        QVERIFY2(!combo->isEnabled() && combo->count() == 0, qPrintable(name));
    }
    QVERIFY(!QFile::exists(configPath()));

    // Opened: the ports of that moment come (one was unplugged meanwhile), each list in its
    // combo, and the page's choices with them.
    SerialPorts::setOverride(kPorts.mid(1));
    window->show();
    for (const QString &name : combos)
        QTRY_VERIFY2(window->findChild<QComboBox *>(name)->isEnabled(), qPrintable(name));
    // Manual input and two ports; the two ports and the reader's port, which is not there.
    QCOMPARE(window->findChild<QComboBox *>("comboBox_collectmethod_2")->count(), 3);
    QCOMPARE(window->findChild<QComboBox *>("comboBox_ComSet")->count(), 3);
    QCOMPARE(fileBytes(configPath()), savedFile());
}

void TestParamSettingWin::connectionModeShowsItsFields_data()
{
    QTest::addColumn<int>("running");
    QTest::addColumn<int>("chosen");

    QTest::newRow("USB, then serial port") << 0 << 1;
    QTest::newRow("serial port, then network") << 1 << 2;
    QTest::newRow("network, then USB") << 2 << 0;
}

void TestParamSettingWin::connectionModeShowsItsFields()
{
    QFETCH(int, running);
    QFETCH(int, chosen);

    // The mode of this run, as the checkout read it at its start.
    ConnectionSettings::Values values;
    values.connMode = running;
    ConnectionSettings::set(values);
    const auto window = makeWindow();
    QVERIFY(window);
    const QStringList fieldsOf[]
        = {{}, {"label_com", "comboBox_ComSet"}, {"label_8", "lineEditIP"}};
    const auto shown = [&window] {
        QStringList names;
        for (const char *name : {"label_com", "comboBox_ComSet", "label_8", "lineEditIP"}) {
            if (window->findChild<QWidget *>(name)->isVisibleTo(window.get()))
                names << name;
        }
        return names;
    };
    auto *modes = window->findChild<QComboBox *>("comboBox_ljms");
    QCOMPARE(modes->currentIndex(), running);
    QCOMPARE(shown(), fieldsOf[running]);

    // Choosing a mode shows its fields at once and writes it; the running connection stays.
    choose(modes, chosen);
    QCOMPARE(shown(), fieldsOf[chosen]);
    QCOMPARE(ConfigStore().readIntA("adbinfo", "ConnMode", -1), chosen);
    QCOMPARE(ConnectionSettings::get().connMode, running);
}

void TestParamSettingWin::connectionKeysOnlyByTheirControlsAndOnlyIntoAFile()
{
    const auto window = makeWindow();
    QVERIFY(window);
    auto *ports = window->findChild<QComboBox *>("comboBox_ComSet");
    auto *ip = window->findChild<QLineEdit *>("lineEditIP");
    auto *modes = window->findChild<QComboBox *>("comboBox_ljms");
    // The ports, then the reader's port COM7, which is not there.
    QCOMPARE(ports->count(), kPorts.size() + 1);

    // No file: the port becomes this run's choice, but nothing is written, nor created.
    QVERIFY(QFile::remove(configPath()));
    choose(ports, 1);
    QCOMPARE(ConnectionSettings::get().com, std::string("ttyS0"));
    ip->setText("10.0.0.5");
    emit ip->editingFinished();
    choose(modes, 2);
    QVERIFY(!QFile::exists(configPath()));

    // With a file each goes to its own key of adbinfo, and only there; the other settings'
    // save leaves them as they are.
    writeConfig("[PRINT]\r\nprint=0\r\n");
    choose(ports, 2);
    ip->setText("10.0.0.6");
    emit ip->editingFinished();
    choose(modes, 1);
    const QByteArray adbinfo("[adbinfo]\r\ncom=CNCA0\r\nIP=10.0.0.6\r\nConnMode=1\r\n");
    QCOMPARE(fileBytes(configPath()), "[PRINT]\r\nprint=0\r\n" + adbinfo);
    window->findChild<QCheckBox *>("checkBox_zddl")->click();
    QVERIFY(fileBytes(configPath()).contains(adbinfo));
}

void TestParamSettingWin::hotKeysAskForTheirPages()
{
    const auto window = makeWindow();
    QVERIFY(window);
    // Offscreen there is no X server: the registrations fail, and the log says why.
    QVERIFY(
        fileBytes(m_home->filePath("tallyport.log"))
            .contains(
                QStringLiteral("热键注册失败 Ctrl+F9 (5001): 没有可用的显示服务器连接").toUtf8()));

    auto *hotKeys = window->findChild<GlobalHotKeys *>();
    QVERIFY(hotKeys);
    QSignalSpy cash(window.get(), &ParamSettingWin::SendDataToPayWinHotKey);
    QSignalSpy report(window.get(), &ParamSettingWin::ReportSendDataToPayWinHotKey);
    emit hotKeys->activated(5001);
    window->findChild<QCheckBox *>("checkBox_showmultiwindows")->click();
    emit hotKeys->activated(5001);
    emit hotKeys->activated(5003);

    // The cash key carries MULTIWINDOW_SHOW as it is now: 0, then 1 once the box is unchecked.
    QCOMPARE(QList<QVariantList>(cash), (QList<QVariantList> {{0}, {1}}));
    QCOMPARE(report.count(), 1);
}

void TestParamSettingWin::receiptsNeverMakeThePaymentWait()
{
    // Written on the page's print thread, read once the page has gone.
    const auto calls = std::make_shared<std::vector<RecordingPrintDevice::Call>>();
    std::promise<void> spoolerAnswers;
    std::shared_future<void> answer = spoolerAnswers.get_future().share();
    auto window = makeWindow();
    QVERIFY(window);
    window->setPrintDeviceFactory([calls, answer]() -> std::unique_ptr<PrintDevice> {
        answer.wait();
        return std::make_unique<RecordingPrintDevice>(calls.get());
    });

    // The spooler does not answer: the checkout's receipt, the order list's re-print and the
    // receipt key are handed over all the same. The checkout sends its marker and trailer where
    // the cashier and merchant lines are: each receipt names who is logged in instead.
    const std::wstring paid = L"11#1#25.5#2024-12-07 15:30:00#202412071530001234567#30#11";
    window->receiveMsgFromCheckStand(paid);
    auto *receipts = window->findChild<QCheckBox *>("checkBox_pdxp");
    receipts->click(); // PRINT 1: the receipt key prints nothing
    emit window->findChild<GlobalHotKeys *>()->activated(5002);
    receipts->click();
    window->receivePayPrint(paid);
    window->recvivePrint(L"x#y#wx#40#38.5#2024-12-07 16:00:00#202412071600007654321");
    emit window->findChild<GlobalHotKeys *>()->activated(5002);
    QVERIFY(!window->waitForPrinting(50));

    // The page goes at logout without waiting for the spooler; the receipts stay on the
    // process's print queue. It answers: every receipt is printed, once.
    QElapsedTimer clock;
    clock.start();
    window.reset();
    QVERIFY2(clock.elapsed() < 2000, "logout waited for the spooler");
    spoolerAnswers.set_value();
    QVERIFY(PrintQueue::process().waitUntilIdle(std::chrono::seconds(30)));
    const QStringList jobs = jobsOf(*calls);
    QCOMPARE(jobs.size(), 3);
    for (const QString &job : jobs) {
        QVERIFY2(job.startsWith("printer|") && job.contains("|商户名称:演示商户|")
                && job.contains("|收银员:13800000000|"),
            qPrintable(job));
    }
    QVERIFY(jobs.at(0).contains("|交易类型:1|")
        && jobs.at(0).contains("|商户单号:202412071530001234567|"));
    QVERIFY(jobs.at(1).contains("|交易类型:微信|")
        && jobs.at(1).contains("|商户单号:202412071600007654321|"));
    // The kept copy maps the pay type when it is stored.
    QVERIFY(jobs.at(2).contains("|交易类型:支付宝|")
        && jobs.at(2).contains("|商户单号:202412071530001234567|"));
}

QTEST_MAIN(TestParamSettingWin)
#include "TestParamSettingWin.moc"
