#pragma once

#include "HandOff.h"

#include <atomic>
#include <functional>
#include <string>
#include <thread>

// One gateway request at a time, posted on a worker thread so that the window that asked
// stays responsive. The answer is decoded on the worker (it touches no widget) and handed to
// the owner's thread through its event queue. While a request runs, another is refused: a
// double press cannot send it twice.
class BackgroundRequest final
{
public:
    struct Post
    {
        std::string url;
        std::string body;
        std::string caBundle; // trusted besides the system's CAs; may be empty
        std::string contentType = "json"; // as HttpClient::Post takes it; empty: a form
    };

    // Finished requests are handed to `owner`'s thread; the owner outlives this object.
    explicit BackgroundRequest(QObject *owner);
    // Cuts a running request short and waits for its worker.
    ~BackgroundRequest();
    BackgroundRequest(const BackgroundRequest &) = delete;
    BackgroundRequest &operator=(const BackgroundRequest &) = delete;

    // From a start() until its onOwner step has begun.
    bool busy() const { return m_busy.load(); }

    // Posts on a worker thread and returns at once; false, and nothing happens, while busy.
    // `onWorker` gets the reply on the worker thread (empty when the request failed: no
    // connection, TLS refused, a status other than 200, time-out); `onOwner` runs after it on
    // the owner's thread. Whatever onWorker leaves for onOwner is theirs to share.
    bool start(Post post, std::function<void(const std::string &reply)> onWorker,
        std::function<void()> onOwner);

private:
    HandOff m_handOff; // in the owner's thread
    std::thread m_worker;
    std::atomic<bool> m_busy {false};
    std::atomic<bool> m_cancel {false};
};
