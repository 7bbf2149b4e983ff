// The serial-port choices of the settings page: every port for the data collection after the
// manual input, the customer display only on ports that are not virtual (an emulator named in
// the port's name or description, in any case); the port the reader opens is always a choice
// of the serial connection mode, marked when it is not there.
#include "SerialPortList.h"

#include <QtTest>

class TestSerialPortList : public QObject
{
    Q_OBJECT

private slots:
    void displayIsNeverOnAVirtualPort();
    void portInUseIsAlwaysAChoice();
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

void TestSerialPortList::portInUseIsAlwaysAChoice()
{
    const SerialPortList ports({{"ttyS0", "16550A"}, {"ttyUSB0", "FT232R USB UART"}});
    const auto texts = [&ports](const QString &configured) {
        QStringList shown;
        for (const SerialPortList::Choice &choice : ports.portChoices(configured))
            shown << choice.name + '=' + choice.text;
        return shown;
    };
    QCOMPARE(texts("ttyUSB0"), (QStringList {"ttyS0=ttyS0", "ttyUSB0=ttyUSB0"}));
    QCOMPARE(texts("COM7"), (QStringList {"ttyS0=ttyS0", "ttyUSB0=ttyUSB0", "COM7=COM7 (未连接)"}));
    QCOMPARE(texts(""), (QStringList {"ttyS0=ttyS0", "ttyUSB0=ttyUSB0"}));
}

QTEST_APPLESS_MAIN(TestSerialPortList)
#include "TestSerialPortList.moc"
