// Keeps an unattended show on the projector. Given the deck of the command line, it loads it
// (waiting for a file that is not there yet, as a stick or a share mounted after login is not),
// then watches: when the office has ended, when the show's window has gone though the deck had not
// come to its end, or when the office has not answered for the silence limit, it ends what is left
// of that office, starts it anew, loads the same deck, goes to the slide that was shown and keeps
// the timer. A black window lies under the show on its display, and another covers that display
// while the show is brought back; a window that comes over the show is put back under it within a
// second: the audience sees black or the slide, never a desktop or an editor. Each event is one
// line on the standard error, no message box; after three failed attempts within a minute, at the
// start or later, it says so once, in a box too, and leaves the show to a person. Only made for a
// start with FILE: without one Quenvar retries nothing.
#pragma once

#include "app/CommandLine.h"

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <QColor>
#include <QHash>
#include <QList>
#include <QObject>
#include <QRect>
#include <QTimer>

class QWidget;

namespace platform {
class Failure;
class MessageBox;
} // namespace platform

namespace app {

class ShowKeeper : public QObject {
    Q_OBJECT
public:
    struct Seams {
        // Whether any process of the office on Quenvar's profile is alive, and ending them.
        std::function<bool()> officeRunning;
        std::function<void()> endOffice;
        std::function<QList<QRect>()> displays;
        // The colour of a pixel of the screen.
        std::function<QColor(QPoint)> pixel;
        platform::MessageBox* messageBox = nullptr; // required
        // Each event's line; empty: the standard error.
        std::function<void(const QString&)> log;
        std::chrono::milliseconds fileWait = std::chrono::seconds(60);
        std::chrono::milliseconds silence = std::chrono::seconds(30);
    };
    ShowKeeper(show::frmQvr& window, Seams seams);
    ~ShowKeeper() override;

    // Loads request's file and keeps its show up from then on, in place of any show kept before.
    void start(const StartRequest& request);
    bool keeping() const { return m_watch.isActive(); }

private:
    void waitForFile();
    void load();
    void look();
    void recover(const QString& event);
    void attempt();
    void tickFailed(const platform::Failure& failure);
    void log(const QString& line) const;
    void reveal();
    QPoint probe() const;
    QRect showDisplay() const;
    void backdrop();
    void cover(bool shown);
    static std::unique_ptr<QWidget> blackWindow(const QString& name, Qt::WindowFlags flags);

    show::frmQvr& m_window;
    Seams m_seams;
    StartRequest m_request;
    QTimer m_watch;
    QTimer m_fileTimer;
    QTimer m_reveal;
    std::chrono::steady_clock::time_point m_revealSince;
    // How each slide of the deck looked once it stood still for a look, and the last look.
    QHash<int32_t, QColor> m_looks;
    QColor m_lastColour;
    int32_t m_lastSlide = 0;
    std::chrono::steady_clock::time_point m_fileSince;
    bool m_recovering = false;
    // The deck's show has been up since the request: a failure now is brought back.
    bool m_shown = false;
    int32_t m_slide = 1;
    std::deque<std::chrono::steady_clock::time_point> m_failures;
    std::chrono::steady_clock::time_point m_askedAt;
    // Since the first ask the office left unanswered, until one is answered.
    std::optional<std::chrono::steady_clock::time_point> m_silentSince;
    // The slide of the last failed tick that was told.
    int32_t m_slideAtFailure = 0;
    std::unique_ptr<QWidget> m_backdrop;
    std::unique_ptr<QWidget> m_cover;
};

} // namespace app
