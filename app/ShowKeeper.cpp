#include "app/ShowKeeper.h"

#include "platform/Failure.h"
#include "platform/MessageBox.h"
#include "platform/Units.h"

#include <cstdio>
#include <QCoreApplication>
#include <QFileInfo>
#include <QRegion>
#include <QWidget>

namespace app {

using Clock = std::chrono::steady_clock;
using platform::Failure;

namespace {

constexpr std::chrono::milliseconds kLookInterval{250};
// How often a running show's office is asked whether it still answers.
constexpr std::chrono::milliseconds kAskInterval{1000};
constexpr std::chrono::milliseconds kRetryPause{2000};
constexpr std::chrono::milliseconds kRevealInterval{20};
// A slide that does not come back as it looked (it moves, or the office draws it otherwise) is
// shown after this.
constexpr std::chrono::milliseconds kRevealLimit{3000};
constexpr int kAttempts = 3;
constexpr std::chrono::seconds kAttemptWindow{60};

// Where the show goes when neither the command line nor the display numbers say: Load Show's
// defaults.
constexpr float kDefaultLeft = 769, kDefaultTop = 0, kDefaultWidth = 768;

} // namespace

ShowKeeper::ShowKeeper(show::frmQvr& window, Seams seams)
    : m_window(window), m_seams(std::move(seams)) {
    m_watch.setInterval(kLookInterval);
    connect(&m_watch, &QTimer::timeout, this, &ShowKeeper::look);
    m_reveal.setInterval(kRevealInterval);
    connect(&m_reveal, &QTimer::timeout, this, &ShowKeeper::reveal);
    m_fileTimer.setInterval(kLookInterval);
    connect(&m_fileTimer, &QTimer::timeout, this, &ShowKeeper::waitForFile);
}

ShowKeeper::~ShowKeeper() {
    m_window.setTickFailureHandler({});
}

void ShowKeeper::log(const QString& line) const {
    if (m_seams.log)
        return m_seams.log(line);
    std::fprintf(stderr, "quenvar: %s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}

void ShowKeeper::start(const StartRequest& request) {
    m_watch.stop();
    m_request = request;
    m_looks.clear();
    m_failures.clear();
    m_silentSince.reset();
    m_fileSince = Clock::now();
    waitForFile();
}

void ShowKeeper::waitForFile() {
    // A load or a recovery under way finishes first; the program takes one request at a time.
    if (m_window.busy() || m_recovering) {
        m_fileTimer.start();
        return;
    }
    if (QFileInfo::exists(m_request.file)) {
        m_fileTimer.stop();
        return load();
    }
    if (Clock::now() - m_fileSince < m_seams.fileWait) {
        if (!m_fileTimer.isActive()) {
            log(QStringLiteral("waiting for %1 to appear").arg(m_request.file));
            m_fileTimer.start();
        }
        return;
    }
    m_fileTimer.stop();
    const QString text =
        QStringLiteral("The presentation %1 is not there: waited %2 seconds for it.")
            .arg(m_request.file)
            .arg(std::chrono::duration_cast<std::chrono::seconds>(m_seams.fileWait).count());
    log(text);
    m_seams.messageBox->show(text);
}

void ShowKeeper::load() {
    m_shown = false;
    m_slide = 1;
    m_recovering = true;
    attempt();
}

void ShowKeeper::tickFailed(const Failure& failure) {
    // One line for each slide the ticks cannot move on from; whether the office still answers,
    // the look asks at once.
    if (m_window.slideInView() != m_slideAtFailure) {
        m_slideAtFailure = m_window.slideInView();
        log(QStringLiteral("a tick failed: %1").arg(failure.message()));
    }
    m_askedAt = {};
    look();
}

void ShowKeeper::look() {
    // Inside a wait for the office nothing may call it; the next look comes soon.
    if (m_recovering || m_window.busy())
        return;
    if (!m_seams.officeRunning())
        return recover(QStringLiteral("the office has ended"));
    const std::optional<bool> running = m_window.showRunning();
    const bool atEnd = m_window.slideInView() >= m_window.slideCount();
    if (running == false) {
        // Closed on its last slide or its end screen, the deck ended as it was made to.
        if (atEnd) {
            log(QStringLiteral("the show has come to its end"));
            m_watch.stop();
            return;
        }
        return recover(QStringLiteral("the show's window has closed"));
    }
    if (running != true)
        return;
    // Taken amid a slide change, a look may pair the console's new slide with the projector's old
    // one, which never comes back: a slide's look is kept once two looks in a row agree.
    const QColor colour = m_seams.pixel(probe());
    const int32_t slide = m_window.slideInView();
    if (colour == m_lastColour && slide == m_lastSlide)
        m_looks.insert(slide, colour);
    m_lastColour = colour;
    m_lastSlide = slide;
    if (Clock::now() - m_askedAt < kAskInterval)
        return;
    m_askedAt = Clock::now();
    if (m_window.checkShow()) {
        m_silentSince.reset();
        return;
    }
    if (!m_silentSince) {
        m_silentSince = m_askedAt;
        log(QStringLiteral("the office does not answer"));
    }
    if (Clock::now() - *m_silentSince >= m_seams.silence)
        recover(
            QStringLiteral("the office has not answered for %1 seconds")
                .arg(std::chrono::duration_cast<std::chrono::seconds>(m_seams.silence).count()));
}

void ShowKeeper::recover(const QString& event) {
    m_recovering = true;
    m_silentSince.reset();
    m_slideAtFailure = 0;
    m_slide = std::max(1, m_window.slideInView());
    log(QStringLiteral("%1; bringing %2 back on slide %3").arg(event, m_request.file).arg(m_slide));
    // Ticks against a gone show would only fail; the load switches the timer on again.
    if (m_request.timer)
        m_window.LongTimer1().setEnabled(false);
    cover(true);
    attempt();
}

void ShowKeeper::attempt() {
    // An office that failed, or whose show went, is ended first; one that may run the shows of an
    // earlier Quenvar is not, for the first try of a deck.
    if (m_shown || !m_failures.empty())
        m_seams.endOffice();
    try {
        m_window.loadShowFile(m_request.file, m_request.place, m_request.timer, m_slide);
    } catch (const Failure& failure) {
        const Clock::time_point now = Clock::now();
        m_failures.push_back(now);
        while (now - m_failures.front() > kAttemptWindow)
            m_failures.pop_front();
        log(QStringLiteral("%1 failed: %2")
                .arg(m_shown ? QStringLiteral("bringing the show back")
                             : QStringLiteral("starting the show"),
                     failure.message()));
        if (int(m_failures.size()) < kAttempts) {
            QTimer::singleShot(kRetryPause, this, &ShowKeeper::attempt);
            return;
        }
        m_watch.stop();
        m_recovering = false;
        cover(false);
        const QString text =
            QStringLiteral("The show could not be %1: %2 attempts failed within a minute. "
                           "Quenvar has stopped trying; press Load Show to start it again. The "
                           "last failure: %3")
                .arg(m_shown ? QStringLiteral("brought back") : QStringLiteral("started"))
                .arg(kAttempts)
                .arg(failure.message());
        log(text);
        m_seams.messageBox->show(text);
        return;
    }
    if (!m_shown) {
        m_shown = true;
        m_recovering = false;
        log(QStringLiteral("showing %1").arg(m_request.file));
        backdrop();
        m_window.setTickFailureHandler([this](const Failure& failure) { tickFailed(failure); });
        m_watch.start();
        return;
    }
    // The show window is there but may not be drawn yet: the cover goes once the slide looks as it
    // did before, through the one pixel the cover leaves open.
    m_revealSince = Clock::now();
    m_reveal.start();
}

void ShowKeeper::reveal() {
    const QColor looked = m_looks.value(m_slide);
    const bool drawn = looked.isValid() && m_seams.pixel(probe()) == looked;
    if (!drawn && Clock::now() - m_revealSince < kRevealLimit)
        return;
    m_reveal.stop();
    m_recovering = false;
    cover(false);
    log(QStringLiteral("the show is back on slide %1").arg(m_slide));
}

QPoint ShowKeeper::probe() const {
    const show::frmQvr::Placement where =
        m_request.place.value_or(show::frmQvr::Placement{kDefaultLeft, kDefaultTop, kDefaultWidth});
    const int width = platform::pointsToPixels(where.width);
    // Well inside the slide, whatever its aspect.
    return {platform::pointsToPixels(where.left) + width / 2,
            platform::pointsToPixels(where.top) + width / 8};
}

QRect ShowKeeper::showDisplay() const {
    const show::frmQvr::Placement where =
        m_request.place.value_or(show::frmQvr::Placement{kDefaultLeft, kDefaultTop, kDefaultWidth});
    const QPoint topLeft(platform::pointsToPixels(where.left), platform::pointsToPixels(where.top));
    for (const QRect& each : m_seams.displays())
        if (each.contains(topLeft))
            return each;
    return {};
}

void ShowKeeper::backdrop() {
    // Below every other window of its display, so that a show window that goes leaves black
    // behind, not a desktop, until the cover comes.
    if (!m_backdrop)
        m_backdrop = blackWindow(QStringLiteral("showBackdrop"), Qt::WindowStaysOnBottomHint);
    m_backdrop->setGeometry(showDisplay());
    m_backdrop->show();
}

void ShowKeeper::cover(bool shown) {
    // Made for each recovery and dropped after it: a window the size of a display keeps a buffer
    // of as many pixels for as long as it exists, megabytes a kiosk does not need between
    // recoveries.
    if (!shown) {
        m_cover.reset();
        return;
    }
    // In the window manager's layer above ordinary windows, where the office's new show window,
    // which is one, cannot come while its show is brought back. Unmanaged, the window manager would
    // raise the show window over it as the show window appears.
    if (!m_cover)
        m_cover = blackWindow(QStringLiteral("showCover"), Qt::WindowStaysOnTopHint);
    const QRect display = showDisplay();
    m_cover->setGeometry(display);
    m_cover->setMask(QRegion(0, 0, display.width(), display.height()) -
                     QRegion(QRect(probe() - display.topLeft(), QSize(16, 16))));
    m_cover->show();
    m_cover->raise();
    // Black on the screen before anything of the office is ended or started.
    m_cover->repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

std::unique_ptr<QWidget> ShowKeeper::blackWindow(const QString& name, Qt::WindowFlags flags) {
    auto window = std::make_unique<QWidget>(nullptr, Qt::Window | Qt::FramelessWindowHint |
                                                         Qt::WindowDoesNotAcceptFocus | flags);
    window->setObjectName(name);
    window->setWindowTitle(name);
    window->setAttribute(Qt::WA_ShowWithoutActivating);
    window->setAutoFillBackground(true);
    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, Qt::black);
    window->setPalette(palette);
    return window;
}

} // namespace app
