#include "BackgroundRequest.h"

#include "HttpClient.h"

#include <QThread>

BackgroundRequest::BackgroundRequest(QObject *owner)
{
    m_handOff.moveToThread(owner->thread());
}

BackgroundRequest::~BackgroundRequest()
{
    m_cancel = true;
    if (m_worker.joinable())
        m_worker.join();
}

bool BackgroundRequest::start(Post post, std::function<void(const std::string &reply)> onWorker,
    std::function<void()> onOwner)
{
    if (m_busy.exchange(true))
        return false;
    // The previous worker has handed its answer over already; it is ending, if not gone.
    if (m_worker.joinable())
        m_worker.join();
    m_worker = std::thread([this, post = std::move(post), onWorker = std::move(onWorker),
                               onOwner = std::move(onOwner)]() mutable {
        HttpClient client(post.caBundle);
        client.setCancelFlag(&m_cancel);
        std::string reply;
        client.Post(post.url, post.body, reply, post.contentType);
        onWorker(reply);
        m_handOff.post([this, onOwner = std::move(onOwner)] {
            m_busy = false;
            onOwner();
        });
    });
    return true;
}
