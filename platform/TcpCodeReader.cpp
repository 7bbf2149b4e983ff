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

TcpCodeReader::TcpCodeReader(Options options, Callbacks callbacks)
    : m_options(std::move(options))
    , m_callbacks(std::move(callbacks))
    , m_wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{ }

TcpCodeReader::~TcpCodeReader()
{
    stop();
    if (m_wake >= 0)
        ::close(m_wake);
}

void TcpCodeReader::start()
{
    if (m_thread.joinable() || m_wake < 0)
        return;
    uint64_t pending = 0;
    [[maybe_unused]] const ssize_t drained = ::read(m_wake, &pending, sizeof pending);
    m_stop = false;
    m_thread = std::thread(&TcpCodeReader::run, this);
}

void TcpCodeReader::stop()
{
    m_stop = true;
    if (m_wake >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_wake, &one, sizeof one);
    }
    if (m_thread.joinable())
        m_thread.join();
}

bool TcpCodeReader::waitFor(int ms)
{
    pollfd wake {m_wake, POLLIN, 0};
    while (!m_stop.load()) {
        const int ready = ::poll(&wake, 1, ms);
        if (ready == 0)
            return true;
        if (ready < 0 && errno == EINTR)
            continue;
        break;
    }
    return false;
}

int TcpCodeReader::connectOnce()
{
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(m_options.port));
    if (m_options.port <= 0 || m_options.port > 65535
        || ::inet_pton(AF_INET, m_options.host.c_str(), &address.sin_addr) != 1)
        return -1;

    const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (socket < 0)
        return -1;
    if (::connect(socket, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0)
        return socket;
    if (errno != EINPROGRESS) {
        ::close(socket);
        return -1;
    }
    pollfd watched[2] = {{socket, POLLOUT, 0}, {m_wake, POLLIN, 0}};
    int ready;
    do {
        ready = ::poll(watched, 2, m_options.connectTimeoutMs);
    } while (ready < 0 && errno == EINTR && !m_stop.load());
    int error = 0;
    socklen_t length = sizeof error;
    if (ready <= 0 || m_stop.load() || !(watched[0].revents & (POLLOUT | POLLERR | POLLHUP))
        || ::getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
        ::close(socket);
        return -1;
    }
    return socket;
}

void TcpCodeReader::receiveLoop(int socket)
{
    char buffer[kReceiveBytes];
    pollfd watched[2] = {{socket, POLLIN, 0}, {m_wake, POLLIN, 0}};
    while (!m_stop.load()) {
        const int ready = ::poll(watched, 2, -1);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (m_stop.load() || watched[1].revents)
            return;
        const ssize_t count = ::recv(socket, buffer, sizeof buffer, 0);
        if (count < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK))
            continue;
        if (count <= 0)
            return; // closed by the peer, or broken
        const char *end = std::find(buffer, buffer + count, '\0');
        if (end != buffer && m_callbacks.received)
            m_callbacks.received(QByteArray(buffer, static_cast<int>(end - buffer)));
    }
}

void TcpCodeReader::run()
{
    int retryMs = m_options.firstRetryMs;
    bool first = true;
    bool retrying = false; // the last reported state was a failure
    while (!m_stop.load()) {
        const int socket = connectOnce();
        if (m_stop.load()) {
            if (socket >= 0)
                ::close(socket);
            return;
        }
        if (socket >= 0) {
            ++m_connections;
            retrying = false;
            first = false;
            retryMs = m_options.firstRetryMs;
            if (m_callbacks.stateChanged)
                m_callbacks.stateChanged(State::Connected, 0);
            receiveLoop(socket);
            ::close(socket);
            if (m_stop.load())
                return;
            retrying = true;
            if (m_callbacks.stateChanged)
                m_callbacks.stateChanged(State::Lost, retryMs);
        } else if (!retrying) {
            retrying = true;
            if (m_callbacks.stateChanged)
                m_callbacks.stateChanged(first ? State::ConnectFailed : State::Lost, retryMs);
            first = false;
        }
        if (!waitFor(retryMs))
            return;
        retryMs = std::min(retryMs * 2, m_options.maxRetryMs);
    }
}
