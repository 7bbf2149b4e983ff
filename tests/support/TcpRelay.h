#pragma once

#include "ChildProcess.h"

// The network between a till and its gateway, for tests that break it: socat relays
// 127.0.0.1:port() to a server's port. It can be pointed at another server, or closed (then a
// connection to port() is refused, as to a gateway that is down) and opened again on the same
// port. A connection already relayed runs on as it was; only new ones see the change.
class TcpRelay
{
public:
    static constexpr int kStartTimeoutMs = 10000;

    TcpRelay();
    ~TcpRelay();
    TcpRelay(const TcpRelay &) = delete;
    TcpRelay &operator=(const TcpRelay &) = delete;

    // Relays port() to 127.0.0.1:targetPort from now on; false when socat does not listen.
    bool forwardTo(int targetPort);
    // Nothing listens on port() any more.
    void close();
    int port() const { return m_port; }

private:
    bool listening() const;

    ChildProcess m_socat;
    int m_port = 0;
    int m_target = 0;
};
