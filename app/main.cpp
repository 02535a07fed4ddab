#include "app/Startup.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quenvar"));

    app::Services services;
    const std::unique_ptr<show::frmQvr> window = app::startUp(app::productionSeams(services));
    services.messageBox.setParentWindow(window.get());
    return QApplication::exec();
}
