#pragma once

#include "Reconnect.h"

#include <QByteArray>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

// A TCP client on its own thread that receives scanned codes from a peer that sends each code
// in one transmission (the keyboard-hook program, a network device). One receive of at most
// kReceiveBytes is one text. A connection that cannot be opened, or that the peer closes or
// breaks, is tried again after a back-off that doubles from `firstRetryMs` up to `maxRetryMs`
// and starts again at `firstRetryMs` once a connection has been made; the reader never spins.
// Callbacks run on the reader thread.
class TcpCodeReader final
{
public:
    static constexpr int kReceiveBytes = 1024;

    using State = Reconnect::State;

    struct Options
    {
        std::string host = "127.0.0.1"; // IPv4, dotted decimal
        int port = 1234;
        int connectTimeoutMs = 5000;
        int firstRetryMs = 1000;
        int maxRetryMs = 30000;
    };

    struct Callbacks
    {
        // Once per change of state; `retryMs` is the wait before the next attempt (0 when
        // connected).
        std::function<void(State state, int retryMs)> stateChanged;
        // The text of one receive, up to its first zero byte; never empty.
        std::function<void(const QByteArray &text)> received;
    };

    TcpCodeReader(Options options, Callbacks callbacks);
    ~TcpCodeReader();
    TcpCodeReader(const TcpCodeReader &) = delete;
    TcpCodeReader &operator=(const TcpCodeReader &) = delete;

    void start();
    // Ends the thread at once (a connection being made or a receive under way included) and
    // waits for it. No callback runs after stop() has returned.
    void stop();

    // The number of connections made so far (tests watch reconnects).
    int connections() const { return m_connections.load(); }

private:
    void run();

    Options m_options;
    Callbacks m_callbacks;
    std::atomic<bool> m_stop {false};
    std::atomic<int> m_connections {0};
    // The system's side: the socket and the wake-up of stop(), one backend per OS.
    struct System;
    std::unique_ptr<System> m_system;
    std::thread m_thread;
};
