// The Debian package as a shop gets it: built with CPack from this build, its content and
// dependencies, unpacked into a scratch root, and the unpacked programs run under Xvfb.
// - The client started from a read-only application directory (as root without the right to
//   write past permission bits), and as root from the directory the package marked as its
//   own, shows its login window and keeps its configuration and run logs owner-only in the
//   user's data directory, ~/.local/share/tallyport.
// - The training launcher starts the sandbox and the client together: the demo cashier logs
//   in over HTTPS trusting the sandbox's own CA, and both programs end with the launcher.
#include "DesktopSession.h"
#include "OrdinaryChildProcess.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <memory>

#include <sys/stat.h>

namespace {

constexpr int kWindowMs = 30000;
const QString kAppDir = QStringLiteral("usr/lib/tallyport");

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int permissionBits(const QString &path)
{
    struct stat info
    {
    };
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? (info.st_mode & 07777) : -1;
}

// Processes whose executable is `program` (a path inside the scratch root).
QList<pid_t> processesOf(const QString &program)
{
    QList<pid_t> found;
    const QString wanted = QFileInfo(program).canonicalFilePath();
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool isPid = false;
        const pid_t pid = entry.toInt(&isPid);
        if (isPid && QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget() == wanted)
            found.append(pid);
    }
    return found;
}

bool anyProcessNamed(const QString &name)
{
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        if (readBytes(QStringLiteral("/proc/%1/comm").arg(entry)).trimmed() == name.toUtf8())
            return true;
    }
    return false;
}

void endProcessesOf(const QString &program)
{
    for (const pid_t pid : processesOf(program))
        ::kill(pid, SIGTERM);
}

void endChild(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(10000))
        process.kill();
    process.waitForFinished(2000);
}

// Runs a tool to its end; its standard output, or a null array when it failed.
QByteArray runTool(const QString &program, const QStringList &arguments, int timeoutMs = 60000)
{
    ChildProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(2000);
        qWarning("%s did not finish", qPrintable(program));
        return QByteArray();
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        qWarning("%s failed with %d", qPrintable(program), process.exitCode());
        return QByteArray();
    }
    QByteArray output = process.readAllStandardOutput();
    return output.isNull() ? QByteArray("") : output;
}

quint16 freePort()
{
    QTcpServer server;
    return server.listen(QHostAddress::LocalHost, 0) ? server.serverPort() : 0;
}

bool listens(quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    return socket.waitForConnected(2000);
}

} // namespace

class TestPackage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void packageHoldsWhatATillNeeds();
    void dependenciesAreDeclared();
    void desktopEntriesStartTheInstalledCommands();
    void installedClientKeepsItsDataInTheUserDataDirectory_data();
    void installedClientKeepsItsDataInTheUserDataDirectory();
    void trainingLauncherStartsTheSandboxAndTheClient();

private:
    QString artifact(const QString &name) const;
    QString installed(const QString &path) const { return m_root + QLatin1Char('/') + path; }
    QProcessEnvironment userEnvironment(const QString &home) const;
    QString loginWindow() const;

    QTemporaryDir m_work;
    QString m_deb;
    QString m_root;
    QStringList m_paths;
    DesktopSession m_desktop;
    bool m_otherKeyHook = false;
};

QString TestPackage::artifact(const QString &name) const
{
    const QString dir = qEnvironmentVariable("TALLYPORT_ARTIFACTS", QDir::tempPath());
    QDir().mkpath(dir);
    return dir + QLatin1Char('/') + name;
}

void TestPackage::initTestCase()
{
    QVERIFY(m_work.isValid());
    const QString config = qEnvironmentVariable("TALLYPORT_CPACK_CONFIG");
    QVERIFY2(QFile::exists(config), "TALLYPORT_CPACK_CONFIG names no CPack configuration");
    const QString out = m_work.filePath(QStringLiteral("out"));
    QVERIFY(!runTool(QStringLiteral("cpack"),
        {"--config", config, "-B", m_work.filePath(QStringLiteral("cpack")), "-D",
            "CPACK_OUTPUT_FILE_PREFIX=" + out},
        300000)
                 .isNull());
    const QStringList debs = QDir(out).entryList({QStringLiteral("tallyport_*.deb")});
    QCOMPARE(debs.size(), 1);
    m_deb = out + QLatin1Char('/') + debs.first();
    qInfo("package %s, %lld bytes", qPrintable(debs.first()), QFileInfo(m_deb).size());

    // "drwxr-xr-x root/root 0 2026-12-07 12:25 ./usr/bin/tallyport -> ../lib/..."
    const QByteArray listing = runTool(QStringLiteral("dpkg-deb"), {"--contents", m_deb});
    QVERIFY(!listing.isEmpty());
    for (const QByteArray &line : listing.split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() >= 6)
            m_paths.append(QString::fromUtf8(fields.at(0).left(1) + fields.at(5).mid(2)));
    }

    m_root = m_work.filePath(QStringLiteral("root"));
    QVERIFY(!runTool(QStringLiteral("dpkg"), {"-x", m_deb, m_root}).isNull());
    QVERIFY2(m_desktop.start(), "Xvfb did not start");
    // A keyboard-hook helper already running keeps the client from starting its own.
    m_otherKeyHook = anyProcessNamed(QStringLiteral("KeyHook"));
}

