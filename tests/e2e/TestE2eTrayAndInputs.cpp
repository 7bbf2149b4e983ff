// The real client on a real X display under a tray host (trayer), logged in automatically, with
// its real input parts. The tray menu is opened with a right click on the icon and its items are
// clicked where they are drawn: "开机自动运行" adds and removes the autostart entry; "升级版本"
// asks the sandbox (offering 2.0), records the offer, hides the main window and starts Download,
// which shows what it got. Then the amount a till sends to its customer display (a socat pty
// pair) appears on the floating icon, and a code typed into KeyHook's standard input is paid at
// once for it and ends on the success card. (Refused offers and a missing file:
// TestTallyportTray.)
#include "DesktopSession.h"
#include "IniFileLines.h"
#include "PtyPair.h"
#include "SandboxProcess.h"

#include <QDir>
#include <QImage>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

namespace {

constexpr int kTrayItems = 8;
constexpr int kStartAtBootItem = 0;
constexpr int kUpgradeItem = 5;

} // namespace

class TestE2eTrayAndInputs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void startAtBootFollowsTheTrayItem();
    void upgradeFromTheTrayStartsTheUpdater();
    void displayedAmountIsPaidWithACodeFromKeyHook();

private:
    QRect clientWindow(bool menu) const;
    bool clickTrayItem(int index);
    QString config() const
    {
        return QString::fromUtf8(readFileBytes(m_home.filePath("TallyportConfig.ini")));
    }
    QString mainWindow() const { return m_desktop.windowWithSize("Tallyport", "671x503"); }
    // Download's record of its starts: one JSON object per line.
    QList<QJsonDocument> updaterRuns() const;
    // Pixels in the dark red of the figures on the floating icon's amount display, right of
    // its round icon (dark red itself); -1 when the icon is not on screen.
    int redPixelsOnTheIcon() const;

    const QString m_artifacts = qEnvironmentVariable("TALLYPORT_ARTIFACTS", QDir::tempPath());
    DesktopSession m_desktop;
    ChildProcess m_trayHost;
    SandboxProcess m_sandbox {{QStringLiteral("--offer-version"), QStringLiteral("2.0")}};
    QTemporaryDir m_home;
    QTemporaryDir m_userConfig;
    std::unique_ptr<PtyPair> m_display;
    ChildProcess m_keyHook;
    ChildProcess m_client;
};

void TestE2eTrayAndInputs::initTestCase()
{
    QVERIFY(QDir().mkpath(m_artifacts));
    QVERIFY2(m_desktop.start(), "Xvfb did not start");
    QProcessEnvironment display = QProcessEnvironment::systemEnvironment();
    display.insert("DISPLAY", m_desktop.display());
    m_trayHost.setProcessEnvironment(display);
    m_trayHost.start("trayer",
        {"--edge", "top", "--align", "right", "--widthtype", "pixel", "--width", "200", "--height",
            "32"});
    QVERIFY2(m_trayHost.waitForStarted(10000), "no tray host: apt-get install trayer");
    QTRY_VERIFY_WITH_TIMEOUT(!m_desktop.visibleWindows("panel").isEmpty(), 10000);
    m_keyHook.start(qEnvironmentVariable("TALLYPORT_KEYHOOK"), {"--port", "0"});
    QTRY_VERIFY(m_keyHook.canReadLine());
    const QByteArray listening = m_keyHook.readLine().trimmed();
    m_display = std::make_unique<PtyPair>(m_home.path(), QStringLiteral("pole"));
    QVERIFY(m_display->start());

    QVERIFY(m_sandbox.start());
    QVERIFY(m_sandbox.writeClientConfig(m_home.path(),
        {"[USERNAME]", "username=13800000000", "[PASSWORD]", "password=123456", "[AUTOLOGIN]",
            "autologin=1", "[SUSPENDWINDOW_SHOW]", "suspendwindow_show=0", "[AUTOMICSHOW]",
            "automicShow=1", "[COLLECTMETHOD]", "collectmethod=" + m_display->portA()}));
    const QString configPath = m_home.filePath("TallyportConfig.ini");
    QVERIFY(
        writeFileBytes(configPath, readFileBytes(configPath).replace("ConnMode=9", "ConnMode=0")));
    QVERIFY(QFile::link(qEnvironmentVariable("TALLYPORT_DOWNLOAD"), m_home.filePath("Download")));
    QProcessEnvironment environment = m_desktop.clientEnvironment(m_home.path());
    environment.insert("XDG_CONFIG_HOME", m_userConfig.path());
    environment.insert("TALLYPORT_KEYHOOK_PORT", listening.mid(listening.lastIndexOf(':') + 1));
    QVERIFY(m_desktop.startClient(m_client, m_home.path(), environment));
    QTRY_VERIFY_WITH_TIMEOUT(!mainWindow().isEmpty(), 30000);
    QTRY_VERIFY_WITH_TIMEOUT(clientWindow(false).isValid(), 10000);
}

void TestE2eTrayAndInputs::cleanupTestCase()
{
    // Download was started detached by the client, not by this test.
    for (const QJsonDocument &run : updaterRuns()) {
        if (const int pid = run["pid"].toInt(); pid > 0)
            ::kill(pid, SIGTERM);
    }
    for (ChildProcess *process : {&m_client, &m_trayHost, &m_keyHook}) {
        process->terminate();
        process->waitForFinished(5000);
    }
}

QList<QJsonDocument> TestE2eTrayAndInputs::updaterRuns() const
{
    QList<QJsonDocument> runs;
    for (const QByteArray &line : readFileBytes(m_home.filePath("Download.jsonl")).split('\n')) {
        if (!line.isEmpty())
            runs.append(QJsonDocument::fromJson(line));
    }
    return runs;
}

