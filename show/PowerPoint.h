// The presentation program, as the control window sees it: a small interface shaped like the
// object model of PowerPoint's automation library (application, presentations, presentation,
// slide-show settings, slide-show window, its view, slides). The control window holds references
// to these objects and calls nothing else; a backend (the real office in show/impress, the test
// doubles in tests/) implements them. References are shared, as automation references are counted:
// an object lives while anyone holds it.
//
// Every failure of a call is a platform::Failure whose source is the presentation program's name
// and whose description says what went wrong.
#pragma once

#include "platform/Failure.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <QString>

namespace show {

class PpApplication;

class PpSlide {
public:
    virtual ~PpSlide() = default;
    // 1-based position of the slide in its presentation.
    virtual int32_t SlideIndex() = 0;
};

class PpSlides {
public:
    virtual ~PpSlides() = default;
    // 1-based.
    virtual std::shared_ptr<PpSlide> Item(int16_t index) = 0;
    virtual int32_t Count() = 0;
};

// What the projector shows of a running show: its slides, or a blank screen in one colour.
enum PpSlideShowState : int32_t {
    ppSlideShowRunning = 1,
    ppSlideShowPaused = 2,
    ppSlideShowBlackScreen = 3,
    ppSlideShowWhiteScreen = 4,
    ppSlideShowDone = 5,
};

class PpSlideShowView {
public:
    virtual ~PpSlideShowView() = default;
    // As a click or an arrow key: the next (previous) effect, else the next (previous) slide.
    virtual void Next() = 0;
    virtual void Previous() = 0;
    // 1-based; resetSlide starts the slide's animation from its beginning.
    virtual void GotoSlide(int32_t index, bool resetSlide) = 0;
    // The slide now shown; fails when no slide is in view (the show has ended).
    virtual std::shared_ptr<PpSlide> Slide() = 0;
    // Black or white screen: the projector is blank and the slide stays the view's; Running shows
    // it again. Next and Previous from a blank screen show the next and the previous slide.
    virtual PpSlideShowState State() = 0;
    virtual void setState(PpSlideShowState state) = 0;
};

class PpSlideShowWindow {
public:
    virtual ~PpSlideShowWindow() = default;
    // In points; 4/3 pixels a point at 96 dpi.
    virtual float Left() = 0;
    virtual void setLeft(float points) = 0;
    virtual float Top() = 0;
    virtual void setTop(float points) = 0;
    virtual float Width() = 0;
    virtual void setWidth(float points) = 0;
    virtual void Activate() = 0;
    virtual std::shared_ptr<PpSlideShowView> View() = 0;
};

class PpSlideShowSettings {
public:
    virtual ~PpSlideShowSettings() = default;
    virtual std::shared_ptr<PpSlideShowWindow> Run() = 0;
};

class PpPresentation {
public:
    virtual ~PpPresentation() = default;
    virtual std::shared_ptr<PpSlideShowSettings> SlideShowSettings() = 0;
    // Fails when the presentation runs no slide show.
    virtual std::shared_ptr<PpSlideShowWindow> SlideShowWindow() = 0;
    virtual std::shared_ptr<PpApplication> Application() = 0;
    virtual std::shared_ptr<PpSlides> Slides() = 0;
};

class PpPresentations {
public:
    virtual ~PpPresentations() = default;
    // The full path of the file; fails when it is missing, unreadable or not a presentation.
    virtual std::shared_ptr<PpPresentation> Open(const QString& fileName) = 0;
};

class PpApplication {
public:
    virtual ~PpApplication() = default;
    virtual bool Visible() = 0;
    virtual void setVisible(bool visible) = 0;
    virtual std::shared_ptr<PpPresentations> Presentations() = 0;
    virtual std::shared_ptr<PpPresentation> ActivePresentation() = 0;

    // The application's slide-show event: handler runs on the control window's thread soon after
    // the slide in view of a show that this application runs has changed, whatever changed it (a
    // move through the view, a click or key at the show window, the show's own timings, a loop
    // coming round). It carries nothing: the handler asks the show for its slide. Replaces any
    // earlier handler; an empty one removes it.
    virtual void setSlideShowNextSlide(std::function<void()> handler) = 0;
};

// Creates a new application object from a programmatic identifier ("Powerpoint.Application").
// Throws Failure (source "Quenvar") when no such program can be created.
using PpApplicationFactory = std::function<std::shared_ptr<PpApplication>(const QString& progId)>;

inline const QString kPowerPointProgId = QStringLiteral("Powerpoint.Application");

} // namespace show
