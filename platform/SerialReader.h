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
// Nothing is written to the port. A port that fails while reading (unplugged) is closed and opened
// again after a back-off of one second growing to thirty; the reader never spins. Callbacks run on
// the reader thread.
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

    struct Callbacks
    {
        // One read with at least one byte.
        std::function<void(const QByteArray &bytes)> received;
        // Once per change: false when the open port failed, true when it was opened again.
        std::function<void(bool open)> stateChanged;
    };

    struct OpenResult
    {
        bool opened = false;
        int error = 0; // the system error number when the port did not open
    };

    // "/dev/" + name for a plain name; the path itself otherwise.
    static QString devicePath(const QString &port);

    SerialReader(Options options, Callbacks callbacks);
    ~SerialReader();
    SerialReader(const SerialReader &) = delete;
    SerialReader &operator=(const SerialReader &) = delete;

    // Opens the port (on the reader thread) and returns once it is open, with the reader
    // running, or has failed, with no thread left.
    OpenResult start();
    // Ends the reader within a fraction of a second and waits for it.
    void stop();

private:
    void run(std::function<void(OpenResult)> opened);
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
