#include "XScreen.h"

#include <csignal>
#include <QDir>
#include <QFile>
#include <QThread>
#include <X11/extensions/XTest.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace e2e {

namespace {

Display* display() {
    static Display* const connection = [] {
        // Windows come and go while they are looked at: an error about one that has gone since it
        // was listed is no failure (Xlib's own handler would end the program).
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        return XOpenDisplay(nullptr);
    }();
    return connection;
}

template <typename Done> void poll(std::chrono::milliseconds timeout, Done done) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (!done() && std::chrono::steady_clock::now() < until)
        QThread::msleep(20);
}

// The topmost viewable top-level window whose name contains part: the window manager's frames
// are the root's children, bottom first, with the named client window inside.
Window findWindow(Window parent, const QString& part, bool topLevel = true) {
    Window root = 0;
    Window ignored = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display(), parent, &root, &ignored, &children, &count))
        return 0;
    Window found = 0;
    for (unsigned i = count; i-- > 0 && !found;) {
        XWindowAttributes attributes;
        if (topLevel && (!XGetWindowAttributes(display(), children[i], &attributes) ||
                         attributes.map_state != IsViewable))
            continue;
        char* name = nullptr;
        if (XFetchName(display(), children[i], &name) && name) {
            if (QString::fromUtf8(name).contains(part))
                found = children[i];
            XFree(name);
        }
        if (!found)
            found = findWindow(children[i], part, false);
    }
    if (children)
        XFree(children);
    return found;
}

// Where a window stands on the screen.
QRect screenRect(Window window) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display(), window, &attributes))
        return {};
    int x = 0;
    int y = 0;
    Window child = 0;
    XTranslateCoordinates(display(), window, attributes.root, 0, 0, &x, &y, &child);
    return QRect(x, y, attributes.width, attributes.height);
}

} // namespace

QString workDir() {
    return qEnvironmentVariable("QUENVAR_E2E_DIR");
}

QString deck(const QString& name) {
    return workDir() + QLatin1Char('/') + name;
}

QColor pixelAt(QPoint point) {
    XImage* image = XGetImage(display(), DefaultRootWindow(display()), point.x(), point.y(), 1, 1,
                              AllPlanes, ZPixmap);
    if (!image)
        return {};
    const unsigned long pixel = XGetPixel(image, 0, 0);
    const QColor result((pixel & image->red_mask) >> 16, (pixel & image->green_mask) >> 8,
                        pixel & image->blue_mask);
    XDestroyImage(image);
    return result;
}

bool sameColour(const QColor& a, const QColor& b) {
    return a.isValid() && b.isValid() && std::abs(a.red() - b.red()) <= 24 &&
           std::abs(a.green() - b.green()) <= 24 && std::abs(a.blue() - b.blue()) <= 24;
}

QColor waitForColour(QPoint point, const QColor& colour, std::chrono::milliseconds timeout) {
    QColor seen;
    poll(timeout, [&] { return sameColour(seen = pixelAt(point), colour); });
    return seen;
}

QList<std::pair<QString, QRect>> shownWindows() {
    QList<std::pair<QString, QRect>> result;
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display(), DefaultRootWindow(display()),
                           XInternAtom(display(), "_NET_CLIENT_LIST", False), 0, 4096, False,
                           XA_WINDOW, &type, &format, &count, &after, &data) != Success)
        return result;
    for (unsigned long i = 0; i < count; ++i) {
        const Window window = reinterpret_cast<Window*>(data)[i];
        char* name = nullptr;
        XFetchName(display(), window, &name);
        result.append({QString::fromUtf8(name), screenRect(window)});
        XFree(name);
    }
    XFree(data);
    return result;
}

std::optional<QRect> windowRect(const QString& part) {
    const Window window = findWindow(DefaultRootWindow(display()), part);
    if (!window)
        return std::nullopt;
    return screenRect(window);
}

std::optional<QRect> waitForWindowRect(const QString& part, const QRect& wanted,
                                       std::chrono::milliseconds timeout) {
    std::optional<QRect> seen;
    poll(timeout, [&] { return (seen = windowRect(part)) && *seen == wanted; });
    return seen;
}

bool focusWindow(const QString& part) {
    const Window window = findWindow(DefaultRootWindow(display()), part);
    if (window) {
        XSetInputFocus(display(), window, RevertToParent, CurrentTime);
        XSync(display(), False);
    }
    return window;
}

void pressKey(const char* name, bool alt) {
    Display* const d = display();
    const KeyCode key = XKeysymToKeycode(d, XStringToKeysym(name));
    const KeyCode altKey = XKeysymToKeycode(d, XStringToKeysym("Alt_L"));
    if (alt)
        XTestFakeKeyEvent(d, altKey, True, 0);
    XTestFakeKeyEvent(d, key, True, 0);
    XTestFakeKeyEvent(d, key, False, 0);
    if (alt)
        XTestFakeKeyEvent(d, altKey, False, 0);
    XSync(d, False);
}

QList<qint64> officePids() {
    QList<qint64> result;
    const QString dir = workDir();
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (!number)
            continue;
        QFile file(QStringLiteral("/proc/%1/cmdline").arg(entry));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray command = file.readAll();
        if (command.contains("soffice.bin") && command.contains(dir.toLocal8Bit()) &&
            !command.contains("convert-profile"))
            result << pid;
    }
    return result;
}

void signalOffice(int signal) {
    for (qint64 pid : officePids())
        ::kill(static_cast<pid_t>(pid), signal);
}

QColor slideColour(int slide) {
    static const QColor colours[] = {QColor(0xff, 0, 0), QColor(0, 0xff, 0), QColor(0, 0, 0xff),
                                     QColor(0xff, 0xff, 0), QColor(0xff, 0, 0xff)};
    return slide >= 1 && slide <= 5 ? colours[slide - 1] : QColor();
}

QColor otherSlideColour(int slide) {
    static const QColor colours[] = {QColor(0, 0xff, 0xff), QColor(0xff, 0x80, 0),
                                     QColor(0xff, 0xff, 0xff)};
    return slide >= 1 && slide <= 3 ? colours[slide - 1] : QColor();
}

} // namespace e2e
