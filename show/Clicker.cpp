#include "show/Clicker.h"

#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QWidget>

namespace show {

Clicker::Clicker(QWidget* window, Moves moves)
    : QObject(window), m_window(window), m_moves(std::move(moves)) {
    window->installEventFilter(this);
    for (QWidget* control : window->findChildren<QWidget*>())
        control->installEventFilter(this);
}

Clicker::Key Clicker::keyOf(const QKeyEvent& event) const {
    // A clicker sends its keys bare; with Ctrl or Alt a key is the operator's, and Alt+N and the
    // other access keys stay the buttons'.
    if (event.modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier))
        return Key::Other;
    switch (event.key()) {
    case Qt::Key_PageDown:
        return Key::Next;
    case Qt::Key_PageUp:
        return Key::Previous;
    default:
        break;
    }
    if (qobject_cast<QLineEdit*>(m_window->focusWidget()))
        return Key::Other;
    switch (event.key()) {
    case Qt::Key_Right:
    case Qt::Key_Down:
    case Qt::Key_Space:
        return Key::Next;
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_Backspace:
        return Key::Previous;
    case Qt::Key_B:
    case Qt::Key_Period:
        return Key::Black;
    case Qt::Key_W:
    case Qt::Key_Comma:
        return Key::White;
    default:
        return Key::Other;
    }
}

bool Clicker::eventFilter(QObject*, QEvent* event) {
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
        return false;
    const auto& keyEvent = *static_cast<QKeyEvent*>(event);
    const Key key = keyOf(keyEvent);
    if (key == Key::Other)
        return false;
    // The X server repeats a held key as a release and a press stamped alike. Qt marks the pair
    // only when it reads both halves at once, which it often does not while a move waited.
    const bool repeat = keyEvent.isAutoRepeat() ||
                        (keyEvent.key() == m_released.key && keyEvent.timestamp() == m_released.at);
    if (event->type() == QEvent::KeyRelease) {
        m_released = {keyEvent.key(), keyEvent.timestamp()};
        // The control with the keyboard sees none of it: a button must not be pressed by space.
        return true;
    }
    if (m_running || (repeat && ((key != Key::Next && key != Key::Previous) ||
                                 keyEvent.timestamp() <= m_waitedUntil)))
        return true;
    run(key, keyEvent.timestamp());
    return true;
}

void Clicker::run(Key key, uint64_t pressedAt) {
    m_running = true;
    QElapsedTimer took;
    took.start();
    switch (key) {
    case Key::Next:
        m_moves.next();
        break;
    case Key::Previous:
        m_moves.previous();
        break;
    case Key::Black:
        m_moves.blank(ppSlideShowBlackScreen);
        break;
    case Key::White:
        m_moves.blank(ppSlideShowWhiteScreen);
        break;
    case Key::Other:
        break;
    }
    m_waitedUntil = pressedAt + uint64_t(took.elapsed());
    m_running = false;
}

} // namespace show
