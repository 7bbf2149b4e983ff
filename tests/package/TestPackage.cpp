// The Debian package as a shop gets it: built with CPack from this build, listed, unpacked
// into a scratch root (dpkg -x), and its programs run there under Xvfb.
// - The client, run first from a read-only application directory (as root without the right to
//   write past permission bits), and again as root from the directory the package marked as its
//   own, shows its login window and keeps its configuration and logs owner-only in
//   ~/.local/share/tallyport: the first run writes a configuration, a later one keeps the shop's.
// - The training launcher starts the sandbox and the client together: the demo cashier logs in
//   over HTTPS trusting the sandbox's own CA, and both programs end with the launcher.
#include "DesktopSession.h"
#include "IniFileLines.h"

#include <QDir>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QStandardPaths>
#include <QtTest>

#include <csignal>
#include <memory>

#include <linux/capability.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

// A child that meets file permissions as an ordinary user does, also when the tests run as root:
// the capabilities that let root read and write past permission bits leave its bounding set
// before it starts, so the program it runs cannot regain them.
class OrdinaryChildProcess final : public ChildProcess
{
protected:
    void setupChildProcess() override
    {
        ChildProcess::setupChildProcess();
        for (const int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER}) {
            if (::prctl(PR_CAPBSET_DROP, capability, 0, 0, 0) != 0 && ::geteuid() == 0)
                ::_exit(126); // it would run with root's file access: the test must not pass
        }
    }
};

constexpr int kWindowMs = 30000;
const QString kAppDir = QStringLiteral("usr/lib/tallyport");

// Processes running `program` (by its path), or named so when `program` has no "/".
QList<pid_t> processesOf(const QString &program)
{
    QList<pid_t> found;
    const QString wanted = QFileInfo(program).canonicalFilePath();
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        const QString proc = QStringLiteral("/proc/") + entry;
        if (program.contains('/') ? QFileInfo(proc + "/exe").symLinkTarget() == wanted
                                  : readFileBytes(proc + "/comm").trimmed() == program.toUtf8())
            found.append(entry.toInt());
    }
    return found;
}

void endProcessesOf(const QString &program)
{
    for (const pid_t pid : processesOf(program))
        ::kill(pid, SIGTERM);
}

// Runs a tool to its end: its standard output, or a null array when it failed.
QByteArray runTool(const QString &program, const QStringList &arguments, int timeoutMs = 60000)
{
    ChildProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        qWarning("%s failed", qPrintable(program));
        return QByteArray();
    }
    const QByteArray output = process.readAllStandardOutput();
    return output.isNull() ? QByteArray("") : output;
}

} // namespace

class TestPackage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void packageHoldsWhatATillNeeds();
    void installedClientKeepsItsDataInTheUserDataDirectory_data();
    void installedClientKeepsItsDataInTheUserDataDirectory();
    void trainingLauncherStartsTheSandboxAndTheClient();
    void updaterKeepsParametersThatLookLikeToolkitOptions();

private:
    QString installed(const QString &path) const { return m_root + QLatin1Char('/') + path; }
    // A shop user's session: no TALLYPORT_HOME, the XDG directories by default under HOME.
    QProcessEnvironment userEnvironment(const QString &home) const;
    QString window(const char *size) const { return m_desktop.windowWithSize("Tallyport", size); }

    const QString m_artifacts = qEnvironmentVariable("TALLYPORT_ARTIFACTS", QDir::tempPath());
    QTemporaryDir m_work;
    QString m_deb;
    QString m_root;
    DesktopSession m_desktop;
};

void TestPackage::initTestCase()
{
    const QString config = qEnvironmentVariable("TALLYPORT_CPACK_CONFIG");
    QVERIFY2(QFile::exists(config), "TALLYPORT_CPACK_CONFIG names no CPack configuration");
    const QString out = m_work.filePath(QStringLiteral("out"));
    QVERIFY(!runTool("cpack",
        {"--config", config, "-B", m_work.filePath("cpack"), "-D",
            "CPACK_OUTPUT_FILE_PREFIX=" + out},
        300000)
                 .isNull());
    const QStringList debs = QDir(out).entryList({QStringLiteral("tallyport_*.deb")});
    QCOMPARE(debs.size(), 1);
    m_deb = out + QLatin1Char('/') + debs.first();
    m_root = m_work.filePath(QStringLiteral("root"));
    QVERIFY(!runTool("dpkg", {"-x", m_deb, m_root}).isNull());
    QVERIFY2(m_desktop.start(), "Xvfb did not start");
    QVERIFY(QDir().mkpath(m_artifacts));
}

