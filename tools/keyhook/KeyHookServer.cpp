#include "KeyHookServer.h"

#include <QTcpSocket>

#include <cstdio>

KeyHookServer::KeyHookServer(QObject *parent)
    : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &KeyHookServer::onNewConnection);
}

bool KeyHookServer::listen(quint16 port)
{
    return m_server.listen(QHostAddress::LocalHost, port);
}

void KeyHookServer::onNewConnection()
{
    while (QTcpSocket *client = m_server.nextPendingConnection()) {
        m_clients.append(client);
        std::printf("KeyHook client connected (%lld)\n", static_cast<long long>(m_clients.size()));
        std::fflush(stdout);
        connect(client, &QTcpSocket::disconnected, this, [this, client] {
            m_clients.removeAll(client);
            client->deleteLater();
        });
    }
}

void KeyHookServer::sendCode(const QByteArray &line)
{
    const QByteArray code = line.trimmed();
    if (code.isEmpty())
        return;
    for (QTcpSocket *client : qAsConst(m_clients)) {
        client->write(code);
        client->flush();
    }
}
