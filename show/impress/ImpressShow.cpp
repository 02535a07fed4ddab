#include "show/impress/ImpressShow.h"

#include "show/impress/ShowPlacement.h"

#include <algorithm>
#include <com/sun/star/awt/PosSize.hpp>
#include <com/sun/star/awt/SystemDependentXWindow.hpp>
#include <com/sun/star/awt/XSystemDependentWindowPeer.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/document/XEventBroadcaster.hpp>
#include <com/sun/star/document/XEventListener.hpp>
#include <com/sun/star/drawing/XDrawPagesSupplier.hpp>
#include <com/sun/star/lang/SystemDependent.hpp>
#include <com/sun/star/presentation/XPresentation2.hpp>
#include <com/sun/star/presentation/XPresentationSupplier.hpp>
#include <com/sun/star/util/XModifiable.hpp>
#include <cppuhelper/implbase1.hxx>
#include <mutex>

namespace show::impress {

using namespace css;
using css::uno::Any;
using css::uno::Reference;
using css::uno::Sequence;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;
using platform::Failure;

namespace {

const QString kNotInView = QStringLiteral("No slide is currently in view: the slide show has come "
                                          "to its end. Press Goto to go back to a slide.");

class ImpressSlide final : public PpSlide {
public:
    explicit ImpressSlide(int32_t index) : m_index(index) {}
    int32_t SlideIndex() override { return m_index; }

private:
    int32_t m_index;
};

class ImpressSlides final : public PpSlides {
public:
    explicit ImpressSlides(std::shared_ptr<Deck> deck) : m_deck(std::move(deck)) {}
    std::shared_ptr<PpSlide> Item(int16_t index) override {
        const int32_t count = Count();
        if (index < 1 || index > count)
            throw Failure(kImpressName, QStringLiteral("There is no slide %1: the presentation "
                                                       "has slides 1 to %2.")
                                            .arg(index)
                                            .arg(count));
        return std::make_shared<ImpressSlide>(index);
    }
    int32_t Count() override {
        return m_deck->office->call([deck = m_deck] {
            const Reference<drawing::XDrawPagesSupplier> supplier(deck->document, UNO_QUERY_THROW);
            return static_cast<int32_t>(supplier->getDrawPages()->getCount());
        });
    }

private:
    std::shared_ptr<Deck> m_deck;
};

// The presentation's number of the slide at a position of the show.
int32_t slideNumber(const Deck& deck, sal_Int32 position) {
    return position < sal_Int32(deck.slideNumbers.size()) ? deck.slideNumbers[position]
                                                          : position + 1;
}

// Runs a click's move and waits until the engine reports the effect it started or the slide it
// brought into view, which it does before the move returns unless an effect brings the slide; a
// click back on the first slide brings nothing.
template <typename Move> void settle(const Deck& deck, Move move) {
    const ShowEvents::Count before = deck.events->count();
    move();
    deck.events->waitFor(before, false, std::chrono::milliseconds(300));
}

// The next click: its effect, or the next slide once the slide's effects have all played. The
// engine of a show window that is not the keyboard's only takes note of an effect's end at the
// next click, which then only ends the slide's animations: a second click goes on, as the
// operator's one click would.
void nextEffect(const Deck& deck, const Reference<presentation::XSlideShowController>& controller) {
    using std::chrono::milliseconds;
    const ShowEvents::Count before = deck.events->count();
    controller->gotoNextEffect();
    ShowEvents::Count after = deck.events->waitFor(before, true, milliseconds(300));
    if (after.moves != before.moves || after.animationEnds == before.animationEnds)
        return;
    after = deck.events->waitFor(after, false, milliseconds(50));
    if (after.moves == before.moves)
        settle(deck, [&] { controller->gotoNextEffect(); });
}

// Raises the show window over the other windows of its display, its backdrop directly under it.
// Raised, a window is uncovered anew, and the office may leave what is uncovered unpainted when
// that comes amid a move: a show already in front is left as it is, and one that is not is waited
// for until it is, so that the office has its repaint before the move that follows.
void bringForward(const Deck& deck) {
    const std::optional<bool> front = windowsystem::inFront(deck.showWindow, deck.backdrop);
    if (front == true)
        return;
    windowsystem::raise(deck.showWindow, deck.backdrop);
    if (front)
        BoundedCall::waitFor(std::chrono::milliseconds(300), [&deck] {
            return windowsystem::inFront(deck.showWindow, deck.backdrop) != false;
        });
}

// A blank projector shows its slide again before a move, as any move in the show itself does.
void showAgain(const Deck& deck, const Reference<presentation::XSlideShowController>& controller) {
    if (deck.events->blank() == ppSlideShowRunning)
        return;
    deck.events->setBlank(ppSlideShowRunning);
    if (controller->isPaused())
        controller->resume();
}

class ImpressView final : public PpSlideShowView {
public:
    explicit ImpressView(std::shared_ptr<Deck> deck) : m_deck(std::move(deck)) {}