void TestPackage::cleanupTestCase()
{
    // The client starts the keyboard-hook helper detached; end the packaged one only.
    if (!m_root.isEmpty())
        endProcessesOf(installed(kAppDir + "/KeyHook"));
}

void TestPackage::packageHoldsWhatATillNeeds()
{
    // "-rwxr-xr-x root/root 27416 2026-12-07 12:25 ./usr/lib/tallyport/Download"
    QStringList listed;
    for (const QByteArray &line : runTool("dpkg-deb", {"--contents", m_deb}).split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() >= 6)
            listed.append(QString::fromUtf8(fields.at(0) + ' ' + fields.at(5).mid(2)));
    }
    QVERIFY(listed.filter(QRegularExpression(" (?!usr/)")).isEmpty());
    for (const char *program :
        {"tallyport", "tallyport-sandbox", "KeyHook", "Download", "tallyport-training"})
        QVERIFY2(listed.contains("-rwxr-xr-x usr/lib/tallyport/" + QString(program)), program);
    for (const char *file : {"lib/tallyport/pay.wav", "lib/tallyport/installed",
             "share/icons/hicolor/256x256/apps/tallyport.png",
             "share/icons/hicolor/256x256/apps/tallyport-training.png",
             "share/doc/tallyport/README.md", "share/doc/tallyport/cashier.md",
             "share/doc/tallyport/operator.md", "share/doc/tallyport/developer.md",
             "share/doc/tallyport/sandbox.md",
             "share/doc/tallyport/copyright", "share/doc/tallyport/changelog.gz",
             "share/man/man1/tallyport.1.gz", "share/man/man1/tallyport-training.1.gz"})
        QVERIFY2(listed.contains("-rw-r--r-- usr/" + QString(file)), file);
    QVERIFY(readFileBytes(installed(kAppDir + "/pay.wav")).startsWith("RIFF"));
    QVERIFY(!runTool("sh", {"-n", installed(kAppDir + "/tallyport-training")}).isNull());

    // The menu entries are valid and start the commands, which lead into the application
    // directory, with the package's own icons.
    for (const QString name : {"tallyport", "tallyport-training"}) {
        QCOMPARE(QFileInfo(installed("usr/bin/" + name)).canonicalFilePath(),
            QFileInfo(installed(kAppDir + '/' + name)).canonicalFilePath());
        const QString entry = installed("usr/share/applications/" + name + ".desktop");
        QVERIFY(!runTool("desktop-file-validate", {entry}).isNull());
        const QByteArray text = readFileBytes(entry);
        QVERIFY(text.contains("\nExec=" + name.toUtf8() + "\n"));
        QVERIFY(text.contains("\nIcon=" + name.toUtf8() + "\n"));
        QVERIFY(QFile::exists(installed("usr/share/icons/hicolor/scalable/apps/" + name + ".svg")));
    }

    // What the programs link to, and the fonts for the Chinese windows, are declared; apt can
    // install the package from them as it is.
    const QByteArray depends = runTool("dpkg-deb", {"--field", m_deb, "Depends"});
    for (const char *package :
        {"libqt5widgets5", "libqt5serialport5", "libcurl4", "fonts-wqy-microhei"})
        QVERIFY2(depends.contains(package), depends.constData());
    const QByteArray plan
        = runTool("apt-get", {"install", "--simulate", "--no-install-recommends", m_deb});
    QVERIFY2(plan.contains("Inst tallyport"), plan.constData());

    // Debian's own checks find nothing to warn about.
    QVERIFY2(!QStandardPaths::findExecutable("lintian").isEmpty(), "lintian (scripts/setup.sh)");
    const QByteArray tags
        = ChildProcess::output("lintian", {"--tag-display-limit", "0", m_deb}, 300000);
    QVERIFY2(!QRegularExpression("^[EW]: ", QRegularExpression::MultilineOption)
                  .match(QString::fromUtf8(tags))
                  .hasMatch(),
        tags.constData());
}

