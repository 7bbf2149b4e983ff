#pragma once

#include "HandOff.h"

#include <atomic>
#include <deque>
#include <functional>
#include <string>
#include <thread>

// One gateway request at a time, posted on a worker thread so that the window that asked
// stays responsive. The answer is decoded on the worker (it touches no widget) and handed to
// the owner's thread through its event queue.
//
// Two ways to ask. start() is refused while anything runs or waits: a double press cannot send
// a refund twice. ask() is never refused: a question asked while a request runs waits its turn
// and is posted when the running one has handed its answer over. A question asked again on the
// same topic (the order list with new filters, the day totals of new dates) replaces the one
// still waiting, and the answer to an earlier one that is still running is dropped: the window
// shows only the answer to what it asks now.
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
    // Cuts a running request short and waits for its worker; waiting questions are dropped.
    ~BackgroundRequest();
    BackgroundRequest(const BackgroundRequest &) = delete;
    BackgroundRequest &operator=(const BackgroundRequest &) = delete;

    // From a start() or ask() until the onOwner step of the last request asked has begun.
    bool busy() const { return m_busy.load(); }

    // Posts on a worker thread and returns at once; false, and nothing happens, while busy.
    // `onWorker` gets the reply on the worker thread (empty when the request failed: no
    // connection, TLS refused, a status other than 200, time-out); `onOwner` runs after it on
    // the owner's thread. Whatever onWorker leaves for onOwner is theirs to share.
    bool start(Post post, std::function<void(const std::string &reply)> onWorker,
        std::function<void()> onOwner);

    // Posts like start() when idle; otherwise the question waits behind the running request
    // and those asked before it, replacing a waiting one of the same `topic`. The onOwner step
    // of a request whose topic has been asked again meanwhile does not run. Owner's thread only.
    void ask(std::string topic, Post post, std::function<void(const std::string &reply)> onWorker,
        std::function<void()> onOwner);

private:
    struct Job
    {
        std::string topic; // empty: from start(), never replaced
        Post post;
        std::function<void(const std::string &reply)> onWorker;
        std::function<void()> onOwner;
    };

    void launch(Job job);
    // On the owner's thread, when the running job has handed its answer over.
    void finish(const std::string &topic, const std::function<void()> &onOwner);

    HandOff m_handOff; // in the owner's thread
    std::thread m_worker;
    std::atomic<bool> m_busy {false};
    std::atomic<bool> m_cancel {false};
    std::deque<Job> m_waiting; // touched on the owner's thread only
};
