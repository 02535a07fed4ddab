// The long-interval timer under a clock the test moves by hand: when ticks fall, that they do not
// drift, that late ticks are not queued, and intervals no QTimer could hold. The last case shows
// the QTimer underneath re-reading the clock by itself.
#include "platform/LongTimer.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <QSignalSpy>
#include <QTest>

using namespace platform;
using namespace std::chrono_literals;

namespace {

class FakeClock final : public Clock {
public:
    std::chrono::steady_clock::time_point now() const override { return m_now; }
    template <typename D> void advance(D by) {
        m_now += std::chrono::duration_cast<std::chrono::steady_clock::duration>(by);
    }

private:
    std::chrono::steady_clock::time_point m_now{std::chrono::hours(1000)};
};

using Seconds = std::chrono::duration<double>;

} // namespace

class TestLongTimer : public QObject {
    Q_OBJECT
private slots:
    void offUntilSwitchedOn();
    void ticksOncePerInterval();
    void noDriftWhenEveryTickIsLate();
    void noDriftOverManyHoursWithAnInexactInterval();
    void lateTickIsDeliveredOnce();
    void newIntervalRestartsTheCount();
    void switchingOffStopsAndOnRestarts();
    void zeroOrNegativeGivesNoTicks_data();
    void zeroOrNegativeGivesNoTicks();
    void intervalBeyondQTimerRange();
    void largestFloatIntervalNeverTicks();
    void tinyIntervalIsBounded();
    void tickMayReenterDuringItsHandler();
    void qtimerDrivesTicks();
};

void TestLongTimer::offUntilSwitchedOn() {
    FakeClock clock;
    LongTimer timer(&clock);
    QSignalSpy ticks(&timer, &LongTimer::Timer);
    QCOMPARE(timer.Enabled(), false);
    QCOMPARE(timer.interval(), 0.0f);
    timer.setInterval(1.0f);
    QCOMPARE(timer.interval(), 1.0f);
    QCOMPARE(timer.armedMilliseconds(), -1);
    clock.advance(10s);
    timer.check();
    QCOMPARE(ticks.count(), 0);
}

void TestLongTimer::ticksOncePerInterval() {
    FakeClock clock;
    LongTimer timer(&clock);
    QSignalSpy ticks(&timer, &LongTimer::Timer);
    timer.setEnabled(true);
    timer.setInterval(10.0f);
    QCOMPARE(timer.armedMilliseconds(), 10000);

    clock.advance(9999ms);
    timer.check();
    QCOMPARE(ticks.count(), 0);
    QCOMPARE(timer.armedMilliseconds(), 1);
    clock.advance(1ms);
    timer.check();
    QCOMPARE(ticks.count(), 1);
    QCOMPARE(timer.armedMilliseconds(), 10000);
    // Checking again at the same moment delivers nothing more.
    timer.check();
    QCOMPARE(ticks.count(), 1);
    clock.advance(10s);
    timer.check();
    QCOMPARE(ticks.count(), 2);
}

void TestLongTimer::noDriftWhenEveryTickIsLate() {
    // Each tick is seen 300 ms late, as a busy event loop would. Restarting from the tick would
    // lose one tick in every 34; ten hours at 10 s must still give exactly 3600.
    FakeClock clock;
    LongTimer timer(&clock);
    QSignalSpy ticks(&timer, &LongTimer::Timer);
    timer.setEnabled(true);
    timer.setInterval(10.0f);
    Seconds elapsed{0};
    const Seconds end = 10h;
    while (elapsed < end) {
        const Seconds wait{timer.armedMilliseconds() / 1000.0 + 0.3};
        clock.advance(wait);
        elapsed += wait;
        timer.check();
    }
    QCOMPARE(ticks.count(), 3600);
}

void TestLongTimer::noDriftOverManyHoursWithAnInexactInterval() {
    // 0.1 has no exact binary form and the QTimer counts whole milliseconds; over 12 hours the
    // ticks still come at the multiples of the interval set.
    FakeClock clock;
    LongTimer timer(&clock);
    QSignalSpy ticks(&timer, &LongTimer::Timer);
    timer.setEnabled(true);
    timer.setInterval(0.1f);
    const double interval = double(0.1f);
    const long long expected = 12 * 3600 * 10;
    Seconds elapsed{0};
    while (ticks.count() < expected) {
        const Seconds wait{timer.armedMilliseconds() / 1000.0};
        clock.advance(wait);
        elapsed += wait;
        timer.check();
    }
    // The last tick came within a millisecond (the arming resolution) after its multiple.
    QVERIFY(elapsed.count() >= expected * interval);
    QVERIFY2(elapsed.count() < expected * interval + 0.0011,
             qPrintable(QString::number(elapsed.count() - expected * interval)));
}

