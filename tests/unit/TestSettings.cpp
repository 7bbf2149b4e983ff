#include "ConfigStore.h"
#include "IniFileLines.h"
#include "Settings.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <string>

#include <sys/stat.h>

namespace {

QByteArray q(const std::string &text)
{
    return QByteArray::fromStdString(text);
}

IniEntry entry(const char *section, const char *key, const QString &value)
{
    return {QString::fromLatin1(section), QString::fromLatin1(key), value};
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void loginFirstSaveOnlyCreatesTheFile();
    void loginSaveWritesItsKeysInOrder();
    void loginSaveReplacesValuesInPlace();
    void loginLoadsTheFile();
    void loginDefaultsWithoutFile();
    void loginEmptyCodeMarkersComeBackAsTheirPlaceholders();
    void languageIsAlwaysChinese_data();
    void languageIsAlwaysChinese();

    void checkoutDefaultsWhenKeysAreMissing_data();
    void checkoutDefaultsWhenKeysAreMissing();
    void checkoutReadsTheAdbinfoKeys();
    void checkoutCutsIpAndComAt59Bytes();

    void paramDefaultsWithoutFile();
    void paramMissingKeysReadZeroWhenTheFileExists();
    void paramNegativeHotKeyKeepsTheBuiltInKey_data();
    void paramNegativeHotKeyKeepsTheBuiltInKey();
    void paramPaperWidthIsOneOfTheTwoPapers_data();
    void paramPaperWidthIsOneOfTheTwoPapers();
    void paramSaveCreatesTheFileAndWritesSixteenKeysInOrder();
    void paramSaveRoundTrips();
    void paramAdbinfoSavesNeedTheFile();
    void paramAdbinfoSavesWriteIntoTheExistingSection();

    void upgradeOfferFirstSaveOnlyCreatesTheFile();
    void upgradeOfferSaveWritesItsKeysInOrder();

private:
    QString configPath() const { return m_dir->filePath(QStringLiteral("TallyportConfig.ini")); }
    void writeConfig(const QByteArray &bytes) { QVERIFY(writeFileBytes(configPath(), bytes)); }
    QList<IniEntry> entries() const { return iniEntries(readFileBytes(configPath())); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestSettings::initTestCase()
{
    // A permissive mask, so a file created without explicit permissions would show it.
    ::umask(022);
}

void TestSettings::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    qputenv("TALLYPORT_HOME", QFile::encodeName(m_dir->path()));
}

void TestSettings::cleanup()
{
    m_dir.reset();
}

void TestSettings::loginFirstSaveOnlyCreatesTheFile()
{
    const ConfigStore store(configPath());
    LoginSettings settings;
    settings.username = "13800138000";
    settings.password = "secret";

    QVERIFY(!settings.save(store));
    QVERIFY(QFileInfo::exists(configPath()));
    QCOMPARE(QFileInfo(configPath()).size(), qint64(0));
    QCOMPARE(permissionBits(configPath()), 0600);
}

void TestSettings::loginSaveWritesItsKeysInOrder()
{
    const ConfigStore store(configPath());
    LoginSettings settings;
    settings.powerBoot = true;
    settings.username = "13800138000";
    settings.password = "pa ss";
    settings.download = 1;
    settings.note = 0;
    settings.showWindowTime = 0;
    settings.save(store);

    QVERIFY(settings.save(store));
    // Rewriting the file keeps it readable by its owner only: it holds the password.
    QCOMPARE(permissionBits(configPath()), 0600);
    const QByteArray bytes = readFileBytes(configPath());
    QVERIFY2(hasOnlyCrLfLineEnds(bytes), bytes.constData());
    const QList<IniEntry> expected {
        entry("POWER_BOOT", "power_boot", QStringLiteral("1")),
        entry("USERNAME", "username", QStringLiteral("13800138000")),
        entry("PASSWORD", "password", QStringLiteral("pa ss")),
        entry("CODEHEAD", "codeHead", QStringLiteral(";")),
        entry("CODEEND", "codeEnd", QStringLiteral("[")),
        entry("LANGUAGE", "language", QStringLiteral("1")),
        entry("DOWNLOAD", "download", QStringLiteral("1")),
        entry("NOTE", "note", QStringLiteral("0")),
        entry("WINDOWSHOW", "showWindowTime", QStringLiteral("10")),
    };
    QCOMPARE(iniEntries(bytes), expected);
}

void TestSettings::loginSaveReplacesValuesInPlace()
{
    writeConfig("[PRINTWIDTH]\r\nprintwidth=1\r\n[USERNAME]\r\nusername=old\r\n"
                "[WINDOWSHOW]\r\nshowWindowTime=5\r\n");
    const ConfigStore store(configPath());
    LoginSettings settings = LoginSettings::load(store);
    QCOMPARE(settings.showWindowTime, 5);
    settings.username = "13900139000";
    settings.codeHead = "#";
    settings.codeEnd = "$";
    QVERIFY(settings.save(store));

    const QList<IniEntry> expected {
        entry("PRINTWIDTH", "printwidth", QStringLiteral("1")),
        entry("USERNAME", "username", QStringLiteral("13900139000")),
        entry("WINDOWSHOW", "showWindowTime", QStringLiteral("5")),
        entry("POWER_BOOT", "power_boot", QStringLiteral("0")),
        entry("PASSWORD", "password", QString()),
        entry("CODEHEAD", "codeHead", QStringLiteral("#")),
        entry("CODEEND", "codeEnd", QStringLiteral("$")),
        entry("LANGUAGE", "language", QStringLiteral("1")),
        entry("DOWNLOAD", "download", QStringLiteral("0")),
        entry("NOTE", "note", QStringLiteral("0")),
    };
    QCOMPARE(entries(), expected);
}

void TestSettings::loginLoadsTheFile()
{
    writeConfig(
        "[POWER_BOOT]\r\npower_boot=1\r\n[SUSPENDWINDOW_SHOW]\r\nsuspendwindow_show=1\r\n"
        "[USERNAME]\r\nusername=13800138000\r\n[PASSWORD]\r\npassword=密码 1\r\n"
        "[CODEHEAD]\r\ncodeHead=;;\r\n[CODEEND]\r\ncodeEnd=]\r\n[AUTOLOGIN]\r\nautologin=1\r\n"
        "[WINDOWSHOW]\r\nshowWindowTime=30\r\n[DOWNLOAD]\r\ndownload=1\r\n"
        "[NOTE]\r\nnote=1\r\n[adbinfo]\r\nConnMode=2\r\n");
    const LoginSettings settings = LoginSettings::load(ConfigStore(configPath()));

    QVERIFY(settings.powerBoot);
    QCOMPARE(settings.suspendWindowShow, 1);
    QCOMPARE(q(settings.username), QByteArray("13800138000"));
    QCOMPARE(q(settings.password), QByteArray("密码 1"));
    QCOMPARE(q(settings.codeHead), QByteArray(";;"));
    QCOMPARE(q(settings.codeEnd), QByteArray("]"));
    QCOMPARE(settings.autoLogin, 1);
    QCOMPARE(settings.showWindowTime, 30);
    QCOMPARE(settings.download, 1);
    QCOMPARE(settings.note, 1);
    QCOMPARE(settings.connMode, 2);
    QCOMPARE(settings.language, kLanguageChinese);
}

void TestSettings::loginDefaultsWithoutFile()
{
    const LoginSettings settings = LoginSettings::load(ConfigStore(configPath()));
    QVERIFY(!settings.powerBoot);
    QVERIFY(settings.username.empty());
    QVERIFY(settings.password.empty());
    QVERIFY(settings.codeHead.empty());
    QVERIFY(settings.codeEnd.empty());
    QCOMPARE(settings.showWindowTime, 0);
    QCOMPARE(settings.connMode, 0);
    QCOMPARE(settings.language, kLanguageChinese);
    QVERIFY(!QFileInfo::exists(configPath()));
}

void TestSettings::loginEmptyCodeMarkersComeBackAsTheirPlaceholders()
{
    const ConfigStore store(configPath());
    QVERIFY(store.createEmpty());
    LoginSettings settings;
    QVERIFY(settings.save(store));

    const LoginSettings loaded = LoginSettings::load(store);
    QCOMPARE(q(loaded.codeHead), QByteArray(";"));
    QCOMPARE(q(loaded.codeEnd), QByteArray("["));
    QCOMPARE(loaded.showWindowTime, 10);
}

void TestSettings::languageIsAlwaysChinese_data()
{
    QTest::addColumn<QByteArray>("stored");

    QTest::newRow("english") << QByteArray("2");
    QTest::newRow("vietnamese") << QByteArray("0");
    QTest::newRow("nonsense") << QByteArray("7");
}

void TestSettings::languageIsAlwaysChinese()
{
    QFETCH(QByteArray, stored);

    writeConfig("[LANGUAGE]\r\nlanguage=" + stored + "\r\n");
    const ConfigStore store(configPath());

    LoginSettings login = LoginSettings::load(store);
    QCOMPARE(login.language, kLanguageChinese);
    QCOMPARE(CheckoutSettings::load(store).language, kLanguageChinese);
    QCOMPARE(ParamSettings::load(store).language, kLanguageChinese);

    QVERIFY(login.save(store));
    QCOMPARE(store.readString(QStringLiteral("LANGUAGE"), QStringLiteral("language")),
        QStringLiteral("1"));
}

void TestSettings::checkoutDefaultsWhenKeysAreMissing_data()
{
    QTest::addColumn<bool>("fileExists");
    QTest::addColumn<QByteArray>("file");

    QTest::newRow("no file") << false << QByteArray();
    QTest::newRow("empty file") << true << QByteArray();
    QTest::newRow("other keys only")
        << true << QByteArray("[adbinfo]\r\nother=1\r\n[PRINT]\r\nprint=1\r\n");
}

void TestSettings::checkoutDefaultsWhenKeysAreMissing()
{
    QFETCH(bool, fileExists);
    QFETCH(QByteArray, file);

    if (fileExists)
        writeConfig(file);
    const CheckoutSettings settings = CheckoutSettings::load(ConfigStore(configPath()));
    QCOMPARE(q(settings.ip), QByteArray("192.168.1.160"));
    QCOMPARE(settings.port, 10000);
    QCOMPARE(q(settings.com), QByteArray("COM7"));
    QCOMPARE(settings.connMode, 0);
    QCOMPARE(settings.download, 0);
    QCOMPARE(settings.automicShow, 0);
}

void TestSettings::checkoutReadsTheAdbinfoKeys()
{
    writeConfig("[adbinfo]\r\nIP=10.0.0.8\r\nport=9100\r\nConnMode=1\r\ncom=/dev/ttyS1\r\n"
                "[DOWNLOAD]\r\ndownload=1\r\n[AUTOMICSHOW]\r\nautomicShow=1\r\n");
    const CheckoutSettings settings = CheckoutSettings::load(ConfigStore(configPath()));
    QCOMPARE(q(settings.ip), QByteArray("10.0.0.8"));
    QCOMPARE(settings.port, 9100);
    QCOMPARE(settings.connMode, 1);
    QCOMPARE(q(settings.com), QByteArray("/dev/ttyS1"));
    QCOMPARE(settings.download, 1);
    QCOMPARE(settings.automicShow, 1);
}

void TestSettings::checkoutCutsIpAndComAt59Bytes()
{
    const QByteArray ip(70, '1');
    const QByteArray com = "/dev/" + QByteArray(70, 'c');
    writeConfig("[adbinfo]\r\nIP=" + ip + "\r\ncom=" + com + "\r\n");
    const CheckoutSettings settings = CheckoutSettings::load(ConfigStore(configPath()));
    QCOMPARE(q(settings.ip), ip.left(59));
    QCOMPARE(q(settings.com), com.left(59));
}

void TestSettings::paramDefaultsWithoutFile()
{
    const ParamSettings settings = ParamSettings::load(ConfigStore(configPath()));
    QCOMPARE(settings.cashHotkey, 8);
    QCOMPARE(settings.cashHotkeyAlt, 1);
    QCOMPARE(settings.receiptHotkey, 0);
    QCOMPARE(settings.receiptHotkeyAlt, 1);
    QCOMPARE(settings.reportHotkey, 5);
    QCOMPARE(settings.reportHotkeyAlt, 1);
    QCOMPARE(settings.printWidth, 0);
    QVERIFY(settings.collectMethod.isEmpty());
    QVERIFY(!QFileInfo::exists(configPath()));
}

void TestSettings::paramMissingKeysReadZeroWhenTheFileExists()
{
    writeConfig("[PRINTWIDTH]\r\nprintwidth=1\r\n");
    const ParamSettings settings = ParamSettings::load(ConfigStore(configPath()));
    QCOMPARE(settings.cashHotkey, 0);
    QCOMPARE(settings.cashHotkeyAlt, 0);
    QCOMPARE(settings.receiptHotkey, 0);
    QCOMPARE(settings.receiptHotkeyAlt, 0);
    QCOMPARE(settings.reportHotkey, 0);
    QCOMPARE(settings.reportHotkeyAlt, 0);
    QCOMPARE(settings.printWidth, 1);
    QCOMPARE(settings.printCount, 0);
    QVERIFY(settings.cashSoftware.isEmpty());
}

void TestSettings::paramNegativeHotKeyKeepsTheBuiltInKey_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("cashHotkey");
    QTest::addColumn<int>("reportHotkey");

    QTest::newRow("cash -1") << QByteArray("[CASH_HOTKEY]\r\ncash_hotkey=-1\r\n"
                                           "[REPORT_HOTKEY]\r\nreport_hotkey=3\r\n")
                             << 8 << 3;
    QTest::newRow("report -1") << QByteArray("[CASH_HOTKEY]\r\ncash_hotkey=12\r\n"
                                             "[REPORT_HOTKEY]\r\nreport_hotkey=-1\r\n")
                               << 12 << 5;
    QTest::newRow("zero is taken") << QByteArray("[CASH_HOTKEY]\r\ncash_hotkey=0\r\n"
                                                 "[REPORT_HOTKEY]\r\nreport_hotkey=0\r\n")
                                   << 0 << 0;
    QTest::newRow("last index") << QByteArray("[CASH_HOTKEY]\r\ncash_hotkey=61\r\n"
                                              "[REPORT_HOTKEY]\r\nreport_hotkey=-20\r\n")
                                << 61 << 5;
}

void TestSettings::paramNegativeHotKeyKeepsTheBuiltInKey()
{
    QFETCH(QByteArray, file);
    QFETCH(int, cashHotkey);
    QFETCH(int, reportHotkey);

    writeConfig(file);
    const ParamSettings settings = ParamSettings::load(ConfigStore(configPath()));
    QCOMPARE(settings.cashHotkey, cashHotkey);
    QCOMPARE(settings.reportHotkey, reportHotkey);
}

void TestSettings::paramPaperWidthIsOneOfTheTwoPapers_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<int>("printWidth");

