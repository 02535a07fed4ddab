#include "show/impress/WindowSystem.h"

#include <mutex>
#include <thread>
#include <X11/extensions/Xinerama.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace show::impress::windowsystem {

namespace {

int ignoreError(Display*, XErrorEvent*) {
    return 0;
}

// The connection, opened on first use and kept for the run, with the lock that serialises its use.
// Xlib reports a failed request (a window that has gone meanwhile) to a handler that by default
// ends the process: each request here runs under a handler that ignores it.
class Connection {
public:
    static Connection& get() {
        // Never destroyed: the connection closes with the process.
        static Connection& connection = *new Connection;
        return connection;
    }

    template <typename Request> auto use(Request request) -> decltype(request(nullptr)) {
        std::lock_guard lock(m_mutex);
        if (!m_display)
            return {};
        const auto previous = XSetErrorHandler(ignoreError);
        auto result = request(m_display);
        XSync(m_display, False);
        XSetErrorHandler(previous);
        return result;
    }

private:
    Connection() : m_display(XOpenDisplay(nullptr)) {}

    std::mutex m_mutex;
    Display* const m_display;
};

// Whether the window manager takes restacking requests (_NET_RESTACK_WINDOW); a pager's request
// is honoured where a client's own raise may be refused.
bool managerRestacks(Display* display) {
    const Atom supported = XInternAtom(display, "_NET_SUPPORTED", False);
    const Atom restack = XInternAtom(display, "_NET_RESTACK_WINDOW", False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long left = 0;
    unsigned char* data = nullptr;
    bool result = false;
    if (XGetWindowProperty(display, DefaultRootWindow(display), supported, 0, 4096, False, XA_ATOM,
                           &type, &format, &count, &left, &data) == Success &&
        data && format == 32) {
        const auto* atoms = reinterpret_cast<const Atom*>(data);
        for (unsigned long i = 0; i < count && !result; ++i)
            result = atoms[i] == restack;
    }
    if (data)
        XFree(data);
    return result;
}

} // namespace

QList<QRect> displays() {
    return Connection::get().use([](Display* display) {
        QList<QRect> result;
        int count = 0;
        XineramaScreenInfo* screens =
            XineramaIsActive(display) ? XineramaQueryScreens(display, &count) : nullptr;
        for (int i = 0; i < count; ++i)
            result.append(
                QRect(screens[i].x_org, screens[i].y_org, screens[i].width, screens[i].height));
        if (screens)
            XFree(screens);
        if (result.isEmpty())
            result.append(QRect(0, 0, DisplayWidth(display, DefaultScreen(display)),
                                DisplayHeight(display, DefaultScreen(display))));
        return result;
    });
}

void raise(WindowId window) {
    if (!window)
        return;
    Connection::get().use([window](Display* display) {
        static const bool restacks = managerRestacks(display);
        if (!restacks) {
            XRaiseWindow(display, window);
            return true;
        }
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(display, "_NET_RESTACK_WINDOW", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = 2; // from a pager: the window manager does as asked
        event.xclient.data.l[1] = 0; // no sibling: above every other window of its layer
        event.xclient.data.l[2] = Above;
        XSendEvent(display, DefaultRootWindow(display), False,
                   SubstructureRedirectMask | SubstructureNotifyMask, &event);
        return true;
    });
}

bool waitUntilShown(WindowId window, std::chrono::milliseconds timeout) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const bool shown = Connection::get().use([window](Display* display) {
            XWindowAttributes attributes;
            return XGetWindowAttributes(display, window, &attributes) &&
                   attributes.map_state == IsViewable;
        });
        if (shown || std::chrono::steady_clock::now() >= until)
            return shown;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

WindowId focus() {
    return Connection::get().use([](Display* display) -> WindowId {
        Window window = 0;
        int revert = 0;
        XGetInputFocus(display, &window, &revert);
        return window == PointerRoot ? 0 : window;
    });
}

void setFocus(WindowId window) {
    if (!window)
        return;
    Connection::get().use([window](Display* display) {
        XSetInputFocus(display, window, RevertToParent, CurrentTime);
        return true;
    });
}

} // namespace show::impress::windowsystem
