// What the backend asks of the X server itself, beside the office: where the displays are, bringing
// the show window forward without giving it the keyboard, who has the keyboard, and the black
// window under a show that leaves part of its display uncovered. The office
// runs on its plain X11 window system (OfficeProcess), on the display Quenvar runs on, and its UNO
// API can only raise a window by activating it, which takes the keyboard focus from the control
// window. Quenvar keeps one connection of its own for these few requests.
//
// Without an X server (DISPLAY unset or unreachable) every function does nothing: displays() is
// empty and the show is placed as asked.
#pragma once

#include <cstdint>
#include <optional>
#include <QList>
#include <QRect>

namespace show::impress::windowsystem {

using WindowId = uint64_t;

// The displays, in pixels: the monitors of the screen as Xinerama reports them, else the screen.
QList<QRect> displays();

// Brings the window forward above the other windows of its display, through the window manager,
// without focusing it, and then the window below (if any) directly under it. Returns at once: the
// request is sent, not waited for. A window the window manager has not put on the screen yet is
// not its to raise: see shown.
void raise(WindowId window, WindowId below = 0);
// Whether the window is on the screen now.
bool shown(WindowId window);
// Whether the window is in front: no shown window above it overlaps it, but for those kept above
// all others, which no raise could go over, and below, when shown, lies directly under it. Empty
// when the window manager keeps no stacking list.
std::optional<bool> inFront(WindowId window, WindowId below = 0);

// A black window of Quenvar's own, not yet on the screen: no frame, never the keyboard's, in no
// task bar. What the audience sees around a show narrower than its display, instead of the
// desktop or an older show: the X server paints it, whatever Quenvar is busy with.
WindowId makeBackdrop();
// Asks the X server to keep what is drawn in the window while it is mapped, also where other
// windows cover it: uncovered, it shows at once what its program drew, and the program's own
// repaints reach the screen whole, not first the background and then what goes on it. A server
// without backing store ignores that. What the program has not drawn yet, as the window grows, the
// server fills with black rather than the office's white.
void keepContents(WindowId window);
// Puts the backdrop over rect, on the screen (an empty rect takes it off); moveBackdrop only moves
// it, wherever it is; hideBackdrop takes it off the screen.
void showBackdrop(WindowId backdrop, const QRect& rect);
void moveBackdrop(WindowId backdrop, const QRect& rect);
void hideBackdrop(WindowId backdrop);
// The process that made the window, as the window says (_NET_WM_PID); 0 if it does not say.
unsigned long windowPid(WindowId window);
// Destroys the backdrop unless the show window it was made for is still there: the window of that
// number made by that process (a new office may be given the numbers of one that died).
void dropBackdrop(WindowId backdrop, WindowId showWindow, unsigned long showPid);

// The window that has the keyboard focus now (0 when none or unknown), and giving it back.
WindowId focus();
void setFocus(WindowId window);

} // namespace show::impress::windowsystem
