// The time limit on calls into the office: a call that never returns must not hold the caller,
// and must not be waited for again.
#include "show/impress/BoundedCall.h"

#include <atomic>
#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>

using namespace std::chrono_literals;
using show::impress::BoundedCall;

namespace {

TEST(BoundedCall, ReturnsWhatTheJobReturnsAndRethrowsWhatItThrows) {
    BoundedCall call(QStringLiteral("Office"), QStringLiteral("stopped answering"));
    EXPECT_EQ(call.run([] { return 42; }, 1s), 42);
    try {
        call.run(
            []() -> int {
                throw platform::Failure(QStringLiteral("Office"), QStringLiteral("no"));
            },
            1s);
        FAIL() << "the failure was lost";
    } catch (const platform::Failure& failure) {
        EXPECT_EQ(failure.description(), QStringLiteral("no"));
    }
    EXPECT_THROW(call.run([] { throw std::runtime_error("x"); }, 1s), std::runtime_error);
    // A failing job leaves the worker in service.
    EXPECT_FALSE(call.stuck());
    EXPECT_EQ(call.run([] { return 7; }, 1s), 7);
}

TEST(BoundedCall, RunsJobsOnOneWorkerApartFromTheCaller) {
    BoundedCall call(QStringLiteral("Office"), QStringLiteral("stopped answering"));
    const auto first = call.run([] { return std::this_thread::get_id(); }, 1s);
    const auto second = call.run([] { return std::this_thread::get_id(); }, 1s);
    EXPECT_NE(first, std::this_thread::get_id());
    EXPECT_EQ(first, second);
}

TEST(BoundedCall, GivesUpOnAnOverrunAndFailsEveryLaterCallAtOnce) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<int> laterJobs = 0;
    {
        BoundedCall call(QStringLiteral("Office"), QStringLiteral("stopped answering"));
        const auto start = std::chrono::steady_clock::now();
        try {
            call.run([released] { released.wait(); }, 200ms);
            FAIL() << "the overrun was not reported";
        } catch (const platform::Failure& failure) {
            EXPECT_EQ(failure.source(), QStringLiteral("Office"));
            EXPECT_EQ(failure.description(), QStringLiteral("stopped answering"));
        }
        const auto waited = std::chrono::steady_clock::now() - start;
        EXPECT_GE(waited, 200ms);
        EXPECT_LT(waited, 2s);
        EXPECT_TRUE(call.stuck());

        const auto again = std::chrono::steady_clock::now();
        EXPECT_THROW(call.run([&] { ++laterJobs; }, 5s), platform::Failure);
        EXPECT_LT(std::chrono::steady_clock::now() - again, 100ms);
        // Leaving scope must not wait for the stuck worker.
    }
    // The abandoned job may still return; nothing queued behind it runs.
    release.set_value();
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(laterJobs, 0);
}

} // namespace
