#pragma once

#include <QElapsedTimer>
#include <QObject>

#include <functional>
#include <mutex>
#include <vector>

// Hands work from any thread to the thread this object lives in, where its event loop runs it
// in the order it was posted. The work travels through a mutex of ours and the wake-up is a
// queued call that Qt builds itself, so nothing is built on one thread and read on another
// without a lock that ThreadSanitizer can follow. Work still queued when the object is
// destroyed is dropped.
class HandOff final : public QObject
{
    Q_OBJECT

public:
    explicit HandOff(QObject *parent = nullptr);
    ~HandOff() override;

    // From any thread.
    void post(std::function<void()> work);

    // How long work posted to a hand-off of the calling thread has waited to run, in ms (the
    // longest of them; 0 when none waits). While that thread's event loop runs, work waits
    // milliseconds: far longer means its wake-up was lost, which a test can then report at
    // once rather than wait out its time-out.
    static qint64 longestWaitMs();

private slots:
    void runPosted();

private:
    std::mutex m_mutex;
    std::vector<std::function<void()>> m_posted;
    QElapsedTimer m_waitingSince; // since the first of m_posted was posted
};
