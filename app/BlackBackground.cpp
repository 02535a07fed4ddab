#include "app/BlackBackground.h"

#include <QGuiApplication>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace app {

namespace {

void blackenTree(Display* display, Window window, unsigned long black) {
    XSetWindowBackground(display, window, black);
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &count))
        return;
    for (unsigned int i = 0; i < count; ++i)
        blackenTree(display, children[i], black);
    if (children)
        XFree(children);
}

QString title(Display* display, Window window) {
    XTextProperty property{};
    QString result;
    if (XGetWMName(display, window, &property) && property.value) {
        result = QString::fromUtf8(reinterpret_cast<const char*>(property.value),
                                   static_cast<int>(property.nitems));
        XFree(property.value);
    }
    return result;
}

} // namespace

void blackenBackgrounds(const QString& titlePrefix) {
    const auto* x11 =
        qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (!display)
        return;
    const Window root = DefaultRootWindow(display);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, root, XInternAtom(display, "_NET_CLIENT_LIST", False), 0,
                           1 << 16, False, XA_WINDOW, &type, &format, &count, &after,
                           &data) != Success ||
        !data)
        return;
    const auto* clients = reinterpret_cast<const Window*>(data);
    const unsigned long black = BlackPixel(display, DefaultScreen(display));
    for (unsigned long i = 0; i < count; ++i)
        if (title(display, clients[i]).startsWith(titlePrefix))
            blackenTree(display, clients[i], black);
    XFree(data);
    XFlush(display);
}

} // namespace app
