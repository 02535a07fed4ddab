#include "show/impress/ImpressShow.h"

#include <com/sun/star/animations/XAnimationNodeSupplier.hpp>
#include <com/sun/star/awt/XTopWindow.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/drawing/XDrawPagesSupplier.hpp>
#include <com/sun/star/presentation/XPresentation2.hpp>
#include <com/sun/star/presentation/XPresentationSupplier.hpp>
#include <com/sun/star/util/XModifiable.hpp>
#include <thread>

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
        return m_deck->office->call([this] {
            const Reference<drawing::XDrawPagesSupplier> supplier(m_deck->document,
                                                                  UNO_QUERY_THROW);
            return static_cast<int32_t>(supplier->getDrawPages()->getCount());
        });
    }

private:
    std::shared_ptr<Deck> m_deck;
};

// Whether the slide now shown has animation effects that a click would play before the next
// slide comes.
bool hasEffects(const Reference<presentation::XSlideShowController>& controller) {
    const Reference<animations::XAnimationNodeSupplier> supplier(controller->getCurrentSlide(),
                                                                 UNO_QUERY);
    if (!supplier.is())
        return false;
    const Reference<container::XEnumerationAccess> root(supplier->getAnimationNode(), UNO_QUERY);
    return root.is() && root->createEnumeration()->hasMoreElements();
}

class ImpressView final : public PpSlideShowView {
public:
    explicit ImpressView(std::shared_ptr<Deck> deck) : m_deck(std::move(deck)) {}

    // The show engine plays a click's effect and any slide change it brings on its own clock:
    // gotoNextEffect returns before the slide has changed, so the index read straight after it
    // is still the old one. A slide without effects changes at once through gotoNextSlide, which
    // is what the click would do there; past the last slide both lead to the show's end screen.
    void Next() override {
        m_deck->office->call([this] {
            const auto controller = m_deck->controller();
            if (controller->isPaused())
                return; // the end screen: a click there would close the show
            if (hasEffects(controller))
                settle(controller, [&] { controller->gotoNextEffect(); });
            else
                controller->gotoNextSlide();
        });
    }
    void Previous() override {
        m_deck->office->call([this] {
            const auto controller = m_deck->controller();
            if (controller->isPaused()) {
                // From the end screen back to the last slide: gotoPreviousSlide would skip it,
                // as the index still names the last slide there.
                const sal_Int32 last = controller->getCurrentSlideIndex();
                controller->resume();
                controller->gotoSlideIndex(last);
            } else if (hasEffects(controller)) {
                settle(controller, [&] { controller->gotoPreviousEffect(); });
            } else {
                controller->gotoPreviousSlide();
            }
        });
    }
    void GotoSlide(int32_t index, bool /*resetSlide: a slide is always entered afresh*/) override {
        m_deck->office->call([this, index] {
            const auto controller = m_deck->controller();
            const int32_t count = controller->getSlideCount();
            if (index < 1 || index > count)
                throw Failure(kImpressName, QStringLiteral("There is no slide %1: the "
                                                           "presentation has slides 1 to %2.")
                                                .arg(index)
                                                .arg(count));
            if (controller->isPaused())
                controller->resume();
            controller->gotoSlideIndex(index - 1);
        });
    }
    std::shared_ptr<PpSlide> Slide() override {
        return m_deck->office->call([this] {
            const auto controller = m_deck->controller();
            const int32_t index = controller->getCurrentSlideIndex();
            if (controller->isPaused() || index < 0)
                throw Failure(kImpressName, kNotInView);
            return std::make_shared<ImpressSlide>(index + 1);
        });
    }

private:
    // Gives the engine a moment to turn the effect into a slide change, if it brings one.
    template <typename Move>
    static void settle(const Reference<presentation::XSlideShowController>& controller, Move move) {
        const sal_Int32 before = controller->getCurrentSlideIndex();
        move();
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
        while (controller->getCurrentSlideIndex() == before &&
               std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }

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

    void Activate() override {
        m_deck->office->call([this] {
            m_deck->controller();
            const Reference<awt::XTopWindow> top(m_deck->window, UNO_QUERY);
            if (top.is())
                top->toFront();
            m_deck->frame->activate();
            m_deck->window->setFocus();
        });
    }
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

class ImpressSettings final : public PpSlideShowSettings {
public:
    explicit ImpressSettings(std::shared_ptr<Deck> deck) : m_deck(std::move(deck)) {}

    std::shared_ptr<PpSlideShowWindow> Run() override {
        Office& office = *m_deck->office;
        office.call(
            [this] {
                const Reference<presentation::XPresentationSupplier> supplier(m_deck->document,
                                                                              UNO_QUERY_THROW);
                const Reference<presentation::XPresentation2> show(supplier->getPresentation(),
                                                                   UNO_QUERY_THROW);
                // In a window of its own, not full screen: only a window can be put on the
                // pixels Load Show asks for. Slide timings of the file do not advance it: the
                // operator and the timer do.
                show->setPropertyValue(ou("IsFullScreen"), Any(false));
                show->setPropertyValue(ou("IsAlwaysOnTop"), Any(false));
                show->setPropertyValue(ou("IsEndless"), Any(false));
                show->setPropertyValue(ou("IsAutomatic"), Any(false));
                show->setPropertyValue(ou("StartWithNavigator"), Any(false));
                show->setPropertyValue(ou("UsePen"), Any(false));
                show->setPropertyValue(ou("IsTransitionOnClick"), Any(true));
                show->setPropertyValue(ou("AllowAnimations"), Any(true));
                show->setPropertyValue(ou("CustomShow"), Any(rtl::OUString()));
                show->setPropertyValue(ou("FirstPage"), Any(rtl::OUString()));
                m_deck->window->setVisible(true);
                // Over the windows of earlier shows, which are left running.
                const Reference<awt::XTopWindow> top(m_deck->window, UNO_QUERY);
                if (top.is())
                    top->toFront();
                show->start();
            },
            kLoadTimeout);
        office.noteShowStarted();

        // The controller comes a moment after start() returns.
        const auto deadline = std::chrono::steady_clock::now() + kCallTimeout;
        for (;;) {
            const bool ready = office.call([this] {
                const Reference<presentation::XPresentationSupplier> supplier(m_deck->document,
                                                                              UNO_QUERY_THROW);
                const Reference<presentation::XPresentation2> show(supplier->getPresentation(),
                                                                   UNO_QUERY_THROW);
                const Reference<presentation::XSlideShowController> controller =
                    show->getController();
                return controller.is() && controller->isRunning();
            });
            if (ready)
                break;
            if (std::chrono::steady_clock::now() > deadline)
                throw Failure(kImpressName,
                              QStringLiteral("The slide show did not start within %1 seconds.")
                                  .arg(kCallTimeout.count() / 1000));
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }

        // The show's settings are document properties: left modified, the office would ask
        // whether to save them when it quits.
        office.call([this] {
            const Reference<util::XModifiable> modifiable(m_deck->document, UNO_QUERY);
            if (modifiable.is())
                modifiable->setModified(false);
        });
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
