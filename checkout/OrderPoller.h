#pragma once

#include "CurrentOrder.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>

class HttpClient;

// Follows a pending order: up to 15 status requests about 3.1 s apart, each with a fresh
// nonce and sign, until the order is paid or has failed. Runs on the thread that calls run();
// it reports through callbacks and never touches a widget. stop() ends it early (logout): once
// stop() has returned, no callback runs.
class OrderPoller final
{
public:
    struct Cadence
    {
        int attempts = 15;
        int waits = 5; // progress updates after the first one of an attempt
        int waitMs = 510; // before each of them
        int finalWaitMs = 550; // before the next attempt
    };

    struct Callbacks
    {
        std::function<void(int attempt)> progress; // 1..attempts, and -1 at the end
        std::function<void(const CurrentOrder &)> paid; // after the voice, before the end
        std::function<void(const CurrentOrder &)> failed;
        std::function<void()> playVoice; // only called when the voice is on
        std::function<void(const std::string &body, const std::string &reply)> exchanged;
    };

    struct Target
    {
        std::string url;
        std::string appid;
        std::string key;
        bool voice = false;
    };

    // Returns the order as the last answer left it.
    CurrentOrder run(HttpClient &client, const Target &target, CurrentOrder order,
        const Cadence &cadence, const Callbacks &callbacks);

    // Thread-safe: the running poll returns at its next step without further callbacks. A
    // callback under way (the voice included) is waited for, so when stop() returns no callback
    // runs any more. Not to be called from a callback.
    void stop();
    bool stopped() const { return m_stop.load(); }

private:
    bool wait(int milliseconds);
    // Runs `callback` unless stop() has been called; false when stopped.
    template<typename Callback>
    bool report(Callback &&callback);

    std::atomic<bool> m_stop {false};
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::mutex m_reporting; // held while a callback runs
};