void TestPackage::cleanupTestCase()
{
    // The keyboard-hook helper is started detached by the client; end the packaged one only.
    if (!m_root.isEmpty())
        endProcessesOf(installed(kAppDir + QStringLiteral("/KeyHook")));
}

void TestPackage::packageHoldsWhatATillNeeds()
{
    // Type letter and path of every entry that matters; "-" a file, "l" a link.
    const QStringList expected {
        "-usr/lib/tallyport/tallyport",
        "-usr/lib/tallyport/tallyport-sandbox",
        "-usr/lib/tallyport/KeyHook",
        "-usr/lib/tallyport/Download",
        "-usr/lib/tallyport/pay.wav",
        "-usr/lib/tallyport/tallyport-training",
        "-usr/lib/tallyport/installed",
        "lusr/bin/tallyport",
        "lusr/bin/tallyport-training",
        "-usr/share/applications/tallyport.desktop",
        "-usr/share/applications/tallyport-training.desktop",
        "-usr/share/icons/hicolor/scalable/apps/tallyport.svg",
        "-usr/share/icons/hicolor/256x256/apps/tallyport.png",
        "-usr/share/icons/hicolor/scalable/apps/tallyport-training.svg",
        "-usr/share/icons/hicolor/256x256/apps/tallyport-training.png",
        "-usr/share/doc/tallyport/README.md",
        "-usr/share/doc/tallyport/sandbox.md",
        "-usr/share/doc/tallyport/copyright",
    };
    for (const QString &path : expected)
        QVERIFY2(m_paths.contains(path), qPrintable(path + " is not in the package"));
    for (const QString &path : m_paths)
        QVERIFY2(path.mid(1).startsWith(QLatin1String("usr/")), qPrintable(path));

    for (const char *program :
        {"tallyport", "tallyport-sandbox", "KeyHook", "Download", "tallyport-training"})
        QCOMPARE(
            permissionBits(installed(kAppDir + QLatin1Char('/') + QLatin1String(program))), 0755);
    QCOMPARE(permissionBits(installed(kAppDir + QStringLiteral("/pay.wav"))), 0644);
    QVERIFY(readBytes(installed(kAppDir + QStringLiteral("/pay.wav"))).startsWith("RIFF"));
    // The commands on the PATH lead into the application directory.
    QCOMPARE(QFileInfo(installed(QStringLiteral("usr/bin/tallyport"))).canonicalFilePath(),
        QFileInfo(installed(kAppDir + QStringLiteral("/tallyport"))).canonicalFilePath());
    QVERIFY(!runTool(QStringLiteral("sh"), {"-n", installed(kAppDir + "/tallyport-training")})
                 .isNull());
    // Stripped: the package carries no debugging sections.
    const QByteArray sections
        = runTool(QStringLiteral("objdump"), {"-h", installed(kAppDir + "/tallyport")});
    QVERIFY(!sections.isEmpty());
    QVERIFY(!sections.contains(".debug_info"));
}

void TestPackage::dependenciesAreDeclared()
{
    const QString depends
        = QString::fromUtf8(runTool(QStringLiteral("dpkg-deb"), {"--field", m_deb, "Depends"}));
    for (const char *package : {"libqt5widgets5", "libqt5gui5", "libqt5network5",
             "libqt5printsupport5", "libqt5serialport5", "libqt5x11extras5", "libcurl4", "libssl3",
             "libsqlite3-0", "libcpp-httplib", "fonts-wqy-microhei"})
        QVERIFY2(depends.contains(QLatin1String(package)),
            qPrintable(QLatin1String(package) + " missing in: " + depends));
    // Every dependency can be met here: apt would install the package as it is.
    const QByteArray plan = runTool(QStringLiteral("apt-get"),
        {"install", "--simulate", "--no-install-recommends", "-o", "Debug::NoLocking=1", m_deb});
    QVERIFY2(plan.contains("Inst tallyport"), plan.constData());
}

