#pragma once

#include "ChildProcess.h"

#include <QFile>
#include <QString>

// A pair of connected pseudo-terminals made by socat, standing in for a serial line: the
// client opens portA() as its serial port, the test writes what the device sends into
// portB(). socat ends with the test.
class PtyPair
{
public:
    // The links are DIRECTORY/ttyA and DIRECTORY/ttyB.
    explicit PtyPair(const QString &directory, const QString &prefix = QStringLiteral("tty"));
    ~PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    // Starts socat and waits until both ends exist; false (with a warning) when it fails.
    bool start();
    // Ends socat; both links go away.
    void stop();

    QString portA() const { return m_portA; }
    QString portB() const { return m_portB; }

    // Writes to portB (kept open, so socat does not see the line hang up).
    bool send(const QByteArray &bytes);

private:
    ChildProcess m_socat;
    QString m_portA;
    QString m_portB;
    QFile m_deviceEnd;
};
