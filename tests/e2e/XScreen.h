// The X client of the end-to-end tests and the kiosk benchmarks, which run under run-on-xvfb.sh:
// what the X server shows, asked of the X server itself rather than of the code under test, keys
// pressed, pointer moved and windows minimized or activated through it as a person would, the
// office processes of the run and the test decks. One connection serves the whole program.
#pragma once

#include "show/impress/ImpressApplication.h"

#include <chrono>
#include <optional>
#include <QColor>
#include <QImage>
#include <QList>
#include <QRect>
#include <QString>
#include <QThread>
#include <vector>

struct _XDisplay;

namespace e2e {

using namespace std::chrono_literals;

// Left 769, Top 0, Width 768 points: the right half of the 2048 x 768 screen, 4/3 pixels a point.
const QRect kSecondDisplay(1025, 0, 1024, 768);
const QPoint kCentre = kSecondDisplay.center();
const QString kShowTitle = show::impress::kShowWindowTitlePrefix;
const QString kBackdropTitle = QStringLiteral("Quenvar backdrop");

// Polls every 20 ms until done() holds or timeout has passed; whether it held, not asked again:
// a pixel that flickers could say otherwise by then.
template <typename Done> bool waitUntil(std::chrono::milliseconds timeout, Done done) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    for (; !done(); QThread::msleep(20))
        if (std::chrono::steady_clock::now() >= until)
            return false;
    return true;
}

// A file in the folder run-on-xvfb.sh made for this run.
QString deck(const QString& name);

// The first use opens the display; it throws std::runtime_error when it cannot or the display has
// no XTest extension.
QColor pixelAt(QPoint point);
// The connection itself, for a benchmark's requests of its own.
_XDisplay* connection();
// Sends a client message of the type (an atom's name) about window to target, for the event mask.
void sendMessage(unsigned long target, long mask, unsigned long window, const char* type,
                 std::initializer_list<long> data);
// The pixels of a rectangle of the screen; a null image when it cannot be read.
QImage grab(const QRect& rect);
// Close enough to tell the decks' slides apart after scaling and colour conversion.
bool sameColour(const QColor& a, const QColor& b);
// Whether the pixel has, or comes to have within 10 s, the colour.
bool shows(const QColor& colour, QPoint point = kCentre);

// The windows the window manager manages, bottom first: name, on-screen rectangle (without the
// window manager's frame), whether mapped.
struct Client {
    QString name;
    QRect rect;
    bool shown;
    unsigned long id;
};
QList<Client> clients();
// The rectangle of the topmost shown window whose name contains part, if any.
std::optional<QRect> windowRect(const QString& part);
// Whether that window is, or comes to be within 10 s, at the rectangle.
bool windowComesTo(const QString& part, const QRect& wanted);
// The topmost shown window named exactly name, if any, waiting up to timeout for one.
std::optional<Client> waitForClient(const QString& name, std::chrono::milliseconds timeout = 0ms);

// Gives the keyboard to the topmost shown window whose name contains part; false if none.
bool focusWindow(const QString& part);
// Asks the window manager to activate (raise and focus) the window, as a pager would, and waits
// until the window or one inside it has the keyboard; false if it has not within timeout.
bool activate(unsigned long window, std::chrono::milliseconds timeout);
// Presses and releases a key (an X key name: "Right", "Escape", "n"), with Alt held if asked.
void pressKey(const char* name, bool alt = false);
// The same for an X keysym, with the modifiers' keysyms held around it (XK_Alt_L, ...); returns
// the moment the key went down.
std::chrono::steady_clock::time_point press(unsigned long keysym,
                                            const std::vector<unsigned long>& modifiers = {});
void moveTo(QPoint point);
// Clicks the left mouse button at the point, through the X server.
void click(QPoint point);
// Asks the window manager to minimize the window, as its title bar's button would.
void minimize(unsigned long window);

// soffice.bin processes started under this run's folder, or under another folder.
QList<qint64> officePids(const QByteArray& folder = qgetenv("QUENVAR_E2E_DIR"));
void signalOffice(int signal);
// The window manager of this run's X server, as a pause (SIGSTOP) makes it slow.
void signalWindowManager(int signal);

// The slide colours of deck.* (and of the looping decks) and of other.pptx, slide 1 first.
inline QColor slideColour(int slide) {
    return QList<QColor>{0xff0000, 0x00ff00, 0x0000ff, 0xffff00, 0xff00ff}.value(slide - 1);
}
inline QColor otherSlideColour(int slide) {
    return QList<QColor>{0x00ffff, 0xff8000, 0xffffff}.value(slide - 1);
}

} // namespace e2e
