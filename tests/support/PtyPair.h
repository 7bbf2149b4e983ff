#pragma once

#include "ChildProcess.h"

#include <QFile>
#include <QString>

// A pair of connected pseudo-terminals made by socat, standing in for a serial line: the
// client opens portA() (DIRECTORY/PREFIXA) as its serial port, and what send() writes into the
// other end (kept open, so socat does not see the line hang up) is what the device sends.
class PtyPair
{
public:
    explicit PtyPair(const QString &directory, const QString &prefix = QStringLiteral("tty"));
    ~PtyPair();
    // Starts socat and waits until both ends exist; false when it fails.
    bool start();
    QString portA() const { return m_portA; }
    bool send(const QByteArray &bytes) { return m_deviceEnd.write(bytes) == bytes.size(); }

private:
    ChildProcess m_socat;
    const QString m_portA;
    QFile m_deviceEnd;
};
