#include "SerialReader.h"

#include <QElapsedTimer>
#include <QThread>

#include <algorithm>
#include <thread>

#include <windows.h>

namespace {

// The slice in which the reader looks at its stop flag: every read returns within it.
constexpr DWORD kSliceMs = 100;

std::mutex openHookMutex;
SerialReader::OpenHook openHookForTests;

// The test hook as it is now; empty outside tests.
SerialReader::OpenHook openHook()
{
    const std::lock_guard<std::mutex> lock(openHookMutex);
    return openHookForTests;
}

// "\\.\COM7": the device of the port, which also opens ports above COM9.
HANDLE openNow(const SerialReader::Options &options, int &error)
{
    const QByteArray device = SerialReader::devicePath(options.port).toLocal8Bit();
    const HANDLE port = CreateFileA(
        device.constData(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        error = static_cast<int>(GetLastError());
        return nullptr;
    }
    DCB settings {};
    settings.DCBlength = sizeof settings;
    GetCommState(port, &settings);
    settings.BaudRate = CBR_9600;
    settings.ByteSize = 8;
    settings.Parity = NOPARITY;
    settings.StopBits = options.stopBits == 2 ? TWOSTOPBITS : ONESTOPBIT;
    settings.fBinary = TRUE;
    settings.fOutxCtsFlow = FALSE;
    settings.fOutxDsrFlow = FALSE;
    settings.fOutX = FALSE;
    settings.fInX = FALSE;
    SetCommState(port, &settings);
    PurgeComm(port, PURGE_RXABORT | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_TXCLEAR);
    // Each read returns within a slice, with what has arrived; the quiet gap that ends a text
    // is measured by the reader, so stop() is never kept waiting by a long read.
    COMMTIMEOUTS timeouts {};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
    timeouts.ReadTotalTimeoutConstant = kSliceMs;
    SetCommTimeouts(port, &timeouts);
    return port;
}

HANDLE openPort(const SerialReader::Options &options, int &error)
{
    HANDLE port = nullptr;
    const std::function<void()> open = [&] { port = openNow(options, error); };
    if (const SerialReader::OpenHook hook = openHook())
        hook(options.port, open);
    else
        open();
    return port;
}

} // namespace

QString SerialReader::devicePath(const QString &port)
{
    return port.startsWith(QLatin1String("\\\\.\\")) ? port : QStringLiteral("\\\\.\\") + port;
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
    int error = 0;
    HANDLE port = openPort(m_options, error);
    if (m_stop.load()) {
        if (port)
            CloseHandle(port);
        return;
    }
    if (m_callbacks.opened)
        m_callbacks.opened({port != nullptr, port ? 0 : error});
    if (!port)
        return;

    int retryMs = m_options.firstRetryMs;
    QByteArray pending;
    QElapsedTimer quiet; // since the last byte of the text under way
    while (!m_stop.load()) {
        if (!port) {
            // Wait, then try the port again.
            QElapsedTimer waited;
            waited.start();
            while (!m_stop.load() && waited.elapsed() < retryMs)
                std::this_thread::sleep_for(std::chrono::milliseconds(kSliceMs));
            if (m_stop.load())
                return;
            port = openPort(m_options, error);
            if (port) {
                retryMs = m_options.firstRetryMs;
                if (m_callbacks.stateChanged)
                    m_callbacks.stateChanged(true);
            } else {
                retryMs = std::min(retryMs * 2, m_options.maxRetryMs);
            }
            continue;
        }
        char buffer[kReadBytes];
        DWORD count = 0;
        const bool read
            = ReadFile(port, buffer, DWORD(kReadBytes - pending.size()), &count, nullptr);
        if (count > 0) {
            pending.append(buffer, int(count));
            quiet.start();
        }
        const bool ended = !pending.isEmpty()
            && (!read || pending.size() >= kReadBytes || quiet.elapsed() >= m_options.quietMs);
        if (ended) {
            if (m_callbacks.received)
                m_callbacks.received(pending);
            pending.clear();
        }
        if (!read) {
            CloseHandle(port);
            port = nullptr;
            pending.clear();
            if (m_callbacks.stateChanged)
                m_callbacks.stateChanged(false);
        }
    }
    if (port)
        CloseHandle(port);
}
