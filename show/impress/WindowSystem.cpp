#include "show/impress/WindowSystem.h"

#include <algorithm>
#include <mutex>
#include <vector>
#include <X11/extensions/Xinerama.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

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

// A property of the window that is a list of 32-bit items (atoms, windows); empty when missing.
std::vector<unsigned long> listProperty(Display* display, Window window, const char* name,
                                        Atom type) {
    Atom actualType = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long left = 0;
    unsigned char* data = nullptr;
    std::vector<unsigned long> result;
    if (XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 1 << 16, False,
                           type, &actualType, &format, &count, &left, &data) == Success &&
        data && format == 32) {
        const auto* items = reinterpret_cast<const unsigned long*>(data);
        result.assign(items, items + count);
    }
    if (data)
        XFree(data);
    return result;
}

bool contains(const std::vector<unsigned long>& list, unsigned long item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

// Whether the window manager takes restacking requests (_NET_RESTACK_WINDOW); a pager's request
// is honoured where a client's own raise may be refused.
bool managerRestacks(Display* display) {
    return contains(listProperty(display, DefaultRootWindow(display), "_NET_SUPPORTED", XA_ATOM),
                    XInternAtom(display, "_NET_RESTACK_WINDOW", False));
}

// The managed windows, bottom first; empty when the window manager keeps no such list.
std::vector<unsigned long> stacking(Display* display) {
    return listProperty(display, DefaultRootWindow(display), "_NET_CLIENT_LIST_STACKING",
                        XA_WINDOW);
}

// Whether the window asks to be kept above others (_NET_WM_STATE_ABOVE), as the control window
// does: no raise of another window goes over it.
bool keptAbove(Display* display, Window window) {
    return contains(listProperty(display, window, "_NET_WM_STATE", XA_ATOM),
                    XInternAtom(display, "_NET_WM_STATE_ABOVE", False));
}

// The window's rectangle on the screen while it is shown, else an empty one.
QRect shownRect(Display* display, Window window) {
    XWindowAttributes attributes;
    int x = 0;
    int y = 0;
    Window child = 0;
    if (!XGetWindowAttributes(display, window, &attributes) || attributes.map_state != IsViewable ||
        !XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child))
        return {};
    return {x, y, attributes.width, attributes.height};
}

