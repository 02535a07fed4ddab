// One connection to the office of this run, shared by every object that Load Show makes from it.
// It owns the worker that bounds each call in time (BoundedCall) and turns what the office throws
// into platform::Failure with the presentation program's name as its source. Once the office has
// died (its calls report a disposed bridge) or stopped answering (a call overran), the connection
// is spent: every object made from it fails at once, and the next Load Show makes a new one.
#pragma once

#include "show/impress/BoundedCall.h"
#include "show/impress/OfficeProcess.h"

#include <atomic>
#include <chrono>
#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <memory>

namespace show::impress {

inline rtl::OUString ou(const char* ascii) {
    return rtl::OUString::createFromAscii(ascii);
}

// The presentation program's name: the source of every failure it reports.
inline const QString kImpressName = QStringLiteral("LibreOffice Impress");

using namespace std::chrono_literals;
// An ordinary call; a stopped office makes the press end after this with one failure.
inline constexpr std::chrono::milliseconds kCallTimeout = 5s;
// Opening a file and starting its show.
inline constexpr std::chrono::milliseconds kLoadTimeout = 60s;
// A cold office: from the process start to its answer on the pipe.
inline constexpr std::chrono::milliseconds kStartTimeout = 60s;

class Office {
public:
    // The connection to the office of this run: the one already made while it still answers,
    // else a new one, starting the office when none answers on its pipe (and putting down our
    // own office first when it hangs). Throws Failure when the office cannot be reached.
    static std::shared_ptr<Office> connect();

    const css::uno::Reference<css::uno::XComponentContext>& context() const { return m_context; }
    const css::uno::Reference<css::frame::XDesktop2>& desktop() const { return m_desktop; }

    // Runs job on the worker within timeout. UNO exceptions become Failure; a disposed bridge
    // marks the connection dead. Throws at once when the connection is spent.
    template <typename Job>
    auto call(Job&& job, std::chrono::milliseconds timeout = kCallTimeout) -> decltype(job()) {
        if (spent())
            throw spentFailure();
        return m_calls.run(
            [this, job = std::forward<Job>(job)]() mutable {
                try {
                    return job();
                } catch (const css::lang::DisposedException&) {
                    m_dead = true;
                    throw spentFailure();
                } catch (const css::uno::Exception& error) {
                    throw translate(error);
                }
            },
            timeout);
    }

    bool spent() const { return m_dead || m_calls.stuck(); }

private:
    Office();
    platform::Failure translate(const css::uno::Exception& error);
    platform::Failure spentFailure() const;
    bool answers();
    bool tryResolve(std::chrono::milliseconds timeout);

    BoundedCall m_calls;
    std::atomic<bool> m_dead = false;
    css::uno::Reference<css::uno::XComponentContext> m_context;
    css::uno::Reference<css::frame::XDesktop2> m_desktop;
};

} // namespace show::impress
