#include "HandOff.h"

HandOff::HandOff(QObject *parent)
    : QObject(parent)
{ }

void HandOff::post(std::function<void()> work)
{
    bool wake = false;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        wake = m_posted.empty();
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
