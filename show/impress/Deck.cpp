#include "show/impress/Deck.h"

#include "show/impress/ImpressApplication.h"
#include "show/impress/ShowPlacement.h"

#include <com/sun/star/awt/PosSize.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/presentation/XPresentation2.hpp>
#include <com/sun/star/presentation/XPresentationSupplier.hpp>
#include <cppuhelper/implbase1.hxx>

namespace show::impress {

using namespace css;
using css::uno::Reference;
using css::uno::UNO_QUERY_THROW;

namespace {

std::atomic<bool> g_listening = true;

bool listening() {
    return g_listening;
}

const QString kNotRunning =
    QStringLiteral("The slide show is not running. Press Load Show to start it again.");

// Told by the show engine of every slide that comes into view, every effect and every pause,
// whatever caused it. Called on the office's callback threads: it only counts and passes on.
class SlideListener final : public cppu::WeakImplHelper1<presentation::XSlideShowListener> {
public:
    explicit SlideListener(std::shared_ptr<ShowEvents> events) : m_events(std::move(events)) {}

    void SAL_CALL slideTransitionStarted() override { m_events->moved(); }
    void SAL_CALL beginEvent(const Reference<animations::XAnimationNode>&) override {
        m_events->moved();
    }
    void SAL_CALL paused() override {
        m_events->setPaused(true);
        m_events->moved();
    }
    void SAL_CALL resumed() override {
        m_events->setPaused(false);
        m_events->setBlank(ppSlideShowRunning);
        m_events->moved();
    }
    void SAL_CALL slideTransitionEnded() override {}
    void SAL_CALL slideAnimationsEnded() override { m_events->animationsEnded(); }
    void SAL_CALL slideEnded(sal_Bool) override {}
    void SAL_CALL hyperLinkClicked(const rtl::OUString&) override {}
    void SAL_CALL endEvent(const Reference<animations::XAnimationNode>&) override {}
    void SAL_CALL repeat(const Reference<animations::XAnimationNode>&, sal_Int32) override {}
    void SAL_CALL disposing(const lang::EventObject&) override {}

private:
    const std::shared_ptr<ShowEvents> m_events;
};

} // namespace

void ShowEvents::moved() {
    {
        std::lock_guard lock(m_mutex);
        ++m_count.moves;
    }
    m_changed.notify_all();
    if (m_notify)
        m_notify();
}

void ShowEvents::animationsEnded() {
    {
        std::lock_guard lock(m_mutex);
        ++m_count.animationEnds;
    }
    m_changed.notify_all();
}

ShowEvents::Count ShowEvents::count() const {
    std::lock_guard lock(m_mutex);
    return m_count;
}

ShowEvents::Count ShowEvents::waitFor(Count since, bool orAnimationEnd,
                                      std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_mutex);
    m_changed.wait_for(lock, timeout, [&] {
        return m_count.moves != since.moves ||
               (orAnimationEnd && m_count.animationEnds != since.animationEnds);
    });
    return m_count;
}

void Deck::checkRunning() const {
    // A closed connection fails every call at once, with its own reason.
    if (office->closed())
        office->call([] {});
    if (!events->running())
        throw platform::Failure(kImpressName, kNotRunning);
}

Reference<presentation::XSlideShowController> Deck::controller() {
    // A show keeps its controller until it ends, which its events tell.
    checkRunning();
    if (m_controller.is())
        return m_controller;
    const Reference<presentation::XPresentationSupplier> supplier(document, UNO_QUERY_THROW);
    const Reference<presentation::XPresentation2> show(supplier->getPresentation(),
                                                       UNO_QUERY_THROW);
    if (!show->isRunning())
        throw platform::Failure(kImpressName, kNotRunning);
    const Reference<presentation::XSlideShowController> result = show->getController();
    if (!result.is() || !result->isRunning())
        throw platform::Failure(kImpressName, kNotRunning);
    endless = result->isEndless();
    slideNumbers.clear();
    for (sal_Int32 i = 0, n = result->getSlideCount(); i < n; ++i) {
        const Reference<beans::XPropertySet> slide(result->getSlideByIndex(i), UNO_QUERY_THROW);
        sal_Int16 number = 0;
        slide->getPropertyValue(ou("Number")) >>= number;
        slideNumbers.push_back(number);
    }
    if (!m_listener.is() && listening())
        m_listener = new SlideListener(events);
    if (m_listener.is())
        result->addSlideShowListener(m_listener);
    m_controller = result;
    return result;
}

Deck::Ownership::Ownership(Deck& deck, std::chrono::milliseconds timeout) : m_deck(deck) {
    std::unique_lock lock(deck.m_ownerMutex);
    if (!deck.m_ownerFree.wait_for(lock, timeout, [&deck] { return !deck.m_owned; }))
        throw platform::Failure(kImpressName,
                                QStringLiteral("LibreOffice Impress is still busy with the "
                                               "request before. Try again in a moment."));
    deck.m_owned = true;
}

Deck::Ownership::~Ownership() {
    {
        std::lock_guard lock(m_deck.m_ownerMutex);
        m_deck.m_owned = false;
    }
    m_deck.m_ownerFree.notify_all();
}

void Deck::restarting() {
    m_controller.clear();
    events->setRunning(true);
    events->setPaused(false);
    events->setBlank(ppSlideShowRunning);
}

void Deck::place() {
    const QList<QRect> screens = windowsystem::displays();
    const QRect r = showRectangle(left, top, width, aspect, screens);
    office->call([window = window, r] {
        window->setPosSize(r.x(), r.y(), r.width(), r.height(), awt::PosSize::POSSIZE);
    });
    const QRect around = backdropRectangle(r, screens);
    if (around.isEmpty())
        windowsystem::hideBackdrop(backdrop);
    else
        windowsystem::moveBackdrop(backdrop, around);
}

void setSlideListening(bool listening) {
    g_listening = listening;
}

} // namespace show::impress
