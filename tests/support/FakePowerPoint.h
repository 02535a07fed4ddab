// A stand-in presentation program for the control window's tests. Each call that changes
// something, and each read of the slide in view, goes into one log in order ("Open /a.ppt",
// "Left 769", "Next", "Slide"); any can be made to fail once. Next past the last slide ends the
// show, as in a real one.
#pragma once

#include "show/PowerPoint.h"

#include <functional>
#include <memory>
#include <QStringList>
#include <vector>

namespace fake {

inline const QString kProgramName = QStringLiteral("Fake Impress");

// A shared_ptr to an object the office owns.
template <typename T> std::shared_ptr<T> unowned(T* object) {
    return std::shared_ptr<T>(std::shared_ptr<void>(), object);
}

// One opened presentation: its settings, show window and view, its slides, and the slide last
// asked for (by Item or Slide).
class Deck final : public show::PpPresentation,
                   public show::PpSlideShowSettings,
                   public show::PpSlideShowWindow,
                   public show::PpSlideShowView,
                   public show::PpSlides,
                   public show::PpSlide,
                   public std::enable_shared_from_this<Deck> {
public:
    using Log = std::function<void(const QString&)>;
    Deck(Log log, std::shared_ptr<show::PpApplication> application, int32_t slides)
        : slideCount(slides), m_enter(std::move(log)), m_application(std::move(application)) {}
    int32_t slideCount;
    int32_t current = 1;
    bool running = false, ended = false;
    show::PpSlideShowState state = show::ppSlideShowRunning;

    std::shared_ptr<show::PpSlideShowSettings> SlideShowSettings() override { return self(); }
    std::shared_ptr<show::PpSlideShowWindow> Run() override {
        m_enter(QStringLiteral("Run"));
        running = true;
        return self();
    }
    std::shared_ptr<show::PpSlideShowWindow> SlideShowWindow() override {
        if (!running)
            throw platform::Failure(kProgramName, QStringLiteral("no slide show is running"));
        return self();
    }
    std::shared_ptr<show::PpApplication> Application() override { return m_application; }
    std::shared_ptr<show::PpSlides> Slides() override { return self(); }

    float Left() override { return 0; }
    void setLeft(float points) override { m_enter(QStringLiteral("Left %1").arg(points)); }
    float Top() override { return 0; }
    void setTop(float points) override { m_enter(QStringLiteral("Top %1").arg(points)); }
    float Width() override { return 0; }
    void setWidth(float points) override { m_enter(QStringLiteral("Width %1").arg(points)); }
    void Activate() override { m_enter(QStringLiteral("Activate")); }
    std::shared_ptr<show::PpSlideShowView> View() override { return self(); }

    void Next() override {
        m_enter(QStringLiteral("Next"));
        ended = current == slideCount;
        current += ended ? 0 : 1;
    }
    void Previous() override {
        m_enter(QStringLiteral("Previous"));
        if (!std::exchange(ended, false) && current > 1)
            --current;
    }
    void GotoSlide(int32_t index, bool reset) override {
        m_enter(QStringLiteral("GotoSlide %1 %2").arg(index).arg(reset ? "reset" : ""));
        if (index < 1 || index > slideCount)
            throw platform::Failure(kProgramName, QStringLiteral("no slide %1").arg(index));
        current = index;
        ended = false;
    }
    std::shared_ptr<show::PpSlide> Slide() override {
        m_enter(QStringLiteral("Slide"));
        if (ended)
            throw platform::Failure(kProgramName, QStringLiteral("no slide is currently in view"));
        return Item(int16_t(current));
    }
    show::PpSlideShowState State() override {
        m_enter(QStringLiteral("State"));
        return state;
    }
    void setState(show::PpSlideShowState to) override {
        m_enter(QStringLiteral("State %1").arg(to));
        state = to;
    }
    std::shared_ptr<show::PpSlide> Item(int16_t index) override {
        m_askedFor = index;
        return self();
    }
    int32_t Count() override { return slideCount; }
    int32_t SlideIndex() override { return m_askedFor; }

private:
    std::shared_ptr<Deck> self() { return shared_from_this(); }
    Log m_enter;
    std::shared_ptr<show::PpApplication> m_application;
    int32_t m_askedFor = 0;
};

// The office and every application made on it (they share the log and the decks).
class Office final : public show::PpApplication, public show::PpPresentations {
public:
    QStringList calls;
    std::vector<std::shared_ptr<Deck>> decks;
    int32_t slideCountOfNextDeck = 5;
    std::function<void()> slideChanged; // the slide-show event handler
    // Runs inside the next call, as the window's own events may run while it waits for the office.
    std::function<void()> whileCalled;

    // The next call named call (the first word of its log entry) is refused.
    void failNext(const QString& call) { m_failures.append(call); }
    void enter(const QString& entry) {
        calls.append(entry);
        if (whileCalled)
            std::exchange(whileCalled, nullptr)();
        if (m_failures.removeOne(entry.section(QLatin1Char(' '), 0, 0)))
            throw platform::Failure(kProgramName, QStringLiteral("refused"));
    }
    QStringList take() { return std::exchange(calls, {}); }
    // The last show moves by itself (its timings, a click at the show window) to slide index.
    void showMovesTo(int32_t index) {
        decks.back()->current = index;
        if (slideChanged)
            slideChanged();
    }
    show::PpApplicationFactory factory() {
        return [this](const QString& progId) {
            enter(QStringLiteral("CreateObject ") + progId);
            return unowned<show::PpApplication>(this);
        };
    }

    bool Visible() override { return true; }
    void setVisible(bool visible) override {
        enter(QStringLiteral("Visible %1").arg(visible ? "true" : "false"));
    }
    std::shared_ptr<show::PpPresentations> Presentations() override { return unowned(this); }
    std::shared_ptr<show::PpPresentation> ActivePresentation() override { return decks.back(); }
    void setSlideShowNextSlide(std::function<void()> handler) override {
        slideChanged = std::move(handler);
    }
    std::shared_ptr<show::PpPresentation> Open(const QString& fileName) override {
        enter(QStringLiteral("Open ") + fileName);
        return decks.emplace_back(
            std::make_shared<Deck>([this](const QString& entry) { enter(entry); },
                                   unowned<show::PpApplication>(this), slideCountOfNextDeck));
    }

private:
    QStringList m_failures;
};

} // namespace fake
