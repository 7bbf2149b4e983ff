// The tray's upgrade check ("升级版本") against the sandbox offering 2.0, with the real Download
// updater beside the program (offscreen, it records and ends): an offer whose status is not
// "1" writes nothing and starts nothing, the first offer without a file only creates it, and
// only then is the updater started, and collected when it ends. (What an accepted offer writes and
// starts, through the real tray: TestE2eTrayAndInputs.)
#include "IniFileLines.h"
#include "MetaTypes.h"
#include "Resources.h"
#include "SandboxProcess.h"
#include "Tallyport.h"
#include "TempHome.h"
#include "WindowScaling.h"

#include <QDeadlineTimer>
#include <QSignalSpy>
#include <QThread>
#include <QtTest>

#include <memory>
#include <thread>

#include <sys/prctl.h>

class TestTallyportTray : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void onlyAnAcceptedOfferWithAFileStartsTheUpdater();

private:
    SandboxProcess m_sandbox {{QStringLiteral("--offer-version"), QStringLiteral("2.0")}};
};

void TestTallyportTray::initTestCase()
{
    Resources::initialise();
    MetaTypes::registerAll();
    WindowScaling::setScreenOverride(QSize(1366, 768));
    // Orphans of this process come back to it and are never collected here, as under a
    // session manager that does not reap: only a till that collects its own children leaves
    // no defunct process behind.
    QCOMPARE(::prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0), 0);
    QVERIFY(m_sandbox.start());
}

void TestTallyportTray::onlyAnAcceptedOfferWithAFileStartsTheUpdater()
{
    TempHome home;
    const QString config = home.filePath(QStringLiteral("TallyportConfig.ini"));
    QVERIFY(m_sandbox.writeClientConfig(home.path()));
    QVERIFY(QFile::link(qEnvironmentVariable("TALLYPORT_DOWNLOAD"), home.filePath("Download")));
    Tallyport window;
    QSignalSpy told(&window, &Tallyport::sendMsgToUpdate);

    // Status 2, with a whole offer: nothing written, nobody told.
    const QByteArray before = readFileBytes(config);
    const QByteArray status2(R"({"kind":"body","body":"{\"status\":\"2\",\"msg\":\"x\",)"
                             R"(\"info\":\"m\",\"version\":\"3\",\"url\":\"https://u/3\"}"})");
    QVERIFY(m_sandbox.injectFault(status2));
    window.OnUpgrade();
    QCOMPARE(readFileBytes(config), before);
    QCOMPARE(told.count(), 0);

    // The file goes while the request is under way (the sandbox holds the answer back): the
    // host came from it, the offer only creates it.
    QVERIFY(m_sandbox.injectFault(R"({"kind":"delay","ms":5000})"));
    const auto updateRequests = [this] {
        int count = 0;
        for (const QJsonObject &entry : m_sandbox.journal())
            count += entry.value("path").toString() == QLatin1String("/api/update");
        return count;
    };
    const int requests = updateRequests();
    std::thread remover([&] {
        const QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired() && updateRequests() == requests)
            QThread::msleep(20);
        QFile::remove(config);
    });
    window.OnUpgrade();
    remover.join();
    QCOMPARE(updateRequests(), requests + 1);
    QCOMPARE(QFileInfo(config).size(), 0);
    QCOMPARE(permissionBits(config), 0600);
    QCOMPARE(told.count(), 0);

    // The offer with a file: told once, and the updater's record holds this start alone.
    QVERIFY(m_sandbox.writeClientConfig(home.path()));
    window.OnUpgrade();
    QCOMPARE(told.count(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(readFileBytes(home.filePath("Download.jsonl")).count('\n'), 1, 15000);
    // The updater ends at once here; the till collects it, so it leaves no defunct process.
    const QJsonObject started
        = QJsonDocument::fromJson(readFileBytes(home.filePath("Download.jsonl"))).object();
    const QString proc = QStringLiteral("/proc/%1").arg(started.value("pid").toInt());
    QVERIFY(proc != QLatin1String("/proc/0"));
    QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(proc), 15000);
}

QTEST_MAIN(TestTallyportTray)
#include "TestTallyportTray.moc"
