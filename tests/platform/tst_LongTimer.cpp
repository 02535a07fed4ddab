// The long-interval timer under a clock the test moves by hand: ticks on whole multiples of the
// interval from when counting starts, late ticks not queued, no ticks without a positive interval.
#include "platform/LongTimer.h"

#include <limits>
#include <QSignalSpy>
#include <QTest>

using namespace platform;
using namespace std::chrono_literals;

struct FakeClock final : Clock {
    std::chrono::steady_clock::time_point at{std::chrono::hours(1000)};
    std::chrono::steady_clock::time_point now() const override { return at; }
};

class TestLongTimer : public QObject {
    Q_OBJECT
private slots:
    void ticks();
};

void TestLongTimer::ticks() {
    FakeClock clock;
    LongTimer timer(&clock);
    QSignalSpy ticks(&timer, &LongTimer::Timer);
    const auto after = [&](std::chrono::steady_clock::duration by) {
        clock.at += by;
        timer.check();
        return int(ticks.count());
    };
    timer.setInterval(5.0f);
    QCOMPARE(after(3s), 0);
    timer.setEnabled(true); // counting starts here, not when the interval was set
    QCOMPARE(after(4999ms), 0);
    QCOMPARE(after(1ms), 1);
    QCOMPARE(after(0ms), 1);
    // A new interval, or the same one set again by a second Load Show, restarts the count.
    clock.at += 3s;
    timer.setInterval(2.0f);
    QCOMPARE(after(1999ms), 1);
    // A modal box held the loop for 11 s: one tick for the five that were due, and the next falls
    // on the next multiple, 12 s.
    QCOMPARE(after(9001ms), 2);
    QCOMPARE(timer.armedMilliseconds(), 1000);
    QCOMPARE(after(1s), 3);
    for (float none : {0.0f, -5.0f, std::numeric_limits<float>::quiet_NaN()}) {
        timer.setInterval(none);
        QCOMPARE(timer.armedMilliseconds(), -1);
        QCOMPARE(after(1h), 3);
    }
    // 30 days: more milliseconds than a QTimer holds, so it is armed for a while at a time.
    timer.setInterval(30.0f * 24 * 3600);
    QCOMPARE(timer.armedMilliseconds(), LongTimer::kMaxArmMilliseconds);
    QCOMPARE(after(std::chrono::hours(30 * 24) - 1s), 3);
    QCOMPARE(after(1s), 4);
    // Without check(): the QTimer fires after the interval of real time and re-reads the clock.
    timer.setInterval(0.02f);
    clock.at += 20ms;
    QVERIFY(ticks.wait(5000));
    QVERIFY(!ticks.wait(100));
    QCOMPARE(ticks.count(), 5);
}

QTEST_GUILESS_MAIN(TestLongTimer)
#include "tst_LongTimer.moc"
