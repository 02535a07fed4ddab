#include "app/Startup.h"

#include <cstdio>
#include <QApplication>
#include <unistd.h>

// Without an X server Qt would abort; one line says what Quenvar needs instead.
static void exitWithoutXServer(const std::vector<char*>& arguments) {
    const QString missing =
        app::missingXServer(arguments, QProcessEnvironment::systemEnvironment());
    if (missing.isEmpty())
        return;
    std::fprintf(stderr, "%s\n", qPrintable(missing));
    std::exit(1);
}

int main(int argc, char** argv) {
    std::vector<char*> arguments(argv, argv + argc);
    app::preferX11(arguments, QProcessEnvironment::systemEnvironment());
    exitWithoutXServer(arguments);
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
