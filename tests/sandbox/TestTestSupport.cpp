#include "SandboxProcess.h"
#include "TempHome.h"

#include <QDir>
#include <QtTest>

// The helpers every integration test relies on.
class TestTestSupport : public QObject
{
    Q_OBJECT

private slots:
    void tempHomeSetsAndRestores_data();
    void tempHomeSetsAndRestores();
    void sandboxStartFailsWithoutBinary_data();
    void sandboxStartFailsWithoutBinary();
    void sandboxProcessReportsItsPlaces();
};

void TestTestSupport::tempHomeSetsAndRestores_data()
{
    QTest::addColumn<bool>("homeSetBefore");

    QTest::newRow("TALLYPORT_HOME unset") << false;
    QTest::newRow("TALLYPORT_HOME set") << true;
}

void TestTestSupport::tempHomeSetsAndRestores()
{
    QFETCH(bool, homeSetBefore);

    const QString workingDir = QDir::currentPath();
    if (homeSetBefore) {
        qputenv("TALLYPORT_HOME", "/nonexistent/home");
    } else {
        qunsetenv("TALLYPORT_HOME");
    }
    QString path;
    {
        TempHome home;
        QVERIFY(home.isValid());
        path = home.path();
        QCOMPARE(qEnvironmentVariable("TALLYPORT_HOME"), path);
        QCOMPARE(QDir::currentPath(), QDir(path).canonicalPath());
        QVERIFY(QDir(path).exists());
        QCOMPARE(home.filePath("a.ini"), path + "/a.ini");
    }
    QCOMPARE(QDir::currentPath(), workingDir);
    QVERIFY(!QDir(path).exists());
    QCOMPARE(qEnvironmentVariableIsSet("TALLYPORT_HOME"), homeSetBefore);
    if (homeSetBefore) {
        QCOMPARE(qgetenv("TALLYPORT_HOME"), QByteArray("/nonexistent/home"));
        qunsetenv("TALLYPORT_HOME");
    }
}

void TestTestSupport::sandboxStartFailsWithoutBinary_data()
{
    QTest::addColumn<QByteArray>("program");
    QTest::addColumn<QString>("warning");

    QTest::newRow("unset") << QByteArray() << "TALLYPORT_SANDBOX is not set";
    QTest::newRow("missing file") << QByteArray("/nonexistent/tallyport-sandbox") << "cannot start";
    QTest::newRow("no listening line") << QByteArray("/bin/true") << "no listening line";
}

void TestTestSupport::sandboxStartFailsWithoutBinary()
{
    QFETCH(QByteArray, program);
    QFETCH(QString, warning);

    const QByteArray real = qgetenv("TALLYPORT_SANDBOX");
    if (program.isEmpty()) {
        qunsetenv("TALLYPORT_SANDBOX");
    } else {
        qputenv("TALLYPORT_SANDBOX", program);
    }
    SandboxProcess sandbox;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QRegularExpression::escape(warning)));
    const bool started = sandbox.start();
    qputenv("TALLYPORT_SANDBOX", real);
    QVERIFY(!started);
    QVERIFY(!sandbox.isRunning());
}

void TestTestSupport::sandboxProcessReportsItsPlaces()
{
    SandboxProcess sandbox;
    QVERIFY(sandbox.start());
    QVERIFY(sandbox.port() > 0);
    QCOMPARE(sandbox.url("/api/face"),
        "https://127.0.0.1:" + std::to_string(sandbox.port()) + "/api/face");
    QCOMPARE(sandbox.caPath(), sandbox.dataDir() + "/ca.pem");
    QVERIFY(QFile::exists(sandbox.caPath()));
    QVERIFY(sandbox.journal().isEmpty());
    QVERIFY(sandbox.injectFault(R"({"kind":"clear"})"));
    const QList<QJsonObject> journal = sandbox.journal();
    QCOMPARE(journal.size(), 1);
    QCOMPARE(journal.first().value("path").toString(), QStringLiteral("/sandbox/faults"));
    QCOMPARE(sandbox.stop(), 0);
    QVERIFY(!sandbox.isRunning());
}

QTEST_GUILESS_MAIN(TestTestSupport)
#include "TestTestSupport.moc"
