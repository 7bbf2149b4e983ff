// The tray menu of the real client under a tray host (trayer): after the automatic login the
// menu is opened with a right click on the icon and its items are clicked where they are drawn.
// "开机自动运行" adds and removes the autostart entry; "升级版本" asks the sandbox (offering
// 2.0), records the offer, hides the main window and starts Download, which shows what it got.
#include "DesktopSession.h"
#include "SandboxProcess.h"

#include <QDir>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

namespace {

constexpr int kTrayItems = 7;
constexpr int kStartAtBootItem = 0;
constexpr int kUpgradeItem = 5;

QString readText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Download's record of its starts: one JSON object per line.
QList<QJsonDocument> updaterRuns(const QString &home)
{
    QList<QJsonDocument> runs;
    for (const QString &line : readText(home + "/Download.jsonl").split('\n', Qt::SkipEmptyParts))
        runs.append(QJsonDocument::fromJson(line.toUtf8()));
    return runs;
}

// Not ended (an ended process not yet collected is a zombie, "Z").
bool isRunning(qint64 pid, const QString &name)
{
    const QString stat = readText(QStringLiteral("/proc/%1/stat").arg(pid));
    return stat.contains('(' + name + ") ") && !stat.contains(") Z ");
}

} // namespace

class TestE2eTray : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void startAtBootFollowsTheTrayItem();
    void upgradeFromTheTrayStartsTheUpdater();

private:
    QRect clientWindow(bool menu) const;
    bool clickTrayItem(int index);
    QString config() const { return readText(m_home.filePath("TallyportConfig.ini")); }
    QString mainWindow() const { return m_desktop.windowWithSize("Tallyport", "671x503"); }

    DesktopSession m_desktop;
    ChildProcess m_trayHost;
    SandboxProcess m_sandbox {{QStringLiteral("--offer-version"), QStringLiteral("2.0")}};
    QTemporaryDir m_home;
    QTemporaryDir m_userConfig;
    ChildProcess m_client;
};

QRect TestE2eTray::clientWindow(bool menu) const
{
    // The icon is the client's small window docked in the panel along the top; the open menu
    // is a narrow window tall enough for its items.
    for (const QString &id : m_desktop.visibleWindowsOfClass(QStringLiteral("tallyport"))) {
        const QRect r = m_desktop.windowGeometry(id);
        if (menu ? r.height() >= kTrayItems * 15 && r.width() < 400
                 : r.height() <= 32 && r.top() < 32)
            return r;
    }
    return QRect();
}

bool TestE2eTray::clickTrayItem(int index)
{
    // The login's balloon message hangs from the middle of the icon for ten seconds and takes
    // the clicks that land on it (closing itself): right-click the icon's upper part, and once
    // more should the balloon have been hit anyway.
    const QRect icon = clientWindow(false);
    QRect menu;
    for (int attempt = 0; icon.isValid() && attempt < 2 && !menu.isValid(); ++attempt) {
        m_desktop.run("xdotool",
            {"mousemove", QString::number(icon.center().x()),
                QString::number(icon.top() + icon.height() / 4), "click", "3"});
        menu = QTest::qWaitFor([&] { return clientWindow(true).isValid(); }, 3000)
            ? clientWindow(true)
            : QRect();
    }
    if (!menu.isValid())
        return false;
    m_desktop.screenshot(
        qEnvironmentVariable("TALLYPORT_ARTIFACTS", QDir::tempPath()) + "/e2e-tray-menu.png");
    // The items share the menu's height: click the middle of the one wanted.
    const int y = menu.top() + (2 * index + 1) * menu.height() / (2 * kTrayItems);
    m_desktop.run("xdotool",
        {"mousemove", QString::number(menu.center().x()), QString::number(y), "click", "1"});
    return QTest::qWaitFor([&] { return !clientWindow(true).isValid(); });
}

