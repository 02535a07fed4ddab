#include "platform/LongTimer.h"

#include <algorithm>
#include <cmath>

namespace platform {

namespace {

const SteadyClock& steadyClock() {
    static const SteadyClock clock;
    return clock;
}

} // namespace

LongTimer::LongTimer(const Clock* clock, QObject* parent)
    : QObject(parent), m_clock(clock ? *clock : steadyClock()) {
    // A coarse timer may fire up to 5% of its arming late, which would show as a late tick.
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &LongTimer::check);
}

void LongTimer::setEnabled(bool on) {
    if (on == m_enabled)
        return;
    m_enabled = on;
    restart();
}

void LongTimer::setInterval(float seconds) {
    m_interval = seconds;
    restart();
}

bool LongTimer::counting() const {
    return m_enabled && m_interval > 0.0f;
}

// Reckoned in nanoseconds as double: the clock's whole nanoseconds are exact in a double for
// over a hundred days, so a tick due exactly on a multiple is seen there, and an interval near the
// largest float (far beyond what a duration of nanoseconds holds) cannot overflow.
double LongTimer::spacingNs() const {
    return std::max(double(m_interval) * 1e9, kMinSpacingMilliseconds * 1e6);
}

double LongTimer::elapsedNs() const {
    return double(std::chrono::nanoseconds(m_clock.now() - m_origin).count());
}

void LongTimer::restart() {
    m_origin = m_clock.now();
    m_ticks = 0;
    arm();
}

void LongTimer::check() {
    if (!counting())
        return;
    // Each due moment is reckoned from the origin, never from the tick before, so lateness of
    // the event loop does not add up.
    const double whole = std::floor(elapsedNs() / spacingNs());
    if (whole > double(m_ticks)) {
        // However many moments have passed, one tick is delivered and the next falls on the
        // next whole multiple.
        m_ticks = (long long)whole;
        // Armed before the signal, because a handler that opens a modal box keeps the event
        // loop running and ticks are to go on meanwhile.
        arm();
        emit Timer();
        return;
    }
    arm();
}

void LongTimer::arm() {
    if (!counting()) {
        m_timer.stop();
        return;
    }
    const double remainingNs = (double(m_ticks) + 1.0) * spacingNs() - elapsedNs();
    const double ms = std::ceil(remainingNs / 1e6);
    m_timer.start(int(std::clamp(ms, 1.0, double(kMaxArmMilliseconds))));
}

} // namespace platform
