#include "OrderPoller.h"

#include "HttpClient.h"
#include "PayTransaction.h"
#include "Signing.h"
#include "Text.h"

#include <chrono>

bool OrderPoller::wait(int milliseconds)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return !m_wake.wait_for(
        lock, std::chrono::milliseconds(milliseconds), [this] { return m_stop.load(); });
}

template<typename Callback>
bool OrderPoller::report(Callback &&callback)
{
    std::lock_guard<std::mutex> lock(m_reporting);
    if (m_stop)
        return false;
    callback();
    return true;
}

void OrderPoller::stop()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    // A callback that started before the flag was set ends before this returns.
    std::lock_guard<std::mutex> lock(m_reporting);
}

CurrentOrder OrderPoller::run(HttpClient &client, const Target &target, CurrentOrder order,
    const Cadence &cadence, const Callbacks &callbacks)
{
    const std::string orderNumber = Text::wideToLocal(order.orderNumber);
    client.setCancelFlag(&m_stop);
    const auto progress = [&](int attempt) { return report([&] { callbacks.progress(attempt); }); };
    for (int attempt = 1; attempt <= cadence.attempts; ++attempt) {
        if (!progress(attempt))
            return order;

        const PayTransaction::Request request = PayTransaction::statusRequest(
            orderNumber, Signing::nonce(), target.appid, target.key);
        std::string reply;
        client.Post(target.url, Text::localToUtf8(request.body), reply, "json");
        if (callbacks.exchanged && !report([&] { callbacks.exchanged(request.body, reply); }))
            return order;
        if (m_stop)
            return order;

        switch (PayTransaction::decideStatusReply(reply, order)) {
        case PayTransaction::StatusOutcome::Failed:
            if (report([&] { callbacks.failed(order); }))
                progress(-1);
            return order;
        case PayTransaction::StatusOutcome::Paid:
            if (target.voice && callbacks.playVoice && !report(callbacks.playVoice))
                return order;
            if (report([&] { callbacks.paid(order); }))
                progress(-1);
            return order;
        case PayTransaction::StatusOutcome::Continue:
            break;
        }

        for (int i = 0; i < cadence.waits; ++i) {
            if (!wait(cadence.waitMs) || !progress(attempt))
                return order;
        }
        if (!wait(cadence.finalWaitMs))
            return order;
    }
    if (progress(-1))
        report([&] { callbacks.failed(order); });
    return order;
}
