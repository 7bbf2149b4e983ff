// The serial-port choices of the settings page: every port for the data collection and the
// serial connection, the customer display only on ports that are not virtual.
#include "SerialPortList.h"

#include <QtTest>

using Port = SerialPortList::Port;
Q_DECLARE_METATYPE(QList<Port>)

class TestSerialPortList : public QObject
{
    Q_OBJECT

private slots:
    void listsOfPorts_data();
    void listsOfPorts();
};

void TestSerialPortList::listsOfPorts_data()
{
    QTest::addColumn<QList<Port>>("ports");
    QTest::addColumn<QStringList>("collection");
    QTest::addColumn<QStringList>("display");
    QTest::addColumn<QStringList>("serialConnection");

    QTest::newRow("no ports") << QList<Port> {} << QStringList {"手动输入"} << QStringList {"停用"}
                              << QStringList {};
    QTest::newRow("real ports") << QList<Port> {{"ttyS0", "16550A"}, {"ttyUSB0", "FT232R USB UART"}}
                                << QStringList {"手动输入", "ttyS0", "ttyUSB0"}
                                << QStringList {"停用", "ttyS0", "ttyUSB0"}
                                << QStringList {"ttyS0", "ttyUSB0"};
    QTest::newRow("emulator named in the description, any case")
        << QList<Port> {{"COM3", "USB Serial"}, {"CNCA0", "COM0COM - serial port emulator"}}
        << QStringList {"手动输入", "COM3", "CNCA0"} << QStringList {"停用", "COM3"}
        << QStringList {"COM3", "CNCA0"};
    QTest::newRow("emulator named in the port name")
        << QList<Port> {{"vSerial7", ""}, {"ttyACM0", "Scanner"}}
        << QStringList {"手动输入", "vSerial7", "ttyACM0"} << QStringList {"停用", "ttyACM0"}
        << QStringList {"vSerial7", "ttyACM0"};
    QTest::newRow("only virtual ports")
        << QList<Port> {{"com0com1", ""}} << QStringList {"手动输入", "com0com1"}
        << QStringList {"停用"} << QStringList {"com0com1"};
}

void TestSerialPortList::listsOfPorts()
{
    QFETCH(QList<Port>, ports);
    QFETCH(QStringList, collection);
    QFETCH(QStringList, display);
    QFETCH(QStringList, serialConnection);

    const SerialPortList list(ports);
    QCOMPARE(list.collectionList(), collection);
    QCOMPARE(list.displayList(), display);
    QCOMPARE(list.portNames(), serialConnection);
}

QTEST_APPLESS_MAIN(TestSerialPortList)
#include "TestSerialPortList.moc"