QProcessEnvironment TestPackage::userEnvironment(const QString &home) const
{
    QProcessEnvironment environment = m_desktop.clientEnvironment(QString());
    for (const char *name : {"TALLYPORT_HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME"})
        environment.remove(QLatin1String(name));
    environment.insert(QStringLiteral("HOME"), home);
    QDir().mkpath(home);
    return environment;
}

void TestPackage::installedClientKeepsItsDataInTheUserDataDirectory_data()
{
    QTest::addColumn<bool>("firstRun");
    // Unpacked without the package's marker: the read-only directory decides.
    QTest::newRow("first run, read-only directory") << true;
    // Root may write anywhere; the marker keeps the package's directory clean.
    QTest::newRow("later run as root, marked directory") << false;
}

void TestPackage::installedClientKeepsItsDataInTheUserDataDirectory()
{
    QFETCH(bool, firstRun);
    const QString appDir = installed(kAppDir);
    const QString marker = appDir + QStringLiteral("/installed");
    const QFileDevice::Permissions readOnly = QFileDevice::ReadOwner | QFileDevice::ExeOwner
        | QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther
        | QFileDevice::ExeOther;
    QVERIFY(QFile::setPermissions(appDir, readOnly | QFileDevice::WriteOwner));
    if (firstRun) {
        QVERIFY(QFile::rename(marker, marker + ".away"));
        QVERIFY(QFile::setPermissions(appDir, readOnly));
    } else {
        QVERIFY(QFile::rename(marker + ".away", marker));
    }
    const QStringList shipped = QDir(appDir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    const QString home = m_work.filePath(QStringLiteral("cashier"));
    const QString data = home + QStringLiteral("/.local/share/tallyport");
    const QString config = data + QStringLiteral("/TallyportConfig.ini");
    QByteArray gateway = "https://127.0.0.1:8443";
    if (!firstRun) { // the shop set its gateway, and someone opened the directory up
        gateway = "https://gateway.shop.test";
        QVERIFY(writeFileBytes(
            config, readFileBytes(config).replace("https://127.0.0.1:8443", gateway)));
        QVERIFY(QFile::setPermissions(data, readOnly | QFileDevice::WriteOwner));
    }
    const bool otherKeyHook = !processesOf(QStringLiteral("KeyHook")).isEmpty();
    const int clicks = readFileBytes(data + "/RecordRun.log").count("点击登录");

    std::unique_ptr<ChildProcess> client
        = firstRun ? std::make_unique<OrdinaryChildProcess>() : std::make_unique<ChildProcess>();
    client->setProcessEnvironment(userEnvironment(home));
    client->setWorkingDirectory(home);
    client->setProcessChannelMode(QProcess::ForwardedChannels);
    client->start(installed(QStringLiteral("usr/bin/tallyport")), QStringList());
    QTRY_VERIFY_WITH_TIMEOUT(!window("520x480").isEmpty(), kWindowMs);
    m_desktop.screenshot(
        m_artifacts + (firstRun ? "/package-login-first.png" : "/package-login-later.png"));

    // The first run pointed the configuration at the sandbox on this machine and its CA, with
    // the built-in hot keys; a later run keeps what the shop set.
    QCOMPARE(permissionBits(data), 0700);
    QCOMPARE(permissionBits(config), 0600);
    const QByteArray text = readFileBytes(config);
    QVERIFY2(text.contains("[GATEWAY_HOST]\r\ngateway_host=" + gateway + "\r\n"), text);
    QVERIFY2(text.contains("ca_bundle=" + QFile::encodeName(data) + "/sandbox/ca.pem\r\n"), text);
    QVERIFY2(
        text.contains("[CASH_HOTKEY]\r\ncash_hotkey=8\r\n[CASH_HOTKEY_ALT]\r\ncash_hotkey_alt=1"),
        text);

    // A login attempt writes the login log there too.
    m_desktop.input(window("520x480"), {"type", "13800000000"});
    m_desktop.input(window("520x480"), {"key", "Tab"});
    m_desktop.input(window("520x480"), {"type", "123456"});
    m_desktop.input(window("520x480"), {"key", "Return"});
    QTRY_VERIFY_WITH_TIMEOUT(
        readFileBytes(data + "/RecordRun.log").count("点击登录") > clicks, kWindowMs);
    // The keyboard-hook helper came from the application directory, its working directory.
    if (!otherKeyHook)
        QTRY_VERIFY_WITH_TIMEOUT(!processesOf(appDir + "/KeyHook").isEmpty(), kWindowMs);
    QCOMPARE(QDir(appDir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), shipped);
    QCOMPARE(client->state(), QProcess::Running);
    client->terminate();
    QVERIFY(client->waitForFinished(10000));
    endProcessesOf(appDir + "/KeyHook");
}

void TestPackage::trainingLauncherStartsTheSandboxAndTheClient()
{
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
    const QString port = QString::number(probe.serverPort());
    probe.close();
    const QString home = m_work.filePath(QStringLiteral("trainee"));
    const QString data = home + QStringLiteral("/.local/share/tallyport");
    QProcessEnvironment environment = userEnvironment(home);
    environment.insert(QStringLiteral("TALLYPORT_SANDBOX_PORT"), port);

    ChildProcess launcher;
    launcher.setProcessEnvironment(environment);
    launcher.setProcessChannelMode(QProcess::ForwardedChannels);
    launcher.start(installed(QStringLiteral("usr/bin/tallyport-training")), QStringList());

    // The demo cashier is filled in: one key logs in against the sandbox.
    QTRY_VERIFY_WITH_TIMEOUT(!window("520x480").isEmpty(), kWindowMs);
    m_desktop.input(window("520x480"), {"key", "Return"});
    QTRY_VERIFY_WITH_TIMEOUT(!window("671x503").isEmpty(), kWindowMs);
    m_desktop.screenshot(m_artifacts + "/package-training.png");
    const QByteArray config = readFileBytes(data + "/training/TallyportConfig.ini");
    QVERIFY2(config.contains("gateway_host=https://127.0.0.1:" + port.toUtf8() + "\r\n"), config);
    QCOMPARE(readFileBytes(data + "/sandbox/journal.jsonl").count("\"path\":\"/api/login\""), 1);
    QCOMPARE(permissionBits(data), 0700);
    // The installed till's first configuration: the built-in hot keys, not three on Alt+F1.
    QVERIFY2(
        config.contains("[CASH_HOTKEY]\r\ncash_hotkey=8\r\n[CASH_HOTKEY_ALT]\r\ncash_hotkey_alt=1"),
        config);

    // Ending the launcher ends the client and the sandbox it started.
    launcher.terminate();
    QVERIFY(launcher.waitForFinished(15000));
    QTRY_VERIFY_WITH_TIMEOUT(processesOf(installed(kAppDir + "/tallyport")).isEmpty(), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(
        processesOf(installed(kAppDir + "/tallyport-sandbox")).isEmpty(), 10000);
    endProcessesOf(installed(kAppDir + "/KeyHook"));
}

void TestPackage::updaterKeepsParametersThatLookLikeToolkitOptions()
{
    // On a display the updater shows what it was given; words of the memo that Qt would take
    // as its own options stay parameters.
    const QString home = m_work.filePath(QStringLiteral("updater"));
    const QString record = home + QStringLiteral("/.local/share/tallyport/Download.jsonl");
    ChildProcess updater;
    updater.setProcessEnvironment(userEnvironment(home));
    updater.setProcessChannelMode(QProcess::ForwardedChannels);
    updater.start(installed(kAppDir + "/Download"),
        {"修复", "-reverse", "-style", "fusion", "-display", "H:0", "2.0", "https://x"});
    QTRY_VERIFY_WITH_TIMEOUT(readFileBytes(record).contains('\n'), kWindowMs);
    const QByteArray kept
        = "\"arguments\":[\"修复\",\"-reverse\",\"-style\",\"fusion\",\"-display\",\"H:0\","
          "\"2.0\",\"https://x\"]";
    QVERIFY2(readFileBytes(record).contains(kept), readFileBytes(record));
    updater.terminate();
    QVERIFY(updater.waitForFinished(10000));
}

QTEST_GUILESS_MAIN(TestPackage)
#include "TestPackage.moc"
