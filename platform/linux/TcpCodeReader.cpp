#include "TcpCodeReader.h"

#include <algorithm>
#include <cerrno>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

// The socket of the connection, and an eventfd that wakes the thread for stop().
struct TcpCodeReader::System
{
    int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    int socket = -1;

    ~System()
    {
        if (wake >= 0)
            ::close(wake);
    }
    bool connect(const Options &options, const std::atomic<bool> &stop);
    void receive(const Callbacks &callbacks, const std::atomic<bool> &stop);
    void disconnect()
    {
        if (socket >= 0)
            ::close(socket);
        socket = -1;
    }
    bool waitFor(int ms, const std::atomic<bool> &stop);
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
    if (m_thread.joinable() || m_system->wake < 0)
        return;
    uint64_t pending = 0;
    [[maybe_unused]] const ssize_t drained = ::read(m_system->wake, &pending, sizeof pending);
    m_stop = false;
    m_thread = std::thread(&TcpCodeReader::run, this);
}

void TcpCodeReader::stop()
{
    m_stop = true;
    if (m_system->wake >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_system->wake, &one, sizeof one);
    }
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

bool TcpCodeReader::System::waitFor(int ms, const std::atomic<bool> &stop)
{
    pollfd watched {wake, POLLIN, 0};
    while (!stop.load()) {
        const int ready = ::poll(&watched, 1, ms);
        if (ready == 0)
            return true;
        if (ready < 0 && errno == EINTR)
            continue;
        break;
    }
    return false;
}

bool TcpCodeReader::System::connect(const Options &options, const std::atomic<bool> &stop)
{
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(options.port));
    if (options.port <= 0 || options.port > 65535
        || ::inet_pton(AF_INET, options.host.c_str(), &address.sin_addr) != 1)
        return false;

    socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (socket < 0)
        return false;
    if (::connect(socket, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0)
        return true;
    if (errno != EINPROGRESS) {
        disconnect();
        return false;
    }
    pollfd watched[2] = {{socket, POLLOUT, 0}, {wake, POLLIN, 0}};
    int ready;
    do {
        ready = ::poll(watched, 2, options.connectTimeoutMs);
    } while (ready < 0 && errno == EINTR && !stop.load());
    int error = 0;
    socklen_t length = sizeof error;
    if (ready <= 0 || stop.load() || !(watched[0].revents & (POLLOUT | POLLERR | POLLHUP))
        || ::getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
        disconnect();
        return false;
    }
    return true;
}

void TcpCodeReader::System::receive(const Callbacks &callbacks, const std::atomic<bool> &stop)
{
    char buffer[kReceiveBytes];
    pollfd watched[2] = {{socket, POLLIN, 0}, {wake, POLLIN, 0}};
    while (!stop.load()) {
        const int ready = ::poll(watched, 2, -1);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (stop.load() || watched[1].revents)
            return;
        const ssize_t count = ::recv(socket, buffer, sizeof buffer, 0);
        if (count < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK))
            continue;
        if (count <= 0)
            return; // closed by the peer, or broken
        const char *end = std::find(buffer, buffer + count, '\0');
        if (end != buffer && callbacks.received)
            callbacks.received(QByteArray(buffer, static_cast<int>(end - buffer)));
    }
}