    // As a click: the next effect, else the next slide. Past the last slide a show ends on its
    // end screen; a looping show starts its next round, at once rather than after its pause.
    void Next() override {
        m_deck->own([](Deck& deck) {
            const auto controller = deck.controller();
            showAgain(deck, controller);
            if (deck.events->paused()) {
                if (deck.endless)
                    controller->gotoSlideIndex(0); // between two rounds
                return; // the end screen: a click there would close the show
            }
            if (deck.endless &&
                controller->getCurrentSlideIndex() + 1 >= sal_Int32(deck.slideNumbers.size()))
                controller->gotoSlideIndex(0);
            else
                nextEffect(deck, controller);
        });
    }
    void Previous() override {
        m_deck->own([](Deck& deck) {
            const auto controller = deck.controller();
            showAgain(deck, controller);
            if (deck.events->paused()) {
                // From the end screen, or a loop's pause, back to the last slide:
                // gotoPreviousSlide would skip it, as the index still names the last slide there.
                const sal_Int32 position = controller->getCurrentSlideIndex();
                controller->resume();
                controller->gotoSlideIndex(position);
            } else {
                settle(deck, [&] { controller->gotoPreviousEffect(); });
            }
        });
    }
    void GotoSlide(int32_t index, bool /*resetSlide: a slide is always entered afresh*/) override {
        m_deck->own([index](Deck& deck) {
            const auto controller = deck.controller();
            if (index < 1 || index > deck.count)
                throw Failure(kImpressName, QStringLiteral("There is no slide %1: the "
                                                           "presentation has slides 1 to %2.")
                                                .arg(index)
                                                .arg(deck.count));
            const auto& numbers = deck.slideNumbers;
            const auto found = std::find(numbers.begin(), numbers.end(), index);
            if (found == numbers.end())
                throw Failure(
                    kImpressName,
                    QStringLiteral("Slide %1 is not part of this slide show.").arg(index));
            showAgain(deck, controller);
            if (controller->isPaused())
                controller->resume();
            controller->gotoSlideIndex(sal_Int32(found - numbers.begin()));
        });
    }
    std::shared_ptr<PpSlide> Slide() override {
        return m_deck->own([](Deck& deck) {
            const auto controller = deck.controller();
            const sal_Int32 position = controller->getCurrentSlideIndex();
            // A looping show's pause between rounds still has its last slide, as has a blank
            // projector.
            if (position < 0 || (!deck.endless && controller->isPaused() &&
                                 deck.events->blank() == ppSlideShowRunning))
                throw Failure(kImpressName, kNotInView);
            return std::shared_ptr<PpSlide>(
                std::make_shared<ImpressSlide>(slideNumber(deck, position)));
        });
    }
    PpSlideShowState State() override {
        return m_deck->own([](Deck& deck) {
            if (!deck.controller()->isPaused())
                return ppSlideShowRunning;
            if (deck.events->blank() != ppSlideShowRunning)
                return deck.events->blank();
            return deck.endless ? ppSlideShowPaused : ppSlideShowDone;
        });
    }
    // The office blanks a show by pausing it; it shows the slide again as it resumes.
    void setState(PpSlideShowState state) override {
        m_deck->own([state](Deck& deck) {
            const auto controller = deck.controller();
            if (state == ppSlideShowRunning) {
                showAgain(deck, controller);
                return;
            }
            if (state != ppSlideShowBlackScreen && state != ppSlideShowWhiteScreen)
                throw Failure(kImpressName, QStringLiteral("The projector can only be made black "
                                                           "or white."));
            if (!deck.endless && controller->isPaused() &&
                deck.events->blank() == ppSlideShowRunning)
                throw Failure(kImpressName, kNotInView);
            showAgain(deck, controller);
            deck.events->setBlank(state);
            controller->blankScreen(state == ppSlideShowBlackScreen ? 0x000000 : 0xffffff);
        });
    }

private:
    std::shared_ptr<Deck> m_deck;
};

class ImpressShowWindow final : public PpSlideShowWindow {
public:
    explicit ImpressShowWindow(std::shared_ptr<Deck> deck) : m_deck(std::move(deck)) {}

