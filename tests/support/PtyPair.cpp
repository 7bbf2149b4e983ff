#include "PtyPair.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QtGlobal>

PtyPair::PtyPair(const QString &directory, const QString &prefix)
    : m_portA(directory + QLatin1Char('/') + prefix + QLatin1Char('A'))
    , m_portB(directory + QLatin1Char('/') + prefix + QLatin1Char('B'))
{ }

PtyPair::~PtyPair()
{
    stop();
}

bool PtyPair::start()
{
    m_socat.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_socat.start(QStringLiteral("socat"),
        {QStringLiteral("pty,raw,echo=0,link=") + m_portA,
            QStringLiteral("pty,raw,echo=0,link=") + m_portB});
    if (!m_socat.waitForStarted(5000)) {
        qWarning("socat did not start");
        return false;
    }
    // socat makes the links once both terminals exist; there is nothing to wait on but them.
    QDeadlineTimer deadline(10000);
    while (!(QFileInfo::exists(m_portA) && QFileInfo::exists(m_portB))) {
        if (deadline.hasExpired() || m_socat.state() == QProcess::NotRunning) {
            qWarning("socat made no pty pair");
            return false;
        }
        m_socat.waitForFinished(20);
    }
    m_deviceEnd.setFileName(m_portB);
    if (!m_deviceEnd.open(QIODevice::ReadWrite | QIODevice::Unbuffered)) {
        qWarning("cannot open %s", qPrintable(m_portB));
        return false;
    }
    return true;
}

void PtyPair::stop()
{
    m_deviceEnd.close();
    if (m_socat.state() != QProcess::NotRunning) {
        m_socat.terminate();
        if (!m_socat.waitForFinished(5000)) {
            m_socat.kill();
            m_socat.waitForFinished(2000);
        }
    }
}

bool PtyPair::send(const QByteArray &bytes)
{
    return m_deviceEnd.isOpen() && m_deviceEnd.write(bytes) == bytes.size();
}
