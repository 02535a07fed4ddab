// The keys of a presenter's clicker at the control window. A clicker is a small keyboard whose
// keys land on whichever control of the control window has the keyboard; this filter, installed on
// the window and its controls, turns them into the window's own moves: Page Down and Page Up always
// as Next Slide and Previous Slide; outside the text boxes also the arrows, space and Backspace,
// and the keys that blank the projector to black or white and bring the slide back. Inside a text
// box those other keys edit the box as they always did.
//
// A move waits for the presentation program with the operator's input held back, so the repeats of
// a held key pile up meanwhile; those are dropped, and a held key moves at most one slide a repeat.
#pragma once

#include "show/PowerPoint.h"

#include <cstdint>
#include <functional>
#include <QObject>

class QKeyEvent;
class QWidget;

namespace show {

class Clicker : public QObject {
    Q_OBJECT
public:
    struct Moves {
        std::function<void()> next;
        std::function<void()> previous;
        // Blanks the projector to the colour, or brings the slide back if it is blank in it.
        std::function<void(PpSlideShowState colour)> blank;
    };
    // Watches window and the controls it has now; owned by window.
    Clicker(QWidget* window, Moves moves);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Key { Other, Next, Previous, Black, White };
    Key keyOf(const QKeyEvent& event) const;
    void run(Key key, uint64_t pressedAt);

    QWidget* m_window;
    Moves m_moves;
    bool m_running = false;
    // The X server's time, in milliseconds, at which the last move's wait ended: a repeat stamped
    // before it was made while the move waited.
    uint64_t m_waitedUntil = 0;
    struct Release {
        int key = 0;
        uint64_t at = 0;
    } m_released;
};

} // namespace show