QRect TestE2eTrayAndInputs::clientWindow(bool menu) const
{
    // The icon is the client's small window docked in the panel along the top; the open menu
    // is a narrow window tall enough for its items.
    for (const QString &id : m_desktop.visibleWindows("tallyport", "--class")) {
        const QRect r = m_desktop.windowGeometry(id);
        if (menu ? r.height() >= kTrayItems * 15 && r.width() < 400
                 : r.height() <= 32 && r.top() < 32)
            return r;
    }
    return QRect();
}

bool TestE2eTrayAndInputs::clickTrayItem(int index)
{
    // The login's balloon message hangs from the middle of the icon for ten seconds and takes
    // the clicks that land on it (closing itself): right-click the icon's upper part, and once
    // more should the balloon have been hit anyway.
    const QRect icon = clientWindow(false);
    for (int attempt = 0; icon.isValid() && attempt < 2; ++attempt) {
        m_desktop.run("xdotool",
            {"mousemove", QString::number(icon.center().x()),
                QString::number(icon.top() + icon.height() / 4), "click", "3"});
        if (QTest::qWaitFor([&] { return clientWindow(true).isValid(); }, 3000))
            break;
    }
    const QRect menu = clientWindow(true);
    if (!menu.isValid())
        return false;
    // The items share the menu's height: click the middle of the one wanted.
    const int y = menu.top() + (2 * index + 1) * menu.height() / (2 * kTrayItems);
    m_desktop.run("xdotool",
        {"mousemove", QString::number(menu.center().x()), QString::number(y), "click", "1"});
    return QTest::qWaitFor([&] { return !clientWindow(true).isValid(); });
}

int TestE2eTrayAndInputs::redPixelsOnTheIcon() const
{
    const QString id = m_desktop.windowWithSize("Tallyport", "276x60");
    const QString shot = m_artifacts + QStringLiteral("/e2e-floating-icon.png");
    if (id.isEmpty() || !m_desktop.screenshot(shot))
        return -1;
    const QImage image = QImage(shot).copy(m_desktop.windowGeometry(id).adjusted(65, 0, 0, 0));
    int red = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            red += c.red() > 140 && c.green() < 90 && c.blue() < 90;
        }
    }
    return red;
}

void TestE2eTrayAndInputs::startAtBootFollowsTheTrayItem()
{
    const QString entry = m_userConfig.filePath(QStringLiteral("autostart/Tallyport.desktop"));
    QVERIFY(clickTrayItem(kStartAtBootItem));
    QTRY_VERIFY_WITH_TIMEOUT(
        readFileBytes(entry).contains("\nExec=\"" + qgetenv("TALLYPORT_CLIENT") + "\"\n"), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(config().contains("[POWER_BOOT]\r\npower_boot=1\r\n"), 10000);

    QVERIFY(clickTrayItem(kStartAtBootItem));
    QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(entry), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(config().contains("[POWER_BOOT]\r\npower_boot=0\r\n"), 10000);
}

void TestE2eTrayAndInputs::upgradeFromTheTrayStartsTheUpdater()
{
    QVERIFY(clickTrayItem(kUpgradeItem));

    QTRY_COMPARE_WITH_TIMEOUT(updaterRuns().size(), 1, 15000);
    const QJsonDocument run = updaterRuns().first();
    const QString url = QStringLiteral("https://127.0.0.1:%1/download/Tallyport-2.0.tar.gz")
                            .arg(m_sandbox.port());
    // The memo "Tallyport 2.0 沙箱测试版本 (sandbox test release)", the version and the url,
    // split at the blanks.
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

    // The updater shows the offer; a Linux till is upgraded by its package, so it offers no
    // download and says so.
    QTRY_VERIFY_WITH_TIMEOUT(
        !m_desktop.visibleWindows(QStringLiteral("Tallyport 升级")).isEmpty(), 15000);
    m_desktop.screenshot(m_artifacts + QStringLiteral("/e2e-download.png"));
}

void TestE2eTrayAndInputs::displayedAmountIsPaidWithACodeFromKeyHook()
{
    // The customer display's amount appears on the floating icon, in place of what it showed.
    const int before = redPixelsOnTheIcon();
    QVERIFY(before >= 0);
    QVERIFY(m_display->send("\x0c\x1bQA8.8\r"));
    QTRY_VERIFY_WITH_TIMEOUT(redPixelsOnTheIcon() > before + 50, 10000);

    const int paysBefore = m_sandbox.payRequests().size();
    m_keyHook.write("2812345678901234561\n");
    QTRY_COMPARE_WITH_TIMEOUT(m_sandbox.payRequests().size(), paysBefore + 1, 20000);
    const QStringList pays = m_sandbox.payRequests();
    QVERIFY(!pays.isEmpty());
    QVERIFY2(pays.last().contains("\"total\":\"880\""), qPrintable(pays.last()));
    QVERIFY2(pays.last().contains("\"authCode\":\"2812345678901234561\""), qPrintable(pays.last()));
    QTRY_VERIFY_WITH_TIMEOUT(!m_desktop.visibleWindows("collectionWin").isEmpty(), 10000);
    m_desktop.screenshot(m_artifacts + QStringLiteral("/e2e-keyhook-paid.png"));
    QVERIFY(!mainWindow().isEmpty());
    // The card counts down, the main window goes, and the icon shows no amount.
    QTRY_VERIFY_WITH_TIMEOUT(mainWindow().isEmpty(), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(redPixelsOnTheIcon(), 0, 10000);
}

QTEST_GUILESS_MAIN(TestE2eTrayAndInputs)
#include "TestE2eTrayAndInputs.moc"
