// The time limit on calls into the office: a call that never returns must not hold the caller, must
// not hold the calls after it, and must touch nothing of its caller's when it returns late. Built
// again under AddressSanitizer and ThreadSanitizer.
#include "show/impress/BoundedCall.h"

#include <atomic>
#include <future>
#include <gtest/gtest.h>
#include <thread>

using namespace std::chrono_literals;
using show::impress::BoundedCall;

namespace {

TEST(BoundedCall, GivesUpOnAnOverrunAndCarriesOnWithANewWorker) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    auto lateJobEnded = std::make_shared<std::atomic<bool>>(false);
    {
        BoundedCall call(QStringLiteral("Office"), QStringLiteral("stopped answering"));
        const auto stuckWorker = call.run([] { return std::this_thread::get_id(); }, 1s);
        const auto start = std::chrono::steady_clock::now();
        try {
            // What the job touches once its caller gave up, it owns.
            call.run([released, lateJobEnded] { released.wait(), *lateJobEnded = true; }, 200ms);
            ADD_FAILURE() << "the overrun was not reported";
        } catch (const BoundedCall::Overrun& failure) {
            EXPECT_EQ(failure.message(), QStringLiteral("Office stopped answering"));
        }
        EXPECT_GE(std::chrono::steady_clock::now() - start, 200ms);
        // The next call does not queue behind the stuck one: a new worker takes it at once.
        EXPECT_NE(call.run([] { return std::this_thread::get_id(); }, 1s), stuckWorker);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 700ms);
        // Leaving scope must not wait for the stuck worker.
    }
    release.set_value();
    for (int i = 0; i < 200 && !*lateJobEnded; ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_TRUE(*lateJobEnded);
}

TEST(BoundedCall, RunsTheWaitPassOnTheWaitingThreadAndRefusesCallsFromIt) {
    BoundedCall call(QStringLiteral("Office"), QStringLiteral("stopped answering"));
    const std::thread::id caller = std::this_thread::get_id();
    int passes = 0;
    bool passOnCaller = true;
    QString nested;
    BoundedCall::setWaitPass([&] {
        ++passes;
        passOnCaller = passOnCaller && std::this_thread::get_id() == caller;
        try {
            call.run([] { return 1; }, 1s);
        } catch (const BoundedCall::Busy& failure) {
            nested = failure.message();
        }
    });
    EXPECT_EQ(call.run([] { return std::this_thread::sleep_for(300ms), 2; }, 2s), 2);
    BoundedCall::setWaitPass({});
    EXPECT_TRUE(passOnCaller);
    // About every 15 ms over 300 ms; a loaded machine runs fewer.
    EXPECT_GE(passes, 8);
    EXPECT_LE(passes, 25);
    EXPECT_EQ(nested, QStringLiteral("Quenvar The request before this one is still waiting for "
                                     "Office to answer. Try again in a moment."));
}

} // namespace
