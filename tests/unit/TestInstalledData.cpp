// The first run of an installed till: an owner-only data directory, the logs in it, the
// program's own directory to work in, and a configuration that trains against the sandbox.
#include "InstalledData.h"
#include "IniFileLines.h"
#include "RunLog.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

class TestInstalledData : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void firstRunTrainsAgainstTheSandbox();
    void laterRunsKeepTheConfigurationAndCloseTheDirectory();

private:
    QString m_oldWorkingDir;
    std::unique_ptr<QTemporaryDir> m_root;
};

void TestInstalledData::init()
{
    m_oldWorkingDir = QDir::currentPath();
    m_root = std::make_unique<QTemporaryDir>();
    QVERIFY(m_root->isValid());
    QVERIFY(QDir(m_root->path()).mkdir(QStringLiteral("program")));
}

void TestInstalledData::cleanup()
{
    RunLog::setDirectory(std::string());
    QDir::setCurrent(m_oldWorkingDir);
    m_root.reset();
}

void TestInstalledData::firstRunTrainsAgainstTheSandbox()
{
    const QString data = m_root->filePath(QStringLiteral("share/tallyport"));
    const QString program = m_root->filePath(QStringLiteral("program"));

    QCOMPARE(InstalledData::prepareIn(data, program), QString());

    QCOMPARE(permissionBits(data), 0700);
    const QString config = data + QStringLiteral("/TallyportConfig.ini");
    QCOMPARE(permissionBits(config), 0600);
    const QByteArray bytes = readFileBytes(config);
    QVERIFY(hasOnlyCrLfLineEnds(bytes));
    const QString sandbox = QStringLiteral("https://127.0.0.1:8443");
    const QList<IniEntry> expected {
        {"GATEWAY_HOST", "gateway_host", sandbox},
        {"TRADE_HOST", "trade_host", sandbox},
        {"UPGRADE_HOST", "upgrade_host", sandbox},
        {"CA_BUNDLE", "ca_bundle", data + QStringLiteral("/sandbox/ca.pem")},
    };
    QCOMPARE(iniEntries(bytes), expected);
    QCOMPARE(InstalledData::sandboxPath(data), data + QStringLiteral("/sandbox"));

    // KeyHook starts from the working directory; the logs no longer go there.
    QCOMPARE(QDir::currentPath(), QDir(program).canonicalPath());
    QCOMPARE(RunLog::write("%s", "first line"), 0);
    QVERIFY(QFile::exists(data + QStringLiteral("/tallyport.log")));
    QVERIFY(!QFile::exists(program + QStringLiteral("/tallyport.log")));
}

void TestInstalledData::laterRunsKeepTheConfigurationAndCloseTheDirectory()
{
    const QString data = m_root->filePath(QStringLiteral("data"));
    QVERIFY(QDir().mkpath(data));
    QVERIFY(QFile::setPermissions(data,
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
            | QFileDevice::ReadOther | QFileDevice::ExeOther));
    const QByteArray shop = "[GATEWAY_HOST]\r\ngateway_host=https://gateway.shop.test\r\n";
    QVERIFY(writeFileBytes(data + QStringLiteral("/TallyportConfig.ini"), shop));

    QCOMPARE(
        InstalledData::prepareIn(data, m_root->filePath(QStringLiteral("program"))), QString());

    QCOMPARE(readFileBytes(data + QStringLiteral("/TallyportConfig.ini")), shop);
    QCOMPARE(permissionBits(data), 0700);
}

QTEST_GUILESS_MAIN(TestInstalledData)
#include "TestInstalledData.moc"