    float Left() override { return m_deck->left; }
    void setLeft(float points) override { set(m_deck->left, points); }
    float Top() override { return m_deck->top; }
    void setTop(float points) override { set(m_deck->top, points); }
    float Width() override { return m_deck->width; }
    void setWidth(float points) override { set(m_deck->width, points); }

    // Forward on its display, and the keyboard stays where the operator has it: typing into the
    // control window goes on while the timer moves the show.
    void Activate() override { bringForward(*m_deck); }
    std::shared_ptr<PpSlideShowView> View() override {
        return std::make_shared<ImpressView>(m_deck);
    }

private:
    void set(float& member, float points) {
        member = points;
        m_deck->place();
    }

    std::shared_ptr<Deck> m_deck;
};

// A show in a window ends by giving the window back to the document's editing view, which would
// then face the audience. The window is hidden instead, whatever ended the show, and the black
// around it goes with it. The office calls
// this on its own thread while it ends the show and waits for the answer; the bridge runs the
// call to hide the window on that very thread, so it is done before the editing view is drawn.
class HideWhenTheShowEnds final : public cppu::WeakImplHelper1<document::XEventListener> {
public:
    HideWhenTheShowEnds(Reference<awt::XWindow> window, std::shared_ptr<ShowEvents> events,
                        windowsystem::WindowId backdrop)
        : m_window(std::move(window)), m_events(std::move(events)), m_backdrop(backdrop) {}

    void SAL_CALL notifyEvent(const document::EventObject& event) override {
        if (event.EventName != "OnEndPresentation")
            return;
        m_events->setRunning(false);
        m_events->moved();
        Reference<awt::XWindow> window;
        {
            std::lock_guard lock(m_mutex);
            window = m_window;
        }
        try {
            if (window.is())
                window->setVisible(false);
        } catch (const uno::Exception&) {
        }
        windowsystem::hideBackdrop(m_backdrop);
    }
    void SAL_CALL disposing(const lang::EventObject&) override {
        m_events->setRunning(false);
        windowsystem::hideBackdrop(m_backdrop);
        std::lock_guard lock(m_mutex);
        m_window.clear();
    }

private:
    std::mutex m_mutex;
    Reference<awt::XWindow> m_window;
    const std::shared_ptr<ShowEvents> m_events;
    const windowsystem::WindowId m_backdrop;
};

Reference<presentation::XPresentation2> presentationOf(const Deck& deck) {
    const Reference<presentation::XPresentationSupplier> supplier(deck.document, UNO_QUERY_THROW);
    return Reference<presentation::XPresentation2>(supplier->getPresentation(), UNO_QUERY_THROW);
}

class ImpressSettings final : public PpSlideShowSettings {
public:
    explicit ImpressSettings(std::shared_ptr<Deck> deck) : m_deck(std::move(deck)) {}

