// The KeyHook helper: each scanned line reaches every connected client as one transmission,
// without its line end; blank lines send nothing. A scanner's input device given with --device
// is read as key events: Shift and Caps Lock choose the shifted form, Enter ends a code.
#include "VirtualKeyDecoder.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTcpSocket>
#include <QtTest>

#include <linux/input.h>
#include <sys/stat.h>

namespace {

QByteArray inputEvent(quint16 type, quint16 code, qint32 value)
{
    const input_event e {{}, type, code, value};
    return QByteArray(reinterpret_cast<const char *>(&e), sizeof e);
}

// Keys pressed and released in turn, each event followed by its report.
QByteArray keys(std::initializer_list<quint16> codes)
{
    QByteArray events;
    for (const quint16 code : codes)
        events += inputEvent(EV_KEY, code, 1) + inputEvent(EV_SYN, SYN_REPORT, 0)
            + inputEvent(EV_KEY, code, 0) + inputEvent(EV_SYN, SYN_REPORT, 0);
    return events;
}

} // namespace

class TestKeyHook : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void eachLineIsSentToEveryClient();
    void blankLinesSendNothing();
    void scannerDeviceCodes_data();
    void scannerDeviceCodes();
    void windowsHookKeys_data();
    void windowsHookKeys();

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

void TestKeyHook::scannerDeviceCodes_data()
{
    QTest::addColumn<QByteArray>("events");
    QTest::addColumn<QByteArray>("code"); // what the client receives

    QTest::newRow("digits and Enter") << keys({KEY_2, KEY_8, KEY_1, KEY_2, KEY_3, KEY_4, KEY_5,
        KEY_6, KEY_7, KEY_8, KEY_9, KEY_0, KEY_1, KEY_2, KEY_3, KEY_0, KEY_ENTER})
                                      << QByteArray("2812345678901230");
    QTest::newRow("keypad, keys without a character skipped")
        << keys({KEY_F1, KEY_KP2, KEY_LEFTCTRL, KEY_KP8, KEY_KPDOT, KEY_KPENTER})
        << QByteArray("28.");
    QTest::newRow("shift held") << (inputEvent(EV_KEY, KEY_LEFTSHIFT, 1) + keys({KEY_A, KEY_1})
        + inputEvent(EV_KEY, KEY_LEFTSHIFT, 0) + keys({KEY_A, KEY_MINUS, KEY_ENTER}))
                                << QByteArray("A!a-");
    QTest::newRow("caps lock shifts letters only")
        << keys({KEY_CAPSLOCK, KEY_B, KEY_2, KEY_CAPSLOCK, KEY_B, KEY_ENTER}) << QByteArray("B2b");
    QTest::newRow("auto-repeat types again") << (inputEvent(EV_KEY, KEY_7, 1)
        + inputEvent(EV_KEY, KEY_7, 2) + inputEvent(EV_KEY, KEY_7, 0) + keys({KEY_ENTER}))
                                             << QByteArray("77");
    // Codes are at most 1024 characters.
    QTest::newRow("over-long code is dropped, the next one read")
        << keys({KEY_5}).repeated(1100) + keys({KEY_ENTER, KEY_6, KEY_ENTER}) << QByteArray("6");
}

void TestKeyHook::scannerDeviceCodes()
{
    QFETCH(QByteArray, events);
    QFETCH(QByteArray, code);
    // A FIFO stands in for /dev/input/eventN, held open by the test so KeyHook never sees its end.
    QTemporaryDir dir;
    const QString device = dir.filePath(QStringLiteral("event-scanner"));
    QCOMPARE(::mkfifo(QFile::encodeName(device).constData(), 0600), 0);
    QFile scanner(device);
    QVERIFY(scanner.open(QIODevice::ReadWrite | QIODevice::Unbuffered));
    QProcess keyHook;
    keyHook.start(qEnvironmentVariable("TALLYPORT_KEYHOOK"),
        {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--device"), device});
    QTRY_VERIFY(keyHook.canReadLine());
    const QByteArray line = keyHook.readLine().trimmed();
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, line.mid(line.lastIndexOf(':') + 1).toUShort());
    QVERIFY(client.waitForConnected(5000));
    QByteArray output;
    QTRY_VERIFY((output += keyHook.readAllStandardOutput()).contains("KeyHook client connected"));

    // In two pieces that split an event, as a device read may.
    QCOMPARE(scanner.write(events.left(37)), qint64(37));
    QCOMPARE(scanner.write(events.mid(37)), qint64(events.size() - 37));
    QTRY_COMPARE(client.bytesAvailable(), qint64(code.size()));
    QCOMPARE(client.readAll(), code);
    keyHook.terminate();
    QVERIFY(keyHook.waitForFinished(5000));
}

void TestKeyHook::windowsHookKeys_data()
{
    // Key presses as the Windows hook sees them: "key@ms" each, virtual-key codes in hex.
    QTest::addColumn<QStringList>("presses");
    QTest::addColumn<QStringList>("codes");

    // The main row's digits are 0x30 to 0x39, the keypad's 0x60 to 0x69.
    const auto typed = [](const QString &digits, int gapMs, int digit0 = 0x30) {
        QStringList presses;
        int ms = 1000;
        for (const QChar digit : digits) {
            presses << QStringLiteral("%1@%2").arg(digit0 + digit.digitValue(), 0, 16).arg(ms);
            ms += gapMs;
        }
        presses << QStringLiteral("d@%1").arg(ms);
        return presses;
    };
    QTest::newRow("a scanner's code")
        << typed("2812345678901230", 10) << QStringList {"2812345678901230"};
    QTest::newRow("keypad digits") << QStringList {"62@0", "68@5", "d@10"} << QStringList {"28"};
    QTest::newRow("a scanner's code on the keypad, every digit")
        << typed("2891234567890123", 10, 0x60) << QStringList {"2891234567890123"};
    QTest::newRow("a person's pace starts over") << typed("12", 300) << QStringList {};
    QTest::newRow("another key starts over")
        << QStringList {"31@0", "41@5", "32@10", "d@15"} << QStringList {"2"};
    QTest::newRow("Enter alone sends nothing") << QStringList {"d@0"} << QStringList {};
    QTest::newRow("over-long code is dropped")
        << (QStringList() << typed(QString(1100, QLatin1Char('5')), 1)) << QStringList {};
}

void TestKeyHook::windowsHookKeys()
{
    QFETCH(QStringList, presses);
    QFETCH(QStringList, codes);

    VirtualKeyDecoder decoder;
    QStringList sent;
    for (const QString &press : presses) {
        const unsigned key = press.section('@', 0, 0).toUInt(nullptr, 16);
        if (const auto code = decoder.press(key, press.section('@', 1).toLongLong()))
            sent << QString::fromStdString(*code);
    }
    QCOMPARE(sent, codes);
}

QTEST_GUILESS_MAIN(TestKeyHook)
#include "TestKeyHook.moc"