    QTest::newRow("1: 80 mm") << QByteArray("1") << 1;
    QTest::newRow("0: 58 mm") << QByteArray("0") << 0;
    QTest::newRow("5: 58 mm") << QByteArray("5") << 0;
    QTest::newRow("-1: 58 mm") << QByteArray("-1") << 0;
}

void TestSettings::paramPaperWidthIsOneOfTheTwoPapers()
{
    QFETCH(QByteArray, stored);
    QFETCH(int, printWidth);

    writeConfig("[PRINTWIDTH]\r\nprintwidth=" + stored + "\r\n");
    // Kept as stored, laid out on the paper paperWidth() gives.
    const int kept = ParamSettings::load(ConfigStore(configPath())).printWidth;
    QCOMPARE(kept, stored.toInt());
    QCOMPARE(paperWidth(kept), printWidth);
}

void TestSettings::paramSaveCreatesTheFileAndWritesSixteenKeysInOrder()
{
    ParamSettings settings;
    settings.cashHotkey = 9;
    settings.cashHotkeyAlt = 0;
    settings.receiptHotkey = 2;
    settings.receiptHotkeyAlt = 1;
    settings.reportHotkey = 61;
    settings.reportHotkeyAlt = 0;
    settings.cashSoftware = QStringLiteral("/opt/pos/收银.exe");
    settings.suspendWindowShow = 1;
    settings.multiWindowShow = 0;
    settings.printCount = 1;
    settings.collectMethod = QStringLiteral("手动输入");
    settings.guestShow = QStringLiteral("停用");
    settings.printWidth = 1;
    settings.print = 1;
    settings.automicShow = 1;
    settings.autoLogin = 1;
    settings.save(ConfigStore(configPath()));

    QVERIFY(QFileInfo::exists(configPath()));
    QCOMPARE(permissionBits(configPath()), 0600);
    const QByteArray bytes = readFileBytes(configPath());
    QVERIFY2(hasOnlyCrLfLineEnds(bytes), bytes.constData());
    const QList<IniEntry> expected {
        entry("CASH_HOTKEY", "cash_hotkey", QStringLiteral("9")),
        entry("CASH_HOTKEY_ALT", "cash_hotkey_alt", QStringLiteral("0")),
        entry("RECEIPT_HOTKEY", "receipt_hotkey", QStringLiteral("2")),
        entry("RECEIPT_HOTKEY_ALT", "receipt_hotkey_alt", QStringLiteral("1")),
        entry("REPORT_HOTKEY", "report_hotkey", QStringLiteral("61")),
        entry("REPORT_HOTKEY_ALT", "report_hotkey_alt", QStringLiteral("0")),
        entry("CASH_SOFTWARE", "cash_software", QStringLiteral("/opt/pos/收银.exe")),
        entry("SUSPENDWINDOW_SHOW", "suspendwindow_show", QStringLiteral("1")),
        entry("MULTIWINDOW_SHOW", "multiwindow_show", QStringLiteral("0")),
        entry("PRINTCOUNT", "printcount", QStringLiteral("1")),
        entry("COLLECTMETHOD", "collectmethod", QStringLiteral("手动输入")),
        entry("GUESTSHOW", "guestshow", QStringLiteral("停用")),
        entry("PRINTWIDTH", "printwidth", QStringLiteral("1")),
        entry("PRINT", "print", QStringLiteral("1")),
        entry("AUTOMICSHOW", "automicShow", QStringLiteral("1")),
        entry("AUTOLOGIN", "autologin", QStringLiteral("1")),
    };
    QCOMPARE(iniEntries(bytes), expected);
}

