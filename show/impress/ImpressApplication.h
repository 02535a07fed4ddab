// The production presentation program: LibreOffice Impress, driven over UNO. The control window
// knows only the interface in show/PowerPoint.h; start-up maps "Powerpoint.Application" to this.
#pragma once

#include "show/PowerPoint.h"

#include <functional>
#include <memory>

namespace show::impress {

// The show window's title begins with this, followed by the file's name.
inline const QString kShowWindowTitlePrefix = QStringLiteral("Quenvar Show - ");

// Connects a new application object to the office of this run, starting the office first when it
// is not running (or has died). Throws platform::Failure when it cannot.
std::shared_ptr<PpApplication> createImpressApplication();

// Starts the office in the background when none of ours is running, and has it read a presentation
// of its own, hidden, so that the next Load Show finds it as ready as a later one would. Returns at
// once; a failure is left for that Load Show to meet and report.
void prepareImpress();
// Ends the office that prepareImpress started, unless a show has run on it: closing Quenvar with
// no show ever loaded leaves no office behind. Running shows are never touched.
void releaseUnusedImpress();

// For tests: whether the shows started from now on tell of their moves as they make them (the
// default). Without, the control window learns of a move made at the show window only by asking.
void setSlideListening(bool listening);

// While a call into the office is waited for, the waiting thread runs pass about every 15 ms, so
// that the windows keep painting (start-up installs it, on the user-interface thread). A call made
// from inside the pass fails at once instead of waiting inside the wait.
void setWaitPass(std::function<void()> pass);

} // namespace show::impress
