#include "XScreen.h"

#include <algorithm>
#include <csignal>
#include <QDir>
#include <QFile>
#include <stdexcept>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace e2e {

namespace {

Display* display() {
    static Display* const connection = [] {
        Display* opened = XOpenDisplay(nullptr);
        if (!opened)
            throw std::runtime_error("cannot open the X display (is DISPLAY set?)");
        int event = 0, error = 0, major = 0, minor = 0;
        if (!XTestQueryExtension(opened, &event, &error, &major, &minor))
            throw std::runtime_error("the X server has no XTest extension");
        // Windows come and go while they are looked at: an error about one that has gone since it
        // was listed is no failure (Xlib's own handler would end the program).
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        return opened;
    }();
    return connection;
}

Window root() {
    return DefaultRootWindow(display());
}

Atom atom(const char* name) {
    return XInternAtom(display(), name, False);
}

// The window as it is now; a window that has gone reads as not shown.
Client describe(Window window) {
    XWindowAttributes attributes{};
    XGetWindowAttributes(display(), window, &attributes);
    // WM_NAME as text whatever its encoding: the office writes Latin-1 where it can.
    XTextProperty text{};
    char** name = nullptr;
    int names = 0;
    if (XGetWMName(display(), window, &text))
        Xutf8TextPropertyToTextList(display(), &text, &name, &names);
    int x = 0;
    int y = 0;
    Window child = 0;
    XTranslateCoordinates(display(), window, root(), 0, 0, &x, &y, &child);
    Client result{names > 0 ? QString::fromUtf8(name[0]) : QString(),
                  QRect(x, y, attributes.width, attributes.height),
                  attributes.map_state == IsViewable, window};
    if (name)
        XFreeStringList(name);
    XFree(text.value);
    return result;
}

template <typename Wanted> std::optional<Client> topmost(Wanted wanted) {
    const QList<Client> all = clients();
    for (auto client = all.rbegin(); client != all.rend(); ++client)
        if (client->shown && wanted(*client))
            return *client;
    return std::nullopt;
}

std::optional<Client> topmost(const QString& part) {
    return topmost([&](const Client& client) { return client.name.contains(part); });
}

void key(unsigned long keysym, bool down) {
    XTestFakeKeyEvent(display(), XKeysymToKeycode(display(), keysym), down, CurrentTime);
}

} // namespace

QString deck(const QString& name) {
    return qEnvironmentVariable("QUENVAR_E2E_DIR") + QLatin1Char('/') + name;
}

_XDisplay* connection() {
    return display();
}

void sendMessage(unsigned long target, long mask, unsigned long window, const char* type,
                 std::initializer_list<long> data) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = atom(type);
    event.xclient.format = 32;
    std::copy(data.begin(), data.end(), event.xclient.data.l);
    XSendEvent(display(), target, False, mask, &event);
    XFlush(display());
}

QColor pixelAt(QPoint point) {
    const QImage image = grab(QRect(point, QSize(1, 1)));
    return image.isNull() ? QColor() : image.pixelColor(0, 0);
}

QImage grab(const QRect& rect) {
    XImage* image = XGetImage(display(), root(), rect.x(), rect.y(), unsigned(rect.width()),
                              unsigned(rect.height()), AllPlanes, ZPixmap);
    if (!image)
        return {};
    QImage result(rect.size(), QImage::Format_RGB32);
    for (int y = 0; y < rect.height(); ++y)
        for (int x = 0; x < rect.width(); ++x)
            result.setPixel(x, y, 0xff000000 | (XGetPixel(image, x, y) & 0xffffff));
    XDestroyImage(image);
    return result;
}

bool sameColour(const QColor& a, const QColor& b) {
    return a.isValid() && b.isValid() && std::abs(a.red() - b.red()) <= 24 &&
           std::abs(a.green() - b.green()) <= 24 && std::abs(a.blue() - b.blue()) <= 24;
}

bool shows(const QColor& colour, QPoint point) {
    QColor seen;
    if (waitUntil(10s, [&] { return sameColour(seen = pixelAt(point), colour); }))
        return true;
    qWarning("%d,%d is %s, not %s", point.x(), point.y(), qPrintable(seen.name()),
             qPrintable(colour.name()));
    return false;
}

