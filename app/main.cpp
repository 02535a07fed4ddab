#include "app/Startup.h"

#include <QApplication>
#include <cstdio>
#include <unistd.h>

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
    const int result = QApplication::exec();
    // The office's connection has threads of its own that still run while its libraries unload
    // at a normal exit, and may crash it; the windows are closed and nothing is left to save.
    std::fflush(nullptr);
    _exit(result);
}