void TestPackage::desktopEntriesStartTheInstalledCommands()
{
    for (const QByteArray &name : {QByteArray("tallyport"), QByteArray("tallyport-training")}) {
        const QString entry = installed(
            QStringLiteral("usr/share/applications/%1.desktop").arg(QString::fromLatin1(name)));
        QVERIFY2(
            !runTool(QStringLiteral("desktop-file-validate"), {entry}).isNull(), qPrintable(entry));
        const QByteArray text = readBytes(entry);
        QVERIFY(text.contains("\nExec=" + name + '\n'));
        QVERIFY(text.contains("\nIcon=" + name + '\n'));
        QVERIFY(
            QFile::exists(installed(QStringLiteral("usr/bin/%1").arg(QString::fromLatin1(name)))));
        QVERIFY(
            QFile::exists(installed(QStringLiteral("usr/share/icons/hicolor/scalable/apps/%1.svg")
                                        .arg(QString::fromLatin1(name)))));
    }
    QVERIFY(readBytes(installed("usr/share/applications/tallyport-training.desktop"))
                .contains("Name=Tallyport Training"));
}

QProcessEnvironment TestPackage::userEnvironment(const QString &home) const
{
    // A shop user's session: no TALLYPORT_HOME, the default XDG directories under HOME.
    QProcessEnvironment environment = m_desktop.clientEnvironment(QString());
    environment.remove(QStringLiteral("TALLYPORT_HOME"));
    environment.remove(QStringLiteral("XDG_DATA_HOME"));
    environment.remove(QStringLiteral("XDG_CONFIG_HOME"));
    environment.remove(QStringLiteral("TALLYPORT_SANDBOX_PORT"));
    environment.insert(QStringLiteral("HOME"), home);
    return environment;
}

QString TestPackage::loginWindow() const
{
    return m_desktop.windowWithSize(QStringLiteral("Tallyport"), QStringLiteral("520x480"));
}

void TestPackage::installedClientKeepsItsDataInTheUserDataDirectory_data()
{
    QTest::addColumn<bool>("ordinaryUser");
    QTest::addColumn<bool>("marked");
    // Unpacked by hand, without the package's marker: the read-only directory decides.
    QTest::newRow("an ordinary user, read-only directory") << true << false;
    // Root may write anywhere; the marker keeps the package's directory clean.
    QTest::newRow("root, the package's directory") << false << true;
}

