#include "SingleInstance.h"

#include <windows.h>

// The named mutex: the first process creates it, a later one finds it there.
struct SingleInstance::System
{
    std::wstring name;
    HANDLE mutex = nullptr;

    void close()
    {
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
