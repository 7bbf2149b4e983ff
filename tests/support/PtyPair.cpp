#include "PtyPair.h"

#include <QDeadlineTimer>
#include <QFileInfo>

PtyPair::PtyPair(const QString &directory, const QString &prefix)
    : m_portA(directory + QLatin1Char('/') + prefix + QLatin1Char('A'))
    , m_deviceEnd(directory + QLatin1Char('/') + prefix + QLatin1Char('B'))
{ }

PtyPair::~PtyPair()
{
    m_deviceEnd.close();
    m_socat.terminate();
    m_socat.waitForFinished(5000);
}

bool PtyPair::start()
{
    m_socat.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_socat.start(QStringLiteral("socat"),
        {QStringLiteral("pty,raw,echo=0,link=") + m_portA,
            QStringLiteral("pty,raw,echo=0,link=") + m_deviceEnd.fileName()});
    // socat makes the links once both terminals exist; there is nothing to wait on but them.
    const QDeadlineTimer deadline(10000);
    while (!(QFileInfo::exists(m_portA) && m_deviceEnd.exists())) {
        if (deadline.hasExpired() || !m_socat.waitForStarted(5000)) // not started, or ended
            return false;
        m_socat.waitForFinished(20);
    }
    return m_deviceEnd.open(QIODevice::ReadWrite | QIODevice::Unbuffered);
}