QList<Client> clients() {
    QList<Client> result;
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display(), root(), atom("_NET_CLIENT_LIST_STACKING"), 0, 4096, False,
                           XA_WINDOW, &type, &format, &count, &after, &data) != Success)
        return result;
    for (unsigned long i = 0; i < count; ++i)
        result.append(describe(reinterpret_cast<Window*>(data)[i]));
    XFree(data);
    return result;
}

std::optional<QRect> windowRect(const QString& part) {
    const auto client = topmost(part);
    return client ? std::optional(client->rect) : std::nullopt;
}

bool windowComesTo(const QString& part, const QRect& wanted) {
    std::optional<QRect> seen;
    if (waitUntil(10s, [&] { return (seen = windowRect(part)) && *seen == wanted; }))
        return true;
    const QRect r = seen.value_or(QRect());
    qWarning("%s is at %d,%d %dx%d", qPrintable(part), r.x(), r.y(), r.width(), r.height());
    return false;
}

std::optional<Client> waitForClient(const QString& name, std::chrono::milliseconds timeout) {
    std::optional<Client> seen;
    waitUntil(timeout, [&] {
        return (seen = topmost([&](const Client& client) { return client.name == name; }))
            .has_value();
    });
    return seen;
}

bool focusWindow(const QString& part) {
    const auto client = topmost(part);
    if (client) {
        XSetInputFocus(display(), client->id, RevertToParent, CurrentTime);
        XSync(display(), False);
    }
    return client.has_value();
}

bool activate(unsigned long window, std::chrono::milliseconds timeout) {
    // From a pager (2): the window manager does as it is told.
    sendMessage(root(), SubstructureRedirectMask | SubstructureNotifyMask, window,
                "_NET_ACTIVE_WINDOW", {2, CurrentTime});
    auto focused = [&] {
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(display(), &focus, &revert);
        // The focus may rest on the window itself or on a window inside it.
        for (Window w = focus; w && w != root() && w != PointerRoot;) {
            if (w == window)
                return true;
            Window top = 0, parent = 0;
            Window* children = nullptr;
            unsigned count = 0;
            if (!XQueryTree(display(), w, &top, &parent, &children, &count))
                break;
            if (children)
                XFree(children);
            w = parent;
        }
        return false;
    };
    return waitUntil(timeout, focused);
}

void pressKey(const char* name, bool alt) {
    press(XStringToKeysym(name), std::vector<unsigned long>(alt ? 1 : 0, XK_Alt_L));
}

std::chrono::steady_clock::time_point press(unsigned long keysym,
                                            const std::vector<unsigned long>& modifiers) {
    for (unsigned long modifier : modifiers)
        key(modifier, true);
    XSync(display(), False);
    const auto down = std::chrono::steady_clock::now();
    key(keysym, true);
    key(keysym, false);
    for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it)
        key(*it, false);
    XSync(display(), False);
    return down;
}

void moveTo(QPoint point) {
    XTestFakeMotionEvent(display(), -1, point.x(), point.y(), CurrentTime);
    XSync(display(), False);
}

void click(QPoint point) {
    moveTo(point);
    XTestFakeButtonEvent(display(), 1, True, CurrentTime);
    XTestFakeButtonEvent(display(), 1, False, CurrentTime);
    XSync(display(), False);
}

void minimize(unsigned long window) {
    // The ICCCM's request to the window manager: WM_CHANGE_STATE IconicState, to the root.
    XIconifyWindow(display(), window, DefaultScreen(display()));
    XSync(display(), False);
}

QList<qint64> officePids(const QByteArray& folder) {
    QList<qint64> result;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile file(QStringLiteral("/proc/%1/cmdline").arg(entry));
        if (entry.toLongLong() <= 0 || !file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray command = file.readAll();
        if (command.contains("soffice.bin") && command.contains(folder) &&
            !command.contains("convert-profile"))
            result << entry.toLongLong();
    }
    return result;
}

void signalOffice(int signal) {
    for (qint64 pid : officePids())
        ::kill(static_cast<pid_t>(pid), signal);
}

void signalWindowManager(int signal) {
    if (const int pid = qEnvironmentVariableIntValue("QUENVAR_E2E_WM_PID"); pid > 0)
        ::kill(pid_t(pid), signal);
}

} // namespace e2e
