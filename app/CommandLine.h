// The command line of an unattended start: `quenvar [--timer SECONDS] [--place LEFT,TOP,WIDTH |
// --display N] [FILE]`. Read before the application object is made, so that --help and --version
// need no X display; --display is checked against the displays once they can be asked. Started
// without FILE, Quenvar is the operator's console and nothing here changes it.
#pragma once

#include "show/frmQvr.h"

#include <optional>
#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>

namespace app {

// What the command line asks for.
struct StartRequest {
    // Absolute; empty when none was given.
    QString file;
    // Seconds between ticks; none: the deck's own timings drive the show.
    std::optional<float> timer;
    // In points, from --place or from --display once resolved.
    std::optional<show::frmQvr::Placement> place;
    // 1-based, as given; 0 when none.
    int display = 0;
    // Qt's platform plugin, passed on to the application object.
    QString platform;
};

struct CommandLine {
    StartRequest request;
    // Set when the program is to end at once with this status, printing output (to the standard
    // output for status 0, else to the standard error).
    std::optional<int> exitCode;
    QString output;
};

// arguments: the program's, its name first. workingDir resolves a relative FILE.
CommandLine parseCommandLine(const QStringList& arguments, const QString& workingDir);

// Turns --display N into the place that fills display N (pixels, in the X server's order) at the
// slide's aspect: the office centres the slide in a window as wide as the display. Returns the
// one line to print when there is no display N.
std::optional<QString> resolveDisplay(StartRequest& request, const QList<QRect>& displays);

// The display numbers saved in the file, when its first non-blank line holds three numbers.
std::optional<show::frmQvr::Placement> savedPlacement(const QString& numbersFile);

} // namespace app
