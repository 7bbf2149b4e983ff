#include "Reconnect.h"

#include <algorithm>

namespace Reconnect {

void run(int firstMs, int maxMs, const std::atomic<bool> &stop, const Steps &steps)
{
    const auto report = [&steps](State state, int retryMs) {
        if (steps.stateChanged)
            steps.stateChanged(state, retryMs);
    };
    int retryMs = firstMs;
    bool first = true;
    bool retrying = false; // the last reported state was a failure
    while (!stop.load()) {
        const bool connected = steps.connect();
        if (stop.load()) {
            if (connected)
                steps.disconnect();
            return;
        }
        if (connected) {
            retrying = false;
            first = false;
            retryMs = firstMs;
            report(State::Connected, 0);
            steps.receive();
            steps.disconnect();
            if (stop.load())
                return;
            retrying = true;
            report(State::Lost, retryMs);
        } else if (!retrying) {
            retrying = true;
            report(first ? State::ConnectFailed : State::Lost, retryMs);
            first = false;
        }
        if (!steps.wait(retryMs))
            return;
        retryMs = std::min(retryMs * 2, maxMs);
    }
}

} // namespace Reconnect
