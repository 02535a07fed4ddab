// A stand-in presentation program for the control window's tests. Every object it hands out writes
// the calls that matter into one log, in order ("CreateObject Powerpoint.Application", "Open
// /a.ppt", "Left 769", "Next", ...), and any call can be made to fail the next time it is made.
// Its shows behave like a simple real one: Next past the last slide ends the show, after which no
// slide is in view.
#pragma once

#include "show/PowerPoint.h"

#include <functional>
#include <map>
#include <memory>
#include <QStringList>
#include <vector>

namespace fake {

inline const QString kProgramName = QStringLiteral("Fake Impress");

struct Deck {
    int32_t slideCount = 5;
    int32_t current = 1;
    bool running = false;
    bool ended = false;
};

class Office {
public:
    QStringList calls;
    std::vector<std::shared_ptr<Deck>> decks;
    int32_t slideCountOfNextDeck = 5;
    // The slide-show event handler of the application made last.
    std::function<void()> slideChanged;
    // Runs inside every call, as the window's own events may run while it waits for the office.
    std::function<void()> whileCalled;

    // The next call named call (the first word of its log entry) fails with description.
    void failNext(const QString& call, const QString& description = QStringLiteral("refused")) {
        m_failures.insert_or_assign(call, description);
    }
    void enter(const QString& entry) {
        calls.append(entry);
        if (whileCalled)
            std::exchange(whileCalled, nullptr)();
        const auto it = m_failures.find(entry.section(QLatin1Char(' '), 0, 0));
        if (it != m_failures.end()) {
            const QString description = it->second;
            m_failures.erase(it);
            throw platform::Failure(kProgramName, description);
        }
    }
    // The show moves by itself (its timings, a click at the show window) to slide index.
    void showMovesTo(int32_t index) {
        decks.back()->current = index;
        if (slideChanged)
            slideChanged();
    }
    QStringList take() { return std::exchange(calls, {}); }
    show::PpApplicationFactory factory();

private:
    std::map<QString, QString> m_failures;
};

class Slide final : public show::PpSlide {
public:
    Slide(Office& office, int32_t index) : m_office(office), m_index(index) {}
    int32_t SlideIndex() override {
        m_office.enter(QStringLiteral("SlideIndex"));
        return m_index;
    }

private:
    Office& m_office;
    int32_t m_index;
};

// The show window, its view and the presentation's slides, all on one deck.
class Show final : public show::PpSlideShowWindow,
                   public show::PpSlideShowView,
                   public show::PpSlides,
                   public std::enable_shared_from_this<Show> {
public:
    Show(Office& office, std::shared_ptr<Deck> deck) : m_office(office), m_deck(std::move(deck)) {}

    float Left() override { return 0; }
    void setLeft(float points) override { m_office.enter(QStringLiteral("Left %1").arg(points)); }
    float Top() override { return 0; }
    void setTop(float points) override { m_office.enter(QStringLiteral("Top %1").arg(points)); }
    float Width() override { return 0; }
    void setWidth(float points) override { m_office.enter(QStringLiteral("Width %1").arg(points)); }
    void Activate() override { m_office.enter(QStringLiteral("Activate")); }
    std::shared_ptr<show::PpSlideShowView> View() override { return shared_from_this(); }

    void Next() override {
        m_office.enter(QStringLiteral("Next"));
        m_deck->ended = m_deck->current == m_deck->slideCount;
        m_deck->current += m_deck->ended ? 0 : 1;
    }
    void Previous() override {
        m_office.enter(QStringLiteral("Previous"));
        if (!std::exchange(m_deck->ended, false) && m_deck->current > 1)
            --m_deck->current;
    }
    void GotoSlide(int32_t index, bool reset) override {
        m_office.enter(QStringLiteral("GotoSlide %1 %2").arg(index).arg(reset ? "reset" : ""));
        if (index < 1 || index > m_deck->slideCount)
            throw platform::Failure(kProgramName, QStringLiteral("no slide %1").arg(index));
        m_deck->current = index;
        m_deck->ended = false;
    }
    std::shared_ptr<show::PpSlide> Slide() override {
        m_office.enter(QStringLiteral("Slide"));
        if (m_deck->ended)
            throw platform::Failure(kProgramName, QStringLiteral("no slide is currently in view"));
        return std::make_shared<fake::Slide>(m_office, m_deck->current);
    }

    std::shared_ptr<show::PpSlide> Item(int16_t index) override {
        m_office.enter(QStringLiteral("Item %1").arg(index));
        return std::make_shared<fake::Slide>(m_office, index);
    }
    int32_t Count() override {
        m_office.enter(QStringLiteral("Count"));
        return m_deck->slideCount;
    }

private:
    Office& m_office;
    std::shared_ptr<Deck> m_deck;
};

class Presentation final : public show::PpPresentation,
                           public show::PpSlideShowSettings,
                           public std::enable_shared_from_this<Presentation> {
public:
    Presentation(Office& office, std::shared_ptr<Deck> deck,
                 std::shared_ptr<show::PpApplication> application)
        : m_office(office), m_deck(std::move(deck)), m_application(std::move(application)),
          m_show(std::make_shared<Show>(office, m_deck)) {}

    std::shared_ptr<show::PpSlideShowWindow> Run() override {
        m_office.enter(QStringLiteral("Run"));
        m_deck->running = true;
        return m_show;
    }
    std::shared_ptr<show::PpSlideShowSettings> SlideShowSettings() override {
        return shared_from_this();
    }
    std::shared_ptr<show::PpSlideShowWindow> SlideShowWindow() override {
        m_office.enter(QStringLiteral("SlideShowWindow"));
        if (!m_deck->running)
            throw platform::Failure(kProgramName, QStringLiteral("no slide show is running"));
        return m_show;
    }
    std::shared_ptr<show::PpApplication> Application() override { return m_application; }
    std::shared_ptr<show::PpSlides> Slides() override { return m_show; }

private:
    Office& m_office;
    std::shared_ptr<Deck> m_deck;
    std::shared_ptr<show::PpApplication> m_application;
    std::shared_ptr<Show> m_show;
};

class Application final : public show::PpApplication,
                          public show::PpPresentations,
                          public std::enable_shared_from_this<Application> {
public:
    explicit Application(Office& office) : m_office(office) {}

    bool Visible() override { return true; }
    void setVisible(bool visible) override {
        m_office.enter(QStringLiteral("Visible %1").arg(visible ? "true" : "false"));
    }
    std::shared_ptr<show::PpPresentations> Presentations() override { return shared_from_this(); }
    std::shared_ptr<show::PpPresentation> ActivePresentation() override {
        m_office.enter(QStringLiteral("ActivePresentation"));
        return m_active.lock();
    }
    void setSlideShowNextSlide(std::function<void()> handler) override {
        m_office.slideChanged = std::move(handler);
    }
    std::shared_ptr<show::PpPresentation> Open(const QString& fileName) override {
        m_office.enter(QStringLiteral("Open ") + fileName);
        auto deck = std::make_shared<Deck>();
        deck->slideCount = m_office.slideCountOfNextDeck;
        m_office.decks.push_back(deck);
        auto presentation = std::make_shared<Presentation>(m_office, deck, shared_from_this());
        m_active = presentation;
        return presentation;
    }

private:
    Office& m_office;
    std::weak_ptr<show::PpPresentation> m_active;
};

inline show::PpApplicationFactory Office::factory() {
    return [this](const QString& progId) -> std::shared_ptr<show::PpApplication> {
        enter(QStringLiteral("CreateObject ") + progId);
        return std::make_shared<Application>(*this);
    };
}

} // namespace fake
