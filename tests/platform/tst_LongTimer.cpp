// The long-interval timer under a clock the test moves by hand: when ticks fall, that they do not
// drift, that late ticks are not queued, and intervals no QTimer could hold. The last case shows
// the QTimer underneath re-reading the clock by itself.
#include "platform/LongTimer.h"

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

// A timer on a fake clock; after() moves the clock on, checks, and returns the ticks so far.
struct Rig {
    FakeClock clock;
    LongTimer timer{&clock};
    QSignalSpy ticks{&timer, &LongTimer::Timer};
    explicit Rig(float interval, bool on = true) {
        timer.setEnabled(on);
        timer.setInterval(interval);
    }
    template <typename D> int after(D by) {
        clock.advance(by);
        timer.check();
        return int(ticks.count());
    }
};

using Seconds = std::chrono::duration<double>;

} // namespace

class TestLongTimer : public QObject {
    Q_OBJECT
private slots:
    void ticksOnWholeMultiplesFromWhenCountingStarts();
    void noDriftOverManyHoursWithAnInexactInterval();
    void noTicksWithoutPositiveInterval_data();
    void noTicksWithoutPositiveInterval();
    void extremeIntervals();
    void tickMayReenterDuringItsHandler();
    void qtimerDrivesTicks();
};

void TestLongTimer::ticksOnWholeMultiplesFromWhenCountingStarts() {
    Rig r(5.0f, false);
    QCOMPARE(r.timer.armedMilliseconds(), -1);
    QCOMPARE(r.after(3s), 0);
    r.timer.setEnabled(true); // counting starts here, not when the interval was set
    QCOMPARE(r.timer.armedMilliseconds(), 5000);
    QCOMPARE(r.after(4999ms), 0);
    QCOMPARE(r.timer.armedMilliseconds(), 1);
    QCOMPARE(r.after(1ms), 1);
    QCOMPARE(r.after(0ms), 1); // checking again at the same moment delivers nothing more
    r.timer.setEnabled(false);
    QCOMPARE(r.timer.armedMilliseconds(), -1);
    QCOMPARE(r.after(60s), 1);
    r.timer.setEnabled(true);
    QCOMPARE(r.after(4s), 1);
    QCOMPARE(r.after(1s), 2);
    // A new interval, or the same one set again as a second Load Show does, restarts the count.
    r.clock.advance(3s);
    r.timer.setInterval(5.0f);
    QCOMPARE(r.after(4999ms), 2);
    r.timer.setInterval(2.0f);
    QCOMPARE(r.after(1999ms), 2);
    // A modal box held the loop for 11 s: five ticks were due, one is delivered, and the next
    // falls on the next multiple, 12 s, not 11 s + 2 s.
    QCOMPARE(r.after(9001ms), 3);
    QCOMPARE(r.timer.armedMilliseconds(), 1000);
    QCOMPARE(r.after(1s), 4);
}

void TestLongTimer::noDriftOverManyHoursWithAnInexactInterval() {
    // 0.1 has no exact binary form and the QTimer counts whole milliseconds; over 12 hours the
    // last tick still comes within a millisecond (the arming resolution) after its multiple.
    Rig r(0.1f);
    const long long expected = 12 * 3600 * 10;
    const double due = expected * double(0.1f);
    Seconds elapsed{0};
    while (r.ticks.count() < expected) {
        const Seconds wait{r.timer.armedMilliseconds() / 1000.0};
        elapsed += wait;
        r.after(wait);
    }
    QVERIFY2(elapsed.count() >= due && elapsed.count() < due + 0.0011,
             qPrintable(QString::number(elapsed.count() - due)));
}

void TestLongTimer::noTicksWithoutPositiveInterval_data() {
    QTest::addColumn<float>("interval");
    QTest::newRow("zero") << 0.0f;
    QTest::newRow("negative") << -5.0f;
    QTest::newRow("not a number") << std::numeric_limits<float>::quiet_NaN();
}

void TestLongTimer::noTicksWithoutPositiveInterval() {
    QFETCH(float, interval);
    Rig r(3.0f);
    r.timer.setInterval(interval);
    QCOMPARE(r.timer.armedMilliseconds(), -1);
    QCOMPARE(r.after(1h), 0);
    r.timer.setInterval(3.0f);
    QCOMPARE(r.after(3s), 1);
}

void TestLongTimer::extremeIntervals() {
    // 30 days: more milliseconds than an int holds. The QTimer is armed for a bounded while and
    // re-reads the clock.
    Rig r(30.0f * 24 * 3600);
    for (int hour = 0; hour < 30 * 24 - 1; ++hour) {
        QVERIFY(r.timer.armedMilliseconds() > 0);
        r.after(1h);
    }
    QCOMPARE(r.after(59min + 59s), 0);
    QCOMPARE(r.after(1s), 1);
    // The largest float never ticks and cannot overflow the reckoning.
    Rig huge(std::numeric_limits<float>::max());
    QCOMPARE(huge.after(std::chrono::hours(24 * 365 * 100)), 0);
    QCOMPARE(huge.timer.armedMilliseconds(), LongTimer::kMaxArmMilliseconds);
    // A microsecond interval must not spin the event loop: ticks come at most once a millisecond.
    Rig tiny(1e-6f);
    for (int i = 0; i < 100; ++i)
        tiny.after(1ms);
    QCOMPARE(tiny.after(0ms), 100);
}

void TestLongTimer::tickMayReenterDuringItsHandler() {
    // A tick's handler may open a modal box, which runs the event loop; the timer is armed again
    // before the signal, so ticks go on meanwhile.
    Rig r(1.0f);
    int count = 0;
    connect(&r.timer, &LongTimer::Timer, this, [&] {
        QCOMPARE(r.timer.armedMilliseconds(), 1000);
        if (++count == 1)
            r.after(1s);
    });
    r.after(1s);
    QCOMPARE(count, 2);
}

void TestLongTimer::qtimerDrivesTicks() {
    // No check() here: the QTimer fires after the interval of real time, re-reads the (fake)
    // clock and delivers the tick; with the clock standing still, nothing more is due.
    Rig r(0.02f);
    r.clock.advance(20ms);
    QVERIFY(r.ticks.wait(5000));
    QCOMPARE(r.ticks.count(), 1);
    QVERIFY(!r.ticks.wait(100));
}

QTEST_GUILESS_MAIN(TestLongTimer)
#include "tst_LongTimer.moc"
