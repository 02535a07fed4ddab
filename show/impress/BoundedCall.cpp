#include "show/impress/BoundedCall.h"

namespace show::impress {

namespace {

using namespace std::chrono_literals;

constexpr std::chrono::milliseconds kPassInterval = 15ms;
// How often waitFor() looks at its condition.
constexpr std::chrono::milliseconds kPollSlice = 5ms;

struct WaitPass {
    std::function<void()> pass;
    std::thread::id thread;
};

WaitPass& waitPass() {
    static WaitPass pass;
    return pass;
}

// Set while this thread waits for a call: only the wait pass runs on it then.
thread_local bool t_waiting = false;
// On a worker: whether it has been abandoned.
thread_local const std::atomic<bool>* t_abandoned = nullptr;

} // namespace

BoundedCall::BoundedCall(QString source, QString overrunDescription)
    : m_source(std::move(source)), m_overrunDescription(std::move(overrunDescription)) {}

BoundedCall::~BoundedCall() {
    if (!m_queue)
        return;
    // The worker is idle: every job posted was waited for to its end.
    {
        std::lock_guard lock(m_queue->mutex);
        m_queue->stop = true;
    }
    m_queue->wake.notify_one();
    m_worker.join();
}

void BoundedCall::setWaitPass(std::function<void()> pass) {
    waitPass() = {std::move(pass), std::this_thread::get_id()};
}

bool BoundedCall::waitFor(std::chrono::milliseconds timeout, const std::function<bool()>& done) {
    return waitRunningPass(timeout, [&done](std::chrono::milliseconds slice) {
        const auto until = std::chrono::steady_clock::now() + slice;
        while (!done()) {
            if (std::chrono::steady_clock::now() >= until)
                return false;
            std::this_thread::sleep_for(std::min(slice, kPollSlice));
        }
        return true;
    });
}

bool BoundedCall::waitRunningPass(std::chrono::milliseconds timeout,
                                  const std::function<bool(std::chrono::milliseconds)>& ready) {
    const WaitPass& pass = waitPass();
    const bool runPass = pass.pass && !t_waiting && pass.thread == std::this_thread::get_id();
    const bool outer = !t_waiting;
    t_waiting = true;
    struct Restore {
        bool outer;
        ~Restore() {
            if (outer)
                t_waiting = false;
        }
    } restore{outer};

    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left <= 0ms)
            return ready(0ms);
        if (ready(runPass ? std::min(left, kPassInterval) : left))
            return true;
        if (runPass)
            pass.pass();
    }
}

void BoundedCall::refuseNested() const {
    if (t_waiting)
        throw Busy(
            platform::kProgramName,
            QStringLiteral("The request before this one is still waiting for %1 to answer. Try "
                           "again in a moment.")
                .arg(m_source));
}

bool BoundedCall::callerGaveUp() {
    return t_abandoned && *t_abandoned;
}

void BoundedCall::work(std::shared_ptr<Queue> queue) {
    t_abandoned = &queue->abandoned;
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(queue->mutex);
            queue->wake.wait(lock, [&] { return queue->stop || !queue->jobs.empty(); });
            if (queue->stop)
                return;
            job = std::move(queue->jobs.front());
            queue->jobs.pop_front();
        }
        job();
    }
}

void BoundedCall::post(std::function<void()> job) {
    if (!m_queue) {
        m_queue = std::make_shared<Queue>();
        m_worker = std::thread(&BoundedCall::work, m_queue);
    }
    {
        std::lock_guard lock(m_queue->mutex);
        m_queue->jobs.push_back(std::move(job));
    }
    m_queue->wake.notify_one();
}

void BoundedCall::abandon() {
    // Nothing queued behind the stuck job may run late, against callers that gave up on it.
    std::deque<std::function<void()>> dropped;
    m_queue->abandoned = true;
    {
        std::lock_guard lock(m_queue->mutex);
        m_queue->stop = true;
        dropped.swap(m_queue->jobs);
    }
    // The worker still sits in the office's call; it ends when that call returns.
    m_worker.detach();
    m_queue.reset();
}

} // namespace show::impress
