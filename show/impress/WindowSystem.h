// What the backend asks of the X server itself, beside the office: where the displays are, bringing
// the show window forward without giving it the keyboard, and who has the keyboard. The office
// runs on its plain X11 window system (OfficeProcess), on the display Quenvar runs on, and its UNO
// API can only raise a window by activating it, which takes the keyboard focus from the control
// window. Quenvar keeps one connection of its own for these few requests.
//
// Without an X server (DISPLAY unset or unreachable) every function does nothing: displays() is
// empty and the show is placed as asked.
#pragma once

#include <chrono>
#include <cstdint>
#include <QList>
#include <QRect>

namespace show::impress::windowsystem {

using WindowId = uint64_t;

// The displays, in pixels: the monitors of the screen as Xinerama reports them, else the screen.
QList<QRect> displays();

// Brings the window forward above the other windows of its display, through the window manager,
// without focusing it. Returns at once: the request is sent, not waited for. A window the window
// manager has not put on the screen yet is not its to raise: see waitUntilShown.
void raise(WindowId window);
// Waits until the window is on the screen, at most timeout; false if it is not by then.
bool waitUntilShown(WindowId window, std::chrono::milliseconds timeout);

// The window that has the keyboard focus now (0 when none or unknown), and giving it back.
WindowId focus();
void setFocus(WindowId window);

} // namespace show::impress::windowsystem