// The process that made the window, as the window says; 0 if it does not say.
unsigned long pidOf(Display* display, Window window) {
    const std::vector<unsigned long> pid =
        listProperty(display, window, "_NET_WM_PID", XA_CARDINAL);
    return pid.empty() ? 0UL : pid.front();
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

void raise(WindowId window, WindowId below) {
    if (!window)
        return;
    Connection::get().use([window, below](Display* display) {
        static const bool restacks = managerRestacks(display);
        const auto raiseOne = [display](Window window) {
            if (!restacks) {
                XRaiseWindow(display, window);
                return;
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
        };
        // Window managers (openbox) take "below this sibling" for "at the bottom": the window
        // below goes on top first, then the window over it.
        if (below)
            raiseOne(below);
        raiseOne(window);
        return true;
    });
}

std::optional<bool> inFront(WindowId window, WindowId below) {
    return Connection::get().use([window, below](Display* display) -> std::optional<bool> {
        const std::vector<unsigned long> stack = stacking(display);
        if (stack.empty())
            return std::nullopt;
        const auto at = std::find(stack.begin(), stack.end(), Window(window));
        const QRect area = shownRect(display, Window(window));
        if (at == stack.end() || area.isEmpty())
            return false;
        if (below && !shownRect(display, Window(below)).isEmpty() &&
            (at == stack.begin() || *(at - 1) != Window(below)))
            return false;
        return std::none_of(at + 1, stack.end(), [&](unsigned long above) {
            return shownRect(display, above).intersects(area) && !keptAbove(display, above);
        });
    });
}

bool shown(WindowId window) {
    return Connection::get().use([window](Display* display) {
        XWindowAttributes attributes;
        return XGetWindowAttributes(display, window, &attributes) &&
               attributes.map_state == IsViewable;
    });
}

WindowId makeBackdrop() {
    return Connection::get().use([](Display* display) -> WindowId {
        const int screen = DefaultScreen(display);
        XSetWindowAttributes attributes{};
        attributes.background_pixel = BlackPixel(display, screen);
        const Window window =
            XCreateWindow(display, RootWindow(display, screen), 0, 0, 1, 1, 0, CopyFromParent,
                          InputOutput, CopyFromParent, CWBackPixel, &attributes);
        XStoreName(display, window, "Quenvar backdrop");
        const auto set = [display, window](const char* name, Atom type, const long* values,
                                           int count) {
            XChangeProperty(display, window, XInternAtom(display, name, False), type, 32,
                            PropModeReplace, reinterpret_cast<const unsigned char*>(values), count);
        };
        // Motif's hints: decorations given (none).
        const long noFrame[] = {2, 0, 0, 0, 0};
        set("_MOTIF_WM_HINTS", XInternAtom(display, "_MOTIF_WM_HINTS", False), noFrame, 5);
        // A user time of 0: not focused as it is mapped.
        const long never[] = {0};
        set("_NET_WM_USER_TIME", XA_CARDINAL, never, 1);
        const long skip[] = {long(XInternAtom(display, "_NET_WM_STATE_SKIP_TASKBAR", False)),
                             long(XInternAtom(display, "_NET_WM_STATE_SKIP_PAGER", False))};
        set("_NET_WM_STATE", XA_ATOM, skip, 2);
        XWMHints hints{};
        hints.flags = InputHint;
        hints.input = False;
        XSetWMHints(display, window, &hints);
        return window;
    });
}

void keepContents(WindowId window) {
    if (!window)
        return;
    Connection::get().use([window](Display* display) {
        XSetWindowAttributes keep{};
        keep.backing_store = WhenMapped;
        keep.background_pixel = BlackPixel(display, DefaultScreen(display));
        XChangeWindowAttributes(display, window, CWBackingStore | CWBackPixel, &keep);
        return true;
    });
}

void moveBackdrop(WindowId backdrop, const QRect& rect) {
    if (!backdrop || rect.isEmpty())
        return;
    Connection::get().use([backdrop, rect](Display* display) {
        // Where it is put, not where the window manager would place a new window.
        XSizeHints hints{};
        hints.flags = USPosition | USSize | PPosition | PSize;
        hints.x = rect.x();
        hints.y = rect.y();
        hints.width = rect.width();
        hints.height = rect.height();
        XSetWMNormalHints(display, backdrop, &hints);
        XMoveResizeWindow(display, backdrop, rect.x(), rect.y(), unsigned(rect.width()),
                          unsigned(rect.height()));
        return true;
    });
}

void showBackdrop(WindowId backdrop, const QRect& rect) {
    if (rect.isEmpty()) {
        hideBackdrop(backdrop);
        return;
    }
    moveBackdrop(backdrop, rect);
    Connection::get().use([backdrop](Display* display) {
        XMapWindow(display, backdrop);
        return true;
    });
}

void hideBackdrop(WindowId backdrop) {
    if (!backdrop)
        return;
    Connection::get().use([backdrop](Display* display) {
        XWithdrawWindow(display, backdrop, DefaultScreen(display));
        return true;
    });
}

unsigned long windowPid(WindowId window) {
    return Connection::get().use([window](Display* display) { return pidOf(display, window); });
}

void dropBackdrop(WindowId backdrop, WindowId showWindow, unsigned long showPid) {
    if (!backdrop)
        return;
    Connection::get().use([backdrop, showWindow, showPid](Display* display) {
        XWindowAttributes attributes;
        if (!showWindow || !XGetWindowAttributes(display, showWindow, &attributes) ||
            pidOf(display, showWindow) != showPid)
            XDestroyWindow(display, backdrop);
        return true;
    });
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
