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

void OrderPoller::stop()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
}

CurrentOrder OrderPoller::run(HttpClient &client, const Target &target, CurrentOrder order,
    const Cadence &cadence, const Callbacks &callbacks)
{
    const std::string orderNumber = Text::wideToLocal(order.orderNumber);
    client.setCancelFlag(&m_stop);
    for (int attempt = 1; attempt <= cadence.attempts; ++attempt) {
        if (m_stop)
            return order;
        callbacks.progress(attempt);

        const PayTransaction::Request request = PayTransaction::statusRequest(
            orderNumber, Signing::nonce(), target.appid, target.key);
        std::string reply;
        client.Post(target.url, Text::localToUtf8(request.body), reply, "json");
        if (m_stop)
            return order;
        if (callbacks.exchanged)
            callbacks.exchanged(request.body, reply);

        switch (PayTransaction::decideStatusReply(reply, order)) {
        case PayTransaction::StatusOutcome::Failed:
            callbacks.failed(order);
            callbacks.progress(-1);
            return order;
        case PayTransaction::StatusOutcome::Paid:
            if (target.voice && callbacks.playVoice)
                callbacks.playVoice();
            callbacks.paid(order);
            callbacks.progress(-1);
            return order;
        case PayTransaction::StatusOutcome::Continue:
            break;
        }

        for (int i = 0; i < cadence.waits; ++i) {
            if (!wait(cadence.waitMs))
                return order;
            callbacks.progress(attempt);
        }
        if (!wait(cadence.finalWaitMs))
            return order;
    }
    callbacks.progress(-1);
    callbacks.failed(order);
    return order;
}
