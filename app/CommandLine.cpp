#include "app/CommandLine.h"

#include <cmath>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>

namespace app {

namespace {

const QString kUsage = QStringLiteral(
    "Runs a slide show on the second display from one small control window.\n"
    "With FILE, loads that presentation at start, as Load Show would, and brings the show back\n"
    "when the office dies or its show is closed. A FILE given while Quenvar already runs on this\n"
    "display goes to that Quenvar.");

CommandLine fail(const QString& line) {
    CommandLine result;
    result.exitCode = 2;
    result.output = QStringLiteral("quenvar: %1 See quenvar --help.\n").arg(line);
    return result;
}

std::optional<int16_t> number16(const QString& text) {
    bool ok = false;
    const short value = text.trimmed().toShort(&ok);
    return ok ? std::optional<int16_t>(value) : std::nullopt;
}

// Three 16-bit numbers joined by commas, the width positive, as the display numbers are.
std::optional<show::frmQvr::Placement> placement(const QString& text) {
    const QStringList fields = text.split(QLatin1Char(','));
    if (fields.size() != 3)
        return std::nullopt;
    const auto left = number16(fields[0]), top = number16(fields[1]), width = number16(fields[2]);
    if (!left || !top || !width || *width <= 0)
        return std::nullopt;
    return show::frmQvr::Placement{float(*left), float(*top), float(*width)};
}

} // namespace

CommandLine parseCommandLine(const QStringList& arguments, const QString& workingDir) {
    QCommandLineParser parser;
    parser.setApplicationDescription(kUsage);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Shows this help and ends."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Shows the version and ends."));
    const QCommandLineOption timer(
        QStringLiteral("timer"),
        QStringLiteral("Advances the show every SECONDS (more than 0). Without it, the deck's own "
                       "timings and loop drive the show."),
        QStringLiteral("SECONDS"));
    const QCommandLineOption place(
        QStringLiteral("place"),
        QStringLiteral("Places the show as the display numbers would, in points. Without it and "
                       "--display, the numbers saved in ~/Qvr, else 769,0,768."),
        QStringLiteral("LEFT,TOP,WIDTH"));
    const QCommandLineOption display(
        QStringLiteral("display"),
        QStringLiteral("Fills display N (counted from 1) with the show, at the slide's aspect."),
        QStringLiteral("N"));
    QCommandLineOption platform(QStringLiteral("platform"), QString(), QStringLiteral("NAME"));
    platform.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOptions({help, version, timer, place, display, platform});
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("The presentation to show (.ppt, .pptx, .pps, "
                                                ".ppsx, .odp)."),
                                 QStringLiteral("[FILE]"));

    if (!parser.parse(arguments))
        return fail(parser.errorText());
    CommandLine result;
    if (parser.isSet(help)) {
        result.exitCode = 0;
        // Without an application object the parser cannot know the program's name.
        result.output = parser.helpText().replace(QStringLiteral("<executable_name>"),
                                                  QStringLiteral("quenvar"));
        return result;
    }
    if (parser.isSet(version)) {
        result.exitCode = 0;
        result.output = QStringLiteral("quenvar %1\n").arg(QStringLiteral(QUENVAR_VERSION));
        return result;
    }

    StartRequest& request = result.request;
    if (parser.isSet(timer)) {
        bool ok = false;
        const float seconds = parser.value(timer).toFloat(&ok);
        if (!ok || !std::isfinite(seconds) || seconds <= 0)
            return fail(QStringLiteral("--timer wants a number of seconds above 0, not \"%1\".")
                            .arg(parser.value(timer)));
        request.timer = seconds;
    }
    if (parser.isSet(place) && parser.isSet(display))
        return fail(QStringLiteral("give --place or --display, not both."));
    if (parser.isSet(place)) {
        request.place = placement(parser.value(place));
        if (!request.place)
            return fail(QStringLiteral("--place wants LEFT,TOP,WIDTH: three whole numbers from "
                                       "-32768 to 32767, the width above 0, not \"%1\".")
                            .arg(parser.value(place)));
    }
    if (parser.isSet(display)) {
        bool ok = false;
        request.display = parser.value(display).toInt(&ok);
        if (!ok || request.display < 1)
            return fail(QStringLiteral("--display wants a display number from 1 up, not \"%1\".")
                            .arg(parser.value(display)));
    }
    request.platform = parser.value(platform);
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1)
        return fail(QStringLiteral("one FILE at most, not %1.").arg(files.size()));
    if (!files.isEmpty())
        request.file = QDir::cleanPath(QDir(workingDir).absoluteFilePath(files.first()));
    return result;
}

std::optional<QString> resolveDisplay(StartRequest& request, const QList<QRect>& displays) {
    if (request.display == 0)
        return std::nullopt;
    if (request.display > displays.size()) {
        QStringList there;
        for (int index = 0; index < displays.size(); ++index) {
            const QRect& d = displays[index];
            there << QStringLiteral("%1: %2x%3 at %4,%5")
                         .arg(index + 1)
                         .arg(d.width())
                         .arg(d.height())
                         .arg(d.x())
                         .arg(d.y());
        }
        return QStringLiteral("quenvar: --display %1: there is no display %1; the displays are "
                              "%2.\n")
            .arg(request.display)
            .arg(there.isEmpty() ? QStringLiteral("none") : there.join(QStringLiteral(", ")));
    }
    const QRect d = displays[request.display - 1];
    // Points are 3/4 of a pixel, kept as fractions so that they come back to whole pixels.
    const auto points = [](int pixels) { return float(pixels) * 0.75f; };
    request.place = show::frmQvr::Placement{points(d.x()), points(d.y()), points(d.width())};
    request.display = 0;
    return std::nullopt;
}

std::optional<show::frmQvr::Placement> savedPlacement(const QString& numbersFile) {
    QFile file(numbersFile);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    while (!file.atEnd()) {
        const QString line = QString::fromLatin1(file.readLine()).trimmed();
        if (!line.isEmpty())
            return placement(line);
    }
    return std::nullopt;
}

} // namespace app
