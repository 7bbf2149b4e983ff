#include "HandOff.h"

#include <QThread>

#include <algorithm>
#include <set>

namespace {

// Every hand-off, for longestWaitMs().
std::mutex registryMutex;
std::set<HandOff *> registry;

} // namespace

HandOff::HandOff(QObject *parent)
    : QObject(parent)
{
    const std::lock_guard<std::mutex> lock(registryMutex);
    registry.insert(this);
}

HandOff::~HandOff()
{
    const std::lock_guard<std::mutex> lock(registryMutex);
    registry.erase(this);
}

void HandOff::post(std::function<void()> work)
{
    bool wake = false;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        wake = m_posted.empty();
        if (wake)
            m_waitingSince.start();
        m_posted.push_back(std::move(work));
    }
    // One wake-up runs everything posted until it runs.
    if (wake)
        QMetaObject::invokeMethod(this, "runPosted", Qt::QueuedConnection);
}

void HandOff::runPosted()
{
    std::vector<std::function<void()>> posted;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        posted.swap(m_posted);
    }
    for (const std::function<void()> &work : posted)
        work();
}

qint64 HandOff::longestWaitMs()
{
    qint64 longest = 0;
    const std::lock_guard<std::mutex> lock(registryMutex);
    for (HandOff *handOff : registry) {
        if (handOff->thread() != QThread::currentThread())
            continue;
        const std::lock_guard<std::mutex> posted(handOff->m_mutex);
        if (!handOff->m_posted.empty())
            longest = std::max(longest, handOff->m_waitingSince.elapsed());
    }
    return longest;
}
