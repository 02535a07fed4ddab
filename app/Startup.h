// Start-up: the one place that knows which presentation program is installed and which real
// dialogs, boxes and desktop calls the control window gets. The executable's main() only makes the
// application object and runs its event loop around this.
#pragma once

#include "platform/CommonDialog.h"
#include "platform/Forms.h"
#include "platform/MessageBox.h"
#include "show/frmQvr.h"

#include <memory>
#include <QProcessEnvironment>
#include <vector>

namespace app {

// Quenvar keeps its window on top, and the office places the show by position: X11 allows both,
// Wayland neither. Where an X server is at hand (XWayland, in a Wayland session), adds
// "-platform xcb" to the arguments, unless the user chose a platform (argument or
// QT_QPA_PLATFORM).
void preferX11(std::vector<char*>& arguments, const QProcessEnvironment& environment);

// Where Qt would start on X11 and no X server answers at DISPLAY, the one line to say so before
// exiting (Qt itself aborts with a core dump); empty otherwise. A platform the user chose is left
// to Qt.
QString missingXServer(const std::vector<char*>& arguments, const QProcessEnvironment& environment);

// Maps a programmatic identifier to the installed presentation program: "Powerpoint.Application"
// is LibreOffice Impress here. Throws platform::Failure (source "Quenvar") for any other.
std::shared_ptr<show::PpApplication> createObject(const QString& progId);

// The real services of a run, living as long as the control window.
struct Services {
    platform::QtFilePrompt filePrompt;
    platform::QtMessageBox messageBox;
    platform::Forms forms;
};

// Where the sample presentations lie: share/quenvar/examples beside the program's bin folder, in
// the build tree as where it is installed.
QStringList exampleFolders();

// The seams of the control window filled with the real services and desktop calls.
show::frmQvr::Seams productionSeams(Services& services);

// Lets window events run while the line reader reads and while a press waits for the office.
void installEventPasses();

// Creates the control window without showing it (it makes itself topmost then), then shows it
// modeless, with the event passes installed.
std::unique_ptr<show::frmQvr> startUp(show::frmQvr::Seams seams);

} // namespace app
