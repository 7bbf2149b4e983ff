// The login window's upgrade check (tray item "升级版本") against the sandbox offering 2.0,
// with the real Download stand-in beside the program (offscreen, it records and ends).
#include "IniFileLines.h"
#include "MetaTypes.h"
#include "Resources.h"
#include "SandboxProcess.h"
#include "Tallyport.h"
#include "TempHome.h"
#include "WindowScaling.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <memory>
#include <thread>

namespace {

// The argument lists Download was started with, one per start.
QList<QStringList> updaterRuns(const QString &home)
{
    QList<QStringList> runs;
    for (const QByteArray &line : readFileBytes(home + "/Download.jsonl").split('\n')) {
        if (!line.isEmpty())
            runs.append(QJsonDocument::fromJson(line)["arguments"].toVariant().toStringList());
    }
    return runs;
}

} // namespace

class TestTallyportTray : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void refusedOfferChangesNothingAndTheNextAcceptedOneStartsTheUpdater_data();
    void refusedOfferChangesNothingAndTheNextAcceptedOneStartsTheUpdater();
    void firstOfferWithoutAFileOnlyCreatesIt();

private:
    QString configPath() const { return m_home->filePath(QStringLiteral("TallyportConfig.ini")); }

    SandboxProcess m_sandbox {{QStringLiteral("--offer-version"), QStringLiteral("2.0")}};
    std::unique_ptr<TempHome> m_home;
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
    QVERIFY(m_sandbox.writeClientConfig(m_home->path()));
    QVERIFY(QFile::link(
        qEnvironmentVariable("TALLYPORT_DOWNLOAD"), m_home->filePath(QStringLiteral("Download"))));
}

void TestTallyportTray::cleanup()
{
    QVERIFY(m_sandbox.injectFault(R"({"kind":"clear"})"));
    m_home.reset();
}

void TestTallyportTray::refusedOfferChangesNothingAndTheNextAcceptedOneStartsTheUpdater_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("status 0") << QByteArray(R"({"status":"0","msg":"no upgrade"})");
    QTest::newRow("status 2, whole offer")
        << QByteArray(R"({"status":"2","msg":"x","info":"m","version":"3","url":"https://u/3"})");
}

void TestTallyportTray::refusedOfferChangesNothingAndTheNextAcceptedOneStartsTheUpdater()
{
    QFETCH(QByteArray, answer);
    const QByteArray before = readFileBytes(configPath());
    Tallyport window;
    QSignalSpy told(&window, &Tallyport::sendMsgToUpdate);
    QVERIFY(m_sandbox.injectFault(
        QJsonDocument(QJsonObject {{"kind", "body"}, {"body", QString::fromUtf8(answer)}})
            .toJson(QJsonDocument::Compact)));

    window.OnUpgrade();
    QCOMPARE(readFileBytes(configPath()), before);
    QCOMPARE(told.count(), 0);

    // The sandbox's own offer: told once, and the updater's record holds this start alone,
    // with the memo "Tallyport 2.0 沙箱测试版本 (sandbox test release)" unquoted.
    window.OnUpgrade();
    QCOMPARE(told.count(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(updaterRuns(m_home->path()).size(), 1, 15000);
    const QStringList expected {"Tallyport", "2.0", QStringLiteral("沙箱测试版本"), "(sandbox",
        "test", "release)", "2.0",
        QStringLiteral("https://127.0.0.1:%1/download/Tallyport-2.0.tar.gz").arg(m_sandbox.port())};
    QCOMPARE(updaterRuns(m_home->path()).first(), expected);
    QCOMPARE(iniEntries(readFileBytes(configPath())).last(),
        (IniEntry {"NOW_VERSION", "now_version", "1"}));
}

void TestTallyportTray::firstOfferWithoutAFileOnlyCreatesIt()
{
    Tallyport window;
    QSignalSpy told(&window, &Tallyport::sendMsgToUpdate);
    // The file goes while the request is under way (the sandbox holds the answer back): the
    // host came from it, the answer finds none.
    QVERIFY(m_sandbox.injectFault(R"({"kind":"delay","ms":5000})"));
    const auto updateRequests = [this] {
        int count = 0;
        for (const QJsonObject &entry : m_sandbox.journal())
            count += entry.value("path").toString() == QLatin1String("/api/update");
        return count;
    };
    const int before = updateRequests();
    std::atomic<bool> removed {false};
    std::thread remover([&] {
        const QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired() && updateRequests() == before)
            QThread::msleep(20);
        removed = QFile::remove(configPath());
    });

    window.OnUpgrade();
    remover.join();

    QVERIFY(removed);
    QCOMPARE(QFileInfo(configPath()).size(), 0);
    QCOMPARE(permissionBits(configPath()), 0600);
    QCOMPARE(told.count(), 0);
    QVERIFY(!QFile::exists(m_home->filePath(QStringLiteral("Download.jsonl"))));
}

QTEST_MAIN(TestTallyportTray)
#include "TestTallyportTray.moc"
