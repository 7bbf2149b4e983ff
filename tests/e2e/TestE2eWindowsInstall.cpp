// The Windows installer under Wine, as a shop uses it: TallyportSetup-VERSION.exe /S into a
// Wine prefix of its own on a real X display; the installed till (with nothing but the DLLs and
// plug-ins it brought) keeps its data in %LOCALAPPDATA%\tallyport, logs in against the sandbox
// gateway on the Linux side and takes a payment; while it runs, setup refuses; the updater
// refuses an offer from a plain http address; its relay refuses an installer whose bytes are not
// those the updater checked, and runs nothing; the updater upgrades the till to a newer installer
// made from the same build (the sandbox offers and serves it) through the till's own leave flow,
// keeping its configuration, ledger and Run value; the upgraded till is started again by the
// updater's relay (its parent process), not by the installer, and the downloaded installer is
// gone; while it runs, the uninstaller refuses; uninstall.exe /S removes exactly the program's
// files, its entries, the Run value and what the upgrade left, keeps the shop's data, and leaves
// another program's files in the same folder alone.
#include "DesktopSession.h"
#include "SandboxProcess.h"
#include "WinePrefix.h"
#include "WineTray.h"
#include "WindowsTillHome.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kNewVersion = QStringLiteral("1.0.1");
const QString kPayingCode = QStringLiteral("134567890123456780"); // paid at once
const QString kCheckoutSize = QStringLiteral("671x503");
const QString kUpdaterTitle = QStringLiteral("Tallyport 升级");
const QString kProgram = QStringLiteral("C:\\Program Files\\Tallyport\\");
const QString kUninstallKey
    = QStringLiteral("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tallyport");
const QString kRunKey = QStringLiteral("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");
// The installed till's path, quoted for its blank.
const QString kRunValue = QStringLiteral("\"C:\\Program Files\\Tallyport\\Tallyport.exe\"");
const QString kTillPath = QStringLiteral("C:\\Program Files\\Tallyport\\Tallyport.exe");
const QString kUpgradeFile = QStringLiteral("TallyportSetup-upgrade.exe");
constexpr int kTrayItems = 8;
constexpr int kCloseKeySize = 30; // the checkout's close key, unscaled at 1366 x 768
constexpr int kStartAtLogonItem = 0;
constexpr int kUpgradeItem = 5;
constexpr int kTimeoutMs = 60000;

} // namespace

class TestE2eWindowsInstall : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();
    void setupInstallsSilently();
    void installedTillKeepsItsDataInLocalAppData();
    void installedTillLogsInAndTakesAPayment();
    void startAtLogonWritesTheRunValue();
    void updaterRefusesAnOfferNotOnTheUpgradeHost();
    void relayRefusesAnInstallerChangedSinceItsCheck();
    void upgradeThroughTheUpdaterKeepsConfigurationAndLedger();
    void uninstallRefusesWhileTheTillRuns();
    void uninstallRemovesTheProgramAndKeepsTheData();

private:
    QString checkout() const { return m_desktop.windowWithSize("Tallyport", kCheckoutSize); }
    bool tillWindowShown() const;
    // A path of the installed program, on the Linux side.
    QString installed(const QString &name) const;
    int wine(const QStringList &arguments, int timeoutMs = 120000) const;
    void startTill();
    void endTill();
    static QString artifact(const QString &name);
    // How often the sandbox was asked for the offered file.
    int downloads() const;
    // Waits for the updater's window, keeps a screenshot, and answers its default key.
    void answerTheUpdater(const QString &screenshot);
    // The Windows process id of the parent of the running `program` (wmic's list), "" when
    // none runs.
    QString parentOf(const QString &program) const;
    // The data directory as the Windows programs name it.
    QString windowsDataPath() const;

    DesktopSession m_desktop;
    SandboxProcess m_sandbox;
    QTemporaryDir m_work;
    std::unique_ptr<WinePrefix> m_wine;
    WindowsTillHome m_data;
    ChildProcess m_till;
    QString m_paidOrder;
    QString m_user;
    QString m_newer;
    bool m_failed = false;
};

