#include "ConfigStore.h"
#include "HostSettings.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <string>

namespace {

QByteArray q(const std::string &text)
{
    return QByteArray::fromStdString(text);
}

} // namespace

class TestHostSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void defaultsToTheSandboxWithoutFile();
    void defaultsToTheSandboxWhenKeysAreMissing();
    void readsEachHostFromItsOwnSection();
    void loadsFromTheApplicationDirectory();
    void trailingSlashesDoNotDoubleThePathSeparator();
    void emptyHostFallsBackToTheSandbox();

private:
    void writeConfig(const QByteArray &bytes);
    QString configPath() const { return m_home.filePath(QStringLiteral("TallyportConfig.ini")); }

    QTemporaryDir m_home;
};

void TestHostSettings::initTestCase()
{
    QVERIFY(m_home.isValid());
    qputenv("TALLYPORT_HOME", QFile::encodeName(m_home.path()));
}

void TestHostSettings::init()
{
    QFile::remove(configPath());
}

void TestHostSettings::writeConfig(const QByteArray &bytes)
{
    QFile file(configPath());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), qint64(bytes.size()));
}

void TestHostSettings::defaultsToTheSandboxWithoutFile()
{
    const HostSettings hosts = HostSettings::load(ConfigStore(configPath()));
    QCOMPARE(q(hosts.gatewayHost), QByteArray("https://127.0.0.1:8443"));
    QCOMPARE(q(hosts.tradeHost), QByteArray("https://127.0.0.1:8443"));
    QCOMPARE(q(hosts.upgradeHost), QByteArray("https://127.0.0.1:8443"));
    QVERIFY(hosts.caBundle.empty());
    QCOMPARE(q(hosts.gatewayUrl("/api/login")), QByteArray("https://127.0.0.1:8443/api/login"));
    QCOMPARE(q(hosts.tradeUrl("/papi/api/createApp.html")),
        QByteArray("https://127.0.0.1:8443/papi/api/createApp.html"));
    QCOMPARE(q(hosts.upgradeUrl("/api/update")), QByteArray("https://127.0.0.1:8443/api/update"));
}

void TestHostSettings::defaultsToTheSandboxWhenKeysAreMissing()
{
    writeConfig("[GATEWAY_HOST]\r\nother=1\r\n[USERNAME]\r\nusername=13800138000\r\n");
    const HostSettings hosts = HostSettings::load(ConfigStore(configPath()));
    QCOMPARE(q(hosts.gatewayHost), QByteArray("https://127.0.0.1:8443"));
    QCOMPARE(q(hosts.tradeHost), QByteArray("https://127.0.0.1:8443"));
    QCOMPARE(q(hosts.upgradeHost), QByteArray("https://127.0.0.1:8443"));
    QVERIFY(hosts.caBundle.empty());
}

void TestHostSettings::readsEachHostFromItsOwnSection()
{
    writeConfig("[GATEWAY_HOST]\r\ngateway_host=https://gw.example.test:9443\r\n"
                "[TRADE_HOST]\r\ntrade_host=https://trade.example.test\r\n"
                "[UPGRADE_HOST]\r\nupgrade_host=https://up.example.test:8000\r\n"
                "[CA_BUNDLE]\r\nca_bundle=/etc/tallyport/ca.pem\r\n");
    const HostSettings hosts = HostSettings::load(ConfigStore(configPath()));
    QCOMPARE(q(hosts.gatewayHost), QByteArray("https://gw.example.test:9443"));
    QCOMPARE(q(hosts.tradeHost), QByteArray("https://trade.example.test"));
    QCOMPARE(q(hosts.upgradeHost), QByteArray("https://up.example.test:8000"));
    QCOMPARE(q(hosts.caBundle), QByteArray("/etc/tallyport/ca.pem"));
    QCOMPARE(q(hosts.gatewayUrl("/api/face")), QByteArray("https://gw.example.test:9443/api/face"));
    QCOMPARE(q(hosts.tradeUrl("/papi/api/createApp.html")),
        QByteArray("https://trade.example.test/papi/api/createApp.html"));
    QCOMPARE(
        q(hosts.upgradeUrl("/api/update")), QByteArray("https://up.example.test:8000/api/update"));
}

void TestHostSettings::loadsFromTheApplicationDirectory()
{
    writeConfig("[GATEWAY_HOST]\r\ngateway_host=https://gw.example.test\r\n"
                "[CA_BUNDLE]\r\nca_bundle="
        + QFile::encodeName(m_home.filePath(QStringLiteral("ca.pem"))) + "\r\n");
    const HostSettings hosts = HostSettings::load();
    QCOMPARE(q(hosts.gatewayHost), QByteArray("https://gw.example.test"));
    QCOMPARE(q(hosts.tradeHost), QByteArray("https://127.0.0.1:8443"));
    QCOMPARE(q(hosts.caBundle), QFile::encodeName(m_home.filePath(QStringLiteral("ca.pem"))));
}

void TestHostSettings::trailingSlashesDoNotDoubleThePathSeparator()
{
    writeConfig("[GATEWAY_HOST]\r\ngateway_host=https://gw.example.test/\r\n"
                "[TRADE_HOST]\r\ntrade_host=https://trade.example.test//\r\n");
    const HostSettings hosts = HostSettings::load(ConfigStore(configPath()));
    QCOMPARE(q(hosts.gatewayUrl("/api/face")), QByteArray("https://gw.example.test/api/face"));
    QCOMPARE(q(hosts.tradeUrl("/papi/api/createApp.html")),
        QByteArray("https://trade.example.test/papi/api/createApp.html"));
}

void TestHostSettings::emptyHostFallsBackToTheSandbox()
{
    writeConfig("[GATEWAY_HOST]\r\ngateway_host=\r\n[UPGRADE_HOST]\r\nupgrade_host=  \r\n");
    const HostSettings hosts = HostSettings::load(ConfigStore(configPath()));
    QCOMPARE(q(hosts.gatewayUrl("/api/login")), QByteArray("https://127.0.0.1:8443/api/login"));
    QCOMPARE(q(hosts.upgradeUrl("/api/update")), QByteArray("https://127.0.0.1:8443/api/update"));
}

QTEST_GUILESS_MAIN(TestHostSettings)
#include "TestHostSettings.moc"
