// The login window's two tray items that reach outside the program, against the sandbox
// gateway offering version 2.0: "升级版本" records the offer, tells the settings window and
// hands memo, version and url to the real Download stand-in; "开机自动运行" adds and removes
// the autostart entry, and power_boot follows.
#include "AutoStart.h"
#include "ConfigStore.h"
#include "IniFileLines.h"
#include "MetaTypes.h"
#include "PayWin.h"
#include "Resources.h"
#include "SandboxProcess.h"
#include "ShowWin.h"
#include "Tallyport.h"
#include "TempHome.h"
#include "WindowScaling.h"

#include <QAction>
#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QSignalSpy>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <memory>
#include <thread>

namespace {

constexpr int kUpdaterMs = 15000;

// The argument lists Download was started with, one per start, from its record.
QList<QStringList> updaterRuns(const QString &home)
{
    QList<QStringList> runs;
    const QByteArray bytes = readFileBytes(home + QStringLiteral("/Download.jsonl"));
    for (const QByteArray &line : bytes.split('\n')) {
        if (line.isEmpty())
            continue;
        QStringList arguments;
        for (const QJsonValue &value : QJsonDocument::fromJson(line)["arguments"].toArray())
            arguments.append(value.toString());
        runs.append(arguments);
    }
    return runs;
}

QByteArray bodyFault(const QByteArray &body)
{
    return QJsonDocument(QJsonObject {{"kind", "body"}, {"body", QString::fromUtf8(body)}})
        .toJson(QJsonDocument::Compact);
}

} // namespace

class TestTallyportTray : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void acceptedOfferIsRecordedToldAndHandedToTheUpdater();
    void firstOfferWithoutAFileOnlyCreatesIt();
    void refusedOfferChangesNothingAndStartsNothing_data();
    void refusedOfferChangesNothingAndStartsNothing();
    void startAtBootFollowsTheTrayItem();

private:
    QAction *trayItem(Tallyport &window, const QString &text);
    QString configPath() const { return m_home->filePath(QStringLiteral("TallyportConfig.ini")); }
    QStringList offeredArguments() const;

    SandboxProcess m_sandbox {{QStringLiteral("--offer-version"), QStringLiteral("2.0")}};
    std::unique_ptr<TempHome> m_home;
    std::unique_ptr<QTemporaryDir> m_userConfig;
};

void TestTallyportTray::initTestCase()
{
    Resources::initialise();
    MetaTypes::registerAll();
    WindowScaling::setScreenOverride(QSize(1366, 768));
    QVERIFY(m_sandbox.start());
}

void TestTallyportTray::init()
{
    m_home = std::make_unique<TempHome>();
    QVERIFY(m_home->isValid());
    m_userConfig = std::make_unique<QTemporaryDir>();
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_userConfig->path()));
    qputenv("TALLYPORT_PLAYER", "true");
    QVERIFY(m_sandbox.writeClientConfig(
        m_home->path(), {"[USERNAME]", "username=13800000000", "[PASSWORD]", "password=123456"}));
    // The updater beside the program; on the offscreen platform it records and ends.
    QVERIFY(QFile::link(
        qEnvironmentVariable("TALLYPORT_DOWNLOAD"), m_home->filePath(QStringLiteral("Download"))));
}

void TestTallyportTray::cleanup()
{
    QVERIFY(m_sandbox.injectFault(R"({"kind":"clear"})"));
    qunsetenv("XDG_CONFIG_HOME");
    m_home.reset();
    m_userConfig.reset();
}

