// The tray menu of the real client on a real X display with a tray host (trayer): after the
// automatic login the icon sits in the tray; its menu is opened with a right click and its
// items are clicked where they are drawn. "开机自动运行" adds and removes the autostart entry;
// "升级版本" asks the sandbox (offering 2.0), records the offer, hides the main window and
// starts the Download stand-in, whose window shows the parameters.
#include "DesktopSession.h"
#include "SandboxProcess.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

namespace {

constexpr int kTrayItems = 7;
constexpr int kStartAtBootItem = 0;
constexpr int kUpgradeItem = 5;

struct UpdaterRun
{
    qint64 pid = 0;
    QStringList arguments;
};

QList<UpdaterRun> updaterRuns(const QString &home)
{
    QList<UpdaterRun> runs;
    QFile file(home + QStringLiteral("/Download.jsonl"));
    if (!file.open(QIODevice::ReadOnly))
        return runs;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QJsonDocument record = QJsonDocument::fromJson(line);
        if (!record.isObject())
            continue;
        UpdaterRun run;
        run.pid = record["pid"].toVariant().toLongLong();
        for (const QJsonValue &value : record["arguments"].toArray())
            run.arguments.append(value.toString());
        runs.append(run);
    }
    return runs;
}

QString readText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// A process that has not ended (an ended one not yet collected is a zombie: "Z").
bool isRunning(qint64 pid, const QString &name)
{
    const QString stat = readText(QStringLiteral("/proc/%1/stat").arg(pid));
    const int afterName = stat.lastIndexOf(QLatin1Char(')'));
    return afterName > 0 && stat.mid(afterName + 2, 1) != QLatin1String("Z")
        && stat.contains(QLatin1Char('(') + name + QLatin1Char(')'));
}

} // namespace

class TestE2eTray : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void trayIconAppearsAfterLogin();
    void startAtBootFollowsTheTrayItem();
    void upgradeFromTheTrayStartsTheUpdater();

private:
    QString artifact(const QString &name) const;
    QString mainWindowId() const;
    QRect trayIcon() const;
    QRect openMenu() const;
    bool clickTrayItem(int index, const QString &screenshot = QString());
    QString config() const { return readText(m_home.filePath("TallyportConfig.ini")); }

    DesktopSession m_desktop;
    ChildProcess m_trayHost;
    SandboxProcess m_sandbox {{QStringLiteral("--offer-version"), QStringLiteral("2.0")}};
    QTemporaryDir m_home;
    QTemporaryDir m_userConfig;
    ChildProcess m_client;
};

QString TestE2eTray::artifact(const QString &name) const
{
    const QString dir = qEnvironmentVariable("TALLYPORT_ARTIFACTS", QDir::tempPath());
    QDir().mkpath(dir);
    return dir + QLatin1Char('/') + name;
}

QString TestE2eTray::mainWindowId() const
{
    return m_desktop.windowWithSize(QStringLiteral("Tallyport"), QStringLiteral("671x503"));
}

QRect TestE2eTray::trayIcon() const
{
    // The icon is the client's small window docked in the tray host's panel along the top.
    for (const QString &id : m_desktop.visibleWindowsOfClass(QStringLiteral("tallyport"))) {
        const QRect geometry = m_desktop.windowGeometry(id);
        if (geometry.isValid() && geometry.height() <= 32 && geometry.top() < 32)
            return geometry;
    }
    return QRect();
}

QRect TestE2eTray::openMenu() const
{
    for (const QString &id : m_desktop.visibleWindowsOfClass(QStringLiteral("tallyport"))) {
        const QRect geometry = m_desktop.windowGeometry(id);
        if (geometry.height() >= kTrayItems * 15 && geometry.width() < 400)
            return geometry;
    }
    return QRect();
}

bool TestE2eTray::clickTrayItem(int index, const QString &screenshot)
{
    const QRect icon = trayIcon();
    if (!icon.isValid())
        return false;
    m_desktop.run("xdotool",
        {"mousemove", QString::number(icon.center().x()), QString::number(icon.center().y()),
            "click", "3"});
    QRect menu;
    if (!QTest::qWaitFor([&] { return (menu = openMenu()).isValid(); }, 10000))
        return false;
    if (!screenshot.isEmpty())
        m_desktop.screenshot(artifact(screenshot));
    // The items share the menu's height; the click lands in the middle of the one wanted.
    const int y = menu.top() + (2 * index + 1) * menu.height() / (2 * kTrayItems);
    m_desktop.run("xdotool",
        {"mousemove", QString::number(menu.center().x()), QString::number(y), "click", "1"});
    return QTest::qWaitFor([&] { return !openMenu().isValid(); }, 10000);
}

