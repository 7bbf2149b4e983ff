// The KeyHook helper: each scanned line reaches every connected client as one transmission,
// without its line end; blank lines send nothing. A scanner's input device given with --device
// is read as key events, Enter ending each code.
#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTcpSocket>
#include <QtTest>

#include <fcntl.h>
#include <linux/input.h>
#include <sys/stat.h>
#include <unistd.h>

class TestKeyHook : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void eachLineIsSentToEveryClient();
    void blankLinesSendNothing();
    void scannerDeviceCodes();

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

void TestKeyHook::scannerDeviceCodes()
{
    // A FIFO of recorded key events stands in for /dev/input/eventN; the test holds it open so
    // KeyHook never sees its end.
    QTemporaryDir dir;
    const QByteArray device = dir.filePath(QStringLiteral("event-scanner")).toLocal8Bit();
    QCOMPARE(::mkfifo(device.constData(), 0600), 0);
    const int scanner = ::open(device.constData(), O_RDWR);
    QVERIFY(scanner >= 0);

    QProcess keyHook;
    keyHook.start(qEnvironmentVariable("TALLYPORT_KEYHOOK"),
        {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--device"),
            QString::fromLocal8Bit(device)});
    QVERIFY(keyHook.waitForStarted());
    QTRY_VERIFY(keyHook.canReadLine());
    const QByteArray line = keyHook.readLine().trimmed();
    QVERIFY2(line.startsWith("KeyHook listening on 127.0.0.1:"), line.constData());
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, line.mid(line.lastIndexOf(':') + 1).toUShort());
    QVERIFY(client.waitForConnected(5000));
    QByteArray output;
    QTRY_VERIFY2((output += keyHook.readAllStandardOutput()).contains("KeyHook client connected"),
        output.constData());

    QByteArray events;
    const auto key = [&events](quint16 code) {
        for (const int value : {1, 0}) {
            input_event event {};
            event.type = EV_KEY;
            event.code = code;
            event.value = value;
            events.append(reinterpret_cast<const char *>(&event), sizeof event);
            input_event report {};
            report.type = EV_SYN;
            events.append(reinterpret_cast<const char *>(&report), sizeof report);
        }
    };
    for (const quint16 code : {KEY_2, KEY_8, KEY_1, KEY_2, KEY_3, KEY_4, KEY_5, KEY_6, KEY_7, KEY_8,
             KEY_9, KEY_0, KEY_1, KEY_2, KEY_3, KEY_0, KEY_ENTER})
        key(code);
    // Written in two pieces that split an event, as a device read may.
    QFile writer;
    QVERIFY(writer.open(scanner, QIODevice::WriteOnly | QIODevice::Unbuffered));
    QCOMPARE(writer.write(events.left(37)), qint64(37));
    QCOMPARE(writer.write(events.mid(37)), qint64(events.size() - 37));
    QTRY_COMPARE(client.bytesAvailable(), qint64(16));
    QCOMPARE(client.readAll(), QByteArray("2812345678901230"));

    ::close(scanner);
    keyHook.terminate();
    QVERIFY(keyHook.waitForFinished(5000));
}

QTEST_GUILESS_MAIN(TestKeyHook)
#include "TestKeyHook.moc"