QAction *TestTallyportTray::trayItem(Tallyport &window, const QString &text)
{
    for (QAction *action : window.trayMenu()->actions()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

QStringList TestTallyportTray::offeredArguments() const
{
    // The sandbox's memo "Tallyport 2.0 沙箱测试版本 (sandbox test release)" is not quoted.
    return {"Tallyport", "2.0", QStringLiteral("沙箱测试版本"), "(sandbox", "test", "release)",
        "2.0",
        QStringLiteral("https://127.0.0.1:%1/download/Tallyport-2.0.tar.gz").arg(m_sandbox.port())};
}

void TestTallyportTray::acceptedOfferIsRecordedToldAndHandedToTheUpdater()
{
    Tallyport window;
    QVERIFY(!window.OnInputLogin());
    QTRY_VERIFY_WITH_TIMEOUT(window.floatingIcon() != nullptr, 15000);
    PayWin *mainWindow = window.floatingIcon()->payWin();
    QVERIFY(mainWindow->isVisible());
    QSignalSpy told(&window, &Tallyport::sendMsgToUpdate);
    QAction *upgrade = trayItem(window, QStringLiteral("升级版本"));
    QVERIFY(upgrade);

    upgrade->trigger();

    const QList<IniEntry> entries = iniEntries(readFileBytes(configPath()));
    QVERIFY(entries.size() > 4);
    const QList<IniEntry> offer {
        {"VERSION", "version", "2.0"},
        {"MEMO", "MEMO", QStringLiteral("Tallyport 2.0 沙箱测试版本 (sandbox test release)")},
        {"URL", "URL", offeredArguments().last()},
        {"NOW_VERSION", "now_version", "1"},
    };
    QCOMPARE(entries.mid(entries.size() - 4), offer);
    QCOMPARE(told.count(), 1);
    // The settings window, told, hides the main window.
    QVERIFY(!mainWindow->isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(updaterRuns(m_home->path()).size(), 1, kUpdaterMs);
    QCOMPARE(updaterRuns(m_home->path()).first(), offeredArguments());

    // Every accepted offer tells the settings window once and starts the updater again.
    upgrade->trigger();
    QCOMPARE(told.count(), 2);
    QTRY_COMPARE_WITH_TIMEOUT(updaterRuns(m_home->path()).size(), 2, kUpdaterMs);
}

void TestTallyportTray::firstOfferWithoutAFileOnlyCreatesIt()
{
    Tallyport window;
    QSignalSpy told(&window, &Tallyport::sendMsgToUpdate);
    // The file goes while the request is under way: the host came from it, the answer finds
    // none. The sandbox holds the answer back long enough to remove it.
    QVERIFY(m_sandbox.injectFault(R"({"kind":"delay","ms":5000})"));
    std::atomic<bool> removed {false};
    std::thread remover([this, &removed] {
        const QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired()) {
            for (const QJsonObject &entry : m_sandbox.journal()) {
                if (entry.value("path").toString() == QLatin1String("/api/update")) {
                    removed = QFile::remove(configPath());
                    return;
                }
            }
            QThread::msleep(20);
        }
    });

    window.OnUpgrade();
    remover.join();

    QVERIFY(removed);
    QVERIFY(QFile::exists(configPath()));
    QCOMPARE(QFileInfo(configPath()).size(), 0);
    QCOMPARE(permissionBits(configPath()), 0600);
    QCOMPARE(told.count(), 0);
    QVERIFY(!QFile::exists(m_home->filePath(QStringLiteral("Download.jsonl"))));
}

void TestTallyportTray::refusedOfferChangesNothingAndStartsNothing_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("no upgrade (status 0)") << QByteArray(R"({"status":"0","msg":"no upgrade"})");
    QTest::newRow("status 2 with a whole offer")
        << QByteArray(R"({"status":"2","msg":"x","info":"m","version":"3.0","url":"https://u/3"})");
}

void TestTallyportTray::refusedOfferChangesNothingAndStartsNothing()
{
    QFETCH(QByteArray, answer);
    const QByteArray before = readFileBytes(configPath());
    Tallyport window;
    QSignalSpy told(&window, &Tallyport::sendMsgToUpdate);
    QVERIFY(m_sandbox.injectFault(bodyFault(answer)));

    window.OnUpgrade();

    QCOMPARE(readFileBytes(configPath()), before);
    QCOMPARE(told.count(), 0);
    // The sandbox's own offer next: the updater's record then holds that start alone.
    window.OnUpgrade();
    QCOMPARE(told.count(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(updaterRuns(m_home->path()).size(), 1, kUpdaterMs);
    QCOMPARE(updaterRuns(m_home->path()).first(), offeredArguments());
}

void TestTallyportTray::startAtBootFollowsTheTrayItem()
{
    Tallyport window;
    QAction *item = trayItem(window, QStringLiteral("开机自动运行"));
    QVERIFY(item);
    QVERIFY(!item->isChecked());
    const ConfigStore store;

    item->trigger();
    QVERIFY(item->isChecked());
    QFile entry(AutoStart::entryPath());
    QVERIFY(entry.open(QIODevice::ReadOnly));
    QVERIFY(entry.readAll().contains(
        "\nExec=\"" + QCoreApplication::applicationFilePath().toUtf8() + "\"\n"));
    entry.close();
    QCOMPARE(store.readString("POWER_BOOT", "power_boot"), QStringLiteral("1"));

    item->trigger();
    QVERIFY(!item->isChecked());
    QVERIFY(!QFile::exists(AutoStart::entryPath()));
    QCOMPARE(store.readString("POWER_BOOT", "power_boot"), QStringLiteral("0"));

    // Checked, but the entry is gone (removed by hand): unchecking still succeeds.
    item->setChecked(true);
    item->trigger();
    QVERIFY(!QFile::exists(AutoStart::entryPath()));
    QCOMPARE(store.readString("POWER_BOOT", "power_boot"), QStringLiteral("0"));
}

QTEST_MAIN(TestTallyportTray)
#include "TestTallyportTray.moc"