void TestE2eTray::initTestCase()
{
    QVERIFY2(m_desktop.start(), "Xvfb did not start");
    QProcessEnvironment display = QProcessEnvironment::systemEnvironment();
    display.insert(QStringLiteral("DISPLAY"), m_desktop.display());
    m_trayHost.setProcessEnvironment(display);
    m_trayHost.start(QStringLiteral("trayer"),
        {"--edge", "top", "--align", "right", "--widthtype", "pixel", "--width", "200", "--height",
            "32"});
    QVERIFY2(m_trayHost.waitForStarted(10000), "trayer (Debian package trayer) did not start");
    QTRY_VERIFY_WITH_TIMEOUT(!m_desktop.visibleWindows(QStringLiteral("panel")).isEmpty(), 10000);

    QVERIFY(m_sandbox.start());
    QVERIFY(m_home.isValid() && m_userConfig.isValid());
    QVERIFY(m_sandbox.writeClientConfig(m_home.path(),
        {"[USERNAME]", "username=13800000000", "[PASSWORD]", "password=123456", "[AUTOLOGIN]",
            "autologin=1", "[SUSPENDWINDOW_SHOW]", "suspendwindow_show=1"}));
    QVERIFY(QFile::link(
        qEnvironmentVariable("TALLYPORT_DOWNLOAD"), m_home.filePath(QStringLiteral("Download"))));

    QProcessEnvironment environment = m_desktop.clientEnvironment(m_home.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_userConfig.path());
    m_client.setProcessEnvironment(environment);
    m_client.setWorkingDirectory(m_home.path());
    m_client.setProcessChannelMode(QProcess::ForwardedChannels);
    m_client.start(qEnvironmentVariable("TALLYPORT_CLIENT"), QStringList());
    QVERIFY(m_client.waitForStarted(10000));
}

void TestE2eTray::cleanupTestCase()
{
    // The updater is not our child: it was started detached by the client.
    for (const UpdaterRun &run : updaterRuns(m_home.path())) {
        if (isRunning(run.pid, QStringLiteral("Download")))
            ::kill(static_cast<pid_t>(run.pid), SIGTERM);
    }
    for (ChildProcess *process : {&m_client, &m_trayHost}) {
        if (process->state() != QProcess::NotRunning) {
            process->terminate();
            if (!process->waitForFinished(5000))
                process->kill();
            process->waitForFinished(2000);
        }
    }
}

void TestE2eTray::trayIconAppearsAfterLogin()
{
    QTRY_VERIFY_WITH_TIMEOUT(!mainWindowId().isEmpty(), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(trayIcon().isValid(), 10000);
}

void TestE2eTray::startAtBootFollowsTheTrayItem()
{
    const QString entry = m_userConfig.filePath(QStringLiteral("autostart/Tallyport.desktop"));
    QVERIFY(!QFile::exists(entry));

    QVERIFY(clickTrayItem(kStartAtBootItem, QStringLiteral("e2e-tray-menu.png")));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(entry), 10000);
    QVERIFY2(readText(entry).contains(
                 QStringLiteral("\nExec=\"%1\"\n").arg(qEnvironmentVariable("TALLYPORT_CLIENT"))),
        qPrintable(readText(entry)));
    QTRY_VERIFY_WITH_TIMEOUT(config().contains("[POWER_BOOT]\r\npower_boot=1\r\n"), 10000);

    QVERIFY(clickTrayItem(kStartAtBootItem));
    QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(entry), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(config().contains("[POWER_BOOT]\r\npower_boot=0\r\n"), 10000);
}

void TestE2eTray::upgradeFromTheTrayStartsTheUpdater()
{
    QVERIFY(!mainWindowId().isEmpty());

    QVERIFY(clickTrayItem(kUpgradeItem));

    QTRY_COMPARE_WITH_TIMEOUT(updaterRuns(m_home.path()).size(), 1, 15000);
    const QString url = QStringLiteral("https://127.0.0.1:%1/download/Tallyport-2.0.tar.gz")
                            .arg(m_sandbox.port());
    const QStringList parameters {"Tallyport", "2.0", QStringLiteral("沙箱测试版本"), "(sandbox",
        "test", "release)", "2.0", url};
    QCOMPARE(updaterRuns(m_home.path()).first().arguments, parameters);
    // The offer was written before the updater started, in its order, at the end of the file.
    QVERIFY2(config().endsWith(
                 QStringLiteral("[VERSION]\r\nversion=2.0\r\n[MEMO]\r\nMEMO=Tallyport 2.0 "
                                "沙箱测试版本 (sandbox test release)\r\n[URL]\r\nURL=%1\r\n"
                                "[NOW_VERSION]\r\nnow_version=1\r\n")
                     .arg(url)),
        qPrintable(config()));
    // The settings window, told once, hid the main window.
    QTRY_VERIFY_WITH_TIMEOUT(mainWindowId().isEmpty(), 10000);

    // The stand-in shows what it was given, and ends when the user confirms.
    QString updaterWindow;
    QTRY_VERIFY_WITH_TIMEOUT(
        !(updaterWindow = m_desktop.visibleWindows(QStringLiteral("Download")).value(0)).isEmpty(),
        15000);
    QVERIFY(m_desktop.screenshot(artifact(QStringLiteral("e2e-download.png"))));
    const qint64 updater = updaterRuns(m_home.path()).first().pid;
    QVERIFY(isRunning(updater, QStringLiteral("Download")));
    m_desktop.pressKeys(updaterWindow, {"Return"});
    QTRY_VERIFY_WITH_TIMEOUT(!isRunning(updater, QStringLiteral("Download")), 10000);
}

QTEST_GUILESS_MAIN(TestE2eTray)
#include "TestE2eTray.moc"