void TestE2eTray::initTestCase()
{
    QDir().mkpath(qEnvironmentVariable("TALLYPORT_ARTIFACTS", QDir::tempPath()));
    QVERIFY2(m_desktop.start(), "Xvfb did not start");
    QProcessEnvironment display = QProcessEnvironment::systemEnvironment();
    display.insert("DISPLAY", m_desktop.display());
    m_trayHost.setProcessEnvironment(display);
    m_trayHost.start("trayer",
        {"--edge", "top", "--align", "right", "--widthtype", "pixel", "--width", "200", "--height",
            "32"});
    QVERIFY2(m_trayHost.waitForStarted(10000), "no tray host: apt-get install trayer");
    QTRY_VERIFY_WITH_TIMEOUT(!m_desktop.visibleWindows("panel").isEmpty(), 10000);

    QVERIFY(m_sandbox.start());
    QVERIFY(m_sandbox.writeClientConfig(m_home.path(),
        {"[USERNAME]", "username=13800000000", "[PASSWORD]", "password=123456", "[AUTOLOGIN]",
            "autologin=1", "[SUSPENDWINDOW_SHOW]", "suspendwindow_show=1"}));
    QVERIFY(QFile::link(qEnvironmentVariable("TALLYPORT_DOWNLOAD"), m_home.filePath("Download")));
    QProcessEnvironment environment = m_desktop.clientEnvironment(m_home.path());
    environment.insert("XDG_CONFIG_HOME", m_userConfig.path());
    m_client.setProcessEnvironment(environment);
    m_client.setWorkingDirectory(m_home.path());
    m_client.setProcessChannelMode(QProcess::ForwardedChannels);
    m_client.start(qEnvironmentVariable("TALLYPORT_CLIENT"), QStringList());
    QVERIFY(m_client.waitForStarted(10000));
    QTRY_VERIFY_WITH_TIMEOUT(!mainWindow().isEmpty(), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(clientWindow(false).isValid(), 10000);
}

void TestE2eTray::cleanupTestCase()
{
    // Download was started detached by the client, not by this test.
    for (const QJsonDocument &run : updaterRuns(m_home.path())) {
        if (isRunning(run["pid"].toInt(), "Download"))
            ::kill(run["pid"].toInt(), SIGTERM);
    }
    for (ChildProcess *process : {&m_client, &m_trayHost}) {
        process->terminate();
        if (!process->waitForFinished(5000))
            process->kill();
    }
}

void TestE2eTray::startAtBootFollowsTheTrayItem()
{
    const QString entry = m_userConfig.filePath(QStringLiteral("autostart/Tallyport.desktop"));
    const QString exec
        = QStringLiteral("\nExec=\"%1\"\n").arg(qEnvironmentVariable("TALLYPORT_CLIENT"));

    QVERIFY(clickTrayItem(kStartAtBootItem));
    QTRY_VERIFY_WITH_TIMEOUT(readText(entry).contains(exec), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(config().contains("[POWER_BOOT]\r\npower_boot=1\r\n"), 10000);

    QVERIFY(clickTrayItem(kStartAtBootItem));
    QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(entry), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(config().contains("[POWER_BOOT]\r\npower_boot=0\r\n"), 10000);

    // Unchecking when the entry is already gone (removed by hand) is no failure.
    QVERIFY(clickTrayItem(kStartAtBootItem));
    QTRY_VERIFY_WITH_TIMEOUT(config().contains("power_boot=1\r\n"), 10000);
    QVERIFY(QFile::remove(entry));
    QVERIFY(clickTrayItem(kStartAtBootItem));
    QTRY_VERIFY_WITH_TIMEOUT(config().contains("power_boot=0\r\n"), 10000);
    QVERIFY(!QFile::exists(entry));
}

void TestE2eTray::upgradeFromTheTrayStartsTheUpdater()
{
    QVERIFY(clickTrayItem(kUpgradeItem));

    QTRY_COMPARE_WITH_TIMEOUT(updaterRuns(m_home.path()).size(), 1, 15000);
    const QJsonDocument run = updaterRuns(m_home.path()).first();
    const QString url = QStringLiteral("https://127.0.0.1:%1/download/Tallyport-2.0.tar.gz")
                            .arg(m_sandbox.port());
    QCOMPARE(run["arguments"].toVariant().toStringList(),
        QStringList({"Tallyport", "2.0", QStringLiteral("沙箱测试版本"), "(sandbox", "test",
            "release)", "2.0", url}));
    // Written before the updater started, in this order, at the end of the file.
    QVERIFY2(config().endsWith(QStringLiteral("[VERSION]\r\nversion=2.0\r\n[MEMO]\r\nMEMO="
                                              "Tallyport 2.0 沙箱测试版本 (sandbox test release)"
                                              "\r\n[URL]\r\nURL=%1\r\n[NOW_VERSION]\r\n"
                                              "now_version=1\r\n")
                                   .arg(url)),
        qPrintable(config()));
    // The settings window, told, hid the main window.
    QTRY_VERIFY_WITH_TIMEOUT(mainWindow().isEmpty(), 10000);

    // Download shows what it got, and ends when the user confirms.
    QString shown;
    QTRY_VERIFY_WITH_TIMEOUT(
        !(shown = m_desktop.visibleWindows("Download").value(0)).isEmpty(), 15000);
    m_desktop.screenshot(
        qEnvironmentVariable("TALLYPORT_ARTIFACTS", QDir::tempPath()) + "/e2e-download.png");
    QVERIFY(isRunning(run["pid"].toInt(), "Download"));
    m_desktop.pressKeys(shown, {"Return"});
    QTRY_VERIFY_WITH_TIMEOUT(!isRunning(run["pid"].toInt(), "Download"), 10000);
}

QTEST_GUILESS_MAIN(TestE2eTray)
#include "TestE2eTray.moc"