void TestSettings::paramSaveRoundTrips()
{
    writeConfig("[adbinfo]\r\nConnMode=1\r\n[USERNAME]\r\nusername=13800138000\r\n");
    const ConfigStore store(configPath());
    ParamSettings settings;
    settings.cashHotkey = 20;
    settings.receiptHotkey = 3;
    settings.reportHotkey = 4;
    settings.cashHotkeyAlt = 0;
    settings.collectMethod = QStringLiteral("COM3");
    settings.guestShow = QStringLiteral("COM4");
    settings.printCount = 1;
    settings.print = 1;
    settings.save(store);

    const ParamSettings loaded = ParamSettings::load(store);
    QCOMPARE(loaded.cashHotkey, 20);
    QCOMPARE(loaded.cashHotkeyAlt, 0);
    QCOMPARE(loaded.receiptHotkey, 3);
    QCOMPARE(loaded.reportHotkey, 4);
    QCOMPARE(loaded.collectMethod, QStringLiteral("COM3"));
    QCOMPARE(loaded.guestShow, QStringLiteral("COM4"));
    QCOMPARE(loaded.printCount, 1);
    QCOMPARE(loaded.print, 1);

    // The keys of other windows stay where they were.
    const QList<IniEntry> all = entries();
    QCOMPARE(all.size(), 18);
    QCOMPARE(all.at(0), entry("adbinfo", "ConnMode", QStringLiteral("1")));
    QCOMPARE(all.at(1), entry("USERNAME", "username", QStringLiteral("13800138000")));
}

