#include "show/impress/BoundedCall.h"

namespace show::impress {

BoundedCall::BoundedCall(QString source, QString stuckDescription)
    : m_source(std::move(source)), m_stuckDescription(std::move(stuckDescription)),
      m_queue(std::make_shared<Queue>()), m_worker(&BoundedCall::work, m_queue) {}

BoundedCall::~BoundedCall() {
    if (!m_worker.joinable())
        return;
    {
        std::lock_guard lock(m_queue->mutex);
        m_queue->stop = true;
    }
    m_queue->wake.notify_one();
    m_worker.join();
}

void BoundedCall::work(std::shared_ptr<Queue> queue) {
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(queue->mutex);
            queue->wake.wait(lock, [&] { return queue->stop || !queue->jobs.empty(); });
            if (queue->jobs.empty())
                return;
            job = std::move(queue->jobs.front());
            queue->jobs.pop_front();
        }
        job();
    }
}

void BoundedCall::post(std::function<void()> job) {
    if (m_stuck)
        throw stuckFailure();
    {
        std::lock_guard lock(m_queue->mutex);
        m_queue->jobs.push_back(std::move(job));
    }
    m_queue->wake.notify_one();
}

void BoundedCall::abandon() {
    m_stuck = true;
    {
        std::lock_guard lock(m_queue->mutex);
        m_queue->stop = true;
    }
    // The worker still sits in the office's call; it drops the queue when that call returns.
    m_worker.detach();
}

} // namespace show::impress
