#include "show/impress/ImpressApplication.h"

#include "show/impress/DeckLoader.h"
#include "show/impress/ImpressShow.h"

#include <atomic>
#include <optional>
#include <QCoreApplication>
#include <QThread>
#include <QTimer>

namespace show::impress {

using platform::Failure;

namespace {

class ImpressPresentation final : public PpPresentation,
                                  public std::enable_shared_from_this<ImpressPresentation> {
public:
    ImpressPresentation(std::shared_ptr<Deck> deck, std::shared_ptr<PpApplication> application)
        : m_deck(std::move(deck)), m_application(std::move(application)) {}

    std::shared_ptr<PpSlideShowSettings> SlideShowSettings() override {
        return makeSlideShowSettings(m_deck);
    }
    std::shared_ptr<PpSlideShowWindow> SlideShowWindow() override {
        m_deck->checkRunning();
        return makeSlideShowWindow(m_deck);
    }
    std::shared_ptr<PpApplication> Application() override { return m_application; }
    std::shared_ptr<PpSlides> Slides() override { return makeSlides(m_deck); }

    // Where the show stands: the position in view and whether it pauses. Throws Failure when the
    // show does not run.
    std::pair<int32_t, bool> showState() {
        return m_deck->own([](Deck& deck) {
            const auto controller = deck.controller();
            return std::pair<int32_t, bool>(controller->getCurrentSlideIndex(),
                                            controller->isPaused());
        });
    }

private:
    std::shared_ptr<Deck> m_deck;
    std::shared_ptr<PpApplication> m_application;
};

class ImpressApplication;

class ImpressPresentations final : public PpPresentations {
public:
    ImpressPresentations(std::shared_ptr<Office> office, ImpressApplication& application,
                         std::shared_ptr<PpApplication> keepAlive)
        : m_office(std::move(office)), m_application(application),
          m_keepAlive(std::move(keepAlive)) {}
    std::shared_ptr<PpPresentation> Open(const QString& fileName) override;

private:
    std::shared_ptr<Office> m_office;
    ImpressApplication& m_application;
    std::shared_ptr<PpApplication> m_keepAlive;
};

class ImpressApplication final : public PpApplication,
                                 public std::enable_shared_from_this<ImpressApplication> {
public:
    explicit ImpressApplication(std::shared_ptr<Office> office) : m_office(std::move(office)) {
        m_poll.setInterval(kPollInterval);
        QObject::connect(&m_poll, &QTimer::timeout, [this] { poll(); });
    }

    // The office shows its windows anyway; the show window appears when the show runs.
    bool Visible() override { return m_visible; }
    void setVisible(bool visible) override { m_visible = visible; }
    std::shared_ptr<PpPresentations> Presentations() override {
        return std::make_shared<ImpressPresentations>(m_office, *this, shared_from_this());
    }
    // The presentation this application opened last.
    std::shared_ptr<PpPresentation> ActivePresentation() override {
        const std::shared_ptr<PpPresentation> active = m_active.lock();
        if (!active)
            throw Failure(kImpressName, QStringLiteral("No presentation is open."));
        return active;
    }
    void setActive(const std::shared_ptr<ImpressPresentation>& presentation) {
        m_active = presentation;
        m_state.reset();
        watch();
    }
    void setSlideShowNextSlide(std::function<void()> handler) override {
        m_slideChanged = std::move(handler);
        watch();
    }

    // What a show's listener calls, on the office's callback threads, when the slide in view may
    // have changed: the event is raised on the thread that made this application, Qt's main
    // thread, unless this application is gone by then. One raise waiting is enough.
    std::function<void()> notifier() {
        return [self = weak_from_this(), waiting = m_waiting] {
            QCoreApplication* const qt = QCoreApplication::instance();
            if (!qt || waiting->exchange(true))
                return;
            QMetaObject::invokeMethod(
                qt,
                [self, waiting] {
                    waiting->store(false);
                    if (const auto application = self.lock())
                        application->raiseSlideShowNextSlide();
                },
                Qt::QueuedConnection);
        };
    }

private:
    // Behind the listener, in case it misses a change: while the active presentation's show
    // runs and someone listens, its position is asked every so often on the main thread.
    static constexpr std::chrono::milliseconds kPollInterval{200};

    void watch() {
        const bool wanted = m_slideChanged && !m_active.expired();
        if (!wanted)
            m_poll.stop();
        else if (!m_poll.isActive() && QCoreApplication::instance() &&
                 QThread::currentThread() == QCoreApplication::instance()->thread())
            m_poll.start();
    }
    void poll() {
        const std::shared_ptr<ImpressPresentation> active = m_active.lock();
        if (!active) {
            m_poll.stop();
            return;
        }
        std::pair<int32_t, bool> state;
        try {
            state = active->showState();
        } catch (const BoundedCall::Busy&) {
            // Fired inside the wait of a press, which has the office: asked again next time.
            return;
        } catch (const Failure&) {
            // The show has ended or the office has gone: nothing more will change.
            m_poll.stop();
            return;
        }
        if (m_state != state) {
            m_state = state;
            raiseSlideShowNextSlide();
        }
    }
    void raiseSlideShowNextSlide() {
        if (m_slideChanged)
            m_slideChanged();
    }

    std::shared_ptr<Office> m_office;
    bool m_visible = false;
    std::function<void()> m_slideChanged;
    // Weak: the presentation holds its application, as in the object model it stands for.
    std::weak_ptr<ImpressPresentation> m_active;
    const std::shared_ptr<std::atomic<bool>> m_waiting = std::make_shared<std::atomic<bool>>(false);
    QTimer m_poll;
    std::optional<std::pair<int32_t, bool>> m_state;
};

std::shared_ptr<PpPresentation> ImpressPresentations::Open(const QString& fileName) {
    const windowsystem::WindowId focus = windowsystem::focus();
    std::shared_ptr<Deck> deck = openDeck(m_office, fileName);
    deck->operatorFocus = focus;
    // Before the show starts and its listener is made.
    deck->events = std::make_shared<ShowEvents>(m_application.notifier());
    auto result = std::make_shared<ImpressPresentation>(std::move(deck), m_keepAlive);
    m_application.setActive(result);
    return result;
}

} // namespace

std::shared_ptr<PpApplication> createImpressApplication() {
    return std::make_shared<ImpressApplication>(Office::connect());
}

} // namespace show::impress