void TestSettings::paramAdbinfoSavesNeedTheFile()
{
    const ConfigStore store(configPath());
    ParamSettings::saveCom(store, "COM3");
    ParamSettings::saveIp(store, "10.0.0.9");
    ParamSettings::saveConnMode(store, 2);
    QVERIFY(!QFileInfo::exists(configPath()));
}

void TestSettings::paramAdbinfoSavesWriteIntoTheExistingSection()
{
    writeConfig("[ADBINFO]\r\nport=10001\r\n[PRINT]\r\nprint=0\r\n");
    const ConfigStore store(configPath());
    ParamSettings::saveIp(store, "10.0.0.9");
    ParamSettings::saveCom(store, "/dev/ttyUSB0");
    ParamSettings::saveConnMode(store, 2);

    const QByteArray bytes = readFileBytes(configPath());
    QCOMPARE(iniSections(bytes), QStringList({QStringLiteral("ADBINFO"), QStringLiteral("PRINT")}));
    const QList<IniEntry> expected {
        entry("ADBINFO", "port", QStringLiteral("10001")),
        entry("ADBINFO", "IP", QStringLiteral("10.0.0.9")),
        entry("ADBINFO", "com", QStringLiteral("/dev/ttyUSB0")),
        entry("ADBINFO", "ConnMode", QStringLiteral("2")),
        entry("PRINT", "print", QStringLiteral("0")),
    };
    QCOMPARE(iniEntries(bytes), expected);

    const CheckoutSettings checkout = CheckoutSettings::load(store);
    QCOMPARE(q(checkout.ip), QByteArray("10.0.0.9"));
    QCOMPARE(q(checkout.com), QByteArray("/dev/ttyUSB0"));
    QCOMPARE(checkout.connMode, 2);
    QCOMPARE(checkout.port, 10001);

    ParamSettings::saveConnMode(store, 0);
    QCOMPARE(CheckoutSettings::load(store).connMode, 0);
    QCOMPARE(iniEntries(readFileBytes(configPath())).size(), 5);
}

