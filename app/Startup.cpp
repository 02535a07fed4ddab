#include "app/Startup.h"

#include "app/Module1.h"
#include "linereader/Class1.h"
#include "show/impress/ImpressApplication.h"

#include <QApplication>
#include <QIcon>
#include <xcb/xcb.h>

namespace app {

namespace {

// The platform the user chose, by argument or QT_QPA_PLATFORM; empty when none.
QString chosenPlatform(const std::vector<char*>& arguments,
                       const QProcessEnvironment& environment) {
    for (size_t i = 0; i + 1 < arguments.size(); ++i)
        if (qstrcmp(arguments[i], "-platform") == 0 || qstrcmp(arguments[i], "--platform") == 0)
            return QString::fromLocal8Bit(arguments[i + 1]);
    return environment.value(QStringLiteral("QT_QPA_PLATFORM"));
}

} // namespace

void preferX11(std::vector<char*>& arguments, const QProcessEnvironment& environment) {
    static char platform[] = "-platform";
    static char xcb[] = "xcb";
    if (environment.value(QStringLiteral("DISPLAY")).isEmpty() ||
        !chosenPlatform(arguments, environment).isEmpty())
        return;
    arguments.push_back(platform);
    arguments.push_back(xcb);
}

QString missingXServer(const std::vector<char*>& arguments,
                       const QProcessEnvironment& environment) {
    const QString platform = chosenPlatform(arguments, environment);
    if (!platform.isEmpty() && !platform.startsWith(QLatin1String("xcb")))
        return {};
    const QString display = environment.value(QStringLiteral("DISPLAY"));
    const QString needs =
        QStringLiteral("Quenvar needs an X11 display (an X server, or XWayland in "
                       "a Wayland session); ");
    if (display.isEmpty())
        return needs + QStringLiteral("DISPLAY is not set.");
    xcb_connection_t* connection = xcb_connect(display.toLocal8Bit().constData(), nullptr);
    const bool answers = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return answers ? QString() : needs + QStringLiteral("none answers at DISPLAY=%1.").arg(display);
}

std::shared_ptr<show::PpApplication> createObject(const QString& progId) {
    if (progId.compare(show::kPowerPointProgId, Qt::CaseInsensitive) == 0)
        return show::impress::createImpressApplication();
    throw platform::Failure(platform::kProgramName,
                            QStringLiteral("No program for \"%1\" is installed.").arg(progId));
}

QStringList exampleFolders() {
    return {QCoreApplication::applicationDirPath() + QStringLiteral("/../share/quenvar/examples")};
}

show::frmQvr::Seams productionSeams(Services& services) {
    services.filePrompt.setPlaces(exampleFolders());
    show::frmQvr::Seams seams;
    seams.createObject = &createObject;
    seams.filePrompt = &services.filePrompt;
    seams.messageBox = &services.messageBox;
    seams.forms = &services.forms;
    seams.makeTopmost = &Module1::makeTopmost;
    seams.openUrl = &Module1::openAddress;
    seams.prepareProgram = &show::impress::prepareImpress;
    seams.releaseProgram = &show::impress::releaseUnusedImpress;
    return seams;
}

void installEventPasses() {
    // The reader lets pending window events run at every refill, so that a long read does not
    // freeze the windows.
    linereader::setEventPass([] { QCoreApplication::processEvents(); });
    // While a press waits for the office the windows keep painting; the operator's input waits
    // with the press, and the control window holds back ticks until the press is done.
    show::impress::setWaitPass(
        [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
}

std::unique_ptr<show::frmQvr> startUp(show::frmQvr::Seams seams) {
    installEventPasses();

    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/quenvar-16.png"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/icons/quenvar-32.png"), QSize(32, 32));
    QApplication::setWindowIcon(icon);

    auto window = std::make_unique<show::frmQvr>(std::move(seams));
    window->setWindowIcon(icon);
    window->show();
    return window;
}

} // namespace app