QString TestE2eWindowsInstall::installed(const QString &name) const
{
    return m_wine->path() + QStringLiteral("/drive_c/Program Files/Tallyport/") + name;
}

int TestE2eWindowsInstall::wine(const QStringList &arguments, int timeoutMs) const
{
    int code = -1;
    m_wine->run(QStringLiteral("wine"), arguments, &code, timeoutMs);
    return code;
}

bool TestE2eWindowsInstall::tillWindowShown() const
{
    return !m_desktop
                .run(QStringLiteral("xdotool"),
                    {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                        QStringLiteral("--class"), QStringLiteral("tallyport.exe")})
                .isEmpty();
}

void TestE2eWindowsInstall::answerTheUpdater(const QString &screenshot)
{
    QString window;
    QTRY_VERIFY_WITH_TIMEOUT(
        !(window = m_desktop.visibleWindows(kUpdaterTitle).value(0)).isEmpty(), kTimeoutMs);
    m_desktop.screenshot(artifact(screenshot));
    m_desktop.input(window, {QStringLiteral("key"), QStringLiteral("Return")});
}

QString TestE2eWindowsInstall::parentOf(const QString &program) const
{
    // wmic writes UTF-16: "Name  ParentProcessId  ProcessId" and a line a process.
    QProcess wmic;
    wmic.setProcessEnvironment(m_wine->environment());
    wmic.start(QStringLiteral("wine"),
        {QStringLiteral("wmic"), QStringLiteral("process"), QStringLiteral("get"),
            QStringLiteral("Name,ParentProcessId,ProcessId")});
    if (!wmic.waitForFinished(kTimeoutMs))
        return QString();
    const QByteArray bytes = wmic.readAllStandardOutput();
    const QString text = QString::fromUtf16(
        reinterpret_cast<const char16_t *>(bytes.constData()), bytes.size() / 2);
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        const QStringList words = line.simplified().split(QLatin1Char(' '));
        if (words.size() == 3 && words[0].compare(program, Qt::CaseInsensitive) == 0)
            return words[1];
    }
    return QString();
}

QString TestE2eWindowsInstall::windowsDataPath() const
{
    return "C:\\users\\" + m_user + "\\AppData\\Local\\tallyport";
}

int TestE2eWindowsInstall::downloads() const
{
    int count = 0;
    for (const QJsonObject &entry : m_sandbox.journal())
        count += entry.value("path").toString().startsWith(QLatin1String("/download/"));
    return count;
}

QString TestE2eWindowsInstall::artifact(const QString &name)
{
    const QString artifacts = qEnvironmentVariable("TALLYPORT_ARTIFACTS", QDir::tempPath());
    QDir().mkpath(artifacts);
    return artifacts + QLatin1Char('/') + name;
}

void TestE2eWindowsInstall::startTill()
{
    // As the Start-menu entry starts it: no TALLYPORT_HOME, the installed programs only.
    QVERIFY(m_wine->startProgram(m_till, {kProgram + "Tallyport.exe"}, m_work.path()));
}

void TestE2eWindowsInstall::endTill()
{
    // As Windows ends a program; the prefix's server takes KeyHook.exe with a later wineserver
    // -k, and the installer ends a KeyHook.exe left behind.
    wine({QStringLiteral("taskkill"), QStringLiteral("/im"), QStringLiteral("Tallyport.exe"),
        QStringLiteral("/f")});
    QVERIFY(m_till.state() == QProcess::NotRunning || m_till.waitForFinished(kTimeoutMs));
    QTRY_VERIFY_WITH_TIMEOUT(!tillWindowShown(), kTimeoutMs);
}

