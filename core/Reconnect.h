#pragma once

#include <atomic>
#include <functional>

// The loop of a reader that connects to a peer, reads until the connection ends, and tries
// again after a back-off that doubles from `firstMs` up to `maxMs` and starts again at
// `firstMs` once a connection has been made: it never spins. Each change is reported once.
// The system calls are the caller's (a backend per operating system); the loop is the same.
namespace Reconnect {

enum class State {
    Connected, // a connection was made (first or again)
    ConnectFailed, // the first attempt failed; retrying
    Lost, // the connection was closed or failed; retrying
};

struct Steps
{
    // One attempt: true when connected (false when it failed or the stop flag was set).
    std::function<bool()> connect;
    // Reads until the connection ends or the stop flag is set.
    std::function<void()> receive;
    // Closes the connection `connect` made.
    std::function<void()> disconnect;
    // Waits `ms` unless the stop flag is set first; false when stopped.
    std::function<bool(int ms)> wait;
    // `retryMs` is the wait before the next attempt (0 when connected).
    std::function<void(State state, int retryMs)> stateChanged;
};

// Runs until `stop` is set.
void run(int firstMs, int maxMs, const std::atomic<bool> &stop, const Steps &steps);

} // namespace Reconnect