void TestSettings::upgradeOfferFirstSaveOnlyCreatesTheFile()
{
    UpgradeOffer offer;
    offer.version = QStringLiteral("2.0.1");
    offer.memo = QStringLiteral("修复打印问题");
    offer.url = QStringLiteral("https://h/Tallyport-2.0.1.zip");

    QVERIFY(!offer.save(ConfigStore(configPath())));
    QVERIFY(QFileInfo::exists(configPath()));
    QCOMPARE(QFileInfo(configPath()).size(), qint64(0));
    QCOMPARE(permissionBits(configPath()), 0600);
}

void TestSettings::upgradeOfferSaveWritesItsKeysInOrder()
{
    writeConfig("[USERNAME]\r\nusername=13800138000\r\n");
    UpgradeOffer offer;
    offer.version = QStringLiteral("2.0.1");
    offer.memo = QStringLiteral("修复打印问题");
    offer.url = QStringLiteral("https://h/dl?f=Tallyport-2.0.1.zip");

    QVERIFY(offer.save(ConfigStore(configPath())));
    const QByteArray bytes = readFileBytes(configPath());
    QVERIFY2(hasOnlyCrLfLineEnds(bytes), bytes.constData());
    const QList<IniEntry> expected {
        entry("USERNAME", "username", QStringLiteral("13800138000")),
        entry("VERSION", "version", QStringLiteral("2.0.1")),
        entry("MEMO", "MEMO", QStringLiteral("修复打印问题")),
        entry("URL", "URL", QStringLiteral("https://h/dl?f=Tallyport-2.0.1.zip")),
        entry("NOW_VERSION", "now_version", QStringLiteral("1")),
    };
    QCOMPARE(iniEntries(bytes), expected);
}

QTEST_GUILESS_MAIN(TestSettings)
#include "TestSettings.moc"
