#include "DeviceLists.h"

#include "Printers.h"
#include "SerialPorts.h"

#include <QThread>

#include <utility>

DeviceLists::DeviceLists(QObject *owner)
{
    m_handOff.moveToThread(owner->thread());
}

DeviceLists::~DeviceLists()
{
    if (m_thread)
        endThread();
}

bool DeviceLists::ask(
    const QStringList &configuredPorts, std::function<void(const Answer &)> answered)
{
    if (m_busy.exchange(true))
        return false;
    // The previous thread has handed its answer over already; it is ending, if not gone.
    if (m_thread)
        endThread();
    m_thread.reset(QThread::create([this, configuredPorts, answered = std::move(answered)] {
        Answer answer;
        answer.printers = Printers::names();
        answer.defaultPrinter = Printers::defaultName();
        answer.ports = SerialPorts::available(configuredPorts);
        m_handOff.post([this, answer = std::move(answer), answered] {
            m_busy = false;
            answered(answer);
        });
        std::lock_guard<std::mutex> finished(m_finished);
    }));
    m_thread->setObjectName(QStringLiteral("DeviceLists"));
    m_thread->start();
    return true;
}

void DeviceLists::endThread()
{
    m_thread->wait();
    std::lock_guard<std::mutex> finished(m_finished);
    m_thread.reset();
}