void TestLongTimer::lateTickIsDeliveredOnce() {
    FakeClock clock;
    LongTimer timer(&clock);
    QSignalSpy ticks(&timer, &LongTimer::Timer);
    timer.setEnabled(true);
    timer.setInterval(2.0f);
    // A modal box held the loop for 11 s: five ticks were due, one is delivered.
    clock.advance(11s);
    timer.check();
    QCOMPARE(ticks.count(), 1);
    timer.check();
    QCOMPARE(ticks.count(), 1);
    // The next one falls on the next multiple, 12 s, not 11 s + 2 s.
    QCOMPARE(timer.armedMilliseconds(), 1000);
    clock.advance(1s);
    timer.check();
    QCOMPARE(ticks.count(), 2);
}

void TestLongTimer::newIntervalRestartsTheCount() {
    FakeClock clock;
    LongTimer timer(&clock);
    QSignalSpy ticks(&timer, &LongTimer::Timer);
    timer.setEnabled(true);
    timer.setInterval(10.0f);
    clock.advance(25s);
    timer.check();
    QCOMPARE(ticks.count(), 1);
    // Counting starts afresh from this moment: the next tick is at 25 + 4 s.
    timer.setInterval(4.0f);
    QCOMPARE(timer.interval(), 4.0f);
    clock.advance(3999ms);
    timer.check();
    QCOMPARE(ticks.count(), 1);
    clock.advance(1ms);
    timer.check();
    QCOMPARE(ticks.count(), 2);
    // The same value set again restarts as well, as a second Load Show does.
    clock.advance(3s);
    timer.setInterval(4.0f);
    clock.advance(1s);
    timer.check();
    QCOMPARE(ticks.count(), 2);
    clock.advance(3s);
    timer.check();
    QCOMPARE(ticks.count(), 3);
}

void TestLongTimer::switchingOffStopsAndOnRestarts() {
    FakeClock clock;
    LongTimer timer(&clock);
    QSignalSpy ticks(&timer, &LongTimer::Timer);
    timer.setInterval(5.0f);
    clock.advance(3s);
    timer.setEnabled(true); // counting starts here, not when the interval was set
    clock.advance(4s);
    timer.check();
    QCOMPARE(ticks.count(), 0);
    clock.advance(1s);
    timer.check();
    QCOMPARE(ticks.count(), 1);

    timer.setEnabled(false);
    QCOMPARE(timer.armedMilliseconds(), -1);
    clock.advance(60s);
    timer.check();
    QCOMPARE(ticks.count(), 1);
    QCOMPARE(timer.interval(), 5.0f);

    timer.setEnabled(true);
    clock.advance(4s);
    timer.check();
    QCOMPARE(ticks.count(), 1);
    clock.advance(1s);
    timer.check();
    QCOMPARE(ticks.count(), 2);
}

void TestLongTimer::zeroOrNegativeGivesNoTicks_data() {
    QTest::addColumn<float>("interval");
    QTest::newRow("zero") << 0.0f;
    QTest::newRow("negative") << -5.0f;
    QTest::newRow("not a number") << std::numeric_limits<float>::quiet_NaN();
}

void TestLongTimer::zeroOrNegativeGivesNoTicks() {
    QFETCH(float, interval);
    FakeClock clock;
    LongTimer timer(&clock);
    QSignalSpy ticks(&timer, &LongTimer::Timer);
    timer.setEnabled(true);
    timer.setInterval(3.0f);
    timer.setInterval(interval);
    QCOMPARE(timer.Enabled(), true);
    QCOMPARE(timer.armedMilliseconds(), -1);
    clock.advance(1h);
    timer.check();
    QCOMPARE(ticks.count(), 0);
    // A positive interval afterwards starts counting from when it was set.
    timer.setInterval(3.0f);
    clock.advance(3s);
    timer.check();
    QCOMPARE(ticks.count(), 1);
}

