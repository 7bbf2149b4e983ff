#include "EvdevReader.h"

#include "KeyHookServer.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <linux/input.h>
#include <sys/ioctl.h>
#include <unistd.h>

EvdevReader::EvdevReader(KeyHookServer *server, QObject *parent)
    : QObject(parent)
    , m_server(server)
{ }

EvdevReader::~EvdevReader()
{
    m_notifier.reset();
    if (m_fd >= 0)
        ::close(m_fd);
}

bool EvdevReader::open(const QString &path)
{
    m_fd = ::open(path.toLocal8Bit().constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0)
        return false;
    // Only a real input device can be grabbed; a recorded stream is read all the same.
    ::ioctl(m_fd, EVIOCGRAB, 1);
    m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &EvdevReader::readAvailable);
    return true;
}

void EvdevReader::readAvailable()
{
    char chunk[64 * sizeof(input_event)];
    const ssize_t count = ::read(m_fd, chunk, sizeof chunk);
    if (count < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (count <= 0) {
        // The device went away (or the stream ended): stop watching it.
        m_notifier->setEnabled(false);
        return;
    }
    m_partial.append(chunk, static_cast<int>(count));
    const int size = static_cast<int>(sizeof(input_event));
    int used = 0;
    for (; used + size <= m_partial.size(); used += size) {
        input_event event;
        std::memcpy(&event, m_partial.constData() + used, sizeof event);
        if (const std::optional<std::string> code
            = m_decoder.feed(event.type, event.code, event.value))
            m_server->sendCode(QByteArray::fromStdString(*code));
    }
    m_partial.remove(0, used);
}
