// A stand-in presentation program for the control window's tests. Every object it hands out writes
// the calls that matter into one log, in order ("CreateObject Powerpoint.Application", "Open
// /a.ppt", "Left 769", "Next", ...), and any of them can be made to fail the next time it is
// called. The slide shows behave like a simple real one: Next past the last slide ends the show,
// after which no slide is in view.
#pragma once

#include "show/PowerPoint.h"

#include <map>
#include <memory>
#include <QString>
#include <QStringList>
#include <vector>

namespace fake {

inline const QString kProgramName = QStringLiteral("Fake Impress");

// One presentation opened in the fake program.
struct Deck {
    QString fileName;
    int32_t slideCount = 5;
    int32_t current = 1;
    bool running = false;
    bool ended = false;
    float left = -1, top = -1, width = -1;
};

class Office {
public:
    // Every call that matters, in order.
    QStringList calls;
    std::vector<std::shared_ptr<Deck>> decks;
    int32_t slideCountOfNextDeck = 5;
    // The slide-show event handler of the application made last.
    std::function<void()> slideChanged;

    // The show moves on by itself (its timings, a click at the show window) to slide index.
    void showMovesTo(int32_t index) {
        decks.back()->current = index;
        if (slideChanged)
            slideChanged();
    }

    // The next call named call (the first word of its log entry) fails with description.
    void failNext(const QString& call, const QString& description = QStringLiteral("refused")) {
        m_failures.insert_or_assign(call, description);
    }
    // Every later call named call fails, until cleared with failNext's counterpart below.
    void failAlways(const QString& call, const QString& description = QStringLiteral("refused")) {
        m_always.insert_or_assign(call, description);
    }
    void stopFailing(const QString& call) { m_always.erase(call); }

    void enter(const QString& entry) {
        calls.append(entry);
        const QString name = entry.section(QLatin1Char(' '), 0, 0);
        if (auto it = m_always.find(name); it != m_always.end())
            throw platform::Failure(kProgramName, it->second);
        if (auto it = m_failures.find(name); it != m_failures.end()) {
            const QString description = it->second;
            m_failures.erase(it);
            throw platform::Failure(kProgramName, description);
        }
    }

    show::PpApplicationFactory factory();

