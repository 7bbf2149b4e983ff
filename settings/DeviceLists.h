#pragma once

#include "HandOff.h"
#include "SerialPortList.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class QThread;

// The printers and serial ports of the machine as the settings page offers them, asked of the
// system on a thread of their own: a spooler that does not answer, or a port whose driver
// takes seconds to answer (a Bluetooth port), holds up no window. The answer is handed to the
// owner's thread. Asking is what loads the spooler's library on Windows.
class DeviceLists final
{
public:
    struct Answer
    {
        QStringList printers; // Printers::names()
        QString defaultPrinter; // Printers::defaultName()
        QList<SerialPortList::Port> ports; // SerialPorts::available(configured ports)
    };

    // Answers run in `owner`'s thread; the owner outlives this object.
    explicit DeviceLists(QObject *owner);
    // Waits for a question under way (as long as the system takes to answer it) and drops its
    // answer.
    ~DeviceLists();
    DeviceLists(const DeviceLists &) = delete;
    DeviceLists &operator=(const DeviceLists &) = delete;

    // Asks and returns at once; `answered` runs on the owner's thread with the answer. The
    // ports are the system's list and each of `configuredPorts` that the list lacks but that is
    // present. False, and nothing is asked, while a question is under way.
    bool ask(const QStringList &configuredPorts, std::function<void(const Answer &)> answered);

private:
    // Waits for the thread and lets it go.
    void endThread();

    HandOff m_handOff; // in the owner's thread
    std::atomic<bool> m_busy {false};
    // A QThread: the spooler's tools run as child processes, whose notifiers Qt accepts only
    // on threads it started.
    std::unique_ptr<QThread> m_thread;
    // Taken by the thread as its last step and by endThread() after the wait, so that
    // ThreadSanitizer sees the thread's work end before it goes (it cannot follow
    // QThread::wait()).
    std::mutex m_finished;
};