    std::shared_ptr<PpSlideShowWindow> Run() override {
        Deck& deck = *m_deck;
        const QList<QRect> screens = windowsystem::displays();
        const QRect place = showRectangle(deck.left, deck.top, deck.width, deck.aspect, screens);
        const QRect around = backdropRectangle(place, screens);
        deck.own(
            [place, around](Deck& deck) {
                const Reference<presentation::XPresentation2> show = presentationOf(deck);
                // In a window of its own, not full screen: only a window can be put on the
                // pixels Load Show asks for; and behind the control window. Everything else
                // (looping, the pause between rounds, the slides' own timings, a custom show or
                // a range of slides) is as the deck was saved.
                show->setPropertyValue(ou("IsFullScreen"), Any(false));
                show->setPropertyValue(ou("IsAlwaysOnTop"), Any(false));
                if (!deck.watchingEnd) {
                    deck.backdrop = windowsystem::makeBackdrop();
                    // The office tells of a show's start and end only to the older kind of
                    // document listener (XDocumentEventListener never hears of them).
                    const Reference<document::XEventBroadcaster> events(deck.document,
                                                                        UNO_QUERY_THROW);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
                    events->addEventListener(
                        new HideWhenTheShowEnds(deck.window, deck.events, deck.backdrop));
#pragma GCC diagnostic pop
                    deck.watchingEnd = true;
                }
                // A show that runs already ends first, hiding its window as any end does.
                if (show->isRunning())
                    show->end();
                deck.restarting();
                const Reference<awt::XSystemDependentWindowPeer> peer(deck.window, UNO_QUERY);
                awt::SystemDependentXWindow handle;
                if (peer.is() &&
                    (peer->getWindowHandle({}, lang::SystemDependent::SYSTEM_XWINDOW) >>= handle))
                    deck.showWindow = windowsystem::WindowId(handle.WindowHandle);
                deck.showPid = windowsystem::windowPid(deck.showWindow);
                windowsystem::keepContents(deck.showWindow);
                // Started while its window is still a pixel small: grown only then, it shows the
                // audience the slide, never the editing view it had before.
                deck.window->setVisible(true);
                show->start();
                deck.window->setPosSize(place.x(), place.y(), place.width(), place.height(),
                                        awt::PosSize::POSSIZE);
                // Around a show narrower than its display the audience sees black, not the
                // desktop or an older show: directly under the show window, both on top.
                windowsystem::showBackdrop(deck.backdrop, around);
                windowsystem::raise(deck.showWindow, deck.backdrop);
            },
            kLoadTimeout);
        deck.office->noteShowStarted();

        // The controller comes a moment after start() returns.
        const auto found = [&deck] {
            return deck.own([](Deck& deck) {
                try {
                    deck.controller();
                    return true;
                } catch (const Failure&) {
                    return false;
                }
            });
        };
        const auto deadline = std::chrono::steady_clock::now() + kCallTimeout;
        while (!found()) {
            if (std::chrono::steady_clock::now() > deadline)
                throw Failure(kImpressName,
                              QStringLiteral("The slide show did not start within %1 seconds.")
                                  .arg(kCallTimeout.count() / 1000));
            BoundedCall::pause(std::chrono::milliseconds(20));
        }

        // The show's settings are document properties: left modified, the office would ask
        // whether to save them when it quits.
        deck.office->call([document = deck.document] {
            const Reference<util::XModifiable> modifiable(document, UNO_QUERY);
            if (modifiable.is())
                modifiable->setModified(false);
        });
        // The window manager gave the new window the keyboard; the operator gets it back. Then the
        // window goes over those of earlier shows, which are left running: the window manager
        // lowers a window that loses the keyboard. A window manager slow to show the window is
        // waited for in the wait pass: the windows paint meanwhile.
        const windowsystem::WindowId window = deck.showWindow;
        if (window)
            BoundedCall::waitFor(kCallTimeout, [window] { return windowsystem::shown(window); });
        if (deck.operatorFocus && windowsystem::focus() != deck.operatorFocus)
            windowsystem::setFocus(deck.operatorFocus);
        bringForward(deck);
        return std::make_shared<ImpressShowWindow>(m_deck);
    }

private:
    std::shared_ptr<Deck> m_deck;
};

} // namespace

std::shared_ptr<PpSlides> makeSlides(std::shared_ptr<Deck> deck) {
    return std::make_shared<ImpressSlides>(std::move(deck));
}

std::shared_ptr<PpSlideShowSettings> makeSlideShowSettings(std::shared_ptr<Deck> deck) {
    return std::make_shared<ImpressSettings>(std::move(deck));
}

std::shared_ptr<PpSlideShowWindow> makeSlideShowWindow(std::shared_ptr<Deck> deck) {
    return std::make_shared<ImpressShowWindow>(std::move(deck));
}

} // namespace show::impress
