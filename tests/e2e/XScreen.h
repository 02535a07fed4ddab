// The harness of the end-to-end tests, which run under run-on-xvfb.sh: what the X server shows,
// asked of the X server itself rather than of the code under test, keys pressed and windows
// minimized through it as a person would, the office processes of the run and the test decks.
#pragma once

#include "show/impress/ImpressApplication.h"

#include <chrono>
#include <optional>
#include <QColor>
#include <QList>
#include <QRect>
#include <QString>

namespace e2e {

using namespace std::chrono_literals;

// Left 769, Top 0, Width 768 points: the right half of the 2048 x 768 screen, 4/3 pixels a point.
const QRect kSecondDisplay(1025, 0, 1024, 768);
const QPoint kCentre = kSecondDisplay.center();
const QString kShowTitle = show::impress::kShowWindowTitlePrefix;
const QString kBackdropTitle = QStringLiteral("Quenvar backdrop");

// A file in the folder run-on-xvfb.sh made for this run.
QString deck(const QString& name);

QColor pixelAt(QPoint point);
// Close enough to tell the decks' slides apart after scaling and colour conversion.
bool sameColour(const QColor& a, const QColor& b);
// Whether the pixel has, or comes to have within 10 s, the colour.
bool shows(const QColor& colour, QPoint point = kCentre);

// The windows the window manager manages, bottom first: name, on-screen rectangle, whether mapped.
struct Client {
    QString name;
    QRect rect;
    bool shown;
    unsigned long id;
};
QList<Client> clients();
// The rectangle of the topmost shown window whose name contains part, if any.
std::optional<QRect> windowRect(const QString& part);
std::optional<QRect> waitForWindowRect(const QString& part, const QRect& wanted);

// Gives the keyboard to the topmost shown window whose name contains part; false if none.
bool focusWindow(const QString& part);
// Presses and releases a key (an X key name: "Right", "Escape", "n"), with Alt held if asked.
void pressKey(const char* name, bool alt = false);
// Clicks the left mouse button at the point, through the X server.
void click(QPoint point);
// Asks the window manager to minimize the window, as its title bar's button would.
void minimize(unsigned long window);

// soffice.bin processes started under this run's folder.
QList<qint64> officePids();
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
