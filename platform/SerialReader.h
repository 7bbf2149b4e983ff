#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class QThread;

// A serial line read on its own QThread (QSerialPort needs one) at 9600 baud, 8 data bits, no
// parity: one read is what arrives until the line has been quiet for `quietMs`, at most kReadBytes.
// Nothing is written to the port. The port is opened on that thread too: a port whose driver
// takes seconds to open (a Bluetooth port) holds up no window. A port that fails while reading
// (unplugged) is closed and opened again after a back-off of one second growing to thirty; the
// reader never spins. Callbacks run on the reader thread; none runs once stop() has returned.
class SerialReader final
{
public:
    static constexpr int kReadBytes = 1024;

    struct Options
    {
        QString port; // a name without "/" means /dev/NAME; a path is used as given
        int stopBits = 1; // 1 or 2
        int quietMs = 500;
        int firstRetryMs = 1000;
        int maxRetryMs = 30000;
    };

    struct OpenResult
    {
        bool opened = false;
        int error = 0; // the system error number when the port did not open
    };

    struct Callbacks
    {
        // Once, when the first open has succeeded or failed; after a failure the reader ends.
        std::function<void(const OpenResult &result)> opened;
        // One read with at least one byte.
        std::function<void(const QByteArray &bytes)> received;
        // Once per change: false when the open port failed, true when it was opened again.
        std::function<void(bool open)> stateChanged;
    };

    // "/dev/" + name for a plain name; the path itself otherwise.
    static QString devicePath(const QString &port);

    SerialReader(Options options, Callbacks callbacks);
    ~SerialReader();
    SerialReader(const SerialReader &) = delete;
    SerialReader &operator=(const SerialReader &) = delete;

    // Starts the reader thread, which opens the port and reads it, and returns at once; the
    // outcome of the open comes through Callbacks::opened. Started once.
    void start();
    // Ends the reader within a fraction of a second and waits for it (for an open under way,
    // as long as the system takes to end it).
    void stop();

    // Tests: each open of a port (Options::port) is made by calling `open` inside the hook, on
    // the reader thread, which can take its time first as a slow driver does; empty for none.
    using OpenHook = std::function<void(const QString &port, const std::function<void()> &open)>;
    static void setOpenHookForTests(OpenHook hook);

private:
    void run();
    // Waits for the thread and lets it go.
    void endThread();

    Options m_options;
    Callbacks m_callbacks;
    std::atomic<bool> m_stop {false};
    std::unique_ptr<QThread> m_thread;
    // Taken by the thread as its last step and by endThread() after the wait, so that
    // ThreadSanitizer sees the thread's work end before the reader goes (it cannot follow
    // QThread::wait()).
    std::mutex m_finished;
};