void TestE2eWindowsInstall::initTestCase()
{
    for (const char *variable :
        {"TALLYPORT_WINDOWS_INSTALLER", "TALLYPORT_MAKE_SETUP", "TALLYPORT_WINE_RUN"}) {
        QVERIFY2(qEnvironmentVariableIsSet(variable),
            "run by the Windows build's CTest, which names the installer and how to make one");
    }
    for (const char *tool : {"wine", "sqlite3", "xdotool", "makensis"}) {
        QVERIFY2(!QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty(),
            "wine, sqlite3, xdotool and makensis are needed (scripts/setup.sh, "
            "scripts/windows-deps.sh)");
    }
    QVERIFY(m_work.isValid());
    // Version N+1: an installer of this same build, numbered higher (zlib: it is made in a few
    // seconds, and the updater does not care how it is packed).
    m_newer = m_work.filePath("TallyportSetup-" + kNewVersion + ".exe");
    QCOMPARE(QProcess::execute(QStringLiteral("sh"),
                 {qEnvironmentVariable("TALLYPORT_MAKE_SETUP"), "-DVERSION=" + kNewVersion,
                     "-DOUTFILE=" + m_newer, QStringLiteral("-XSetCompressor /FINAL zlib")}),
        0);
    m_sandbox.setExtraArgs({"--offer-version", kNewVersion, "--offer-file", m_newer});
    QVERIFY(m_sandbox.start());
    QVERIFY2(m_desktop.start(), "Xvfb did not start");
    m_wine = std::make_unique<WinePrefix>(m_desktop.display(), WinePrefix::Programs::Installed);
    QVERIFY2(m_wine->start({}), "the Wine prefix did not boot");
    m_user = QString::fromLocal8Bit(ChildProcess::output(QStringLiteral("id"), {"-un"})).trimmed();
    m_data
        = WindowsTillHome(m_wine->path() + "/drive_c/users/" + m_user + "/AppData/Local/tallyport");
}

void TestE2eWindowsInstall::cleanupTestCase()
{
    // What a support engineer would ask for, before the prefix goes.
    if (m_failed) {
        const QString kept = artifact(QStringLiteral("e2e-windows-install-data"));
        QDir(kept).removeRecursively();
        QDir().mkpath(kept);
        for (const QFileInfo &file : QDir(m_data.path()).entryInfoList(QDir::Files))
            QFile::copy(file.absoluteFilePath(), kept + QLatin1Char('/') + file.fileName());
        qWarning("the installed till's data are kept in %s", qPrintable(kept));
    }
    // The prefix's server takes the till and its helpers with it.
    m_wine.reset();
    if (!m_till.waitForFinished(10000))
        m_till.kill();
}

void TestE2eWindowsInstall::cleanup()
{
    if (QTest::currentTestFailed() && !m_failed) {
        m_desktop.screenshot(artifact(QStringLiteral("e2e-windows-install-failed.png")));
        m_failed = true;
    }
}

void TestE2eWindowsInstall::setupInstallsSilently()
{
    QCOMPARE(wine({qEnvironmentVariable("TALLYPORT_WINDOWS_INSTALLER"), QStringLiteral("/S")}), 0);
    for (const char *file : {"Tallyport.exe", "KeyHook.exe", "Download.exe", "DownloadRelay.exe",
             "pay.wav", "installed", "uninstall.exe", "Qt5Core.dll", "Qt5Gui.dll", "Qt5Widgets.dll",
             "Qt5Network.dll", "libcurl-4.dll", "zlib1.dll",
             "libstdc++-6.dll", "libgcc_s_seh-1.dll", "libwinpthread-1.dll",
             "platforms/qwindows.dll", "styles/qwindowsvistastyle.dll", "imageformats/qico.dll"})
        QVERIFY2(QFile::exists(installed(QLatin1String(file))), file);
    QVERIFY(QFile::exists(m_wine->path()
        + "/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Tallyport/Tallyport.lnk"));
    QCOMPARE(
        m_wine->registryValue(kUninstallKey, "DisplayVersion"), QStringLiteral(TALLYPORT_VERSION));
    QCOMPARE(m_wine->registryValue(kUninstallKey, "QuietUninstallString"),
        "\"" + kProgram + "uninstall.exe\" /S");
}