    // The calls logged since the last take.
    QStringList take() {
        QStringList result = calls;
        calls.clear();
        return result;
    }

private:
    std::map<QString, QString> m_failures;
    std::map<QString, QString> m_always;
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

class Slides final : public show::PpSlides {
public:
    Slides(Office& office, std::shared_ptr<Deck> deck)
        : m_office(office), m_deck(std::move(deck)) {}
    std::shared_ptr<show::PpSlide> Item(int16_t index) override {
        m_office.enter(QStringLiteral("Item %1").arg(index));
        if (index < 1 || index > m_deck->slideCount)
            throw platform::Failure(kProgramName, QStringLiteral("no such slide"));
        return std::make_shared<Slide>(m_office, index);
    }
    int32_t Count() override {
        m_office.enter(QStringLiteral("Count"));
        return m_deck->slideCount;
    }

private:
    Office& m_office;
    std::shared_ptr<Deck> m_deck;
};

class View final : public show::PpSlideShowView {
public:
    View(Office& office, std::shared_ptr<Deck> deck) : m_office(office), m_deck(std::move(deck)) {}
    void Next() override {
        m_office.enter(QStringLiteral("Next"));
        if (m_deck->current < m_deck->slideCount)
            ++m_deck->current;
        else
            m_deck->ended = true;
    }
    void Previous() override {
        m_office.enter(QStringLiteral("Previous"));
        if (m_deck->ended)
            m_deck->ended = false;
        else if (m_deck->current > 1)
            --m_deck->current;
    }
    void GotoSlide(int32_t index, bool resetSlide) override {
        m_office.enter(QStringLiteral("GotoSlide %1 %2").arg(index).arg(resetSlide ? "reset" : ""));
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

private:
    Office& m_office;
    std::shared_ptr<Deck> m_deck;
};

class SlideShowWindow final : public show::PpSlideShowWindow {
public:
    SlideShowWindow(Office& office, std::shared_ptr<Deck> deck)
        : m_office(office), m_deck(std::move(deck)) {}
    float Left() override { return m_deck->left; }
    void setLeft(float points) override {
        m_office.enter(QStringLiteral("Left %1").arg(points));
        m_deck->left = points;
    }
    float Top() override { return m_deck->top; }
    void setTop(float points) override {
        m_office.enter(QStringLiteral("Top %1").arg(points));
        m_deck->top = points;
    }
    float Width() override { return m_deck->width; }
    void setWidth(float points) override {
        m_office.enter(QStringLiteral("Width %1").arg(points));
        m_deck->width = points;
    }
    void Activate() override { m_office.enter(QStringLiteral("Activate")); }
    std::shared_ptr<show::PpSlideShowView> View() override {
        return std::make_shared<fake::View>(m_office, m_deck);
    }

private:
    Office& m_office;
    std::shared_ptr<Deck> m_deck;
};

class Application;

class Presentation final : public show::PpPresentation,
                           public std::enable_shared_from_this<Presentation> {
public:
    Presentation(Office& office, std::shared_ptr<Deck> deck,
                 std::shared_ptr<show::PpApplication> application)
        : m_office(office), m_deck(std::move(deck)), m_application(std::move(application)) {}

    class Settings final : public show::PpSlideShowSettings {
    public:
        Settings(Office& office, std::shared_ptr<Deck> deck)
            : m_office(office), m_deck(std::move(deck)) {}
        std::shared_ptr<show::PpSlideShowWindow> Run() override {
            m_office.enter(QStringLiteral("Run"));
            m_deck->running = true;
            return std::make_shared<fake::SlideShowWindow>(m_office, m_deck);
        }

    private:
        Office& m_office;
        std::shared_ptr<Deck> m_deck;
    };

    std::shared_ptr<show::PpSlideShowSettings> SlideShowSettings() override {
        return std::make_shared<Settings>(m_office, m_deck);
    }
    std::shared_ptr<show::PpSlideShowWindow> SlideShowWindow() override {
        m_office.enter(QStringLiteral("SlideShowWindow"));
        if (!m_deck->running)
            throw platform::Failure(kProgramName, QStringLiteral("no slide show is running"));
        return std::make_shared<fake::SlideShowWindow>(m_office, m_deck);
    }
    std::shared_ptr<show::PpApplication> Application() override { return m_application; }
    std::shared_ptr<show::PpSlides> Slides() override {
        return std::make_shared<fake::Slides>(m_office, m_deck);
    }

private:
    Office& m_office;
    std::shared_ptr<Deck> m_deck;
    std::shared_ptr<show::PpApplication> m_application;
};

class Application final : public show::PpApplication,
                          public show::PpPresentations,
                          public std::enable_shared_from_this<Application> {
public:
    explicit Application(Office& office) : m_office(office) {}

    bool Visible() override { return m_visible; }
    void setVisible(bool visible) override {
        m_office.enter(QStringLiteral("Visible %1").arg(visible ? "true" : "false"));
        m_visible = visible;
    }
    std::shared_ptr<show::PpPresentations> Presentations() override { return shared_from_this(); }
    std::shared_ptr<show::PpPresentation> ActivePresentation() override {
        m_office.enter(QStringLiteral("ActivePresentation"));
        auto active = m_active.lock();
        if (!active)
            throw platform::Failure(kProgramName, QStringLiteral("no presentation is open"));
        return active;
    }
    void setSlideShowNextSlide(std::function<void()> handler) override {
        m_office.slideChanged = std::move(handler);
    }
    std::shared_ptr<show::PpPresentation> Open(const QString& fileName) override {
        m_office.enter(QStringLiteral("Open ") + fileName);
        auto deck = std::make_shared<Deck>();
        deck->fileName = fileName;
        deck->slideCount = m_office.slideCountOfNextDeck;
        m_office.decks.push_back(deck);
        auto presentation = std::make_shared<Presentation>(m_office, deck, shared_from_this());
        m_active = presentation;
        return presentation;
    }

private:
    Office& m_office;
    bool m_visible = false;
    std::weak_ptr<show::PpPresentation> m_active;
};

inline show::PpApplicationFactory Office::factory() {
    return [this](const QString& progId) -> std::shared_ptr<show::PpApplication> {
        enter(QStringLiteral("CreateObject ") + progId);
        return std::make_shared<Application>(*this);
    };
}

} // namespace fake
