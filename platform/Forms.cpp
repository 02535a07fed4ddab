#include "platform/Forms.h"

namespace platform {

// A destroyed window's QPointer turns null; every lookup passes over those, which is how a window
// leaves the list by itself without Forms having to outlive, or be told by, the windows.

void Forms::add(QWidget* window) {
    if (!window || m_windows.contains(window))
        return;
    m_windows.removeIf([](const QPointer<QWidget>& entry) { return entry.isNull(); });
    m_windows.append(window);
}

void Forms::remove(QWidget* window) {
    m_windows.removeIf(
        [window](const QPointer<QWidget>& entry) { return entry.isNull() || entry == window; });
}

int Forms::count() const {
    int live = 0;
    for (const QPointer<QWidget>& entry : m_windows)
        live += entry.isNull() ? 0 : 1;
    return live;
}

QWidget* Forms::at(int index) const {
    if (index < 0)
        return nullptr;
    for (const QPointer<QWidget>& entry : m_windows) {
        if (entry.isNull())
            continue;
        if (index-- == 0)
            return entry.data();
    }
    return nullptr;
}

QString Forms::caption(int index) const {
    QWidget* window = at(index);
    return window ? window->windowTitle() : QString();
}

} // namespace platform