void TestE2eWindowsInstall::installedTillKeepsItsDataInLocalAppData()
{
    // Its first start writes the first configuration there and opens its ledger.
    startTill();
    QTRY_VERIFY_WITH_TIMEOUT(tillWindowShown(), kTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(m_data.filePath("ledger.db")), kTimeoutMs);
    QVERIFY(m_data.config().contains("[CASH_HOTKEY]"));
    const QStringList beside = QDir(installed(QString())).entryList(QDir::Files);
    QVERIFY2(beside.filter(QRegularExpression(QStringLiteral("\\.(ini|log|db)$"))).isEmpty(),
        qPrintable(beside.join(' ')));
    m_desktop.screenshot(artifact(QStringLiteral("e2e-windows-installed-login.png")));

    // While it runs, setup refuses and changes nothing.
    QCOMPARE(wine({qEnvironmentVariable("TALLYPORT_WINDOWS_INSTALLER"), QStringLiteral("/S")}), 2);
    QVERIFY(QFile::exists(installed("platforms/qwindows.dll")));
    endTill();
}

void TestE2eWindowsInstall::installedTillLogsInAndTakesAPayment()
{
    // The shop's configuration: the sandbox by name (Schannel matches names only), its CA on
    // Wine's drive Z:, the demo cashier logged in at start.
    QVERIFY(m_sandbox.writeClientConfig(m_data.path(),
        {"[USERNAME]", "username=13800000000", "[PASSWORD]", "password=123456", "[AUTOLOGIN]",
            "autologin=1", "[SUSPENDWINDOW_SHOW]", "suspendwindow_show=0"}));
    QVERIFY(m_data.rewriteConfig(
        {{"https://127.0.0.1:", "https://localhost:"}, {"ca_bundle=/", "ca_bundle=Z:/"}}));
    startTill();
    QTRY_VERIFY_WITH_TIMEOUT(!checkout().isEmpty(), kTimeoutMs);
    for (const QString &text : {QStringLiteral("12.5"), kPayingCode}) {
        m_desktop.input(checkout(), {QStringLiteral("type"), text});
        m_desktop.input(checkout(), {QStringLiteral("key"), QStringLiteral("Return")});
    }
    QTRY_COMPARE_WITH_TIMEOUT(m_sandbox.payRequests().size(), 1, kTimeoutMs);
    QVERIFY2(m_sandbox.payRequests().constFirst().contains("\"total\":\"1250\""),
        qPrintable(m_sandbox.payRequests().constFirst()));
    m_paidOrder = m_sandbox.lastOrderNumber();
    QTRY_COMPARE_WITH_TIMEOUT(m_data.ledgerState(m_paidOrder), QStringLiteral("paid"), kTimeoutMs);
    m_desktop.screenshot(artifact(QStringLiteral("e2e-windows-installed-paid.png")));
    // The card counts down, then the checkout hides.
    QTRY_VERIFY_WITH_TIMEOUT(checkout().isEmpty(), kTimeoutMs);
}

void TestE2eWindowsInstall::startAtLogonWritesTheRunValue()
{
    QVERIFY(WineTray::clickItemUntil(m_desktop, QStringLiteral("Tallyport"), kStartAtLogonItem,
        kTrayItems, artifact(QStringLiteral("e2e-windows-install-tray.png")),
        [this] { return m_data.config().contains("power_boot=1"); }));
    QVERIFY2(
        QTest::qWaitFor([this] { return m_wine->registryValue(kRunKey, "Tallyport") == kRunValue; },
            kTimeoutMs),
        qPrintable(m_wine->registryValue(kRunKey, "Tallyport")));
}

void TestE2eWindowsInstall::updaterRefusesAnOfferNotOnTheUpgradeHost()
{
    // The offer's own file, but over plain http: refused before anything is fetched.
    ChildProcess updater;
    QVERIFY(m_wine->startProgram(updater,
        {kProgram + "Download.exe", QStringLiteral("修复"), kNewVersion,
            QStringLiteral("http://localhost:%1/download/TallyportSetup-%2.exe")
                .arg(m_sandbox.port())
                .arg(kNewVersion)},
        m_work.path()));
    answerTheUpdater(QStringLiteral("e2e-windows-updater-refuses.png"));
    if (QTest::currentTestFailed())
        return;
    QVERIFY(updater.waitForFinished(kTimeoutMs));
    QCOMPARE(updater.exitCode(), 1);
    QVERIFY2(m_data.log().contains(QStringLiteral("升级: 已拒绝: 下载地址不是 https")),
        qPrintable(m_data.log().right(400)));
    QCOMPARE(downloads(), 0);
    QCOMPARE(m_till.state(), QProcess::Running);
}

