#include "BackgroundRequest.h"

#include "HttpClient.h"

#include <QThread>

#include <algorithm>

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
    launch({std::string(), std::move(post), std::move(onWorker), std::move(onOwner)});
    return true;
}

void BackgroundRequest::ask(std::string topic, Post post,
    std::function<void(const std::string &reply)> onWorker, std::function<void()> onOwner)
{
    Job job {std::move(topic), std::move(post), std::move(onWorker), std::move(onOwner)};
    if (!m_busy.exchange(true)) {
        launch(std::move(job));
        return;
    }
    const auto same = std::find_if(m_waiting.begin(), m_waiting.end(),
        [&job](const Job &waiting) { return !job.topic.empty() && waiting.topic == job.topic; });
    if (same != m_waiting.end())
        *same = std::move(job);
    else
        m_waiting.push_back(std::move(job));
}

void BackgroundRequest::launch(Job job)
{
    // The previous worker has handed its answer over already; it is ending, if not gone.
    if (m_worker.joinable())
        m_worker.join();
    m_worker = std::thread([this, job = std::move(job)]() mutable {
        HttpClient client(job.post.caBundle);
        client.setCancelFlag(&m_cancel);
        std::string reply;
        client.Post(job.post.url, job.post.body, reply, job.post.contentType);
        job.onWorker(reply);
        m_handOff.post([this, topic = std::move(job.topic), onOwner = std::move(job.onOwner)] {
            finish(topic, onOwner);
        });
    });
}

void BackgroundRequest::finish(const std::string &topic, const std::function<void()> &onOwner)
{
    const bool askedAgain = !topic.empty()
        && std::any_of(m_waiting.begin(), m_waiting.end(),
            [&topic](const Job &waiting) { return waiting.topic == topic; });
    if (m_waiting.empty()) {
        m_busy = false;
    } else {
        Job next = std::move(m_waiting.front());
        m_waiting.pop_front();
        launch(std::move(next));
    }
    if (!askedAgain)
        onOwner();
}
