#include "TcpCodeReader.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>

#include <winsock2.h>
#include <ws2tcpip.h>

namespace {

// The slice in which a connect or a receive looks at the stop flag.
constexpr int kSliceMs = 100;

// Windows Sockets 2.2, started once for the process and kept.
bool winsockStarted()
{
    static const bool started = [] {
        WSADATA data {};
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

} // namespace

// The socket of the connection; stop() wakes a wait through the condition.
struct TcpCodeReader::System
{
    SOCKET socket = INVALID_SOCKET;
    std::mutex mutex;
    std::condition_variable stopped;

    bool connect(const Options &options, const std::atomic<bool> &stop);
    void receive(const Callbacks &callbacks, const std::atomic<bool> &stop);
    void disconnect()
    {
        if (socket != INVALID_SOCKET)
            closesocket(socket);
        socket = INVALID_SOCKET;
    }
    bool waitFor(int ms, const std::atomic<bool> &stop)
    {
        std::unique_lock<std::mutex> lock(mutex);
        return !stopped.wait_for(
            lock, std::chrono::milliseconds(ms), [&stop] { return stop.load(); });
    }
};

TcpCodeReader::TcpCodeReader(Options options, Callbacks callbacks)
    : m_options(std::move(options))
    , m_callbacks(std::move(callbacks))
    , m_system(std::make_unique<System>())
{ }

TcpCodeReader::~TcpCodeReader()
{
    stop();
}

void TcpCodeReader::start()
{
    if (m_thread.joinable() || !winsockStarted())
        return;
    m_stop = false;
    m_thread = std::thread(&TcpCodeReader::run, this);
}

void TcpCodeReader::stop()
{
    {
        std::lock_guard<std::mutex> lock(m_system->mutex);
        m_stop = true;
    }
    m_system->stopped.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void TcpCodeReader::run()
{
    Reconnect::Steps steps;
    steps.connect = [this] {
        if (!m_system->connect(m_options, m_stop))
            return false;
        ++m_connections;
        return true;
    };
    steps.receive = [this] { m_system->receive(m_callbacks, m_stop); };
    steps.disconnect = [this] { m_system->disconnect(); };
    steps.wait = [this](int ms) { return m_system->waitFor(ms, m_stop); };
    steps.stateChanged = m_callbacks.stateChanged;
    Reconnect::run(m_options.firstRetryMs, m_options.maxRetryMs, m_stop, steps);
}

bool TcpCodeReader::System::connect(const Options &options, const std::atomic<bool> &stop)
{
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(options.port));
    if (options.port <= 0 || options.port > 65535
        || inet_pton(AF_INET, options.host.c_str(), &address.sin_addr) != 1)
        return false;
    socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (socket == INVALID_SOCKET)
        return false;
    u_long nonBlocking = 1;
    ioctlsocket(socket, FIONBIO, &nonBlocking);
    if (::connect(socket, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0)
        return true;
    if (WSAGetLastError() != WSAEWOULDBLOCK) {
        disconnect();
        return false;
    }
    for (int waited = 0; waited < options.connectTimeoutMs && !stop.load(); waited += kSliceMs) {
        WSAPOLLFD watched {socket, POLLWRNORM, 0};
        const int ready = WSAPoll(&watched, 1, kSliceMs);
        if (ready < 0)
            break;
        if (ready == 0)
            continue;
        int error = 0;
        int length = sizeof error;
        if ((watched.revents & (POLLERR | POLLHUP))
            || getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char *>(&error), &length)
                != 0
            || error != 0)
            break;
        return true;
    }
    disconnect();
    return false;
}

void TcpCodeReader::System::receive(const Callbacks &callbacks, const std::atomic<bool> &stop)
{
    char buffer[kReceiveBytes];
    while (!stop.load()) {
        WSAPOLLFD watched {socket, POLLRDNORM, 0};
        const int ready = WSAPoll(&watched, 1, kSliceMs);
        if (ready < 0)
            return;
        if (ready == 0)
            continue;
        const int count = recv(socket, buffer, sizeof buffer, 0);
        if (count < 0 && WSAGetLastError() == WSAEWOULDBLOCK)
            continue;
        if (count <= 0)
            return; // closed by the peer, or broken
        const char *end = std::find(buffer, buffer + count, '\0');
        if (end != buffer && callbacks.received)
            callbacks.received(QByteArray(buffer, static_cast<int>(end - buffer)));
    }
}
