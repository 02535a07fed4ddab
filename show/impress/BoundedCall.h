// Calls into the office with a time limit. A UNO call into an office that has stopped answering
// blocks for ever, and the control window must never hang, so every call runs on a worker thread
// of its own while the caller waits for it at most a given time. A call that overruns leaves its
// worker stuck inside the office: the worker is abandoned (detached, it ends if the call ever
// returns), every later call fails at once, and the owner starts over with a new connection.
//
// Knows nothing of UNO: the jobs it runs turn the office's exceptions into platform::Failure.
#pragma once

#include "platform/Failure.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <QString>
#include <thread>

namespace show::impress {

class BoundedCall {
public:
    // source and stuckDescription make the failure of an overrun call and of every call after it.
    BoundedCall(QString source, QString stuckDescription);
    ~BoundedCall();
    BoundedCall(const BoundedCall&) = delete;
    BoundedCall& operator=(const BoundedCall&) = delete;

    // Runs job on the worker and returns its result or rethrows what it threw. Throws Failure when
    // it does not end within timeout, or when an earlier call overran.
    template <typename Job>
    auto run(Job&& job, std::chrono::milliseconds timeout) -> decltype(job()) {
        using Result = decltype(job());
        auto task = std::make_shared<std::packaged_task<Result()>>(std::forward<Job>(job));
        std::future<Result> result = task->get_future();
        post([task] { (*task)(); });
        if (result.wait_for(timeout) != std::future_status::ready) {
            abandon();
            throw stuckFailure();
        }
        return result.get();
    }

    // True once a call has overrun: the worker is lost and so, most likely, is the office.
    bool stuck() const { return m_stuck; }
    platform::Failure stuckFailure() const { return {m_source, m_stuckDescription}; }

private:
    struct Queue {
        std::mutex mutex;
        std::condition_variable wake;
        std::deque<std::function<void()>> jobs;
        bool stop = false;
    };
    static void work(std::shared_ptr<Queue> queue);
    void post(std::function<void()> job);
    void abandon();

    QString m_source;
    QString m_stuckDescription;
    std::shared_ptr<Queue> m_queue;
    std::thread m_worker;
    bool m_stuck = false;
};

} // namespace show::impress
