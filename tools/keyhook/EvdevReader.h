#pragma once

#include "EvdevDecoder.h"

#include <QObject>
#include <QSocketNotifier>

#include <memory>

class KeyHookServer;

// Reads a scanner's input device (/dev/input/eventN) and sends each code it types, ended by
// Enter, to the clients. The device is grabbed, so its keys reach no other program.
class EvdevReader final : public QObject
{
    Q_OBJECT

public:
    EvdevReader(KeyHookServer *server, QObject *parent = nullptr);
    ~EvdevReader() override;

    // False (with errno set) when the device cannot be opened.
    bool open(const QString &path);

private:
    void readAvailable();

    KeyHookServer *m_server;
    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    EvdevDecoder m_decoder;
    QByteArray m_partial;
};
