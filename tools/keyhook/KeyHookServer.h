#pragma once

#include <QObject>
#include <QTcpServer>

#include <QList>

class QTcpSocket;

// Sends each scanned code, in one transmission, to every connected client.
class KeyHookServer final : public QObject
{
    Q_OBJECT

public:
    explicit KeyHookServer(QObject *parent = nullptr);

    bool listen(quint16 port);
    quint16 port() const { return m_server.serverPort(); }

public slots:
    // One scanned line; the line end is not sent.
    void sendCode(const QByteArray &line);

private:
    void onNewConnection();

    QTcpServer m_server;
    QList<QTcpSocket *> m_clients;
};
