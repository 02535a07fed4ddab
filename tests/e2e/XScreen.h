// What the X server shows, asked of the X server itself rather than of the backend under test,
// keys pressed through it as a person would, and the office processes of this test run. For the
// end-to-end tests, which run under run-on-xvfb.sh.
#pragma once

#include <chrono>
#include <optional>
#include <QColor>
#include <QList>
#include <QRect>
#include <QString>

namespace e2e {

// The folder run-on-xvfb.sh made for this run.
QString workDir();
QString deck(const QString& name);

// The colour of one pixel of the screen.
QColor pixelAt(QPoint point);
// Close enough to tell the decks' slides apart after scaling and colour conversion.
bool sameColour(const QColor& a, const QColor& b);
// Waits until the pixel has the colour; returns the last colour seen.
QColor waitForColour(QPoint point, const QColor& colour,
                     std::chrono::milliseconds timeout = std::chrono::seconds(10));

// The top-level windows the window manager shows, with their names (empty for a window without
// one) and on-screen rectangles.
QList<std::pair<QString, QRect>> shownWindows();

// The on-screen rectangle of the topmost mapped top-level window whose name contains part, if any.
std::optional<QRect> windowRect(const QString& part);
std::optional<QRect>
waitForWindowRect(const QString& part, const QRect& wanted,
                  std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Gives the keyboard focus to the topmost mapped window whose name contains part; false if none.
bool focusWindow(const QString& part);
// Presses and releases a key (an X key name: "Right", "Escape", "n", "1"), with Alt held if asked,
// on whatever window has the keyboard focus.
void pressKey(const char* name, bool alt = false);

// soffice.bin processes started under this run's folder.
QList<qint64> officePids();
void signalOffice(int signal);

// The slide colours of deck.* (and of the looping decks' first slides) and of other.pptx, slide 1
// first.
QColor slideColour(int slide);
QColor otherSlideColour(int slide);

} // namespace e2e
