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

} // namespace

QString deck(const QString& name) {
    return qEnvironmentVariable("QUENVAR_E2E_DIR") + QLatin1Char('/') + name;
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

bool shows(const QColor& colour, QPoint point) {
    QColor seen;
    poll(10s, [&] { return sameColour(seen = pixelAt(point), colour); });
    if (!sameColour(seen, colour))
        qWarning("%d,%d is %s, not %s", point.x(), point.y(), qPrintable(seen.name()),
                 qPrintable(colour.name()));
    return sameColour(seen, colour);
}

QList<Client> clients() {
    QList<Client> result;
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display(), DefaultRootWindow(display()),
                           XInternAtom(display(), "_NET_CLIENT_LIST_STACKING", False), 0, 4096,
                           False, XA_WINDOW, &type, &format, &count, &after, &data) != Success)
        return result;
    for (unsigned long i = 0; i < count; ++i) {
        const Window window = reinterpret_cast<Window*>(data)[i];
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
        XTranslateCoordinates(display(), window, attributes.root, 0, 0, &x, &y, &child);
        result.append({names > 0 ? QString::fromUtf8(name[0]) : QString(),
                       QRect(x, y, attributes.width, attributes.height),
                       attributes.map_state == IsViewable, window});
        if (name)
            XFreeStringList(name);
        XFree(text.value);
    }
    XFree(data);
    return result;
}

namespace {

std::optional<Client> topmost(const QString& part) {
    const QList<Client> all = clients();
    for (auto client = all.rbegin(); client != all.rend(); ++client)
        if (client->shown && client->name.contains(part))
            return *client;
    return std::nullopt;
}

} // namespace

std::optional<QRect> windowRect(const QString& part) {
    const auto client = topmost(part);
    return client ? std::optional(client->rect) : std::nullopt;
}

std::optional<QRect> waitForWindowRect(const QString& part, const QRect& wanted) {
    std::optional<QRect> seen;
    poll(10s, [&] { return (seen = windowRect(part)) && *seen == wanted; });
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

void pressKey(const char* name, bool alt) {
    const KeyCode key = XKeysymToKeycode(display(), XStringToKeysym(name));
    const KeyCode altKey = alt ? XKeysymToKeycode(display(), XStringToKeysym("Alt_L")) : 0;
    for (auto [code, down] : {std::pair(altKey, 1), {key, 1}, {key, 0}, {altKey, 0}})
        if (code)
            XTestFakeKeyEvent(display(), code, down, 0);
    XSync(display(), False);
}

void click(QPoint point) {
    XTestFakeMotionEvent(display(), -1, point.x(), point.y(), 0);
    XTestFakeButtonEvent(display(), 1, True, 0);
    XTestFakeButtonEvent(display(), 1, False, 0);
    XSync(display(), False);
}

void minimize(unsigned long window) {
    // The ICCCM's request to the window manager: WM_CHANGE_STATE IconicState, to the root.
    XIconifyWindow(display(), window, DefaultScreen(display()));
    XSync(display(), False);
}

QList<qint64> officePids() {
    QList<qint64> result;
    const QByteArray dir = qgetenv("QUENVAR_E2E_DIR");
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile file(QStringLiteral("/proc/%1/cmdline").arg(entry));
        if (entry.toLongLong() <= 0 || !file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray command = file.readAll();
        if (command.contains("soffice.bin") && command.contains(dir) &&
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
    const QByteArray ours = "DISPLAY=" + qgetenv("DISPLAY") + '\0';
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile command(QStringLiteral("/proc/%1/comm").arg(entry));
        QFile environment(QStringLiteral("/proc/%1/environ").arg(entry));
        if (entry.toLongLong() > 0 && command.open(QIODevice::ReadOnly) &&
            command.readAll().trimmed() == "openbox" && environment.open(QIODevice::ReadOnly) &&
            ('\0' + environment.readAll()).contains('\0' + ours))
            ::kill(static_cast<pid_t>(entry.toLongLong()), signal);
    }
}

} // namespace e2e
