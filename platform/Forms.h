// The program's own list of loaded windows, in load order, as the original platform kept it: the
// control window enters it first at start-up, the display numbers window each time its controls are
// made. A window leaves the list when it is destroyed. Closing the control window walks this list
// (unloading every other window first), so it must name exactly the windows that are loaded.
#pragma once

#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

namespace platform {

class Forms {
public:
    // Adds window at the end; it leaves the list by itself when destroyed.
    void add(QWidget* window);
    void remove(QWidget* window);
    int count() const;
    QWidget* at(int index) const;
    // The window's caption (its window title).
    QString caption(int index) const;

private:
    QList<QPointer<QWidget>> m_windows;
};

} // namespace platform
