// The KeyHook helper: each scanned line reaches every connected client as one transmission,
// without its line end; blank lines send nothing.
#include <QDeadlineTimer>
#include <QTcpSocket>
#include <QtTest>

class TestKeyHook : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void eachLineIsSentToEveryClient();
    void blankLinesSendNothing();

private:
    // Waits until KeyHook has reported `count` clients in all since it started.
    bool waitForClients(int count);

    QProcess m_keyHook;
    quint16 m_port = 0;
    QByteArray m_output;
};

void TestKeyHook::initTestCase()
{
    m_keyHook.start(
        qEnvironmentVariable("TALLYPORT_KEYHOOK"), {QStringLiteral("--port"), QStringLiteral("0")});
    QVERIFY(m_keyHook.waitForStarted());
    QTRY_VERIFY(m_keyHook.canReadLine());
    const QByteArray line = m_keyHook.readLine().trimmed();
    QVERIFY2(line.startsWith("KeyHook listening on 127.0.0.1:"), line.constData());
    m_port = static_cast<quint16>(line.mid(line.lastIndexOf(':') + 1).toUInt());
    QVERIFY(m_port != 0);
}

bool TestKeyHook::waitForClients(int count)
{
    const QByteArray expected = "KeyHook client connected";
    QDeadlineTimer deadline(5000);
    while (m_output.count(expected) < count && !deadline.hasExpired()) {
        m_keyHook.waitForReadyRead(100);
        m_output += m_keyHook.readAllStandardOutput();
    }
    return m_output.count(expected) >= count;
}

void TestKeyHook::cleanupTestCase()
{
    m_keyHook.terminate();
    m_keyHook.waitForFinished(5000);
}

void TestKeyHook::eachLineIsSentToEveryClient()
{
    QTcpSocket first;
    QTcpSocket second;
    first.connectToHost(QHostAddress::LocalHost, m_port);
    second.connectToHost(QHostAddress::LocalHost, m_port);
    QVERIFY(first.waitForConnected(5000));
    QVERIFY(second.waitForConnected(5000));
    QVERIFY(waitForClients(2));

    m_keyHook.write("134567890123456780\r\n");
    QTRY_COMPARE(first.bytesAvailable(), qint64(18));
    QCOMPARE(first.readAll(), QByteArray("134567890123456780"));
    QTRY_COMPARE(second.bytesAvailable(), qint64(18));
    QCOMPARE(second.readAll(), QByteArray("134567890123456780"));
}

void TestKeyHook::blankLinesSendNothing()
{
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, m_port);
    QVERIFY(client.waitForConnected(5000));
    QVERIFY(waitForClients(3));
    m_keyHook.write("   \n\n2812345678901230\n");
    QTRY_COMPARE(client.bytesAvailable(), qint64(16));
    QCOMPARE(client.readAll(), QByteArray("2812345678901230"));
}

QTEST_GUILESS_MAIN(TestKeyHook)
#include "TestKeyHook.moc"
