#include "app/CommandLine.h"
#include "app/ShowKeeper.h"
#include "app/SingleInstance.h"
#include "app/Startup.h"
#include "show/impress/ImpressApplication.h"
#include "show/impress/OfficeProcess.h"
#include "show/impress/WindowSystem.h"

#include <cstdio>
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <unistd.h>

namespace {

// Without an X server Qt would abort; one line says what Quenvar needs instead.
void exitWithoutXServer(const std::vector<char*>& arguments) {
    const QString missing =
        app::missingXServer(arguments, QProcessEnvironment::systemEnvironment());
    if (missing.isEmpty())
        return;
    std::fprintf(stderr, "%s\n", qPrintable(missing));
    std::exit(1);
}

int printAndEnd(int code, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), code == 0 ? stdout : stderr);
    std::fflush(nullptr);
    return code;
}

} // namespace

int main(int argc, char** argv) {
    QStringList given;
    for (int index = 0; index < argc; ++index)
        given << QString::fromLocal8Bit(argv[index]);
    // Read before the application object, which would need an X display for --help.
    app::CommandLine line = app::parseCommandLine(given, QDir::currentPath());
    if (line.exitCode)
        return printAndEnd(*line.exitCode, line.output);
    app::StartRequest& request = line.request;

    // Qt sees only what it needs: its own reading of "--display" would take N for an X display.
    QByteArray platform = request.platform.toLocal8Bit();
    static char platformOption[] = "-platform";
    std::vector<char*> arguments{argv[0]};
    if (!platform.isEmpty())
        arguments.insert(arguments.end(), {platformOption, platform.data()});
    app::preferX11(arguments, QProcessEnvironment::systemEnvironment());
    exitWithoutXServer(arguments);
    int count = static_cast<int>(arguments.size());
    arguments.push_back(nullptr);
    QApplication application(count, arguments.data());
    QApplication::setApplicationName(QStringLiteral("Quenvar"));

    if (const std::optional<QString> wrong =
            app::resolveDisplay(request, show::impress::windowsystem::displays()))
        return printAndEnd(2, *wrong);

    app::SingleInstance instance(qEnvironmentVariable("DISPLAY"));
    if (instance.handOver(request))
        return 0;

    app::Services services;
    const std::unique_ptr<show::frmQvr> window = app::startUp(app::productionSeams(services));
    services.messageBox.setParentWindow(window.get());

    // Only a start with a file is kept up by itself; without one nothing is retried.
    std::unique_ptr<app::ShowKeeper> keeper;
    const auto keep = [&](app::StartRequest wanted) {
        if (!wanted.place)
            wanted.place = app::savedPlacement(display::defaultNumbersFilePath());
        if (!keeper) {
            app::ShowKeeper::Seams seams;
            seams.officeRunning = [] { return show::impress::OfficeProcess().running(); };
            seams.endOffice = [] { show::impress::OfficeProcess().kill(); };
            seams.displays = &show::impress::windowsystem::displays;
            seams.pixel = [](QPoint point) {
                return QGuiApplication::primaryScreen()
                    ->grabWindow(0, point.x(), point.y(), 1, 1)
                    .toImage()
                    .pixelColor(0, 0);
            };
            seams.messageBox = &services.messageBox;
            keeper = std::make_unique<app::ShowKeeper>(*window, std::move(seams));
        }
        keeper->start(wanted);
    };
    QString reason;
    if (!instance.listen(
            [&](const app::StartRequest& handed) {
                if (!handed.file.isEmpty())
                    return keep(handed);
                window->showNormal();
                window->raise();
                window->activateWindow();
            },
            &reason))
        std::fprintf(stderr, "quenvar: a later Quenvar cannot reach this one: %s\n",
                     reason.toLocal8Bit().constData());
    if (!request.file.isEmpty())
        keep(request);

    const int result = QApplication::exec();
    // The office's connection has threads of its own that still run while its libraries unload
    // at a normal exit, and may crash it; the windows are closed and nothing is left to save.
    std::fflush(nullptr);
    _exit(result);
}
