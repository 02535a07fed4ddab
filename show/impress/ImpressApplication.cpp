#include "show/impress/ImpressApplication.h"

#include "show/impress/DeckLoader.h"
#include "show/impress/ImpressShow.h"

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
        m_deck->office->call([this] { m_deck->controller(); });
        return makeSlideShowWindow(m_deck);
    }
    std::shared_ptr<PpApplication> Application() override { return m_application; }
    std::shared_ptr<PpSlides> Slides() override { return makeSlides(m_deck); }

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
    explicit ImpressApplication(std::shared_ptr<Office> office) : m_office(std::move(office)) {}

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
    void setActive(const std::shared_ptr<PpPresentation>& presentation) { m_active = presentation; }
    void setSlideShowNextSlide(std::function<void()> handler) override {
        m_slideChanged = std::move(handler);
    }

private:
    std::shared_ptr<Office> m_office;
    bool m_visible = false;
    std::function<void()> m_slideChanged;
    // Weak: the presentation holds its application, as in the object model it stands for.
    std::weak_ptr<PpPresentation> m_active;
};

std::shared_ptr<PpPresentation> ImpressPresentations::Open(const QString& fileName) {
    auto result = std::make_shared<ImpressPresentation>(openDeck(m_office, fileName), m_keepAlive);
    m_application.setActive(result);
    return result;
}

} // namespace

std::shared_ptr<PpApplication> createImpressApplication() {
    return std::make_shared<ImpressApplication>(Office::connect());
}

} // namespace show::impress
