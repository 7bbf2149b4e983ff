#include "SingleInstance.h"

#include <QWinEventNotifier>

#include <windows.h>

namespace {

std::wstring leaveEventOf(const QString &name)
{
    return (name + QStringLiteral("-leave")).toStdWString();
}

} // namespace

// The named mutex: the first process creates it, a later one finds it there. The holder's
// auto-reset event NAME-leave is set by a process that asks it to leave.
struct SingleInstance::System
{
    std::wstring name;
    HANDLE mutex = nullptr;
    HANDLE leaveEvent = nullptr;
    std::unique_ptr<QWinEventNotifier> leaveNotifier;

    void close()
    {
        leaveNotifier.reset();
        if (leaveEvent)
            CloseHandle(leaveEvent);
        leaveEvent = nullptr;
        if (mutex)
            CloseHandle(mutex);
        mutex = nullptr;
    }
};

SingleInstance::SingleInstance(const QString &name)
    : m_system(std::make_unique<System>())
{
    m_system->name = name.toStdWString();
}

SingleInstance::~SingleInstance()
{
    m_system->close();
}

bool SingleInstance::acquire()
{
    m_system->close();
    m_system->mutex = CreateMutexW(nullptr, FALSE, m_system->name.c_str());
    if (!m_system->mutex)
        return false;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        m_system->close();
        return false;
    }
    return true;
}

void SingleInstance::release()
{
    m_system->close();
}

bool SingleInstance::listenForLeave(std::function<void()> leaveAsked)
{
    if (!m_system->mutex || m_system->leaveEvent)
        return false;
    m_system->leaveEvent = CreateEventW(
        nullptr, FALSE, FALSE, leaveEventOf(QString::fromStdWString(m_system->name)).c_str());
    if (!m_system->leaveEvent)
        return false;
    m_system->leaveNotifier = std::make_unique<QWinEventNotifier>(m_system->leaveEvent);
    QObject::connect(m_system->leaveNotifier.get(), &QWinEventNotifier::activated,
        [leaveAsked = std::move(leaveAsked)] { leaveAsked(); });
    return true;
}

bool SingleInstance::askHolderToLeave(const QString &name)
{
    const HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, leaveEventOf(name).c_str());
    if (!event)
        return false;
    const bool set = SetEvent(event) != 0;
    CloseHandle(event);
    return set;
}

bool SingleInstance::isHeld(const QString &name)
{
    const HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, name.toStdWString().c_str());
    if (!mutex)
        return false;
    CloseHandle(mutex);
    return true;
}