void TestE2eWindowsInstall::relayRefusesAnInstallerChangedSinceItsCheck()
{
    // As the updater leaves it to its relay: the installer it checked (version N+1) saved in
    // the data folder, and that check's SHA-256. Meanwhile another program put other bytes
    // there (the same installer, one byte changed). The relay checks again while it holds the
    // file, refuses, and runs nothing.
    QFile newer(m_newer);
    QVERIFY(newer.open(QIODevice::ReadOnly));
    QByteArray bytes = newer.readAll();
    const QString checked
        = QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
    bytes[bytes.size() - 1] = char(bytes.at(bytes.size() - 1) ^ 0x5a);
    QFile swapped(m_data.filePath(kUpgradeFile));
    QVERIFY(swapped.open(QIODevice::WriteOnly) && swapped.write(bytes) == bytes.size());
    swapped.close();
    ChildProcess relay;
    QVERIFY(m_wine->startProgram(relay,
        {kProgram + "DownloadRelay.exe", windowsDataPath() + "\\" + kUpgradeFile, checked,
            kTillPath, windowsDataPath(), QStringLiteral("0")},
        m_work.path()));
    answerTheUpdater(QStringLiteral("e2e-windows-relay-refuses.png"));
    if (QTest::currentTestFailed())
        return;
    QVERIFY(relay.waitForFinished(kTimeoutMs));
    QCOMPARE(relay.exitCode(), 1);
    QVERIFY2(m_data.log().contains(QStringLiteral("升级: 已拒绝: 安装程序在检查之后被改动")),
        qPrintable(m_data.log().right(400)));
    QVERIFY(!m_data.log().contains(QStringLiteral("升级: 安装程序已启动")));
    QCOMPARE(
        m_wine->registryValue(kUninstallKey, "DisplayVersion"), QStringLiteral(TALLYPORT_VERSION));
    QVERIFY(!QFile::exists(m_data.filePath(kUpgradeFile)));
    // The till it starts again (the person waits for it) finds this one running and ends.
    QCOMPARE(m_till.state(), QProcess::Running);
}

void TestE2eWindowsInstall::upgradeThroughTheUpdaterKeepsConfigurationAndLedger()
{
    const QByteArray login = "username=13800000000";
    QVERIFY(m_data.config().contains(login));
    const int logBefore = m_data.log().size();
    // The tray's upgrade check: the sandbox offers N+1, the till starts Download.exe with it,
    // and the updater asks.
    QVERIFY(WineTray::clickItem(m_desktop, QStringLiteral("Tallyport"), kUpgradeItem, kTrayItems,
        artifact(QStringLiteral("e2e-windows-upgrade-tray.png"))));
    answerTheUpdater(QStringLiteral("e2e-windows-upgrade-question.png"));
    if (QTest::currentTestFailed())
        return;

    // The till leaves through its leave flow, the relay runs the installer, which replaces it,
    // and starts it again.
    QVERIFY(m_till.waitForFinished(kTimeoutMs));
    QTRY_COMPARE_WITH_TIMEOUT(
        m_wine->registryValue(kUninstallKey, "DisplayVersion"), kNewVersion, 2 * kTimeoutMs);
    // The new till logs in by itself and shows its checkout.
    QTRY_VERIFY_WITH_TIMEOUT(!checkout().isEmpty(), kTimeoutMs);
    const QString log = m_data.log().mid(logBefore);
    const QRegularExpression tillStarted(
        QStringLiteral("升级: 升级程序 \\(进程 (\\d+)\\) 启动收银程序 ")
        + QRegularExpression::escape(kTillPath));
    for (const QString &line :
        {QStringLiteral("升级: 下载 https://localhost:"), QStringLiteral("升级程序请求退出"),
            QStringLiteral("升级: 安装交给升级中继 "), QStringLiteral("升级: 安装程序已启动"),
            QStringLiteral("升级: 安装程序已结束 (退出码 0)")})
        QVERIFY2(log.contains(line), qPrintable(line + "\n" + log.right(900)));
    const QString relayPid = tillStarted.match(log).captured(1);
    QVERIFY2(!relayPid.isEmpty(), qPrintable(log.right(900)));
    // The till was started by the relay, which runs as the user who asked for the upgrade (the
    // till's parent process), not by the installer, which runs with administrator rights on a
    // Windows with UAC (which Wine does not have).
    QCOMPARE(parentOf(QStringLiteral("Tallyport.exe")), relayPid);
    // The downloaded installer went once it had run; the relay's copy stays until the next
    // upgrade or the uninstaller.
    QVERIFY(!QFile::exists(m_data.filePath(kUpgradeFile)));
    QVERIFY(QFile::exists(m_data.filePath("updater/DownloadRelay.exe")));
    QCOMPARE(downloads(), 1);
    // The shop's configuration and ledger are those of before.
    QVERIFY(m_data.config().contains(login));
    QVERIFY(m_data.config().contains("ca_bundle=Z:/"));
    QVERIFY(m_data.config().contains("power_boot=1"));
    QCOMPARE(m_wine->registryValue(kRunKey, "Tallyport"), kRunValue);
    QCOMPARE(m_data.ledgerState(m_paidOrder), QStringLiteral("paid"));
    m_desktop.screenshot(artifact(QStringLiteral("e2e-windows-upgraded.png")));
}

