// One opened presentation and the window its show runs in, shared by every object of the
// presentation-program interface that reaches it, with the small helpers the backend's files share.
// The members up to events are set as the deck is opened and fixed from then on, but for the
// show's place, which only the user-interface thread touches. What the show's start and its moves
// write is owned by one job at a time (own()): a job given up on after an overrun still runs when
// the office answers again, on a worker of its own, beside the next call's. ShowEvents is also
// reached from the office's callback threads.
#pragma once

#include "show/impress/Office.h"
#include "show/impress/WindowSystem.h"
#include "show/PowerPoint.h"

#include <atomic>
#include <com/sun/star/awt/XWindow.hpp>
#include <com/sun/star/frame/XFrame2.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/presentation/XSlideShowController.hpp>
#include <com/sun/star/presentation/XSlideShowListener.hpp>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <QRect>
#include <QString>
#include <vector>

namespace show::impress {

// Where the show window stands until Load Show places it: the second of two 1024 x 768 displays.
inline constexpr float kInitialLeft = 769.0f;
inline constexpr float kInitialTop = 0.0f;
inline constexpr float kInitialWidth = 768.0f;

// What the running show reports as it goes, passed on from the office's callback threads: whether
// it runs, and counts of the moves seen (a slide coming into view, an effect starting, the show
// pausing) and of the ends of a slide's animations, which a move of our own can wait on, with the
// application's slide-show event. Holds nothing of the office.
class ShowEvents {
public:
    struct Count {
        uint64_t moves = 0;
        uint64_t animationEnds = 0;
    };

    // notify runs on a callback thread at every move; it must return at once.
    explicit ShowEvents(std::function<void()> notify = {}) : m_notify(std::move(notify)) {}

    void setRunning(bool running) { m_running = running; }
    bool running() const { return m_running; }
    // The engine tells of a pause (the end screen, a loop's pause between rounds) before the
    // call that made it returns, so this is as current as asking it.
    void setPaused(bool paused) { m_paused = paused; }
    bool paused() const { return m_paused; }
    // The colour the projector was blanked to, until the show goes on (Running).
    void setBlank(PpSlideShowState state) { m_blank = state; }
    PpSlideShowState blank() const { return m_blank; }

    void moved();
    void animationsEnded();
    Count count() const;
    // Waits until a move, or also an end of animations if asked, is seen after since, or until
    // timeout; returns the count then.
    Count waitFor(Count since, bool orAnimationEnd, std::chrono::milliseconds timeout) const;

private:
    const std::function<void()> m_notify;
    std::atomic<bool> m_running = false;
    std::atomic<bool> m_paused = false;
    std::atomic<PpSlideShowState> m_blank = ppSlideShowRunning;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    Count m_count;
};

struct Deck : std::enable_shared_from_this<Deck> {
    Deck() = default;
    Deck(const Deck&) = delete;
    Deck& operator=(const Deck&) = delete;
    // Takes the backdrop off the screen for good once its show window has gone with its office:
    // otherwise every office that dies would leave one more black window for as long as Quenvar
    // runs.
    ~Deck() { windowsystem::dropBackdrop(backdrop, showWindow, showPid); }

    std::shared_ptr<Office> office;
    css::uno::Reference<css::lang::XComponent> document;
    css::uno::Reference<css::frame::XFrame2> frame;
    css::uno::Reference<css::awt::XWindow> window;
    double aspect = 0.75;
    int32_t count = 0;
    float left = kInitialLeft;
    float top = kInitialTop;
    float width = kInitialWidth;

    // The window that had the keyboard as the deck was opened: the operator's, given back once
    // the show runs.
    windowsystem::WindowId operatorFocus = 0;
    std::shared_ptr<ShowEvents> events = std::make_shared<ShowEvents>();
    // Set as the show starts, read on the user-interface thread.
    std::atomic<windowsystem::WindowId> showWindow = 0;
    // The office process that made it.
    std::atomic<unsigned long> showPid = 0;
    // The black window under the show (windowsystem::makeBackdrop), made as the show first starts.
    std::atomic<windowsystem::WindowId> backdrop = 0;

    // Owned by the job in own(); endless and slideNumbers are read from the show's controller as
    // it is found.
    bool endless = false;
    bool watchingEnd = false;
    // The presentation's number of each slide of the show, in the show's order: a custom show, a
    // range or hidden slides make them differ from the positions.
    std::vector<int32_t> slideNumbers;

    // Runs job(deck) on the office's worker within timeout, as Office::call does, as the one
    // owner of what the show's start and moves write: a job left running by an overrun before is
    // waited for, for as long as the caller waits.
    template <typename Job>
    auto own(Job job, std::chrono::milliseconds timeout = kCallTimeout) -> decltype(job(*this)) {
        return office->call(
            [deck = shared_from_this(), job = std::move(job), timeout]() mutable {
                const Ownership owner(*deck, timeout);
                return job(*deck);
            },
            timeout);
    }

    // Throws Failure when the show is not running, as far as the show's events tell, without
    // asking the office.
    void checkRunning() const;
    // The running show's controller; throws Failure when the show is not running. Inside own().
    css::uno::Reference<css::presentation::XSlideShowController> controller();
    // Forgets the show's controller, for a show about to start anew. Inside own().
    void restarting();
    // Moves the show window to left, top and width, within the display it starts on, with the
    // black around it.
    void place();

private:
    // Held by the job in own() while it runs: waits for the owner before, at most timeout (its
    // caller has given up by then), and throws Failure if that one is still at work.
    class Ownership {
    public:
        Ownership(Deck& deck, std::chrono::milliseconds timeout);
        ~Ownership();
        Ownership(const Ownership&) = delete;
        Ownership& operator=(const Ownership&) = delete;

    private:
        Deck& m_deck;
    };

    std::mutex m_ownerMutex;
    std::condition_variable m_ownerFree;
    bool m_owned = false;
    // The controller last found, with our listener on it.
    css::uno::Reference<css::presentation::XSlideShowController> m_controller;
    css::uno::Reference<css::presentation::XSlideShowListener> m_listener;
};

} // namespace show::impress
