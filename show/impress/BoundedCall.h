// Calls into the office with a time limit. A UNO call into an office that has stopped answering
// blocks until the office answers again, perhaps never, and the control window must not hang: every
// call runs on a worker thread while the caller waits for it at most a given time. A call that
// overruns fails; its worker, still inside the office, is abandoned with anything queued behind it
// (it ends when the office answers, if ever), and the next call gets a new worker. So a slow office
// costs one failed call, not the connection.
//
// A job may outlive its caller's wait, so it must own everything it touches: capture by value and
// by shared ownership, never a reference to the caller's locals or to an object the caller may
// drop.
//
// While it waits, the caller's thread runs the wait pass (installed by start-up: the windows'
// painting), never a worker. A call made from inside the pass is refused: the thread is still
// waiting for the call before it, and waiting for both would deadlock. Such a refusal says "busy",
// never "gone": the office may answer the next time.
//
// Knows nothing of UNO: the jobs it runs turn the office's exceptions into platform::Failure.
#pragma once

#include "platform/Failure.h"

#include <atomic>
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
    // What run() throws when the job did not end in time.
    class Overrun : public platform::Failure {
    public:
        using Failure::Failure;
    };
    // What run() throws when called from inside the wait pass: the thread is busy with the call
    // before, and nothing is known of the office.
    class Busy : public platform::Failure {
    public:
        using Failure::Failure;
    };

    // source and overrunDescription make the Overrun failure.
    BoundedCall(QString source, QString overrunDescription);
    ~BoundedCall();
    BoundedCall(const BoundedCall&) = delete;
    BoundedCall& operator=(const BoundedCall&) = delete;

    // Runs job on the worker and returns its result or rethrows what it threw. Throws Overrun when
    // it does not end within timeout, and Busy when called from inside the wait pass.
    template <typename Job>
    auto run(Job job, std::chrono::milliseconds timeout) -> decltype(job()) {
        using Result = decltype(job());
        refuseNested();
        auto task = std::make_shared<std::packaged_task<Result()>>(std::move(job));
        std::future<Result> result = task->get_future();
        post([task] { (*task)(); });
        bool done = false;
        try {
            done = waitRunningPass(timeout, [&result](std::chrono::milliseconds slice) {
                return result.wait_for(slice) == std::future_status::ready;
            });
        } catch (...) {
            // The pass threw: nobody waits for the job any more.
            abandon();
            throw;
        }
        if (!done) {
            abandon();
            throw Overrun(m_source, m_overrunDescription);
        }
        return result.get();
    }

    // Throws Busy when called from inside the wait pass.
    void refuseNested() const;
    // Inside a job: whether its caller has stopped waiting for it. A job that made something in the
    // office for its caller, such as a document, undoes it then.
    static bool callerGaveUp();

    // The pass to run about every 15 ms while a call is waited for, on the thread that installs it
    // (the user-interface thread) only. Install it before the first call.
    static void setWaitPass(std::function<void()> pass);
    // Waits on the caller's thread until done() or timeout, running the wait pass meanwhile.
    // Returns done().
    static bool waitFor(std::chrono::milliseconds timeout, const std::function<bool()>& done);
    static void pause(std::chrono::milliseconds duration) {
        waitFor(duration, [] { return false; });
    }

private:
    struct Queue {
        std::mutex mutex;
        std::condition_variable wake;
        std::deque<std::function<void()>> jobs;
        bool stop = false;
        // Set when the worker is abandoned, read by the job it still runs.
        std::atomic<bool> abandoned = false;
    };
    static void work(std::shared_ptr<Queue> queue);
    // Waits until ready(slice) says so or timeout has passed; false when it has passed.
    static bool waitRunningPass(std::chrono::milliseconds timeout,
                                const std::function<bool(std::chrono::milliseconds)>& ready);
    void post(std::function<void()> job);
    void abandon();

    QString m_source;
    QString m_overrunDescription;
    // Made with the first job, and again after an overrun.
    std::shared_ptr<Queue> m_queue;
    std::thread m_worker;
};

} // namespace show::impress
