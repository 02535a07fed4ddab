#include "app/Startup.h"

#include <QApplication>

int main(int argc, char** argv) {
    std::vector<char*> arguments(argv, argv + argc);
    app::preferX11(arguments, QProcessEnvironment::systemEnvironment());
    int count = static_cast<int>(arguments.size());
    arguments.push_back(nullptr);
    QApplication application(count, arguments.data());
    QApplication::setApplicationName(QStringLiteral("Quenvar"));

    app::Services services;
    const std::unique_ptr<show::frmQvr> window = app::startUp(app::productionSeams(services));
    services.messageBox.setParentWindow(window.get());
    return QApplication::exec();
}
