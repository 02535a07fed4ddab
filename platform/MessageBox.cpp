#include "platform/MessageBox.h"

#include "platform/Failure.h"

#include <QMessageBox>

namespace platform {

QtMessageBox::QtMessageBox(QWidget* parent) : m_parent(parent) {}

void QtMessageBox::show(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, kProgramName, text, QMessageBox::Ok, m_parent);
    box.setObjectName(QStringLiteral("QuenvarMessageBox"));
    // The control window stays on top of everything; a box that opened behind it would block the
    // operator without being seen.
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    // Counted, not flagged: a tick may open a second box while the first is waiting, and the
    // first one closing must not make the program think none is open.
    ++m_open;
    struct Closed {
        int& open;
        ~Closed() { --open; }
    } closed{m_open};
    box.exec();
}

bool QtMessageBox::isOpen() const {
    return m_open > 0;
}

} // namespace platform
