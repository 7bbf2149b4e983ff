#include "SerialReader.h"

#include <QElapsedTimer>
#include <QSerialPort>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <thread>

namespace {

// The slice in which the reader looks at its stop flag.
constexpr int kSliceMs = 100;

std::mutex openHookMutex;
SerialReader::OpenHook openHookForTests;

// The test hook as it is now; empty outside tests.
SerialReader::OpenHook openHook()
{
    const std::lock_guard<std::mutex> lock(openHookMutex);
    return openHookForTests;
}

bool openNow(QSerialPort &port, const SerialReader::Options &options, int &error)
{
    errno = 0;
    if (!port.open(QIODevice::ReadWrite)) {
        error = errno != 0 ? errno : static_cast<int>(port.error());
        return false;
    }
    port.setBaudRate(QSerialPort::Baud9600);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(options.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
    port.clear(QSerialPort::AllDirections);
    return true;
}

bool openPort(QSerialPort &port, const SerialReader::Options &options, int &error)
{
    bool opened = false;
    const std::function<void()> open = [&] { opened = openNow(port, options, error); };
    if (const SerialReader::OpenHook hook = openHook())
        hook(options.port, open);
    else
        open();
    return opened;
}

} // namespace

QString SerialReader::devicePath(const QString &port)
{
    return port.contains(QLatin1Char('/')) ? port : QStringLiteral("/dev/") + port;
}

SerialReader::SerialReader(Options options, Callbacks callbacks)
    : m_options(std::move(options))
    , m_callbacks(std::move(callbacks))
{ }

SerialReader::~SerialReader()
{
    stop();
}

void SerialReader::setOpenHookForTests(OpenHook hook)
{
    const std::lock_guard<std::mutex> lock(openHookMutex);
    openHookForTests = std::move(hook);
}

void SerialReader::start()
{
    if (m_thread)
        return;
    m_stop = false;
    // A QThread, not a plain thread: the port's socket notifier belongs to the thread that
    // opens it, and Qt accepts notifiers only on threads it started.
    m_thread.reset(QThread::create([this] {
        run();
        std::lock_guard<std::mutex> finished(m_finished);
    }));
    m_thread->setObjectName(QStringLiteral("SerialReader"));
    m_thread->start();
}

void SerialReader::stop()
{
    m_stop = true;
    if (m_thread)
        endThread();
}

void SerialReader::endThread()
{
    m_thread->wait();
    std::lock_guard<std::mutex> finished(m_finished);
    m_thread.reset();
}

void SerialReader::run()
{
    QSerialPort port;
    port.setPortName(devicePath(m_options.port));
    int error = 0;
    const bool opened = openPort(port, m_options, error);
    if (m_stop.load())
        return;
    if (m_callbacks.opened)
        m_callbacks.opened({opened, opened ? 0 : error});
    if (!opened)
        return;

    int retryMs = m_options.firstRetryMs;
    QByteArray pending;
    while (!m_stop.load()) {
        if (!port.isOpen()) {
            // Wait, then try the port again.
            QElapsedTimer waited;
            waited.start();
            while (!m_stop.load() && waited.elapsed() < retryMs)
                std::this_thread::sleep_for(std::chrono::milliseconds(kSliceMs));
            if (m_stop.load())
                return;
            if (openPort(port, m_options, error)) {
                retryMs = m_options.firstRetryMs;
                if (m_callbacks.stateChanged)
                    m_callbacks.stateChanged(true);
            } else {
                retryMs = std::min(retryMs * 2, m_options.maxRetryMs);
            }
            continue;
        }

        // Wait for the first byte, then until the line is quiet or the read is full.
        const bool more = port.waitForReadyRead(pending.isEmpty() ? kSliceMs : m_options.quietMs);
        if (more)
            pending += port.readAll();
        const bool failed
            = port.error() != QSerialPort::NoError && port.error() != QSerialPort::TimeoutError;
        if (!pending.isEmpty() && (!more || failed || pending.size() >= kReadBytes)) {
            const QByteArray bytes = pending.left(kReadBytes);
            pending.remove(0, bytes.size());
            if (m_callbacks.received)
                m_callbacks.received(bytes);
        }
        if (failed) {
            port.close();
            port.clearError();
            pending.clear();
            if (m_callbacks.stateChanged)
                m_callbacks.stateChanged(false);
        } else if (port.error() == QSerialPort::TimeoutError) {
            port.clearError();
        }
    }
}