void TestLongTimer::intervalBeyondQTimerRange() {
    // 30 days: more milliseconds than an int holds (24.8 days).
    FakeClock clock;
    LongTimer timer(&clock);
    QSignalSpy ticks(&timer, &LongTimer::Timer);
    timer.setEnabled(true);
    timer.setInterval(30.0f * 24 * 3600);
    for (int hour = 0; hour < 30 * 24 - 1; ++hour) {
        QVERIFY(timer.armedMilliseconds() > 0);
        QVERIFY(timer.armedMilliseconds() <= LongTimer::kMaxArmMilliseconds);
        clock.advance(1h);
        timer.check();
    }
    clock.advance(59min + 59s);
    timer.check();
    QCOMPARE(ticks.count(), 0);
    clock.advance(1s);
    timer.check();
    QCOMPARE(ticks.count(), 1);
    // The second one falls at 60 days.
    clock.advance(30 * 24h - 1s);
    timer.check();
    QCOMPARE(ticks.count(), 1);
    clock.advance(1s);
    timer.check();
    QCOMPARE(ticks.count(), 2);
}

void TestLongTimer::largestFloatIntervalNeverTicks() {
    FakeClock clock;
    LongTimer timer(&clock);
    QSignalSpy ticks(&timer, &LongTimer::Timer);
    timer.setEnabled(true);
    timer.setInterval(std::numeric_limits<float>::max());
    QCOMPARE(timer.armedMilliseconds(), LongTimer::kMaxArmMilliseconds);
    clock.advance(std::chrono::hours(24 * 365 * 100));
    timer.check();
    QCOMPARE(ticks.count(), 0);
    QCOMPARE(timer.armedMilliseconds(), LongTimer::kMaxArmMilliseconds);
    timer.setInterval(std::numeric_limits<float>::infinity());
    QCOMPARE(timer.armedMilliseconds(), LongTimer::kMaxArmMilliseconds);
}

void TestLongTimer::tinyIntervalIsBounded() {
    // A microsecond interval must not spin the event loop: ticks come at most once a millisecond.
    FakeClock clock;
    LongTimer timer(&clock);
    QSignalSpy ticks(&timer, &LongTimer::Timer);
    timer.setEnabled(true);
    timer.setInterval(1e-6f);
    QCOMPARE(timer.armedMilliseconds(), 1);
    for (int i = 0; i < 100; ++i) {
        clock.advance(1ms);
        timer.check();
    }
    QCOMPARE(ticks.count(), 100);
    timer.check();
    QCOMPARE(ticks.count(), 100);
}

void TestLongTimer::tickMayReenterDuringItsHandler() {
    // A tick's handler may open a modal box, which runs the event loop; the timer is armed again
    // before the signal, so ticks go on meanwhile.
    FakeClock clock;
    LongTimer timer(&clock);
    int depth = 0;
    int maxDepth = 0;
    int count = 0;
    connect(&timer, &LongTimer::Timer, this, [&] {
        ++depth;
        ++count;
        maxDepth = std::max(maxDepth, depth);
        QCOMPARE(timer.armedMilliseconds(), 1000);
        if (count == 1) {
            clock.advance(1s);
            timer.check();
        }
        --depth;
    });
    timer.setEnabled(true);
    timer.setInterval(1.0f);
    clock.advance(1s);
    timer.check();
    QCOMPARE(count, 2);
    QCOMPARE(maxDepth, 2);
}

void TestLongTimer::qtimerDrivesTicks() {
    // No check() here: the QTimer fires after the interval of real time, re-reads the (fake)
    // clock and delivers the tick.
    FakeClock clock;
    LongTimer timer(&clock);
    QSignalSpy ticks(&timer, &LongTimer::Timer);
    timer.setEnabled(true);
    timer.setInterval(0.02f);
    clock.advance(20ms);
    QVERIFY(ticks.wait(5000));
    QCOMPARE(ticks.count(), 1);
    // Without the fake clock moving, the QTimer's next firing finds nothing due.
    QVERIFY(!ticks.wait(100));
}

QTEST_GUILESS_MAIN(TestLongTimer)
#include "tst_LongTimer.moc"
