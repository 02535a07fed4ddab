// The two calls the control window makes on the desktop itself: keeping a window above all other
// windows, and opening an address in the desktop's default handler (the maker's web page from the
// link label). Kept here, at the top of the program, so that the window code below only sees
// functions handed to it and tests can hand it others.
#pragma once

class QUrl;
class QWidget;

namespace Module1 {

// Keeps window above every window that is not itself kept on top. Call before the window is first
// shown, so that it is on top from its first moment; the position and size are left as they are.
void makeTopmost(QWidget* window);

// Opens address in the desktop's default handler; a failure is not reported.
void openAddress(const QUrl& address);

} // namespace Module1
