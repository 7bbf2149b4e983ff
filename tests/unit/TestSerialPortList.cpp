// The serial-port choices of the settings page: every port for the data collection after the
// manual input, the customer display only on ports that are not virtual (an emulator named in
// the port's name or description, in any case).
#include "SerialPortList.h"

#include <QtTest>

class TestSerialPortList : public QObject
{
    Q_OBJECT

private slots:
    void displayIsNeverOnAVirtualPort();
};

void TestSerialPortList::displayIsNeverOnAVirtualPort()
{
    QCOMPARE(SerialPortList({}).displayList(), QStringList {"停用"});
    const SerialPortList ports({{"ttyS0", "16550A"}, {"CNCA0", "COM0COM - serial port emulator"},
        {"vSerial7", ""}, {"ttyUSB0", "FT232R USB UART"}});
    QCOMPARE(ports.displayList(), (QStringList {"停用", "ttyS0", "ttyUSB0"}));
    QCOMPARE(ports.collectionList(),
        (QStringList {"手动输入", "ttyS0", "CNCA0", "vSerial7", "ttyUSB0"}));
}

QTEST_APPLESS_MAIN(TestSerialPortList)
#include "TestSerialPortList.moc"
