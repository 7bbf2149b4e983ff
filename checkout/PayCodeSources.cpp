#include "PayCodeSources.h"

#include "ConnectionSettings.h"
#include "RunLog.h"
#include "SerialHex.h"
#include "SerialReader.h"
#include "SystemMessageBox.h"
#include "TcpCodeReader.h"
#include "Text.h"

#include <QDebug>

namespace {

constexpr int kHookPort = 1234;
const char *const kHookHost = "127.0.0.1";

// A printable copy of a received text for the run log, up to its first zero byte.
// What a device sent, as far as a C string goes, read in the local code page.
std::string logText(const QByteArray &bytes)
{
    return Text::localToUtf8(std::string(bytes.constData()));
}

} // namespace

PayCodeSources::PayCodeSources(Signals signalsToOwner)
    : m_signals(std::move(signalsToOwner))
{ }

PayCodeSources::~PayCodeSources()
{
    stop();
}

int PayCodeSources::hookPort()
{
    bool ok = false;
    const int port = qEnvironmentVariableIntValue("TALLYPORT_KEYHOOK_PORT", &ok);
    return ok && port > 0 && port < 65536 ? port : kHookPort;
}

void PayCodeSources::start(int connMode)
{
    switch (connMode) {
    case 0:
        RunLog::write("USB连接模式---------------------");
        startHookSource();
        break;
    case 1:
        RunLog::write("COM 串口连接模式---------------------");
        startSerialSource();
        break;
    case 2:
        RunLog::write("网络连接模式-----------------------");
        startNetworkSource();
        break;
    default:
        break;
    }
}

void PayCodeSources::stop()
{
    if (m_hookReader)
        m_hookReader->stop();
    if (m_networkReader)
        m_networkReader->stop();
    if (m_serialReader)
        m_serialReader->stop();
}

std::optional<std::string> PayCodeSources::takeHookText()
{
    return m_hookTexts.take();
}

std::optional<std::string> PayCodeSources::takeNetworkText()
{
    return m_networkTexts.take();
}

// The keyboard-hook program on this machine. Its reader logs the first attempt and, after
// that, only when the connection is lost or made again.
void PayCodeSources::startHookSource()
{
    TcpCodeReader::Options options;
    options.host = kHookHost;
    options.port = hookPort();
    TcpCodeReader::Callbacks callbacks;
    callbacks.stateChanged = [](TcpCodeReader::State state, int retryMs) {
        switch (state) {
        case TcpCodeReader::State::Connected:
            RunLog::write("Connect Hook Client Success");
            qDebug() << "Receive Hook Data";
            break;
        case TcpCodeReader::State::ConnectFailed:
            RunLog::write("Connect Hook Client Fail");
            RunLog::write("Hook Client retry in %d ms", retryMs);
            break;
        case TcpCodeReader::State::Lost:
            RunLog::write("Hook Client connection lost, retry in %d ms", retryMs);
            break;
        }
    };
    callbacks.received = [this](const QByteArray &text) {
        RunLog::write("Receive Hook Message  %s", logText(text).c_str());
        m_hookTexts.post(text.toStdString());
        m_signals.hookText();
    };
    m_hookReader = std::make_unique<TcpCodeReader>(options, callbacks);
    m_hookReader->start();
}

// A device on the shop network. A first attempt that fails tells the cashier in a box that
// does not hold anything up; the reader keeps trying in the background.
void PayCodeSources::startNetworkSource()
{
    const ConnectionSettings::Values connection = ConnectionSettings::get();
    TcpCodeReader::Options options;
    options.host = connection.ip;
    options.port = connection.port;
    TcpCodeReader::Callbacks callbacks;
    callbacks.stateChanged = [this](TcpCodeReader::State state, int retryMs) {
        switch (state) {
        case TcpCodeReader::State::Connected:
            RunLog::write("网络设备已连接");
            qDebug() << "RECEIVE FACE PAY DATA";
            break;
        case TcpCodeReader::State::ConnectFailed:
            RunLog::write("网络设备连接失败, %d ms 后重试", retryMs);
            m_fromReaders.post([] {
                SystemMessageBox::inform(QStringLiteral("提示"), QStringLiteral("连接失败!"));
            });
            break;
        case TcpCodeReader::State::Lost:
            RunLog::write("网络设备连接断开, %d ms 后重试", retryMs);
            break;
        }
    };
    callbacks.received = [this](const QByteArray &text) {
        RunLog::write("收到socket消息: %s", logText(text).c_str());
        m_networkTexts.post(text.toStdString());
        m_signals.networkText();
    };
    m_networkReader = std::make_unique<TcpCodeReader>(options, callbacks);
    m_networkReader->start();
}

void PayCodeSources::startSerialSource()
{
    const std::string com = ConnectionSettings::get().com;
    const std::string comUtf8 = Text::localToUtf8(com);
    RunLog::write("打开串口: %s", comUtf8.c_str());
    SerialReader::Options options;
    options.port = Text::fromLocal(com);
    options.stopBits = 1;
    SerialReader::Callbacks callbacks;
    // The port opens on the reader's thread: a port that takes seconds to open (a Bluetooth
    // port) holds up neither the login nor the checkout. A failed open ends the reader, as
    // before, only said later.
    callbacks.opened = [](const SerialReader::OpenResult &result) {
        if (!result.opened)
            RunLog::write("打开串口失败, %d", result.error);
    };
    callbacks.received = [this](const QByteArray &bytes) { onSerialBytes(bytes); };
    callbacks.stateChanged = [comUtf8](bool open) {
        if (open)
            RunLog::write("串口已重新打开: %s", comUtf8.c_str());
        else
            RunLog::write("串口读取失败, 稍后重新打开: %s", comUtf8.c_str());
    };
    m_serialReader = std::make_unique<SerialReader>(options, callbacks);
    m_serialReader->start();
}

// On the serial reader's thread: every byte in hexadecimal; the decimal digits of that text go
// to the owner's thread inside its signal.
void PayCodeSources::onSerialBytes(const QByteArray &bytes)
{
    qDebug() << "wcount --------" << bytes.size();
    qDebug() << "bufff ---   " << bytes;
    RunLog::write("COM receive0 = %s", logText(bytes).c_str());
    const std::string hex = SerialHex::hexOfBytes(bytes);
    RunLog::write("COM receive1 = %s", hex.c_str());
    const std::string digits = SerialHex::withoutLowerCase(hex);
    RunLog::write("COM receive = %s", digits.c_str());
    m_signals.serialDigits(QString::fromLatin1(digits.data(), static_cast<int>(digits.size())));
}
