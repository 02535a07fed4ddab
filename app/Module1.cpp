#include "app/Module1.h"

#include <QDesktopServices>
#include <QUrl>
#include <QWidget>

namespace Module1 {

void makeTopmost(QWidget* window) {
    window->setWindowFlag(Qt::WindowStaysOnTopHint, true);
}

void openAddress(const QUrl& address) {
    QDesktopServices::openUrl(address);
}

} // namespace Module1
