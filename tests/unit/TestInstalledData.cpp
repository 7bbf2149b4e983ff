// Later runs of an installed till: the shop's configuration stays as it is, and a data
// directory someone opened up is made owner-only again. (The first run is driven end to end
// from the unpacked package in TestPackage.)
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
    void laterRunsKeepTheConfigurationAndCloseTheDirectory();
};

void TestInstalledData::laterRunsKeepTheConfigurationAndCloseTheDirectory()
{
    QTemporaryDir root;
    const QString data = root.filePath(QStringLiteral("data"));
    QVERIFY(QDir().mkpath(data));
    QVERIFY(QFile::setPermissions(data,
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
            | QFileDevice::ReadOther | QFileDevice::ExeOther));
    const QByteArray shop = "[GATEWAY_HOST]\r\ngateway_host=https://gateway.shop.test\r\n";
    QVERIFY(writeFileBytes(data + QStringLiteral("/TallyportConfig.ini"), shop));
    const QString workingDir = QDir::currentPath();

    QCOMPARE(InstalledData::prepareIn(data, root.path()), QString());

    QCOMPARE(readFileBytes(data + QStringLiteral("/TallyportConfig.ini")), shop);
    QCOMPARE(permissionBits(data), 0700);
    QCOMPARE(QDir::currentPath(), QDir(root.path()).canonicalPath());
    RunLog::setDirectory(std::string());
    QDir::setCurrent(workingDir);
}

QTEST_GUILESS_MAIN(TestInstalledData)
#include "TestInstalledData.moc"