void TestPackage::installedClientKeepsItsDataInTheUserDataDirectory()
{
    QFETCH(bool, ordinaryUser);
    QFETCH(bool, marked);
    const QString appDir = installed(kAppDir);
    const QString marker = appDir + QStringLiteral("/installed");
    const QFileDevice::Permissions readOnly = QFileDevice::ReadOwner | QFileDevice::ExeOwner
        | QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther
        | QFileDevice::ExeOther;
    QVERIFY(QFile::setPermissions(appDir, readOnly | QFileDevice::WriteOwner));
    if (marked && !QFile::exists(marker))
        QVERIFY(QFile::rename(marker + QStringLiteral(".away"), marker));
    if (!marked && QFile::exists(marker))
        QVERIFY(QFile::rename(marker, marker + QStringLiteral(".away")));
    if (ordinaryUser)
        QVERIFY(QFile::setPermissions(appDir, readOnly));
    const QStringList shipped = QDir(appDir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    const QString home = m_work.filePath(QStringLiteral("cashier-%1").arg(QTest::currentDataTag()));
    QVERIFY(QDir().mkpath(home));
    const QString data = home + QStringLiteral("/.local/share/tallyport");

    std::unique_ptr<ChildProcess> started = ordinaryUser ? std::make_unique<OrdinaryChildProcess>()
                                                         : std::make_unique<ChildProcess>();
    ChildProcess &client = *started;
    client.setProcessEnvironment(userEnvironment(home));
    client.setWorkingDirectory(home);
    client.setProcessChannelMode(QProcess::ForwardedChannels);
    client.start(installed(QStringLiteral("usr/bin/tallyport")), QStringList());
    QVERIFY(client.waitForStarted(10000));

    QTRY_VERIFY_WITH_TIMEOUT(!loginWindow().isEmpty(), kWindowMs);
    if (ordinaryUser)
        QVERIFY(m_desktop.screenshot(artifact(QStringLiteral("package-login.png"))));

    // The first run pointed the configuration at the sandbox on this machine and its CA.
    const QString config = data + QStringLiteral("/TallyportConfig.ini");
    QVERIFY(QFile::exists(config));
    QCOMPARE(permissionBits(data), 0700);
    QCOMPARE(permissionBits(config), 0600);
    const QByteArray text = readBytes(config);
    QVERIFY2(text.contains("[GATEWAY_HOST]\r\ngateway_host=https://127.0.0.1:8443\r\n"), text);
    QVERIFY2(text.contains(
                 "[CA_BUNDLE]\r\nca_bundle=" + QFile::encodeName(data) + "/sandbox/ca.pem\r\n"),
        text);

    // A login attempt writes the login log into the same directory.
    const QString window = loginWindow();
    m_desktop.typeText(window, QStringLiteral("13800000000"));
    m_desktop.pressKeys(window, {"Tab"});
    m_desktop.typeText(window, QStringLiteral("123456"));
    m_desktop.pressKeys(window, {"Return"});
    QTRY_VERIFY_WITH_TIMEOUT(
        readBytes(data + QStringLiteral("/RecordRun.log")).contains("点击登录"), kWindowMs);
    QCOMPARE(permissionBits(config), 0600);

    // The keyboard-hook helper came from the application directory.
    if (!m_otherKeyHook) {
        QTRY_VERIFY_WITH_TIMEOUT(
            !processesOf(appDir + QStringLiteral("/KeyHook")).isEmpty(), kWindowMs);
    }
    QCOMPARE(QDir(appDir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), shipped);
    QCOMPARE(client.state(), QProcess::Running);
    endChild(client);
    endProcessesOf(appDir + QStringLiteral("/KeyHook"));
    QVERIFY(QFile::setPermissions(appDir, readOnly | QFileDevice::WriteOwner));
}

void TestPackage::trainingLauncherStartsTheSandboxAndTheClient()
{
    const quint16 port = freePort();
    QVERIFY(port != 0);
    const QString home = m_work.filePath(QStringLiteral("trainee"));
    QVERIFY(QDir().mkpath(home));
    const QString data = home + QStringLiteral("/.local/share/tallyport");
    QProcessEnvironment environment = userEnvironment(home);
    environment.insert(QStringLiteral("TALLYPORT_SANDBOX_PORT"), QString::number(port));

    ChildProcess launcher;
    launcher.setProcessEnvironment(environment);
    launcher.setWorkingDirectory(home);
    launcher.setProcessChannelMode(QProcess::ForwardedChannels);
    launcher.start(installed(QStringLiteral("usr/bin/tallyport-training")), QStringList());
    QVERIFY(launcher.waitForStarted(10000));

    // The demo cashier is filled in: one key logs in against the sandbox.
    QTRY_VERIFY_WITH_TIMEOUT(!loginWindow().isEmpty(), kWindowMs);
    m_desktop.pressKeys(loginWindow(), {"Return"});
    QTRY_VERIFY_WITH_TIMEOUT(
        !m_desktop.windowWithSize(QStringLiteral("Tallyport"), QStringLiteral("671x503")).isEmpty(),
        kWindowMs);
    QVERIFY(m_desktop.screenshot(artifact(QStringLiteral("package-training.png"))));

    const QString training = data + QStringLiteral("/training");
    const QByteArray config = readBytes(training + QStringLiteral("/TallyportConfig.ini"));
    QVERIFY2(config.contains("gateway_host=https://127.0.0.1:" + QByteArray::number(port) + "\r\n"),
        config);
    QVERIFY(QFile::exists(data + QStringLiteral("/sandbox/ca.pem")));
    QVERIFY(readBytes(training + QStringLiteral("/RecordRun.log")).contains("登录成功"));
    int logins = 0;
    for (const QByteArray &line :
        readBytes(data + QStringLiteral("/sandbox/journal.jsonl")).split('\n'))
        logins += QJsonDocument::fromJson(line)["path"].toString() == QLatin1String("/api/login");
    QCOMPARE(logins, 1);
    QCOMPARE(permissionBits(data), 0700);

    // Ending the launcher ends the client and the sandbox it started.
    launcher.terminate();
    QVERIFY(launcher.waitForFinished(15000));
    QTRY_VERIFY_WITH_TIMEOUT(!listens(port), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(processesOf(installed(kAppDir + "/tallyport")).isEmpty(), 10000);
    endProcessesOf(installed(kAppDir + QStringLiteral("/KeyHook")));
}

QTEST_GUILESS_MAIN(TestPackage)
#include "TestPackage.moc"