void TestE2eWindowsInstall::uninstallRefusesWhileTheTillRuns()
{
    // Run in place (_?=, the directory's short name: the parameter takes no quotes), the
    // uninstaller's exit code is its own: 2, the refusal's, and nothing is removed.
    QVERIFY(!checkout().isEmpty());
    QCOMPARE(wine({kProgram + "uninstall.exe", QStringLiteral("/S"),
                 QStringLiteral("_?=C:\\PROGRA~1\\Tallyport")}),
        2);
    QVERIFY(QFile::exists(installed("Tallyport.exe")));
    QCOMPARE(m_wine->registryValue(kUninstallKey, "DisplayName"), QStringLiteral("Tallyport"));
}

void TestE2eWindowsInstall::uninstallRemovesTheProgramAndKeepsTheData()
{
    endTill();
    // Another program's files in the same folder: a DLL beside ours, a plug-in in one of our
    // plug-in folders, a file of its own.
    const QStringList foreign {QStringLiteral("foreign.dll"),
        QStringLiteral("imageformats/qforeign.dll"), QStringLiteral("foreign.txt")};
    for (const QString &name : foreign) {
        QFile file(installed(name));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("another program's\r\n") > 0);
    }
    // The uninstaller goes on in a copy of itself: its end is seen in the files.
    wine({installed("uninstall.exe"), QStringLiteral("/S")});
    QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(installed("Tallyport.exe")), kTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(installed("platforms")), kTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(m_wine->path()
                                 + "/drive_c/ProgramData/Microsoft/Windows/Start "
                                   "Menu/Programs/Tallyport"),
        kTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(
        m_wine->registryValue(kUninstallKey, "DisplayName"), QString(), kTimeoutMs);
    QCOMPARE(m_wine->registryValue(kRunKey, "Tallyport"), QString());
    // Exactly the program's files went: the other program's stay, in their folders.
    QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(installed("uninstall.exe")), kTimeoutMs);
    QCOMPARE(QDir(installed(QString())).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
        QStringList({"foreign.dll", "foreign.txt", "imageformats"}));
    QCOMPARE(QDir(installed("imageformats")).entryList(QDir::Files), QStringList {"qforeign.dll"});
    // What the upgrade left is the program's, and goes with it; the shop's data stay.
    QVERIFY(!QFile::exists(m_data.filePath("updater")));
    QVERIFY(!QFile::exists(m_data.filePath(kUpgradeFile)));
    QVERIFY(QFile::exists(m_data.filePath("TallyportConfig.ini")));
    QCOMPARE(m_data.ledgerState(m_paidOrder), QStringLiteral("paid"));
}

QTEST_GUILESS_MAIN(TestE2eWindowsInstall)
#include "TestE2eWindowsInstall.moc"
