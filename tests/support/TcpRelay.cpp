#include "TcpRelay.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A port nothing listens on right now, as the kernel picks it.
int freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return 0;
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

} // namespace

TcpRelay::TcpRelay()
    : m_port(freePort())
{
    m_socat.setProcessChannelMode(QProcess::ForwardedChannels);
}

TcpRelay::~TcpRelay()
{
    close();
}

bool TcpRelay::listening() const
{
    // A listening socket of ours: local address 127.0.0.1:port in state 0A.
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (!table.open(QIODevice::ReadOnly))
        return false;
    const QByteArray local
        = QByteArray("0100007F:") + QByteArray::number(m_port, 16).toUpper().rightJustified(4, '0');
    for (const QByteArray &line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > 3 && fields.at(1) == local && fields.at(3) == "0A")
            return true;
    }
    return false;
}

bool TcpRelay::forwardTo(int targetPort)
{
    if (m_port == 0)
        return false;
    if (m_socat.state() != QProcess::NotRunning && targetPort == m_target)
        return true;
    close();
    m_target = targetPort;
    m_socat.start(QStringLiteral("socat"),
        {QStringLiteral("TCP4-LISTEN:%1,bind=127.0.0.1,reuseaddr,fork").arg(m_port),
            QStringLiteral("TCP4:127.0.0.1:%1").arg(targetPort)});
    if (!m_socat.waitForStarted(kStartTimeoutMs))
        return false;
    QDeadlineTimer deadline(kStartTimeoutMs);
    while (!listening()) {
        if (deadline.hasExpired() || m_socat.state() == QProcess::NotRunning) {
            qWarning("TcpRelay: socat does not listen on %d", m_port);
            return false;
        }
        QThread::msleep(5); // polls the socket table; nothing to wait on
    }
    return true;
}

void TcpRelay::close()
{
    if (m_socat.state() == QProcess::NotRunning)
        return;
    m_socat.terminate();
    if (!m_socat.waitForFinished(kStartTimeoutMs)) {
        m_socat.kill();
        m_socat.waitForFinished(kStartTimeoutMs);
    }
    m_target = 0;
}
