// One connection to the office of this run, shared by every object that Load Show makes from it.
// It bounds each call in time (BoundedCall) and turns what the office throws into platform::Failure
// with the presentation program's name as its source.
//
// Slow is not dead. A call that overruns fails, and from then on the office counts as silent:
// each later call first asks it whether it answers again (a short probe; while the probe before is
// still on its way, that one is waited for instead) and goes on if it does, else fails. The
// connection is given up only when the office has closed (its calls report a disposed
// bridge). connect() ends an office only when it has answered no probe for the silence limit and a
// Load Show needs one; the README says when Quenvar ends an office.
//
// Jobs run on workers that may outlive their caller's wait: what they share with the connection
// lives in a Link that each job holds a share of.
#pragma once

#include "show/impress/BoundedCall.h"
#include "show/impress/OfficeProcess.h"

#include <atomic>
#include <chrono>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <memory>
#include <optional>

namespace show::impress {

inline rtl::OUString ou(const char* ascii) {
    return rtl::OUString::createFromAscii(ascii);
}

inline rtl::OUString toOUString(const QString& text) {
    return rtl::OUString(reinterpret_cast<const sal_Unicode*>(text.utf16()), text.size());
}

inline css::beans::PropertyValue property(const char* name, css::uno::Any value) {
    css::beans::PropertyValue result;
    result.Name = rtl::OUString::createFromAscii(name);
    result.Value = std::move(value);
    return result;
}

// The presentation program's name: the source of every failure it reports.
inline const QString kImpressName = QStringLiteral("LibreOffice Impress");

// How long Quenvar waits for the office. Set once before the first call; tests shorten them.
struct OfficeLimits {
    // An ordinary call; a stopped office makes the press end after this with one failure.
    std::chrono::milliseconds call = std::chrono::seconds(5);
    // Opening a file and starting its show.
    std::chrono::milliseconds load = std::chrono::seconds(60);
    // A cold office: from the process start to its answer on the pipe.
    std::chrono::milliseconds start = std::chrono::seconds(60);
    // Asking a silent office whether it answers again.
    std::chrono::milliseconds probe = std::chrono::seconds(2);
    // An office silent this long is replaced when a Load Show needs an office.
    std::chrono::milliseconds silence = std::chrono::seconds(30);
};
const OfficeLimits& officeLimits();
void setOfficeLimits(const OfficeLimits& limits);

inline const std::chrono::milliseconds& kCallTimeout = officeLimits().call;
inline const std::chrono::milliseconds& kLoadTimeout = officeLimits().load;
inline const std::chrono::milliseconds& kStartTimeout = officeLimits().start;

class Office {
public:
    // The connection to the office of this run: the one already made while its office answers or
    // may still answer, else a new one, starting the office when none of ours is running. Throws
    // Failure when no office can be reached.
    static std::shared_ptr<Office> connect();

    // Set before connect() returns the connection, and fixed from then on.
    const css::uno::Reference<css::uno::XComponentContext>& context() const {
        return m_link->context;
    }
    const css::uno::Reference<css::frame::XDesktop2>& desktop() const { return m_link->desktop; }

    // Runs job on a worker within timeout. UNO exceptions become Failure; a disposed bridge
    // closes the connection. Throws at once when the connection is closed or the office is
    // silent and does not answer a probe.
    template <typename Job>
    auto call(Job&& job, std::chrono::milliseconds timeout = kCallTimeout) -> decltype(job()) {
        checkAnswering();
        try {
            return m_calls.run(
                [link = m_link, job = std::forward<Job>(job)]() mutable {
                    try {
                        return job();
                    } catch (const css::lang::DisposedException&) {
                        link->closed = true;
                        throw closedFailure();
                    } catch (const css::uno::Exception& error) {
                        throw translate(error);
                    }
                },
                timeout);
        } catch (const BoundedCall::Overrun&) {
            noteSilence();
            throw;
        }
    }

    bool closed() const { return m_link->closed; }
    // A show has run on this office: closing Quenvar leaves it running (releaseUnusedImpress).
    void noteShowStarted();

    // Starts the office of this run when none runs, and readies it for the first deck: its first
    // presentation costs an office a third of a second more than any later one. Returns at once.
    static void prepare();

private:
    // What the connection shares with the jobs on its workers.
    struct Link {
        std::atomic<bool> closed = false;
        // A probe is on its way and has not come back yet.
        std::atomic<bool> probing = false;
        // A probe came back after its caller had stopped waiting: the office answers again.
        std::atomic<bool> answeredLate = false;
        // Written by the first probe that comes back, before it clears probing.
        css::uno::Reference<css::uno::XComponentContext> context;
        css::uno::Reference<css::frame::XDesktop2> desktop;
    };

    Office();
    static std::shared_ptr<Office> reach(OfficeProcess& process);
    static platform::Failure closedFailure();
    static platform::Failure translate(const css::uno::Exception& error);
    // Runs on a worker: connects to the office on the pipe when not yet connected, else asks it
    // something small. True when it answered.
    static bool ask(Link& link, const OfficeProcess::Pipe& pipe);
    // On a thread of its own, which owns all it uses: once the office on the pipe answers, has it
    // read a presentation, hidden, by way of file. Gives up when the office has not answered
    // within the start limit.
    static void warmUp(const OfficeProcess::Pipe& pipe, const QString& file);
    // Whether the office answers within the probe limit, or answered a probe that came back
    // after its caller had stopped waiting.
    bool probe();
    void checkAnswering();
    void noteSilence();

    std::shared_ptr<Link> m_link;
    BoundedCall m_calls;
    // Since the first call that overran and no probe answered.
    std::optional<std::chrono::steady_clock::time_point> m_silentSince;
};

} // namespace show::impress
