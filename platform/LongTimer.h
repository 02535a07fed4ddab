// The long-interval timer: on/off, an interval in seconds as a float, one elapsed signal. Ticks
// fall at whole multiples of the interval from the moment the timer starts counting (switched on
// with a positive interval, or given a new one while on), so they do not drift over hours, and
// intervals far longer than a QTimer can hold work. An interval of 0 or less gives no ticks. A tick
// that is late (the event loop was busy, or a modal box was open) is delivered once, and the next
// one falls on the next whole multiple: missed ticks are not queued up.
#pragma once

#include <chrono>
#include <QObject>
#include <QTimer>

namespace platform {

// Monotonic time, injectable for tests.
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::chrono::steady_clock::time_point now() const = 0;
};

class SteadyClock final : public Clock {
public:
    std::chrono::steady_clock::time_point now() const override {
        return std::chrono::steady_clock::now();
    }
};

class LongTimer : public QObject {
    Q_OBJECT
public:
    // The QTimer underneath is armed for at most this long and then re-reads the clock, which is
    // how intervals beyond its int range of milliseconds work.
    static constexpr int kMaxArmMilliseconds = 60'000;
    // Ticks come no closer together than this, however small a positive interval is.
    static constexpr int kMinSpacingMilliseconds = 1;

    // clock must outlive the timer; nullptr means the steady clock.
    explicit LongTimer(const Clock* clock = nullptr, QObject* parent = nullptr);

    bool Enabled() const { return m_enabled; }
    void setEnabled(bool on);
    // Seconds; the last value set, or 0 before any was set.
    float interval() const { return m_interval; }
    void setInterval(float seconds);

    // Reads the clock now, delivers the tick that is due, if any, and arms for the next one. The
    // QTimer does this whenever it fires; a test with its own clock calls it after moving the
    // clock on.
    void check();
    // Counts afresh from now: the next tick falls a whole interval away.
    void restart();
    // How long the QTimer is armed for, or -1 when it is not (off, or no positive interval).
    int armedMilliseconds() const { return m_timer.isActive() ? m_timer.interval() : -1; }

signals:
    void Timer();

private:
    bool counting() const;
    double spacingNs() const;
    double elapsedNs() const;
    void arm();

    const Clock& m_clock;
    bool m_enabled = false;
    float m_interval = 0.0f;
    std::chrono::steady_clock::time_point m_origin;
    // Whole intervals from m_origin up to the last tick delivered.
    long long m_ticks = 0;
    QTimer m_timer;
};

} // namespace platform
