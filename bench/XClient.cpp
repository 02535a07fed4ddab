#include "XClient.h"

#include <cstdlib>
#include <stdexcept>
#include <thread>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <X11/Xatom.h>
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace bench {

namespace {

// A BadWindow from a window that closed between listing and asking is expected, not fatal.
int ignoreErrors(Display*, XErrorEvent*) {
    return 0;
}

std::vector<unsigned long> windowList(Display* display, Window root, Atom property) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::vector<unsigned long> result;
    if (XGetWindowProperty(display, root, property, 0, 4096, False, XA_WINDOW, &type, &format,
                           &count, &after, &data) == Success &&
        data && format == 32) {
        const auto* windows = reinterpret_cast<const unsigned long*>(data);
        result.assign(windows, windows + count);
    }
    if (data)
        XFree(data);
    return result;
}

} // namespace

bool sameColour(Rgb a, Rgb b) {
    for (int shift : {0, 8, 16})
        if (std::abs(int((a >> shift) & 0xff) - int((b >> shift) & 0xff)) > 24)
            return false;
    return true;
}

XClient::XClient() {
    m_display = XOpenDisplay(nullptr);
    if (!m_display)
        throw std::runtime_error("cannot open the X display (is DISPLAY set?)");
    int event = 0, error = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(m_display, &event, &error, &major, &minor))
        throw std::runtime_error("the X server has no XTest extension");
    XSetErrorHandler(ignoreErrors);
    m_root = DefaultRootWindow(m_display);
    // Answers to pings are sent to the root window for these masks.
    XSelectInput(m_display, m_root, SubstructureNotifyMask | StructureNotifyMask);
}

XClient::~XClient() {
    XCloseDisplay(m_display);
}

unsigned long XClient::atom(const char* name) {
    return XInternAtom(m_display, name, False);
}

Rgb XClient::pixel(int x, int y) {
    const std::vector<Rgb> one = grab({x, y, 1, 1});
    return one.empty() ? 0 : one.front();
}

std::vector<Rgb> XClient::grab(const Rect& rect) {
    std::vector<Rgb> result;
    XImage* image = XGetImage(m_display, m_root, rect.x, rect.y, unsigned(rect.width),
                              unsigned(rect.height), AllPlanes, ZPixmap);
    if (!image)
        return result;
    result.reserve(size_t(rect.width) * size_t(rect.height));
    for (int y = 0; y < rect.height; ++y)
        for (int x = 0; x < rect.width; ++x)
            result.push_back(Rgb(XGetPixel(image, x, y) & 0xffffff));
    XDestroyImage(image);
    return result;
}

std::vector<unsigned long> XClient::clients() {
    return windowList(m_display, m_root, atom("_NET_CLIENT_LIST_STACKING"));
}

std::string XClient::title(unsigned long window) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string result;
    if (XGetWindowProperty(m_display, window, atom("_NET_WM_NAME"), 0, 1024, False,
                           atom("UTF8_STRING"), &type, &format, &count, &after, &data) == Success &&
        data && format == 8)
        result.assign(reinterpret_cast<const char*>(data), count);
    if (data)
        XFree(data);
    if (result.empty()) {
        char* name = nullptr;
        if (XFetchName(m_display, window, &name) && name) {
            result = name;
            XFree(name);
        }
    }
    return result;
}

std::optional<Rect> XClient::rect(unsigned long window) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(m_display, window, &attributes) || attributes.map_state != IsViewable)
        return std::nullopt;
    int x = 0, y = 0;
    Window child = 0;
    if (!XTranslateCoordinates(m_display, window, m_root, 0, 0, &x, &y, &child))
        return std::nullopt;
    return Rect{x, y, attributes.width, attributes.height};
}

unsigned long XClient::findClient(const std::string& wanted) {
    for (unsigned long window : clients())
        if (title(window) == wanted && rect(window))
            return window;
    return 0;
}

unsigned long XClient::waitForClient(const std::string& wanted, std::chrono::milliseconds timeout) {
    const auto until = Clock::now() + timeout;
    for (;;) {
        if (const unsigned long window = findClient(wanted))
            return window;
        if (Clock::now() >= until)
            return 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

unsigned long XClient::clientAt(int x, int y, unsigned long except) {
    const std::vector<unsigned long> stack = clients();
    for (auto it = stack.rbegin(); it != stack.rend(); ++it) {
        if (*it == except)
            continue;
        if (const std::optional<Rect> area = rect(*it); area && area->contains(x, y))
            return *it;
    }
    return 0;
}

bool XClient::activate(unsigned long window, std::chrono::milliseconds timeout) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = atom("_NET_ACTIVE_WINDOW");
    event.xclient.format = 32;
    event.xclient.data.l[0] = 2; // from a pager: the window manager does as it is told
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(m_display, m_root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XFlush(m_display);
    const auto until = Clock::now() + timeout;
    for (;;) {
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(m_display, &focus, &revert);
        // The focus may rest on the window itself or on a window inside it.
        for (Window w = focus; w && w != m_root && w != PointerRoot;) {
            if (w == window)
                return true;
            Window root = 0, parent = 0;
            Window* children = nullptr;
            unsigned count = 0;
            if (!XQueryTree(m_display, w, &root, &parent, &children, &count))
                break;
            if (children)
                XFree(children);
            w = parent;
        }
        if (Clock::now() >= until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void XClient::key(unsigned long keysym, bool down) {
    XTestFakeKeyEvent(m_display, XKeysymToKeycode(m_display, keysym), down, CurrentTime);
}

Clock::time_point XClient::press(unsigned long keysym,
                                 const std::vector<unsigned long>& modifiers) {
    for (unsigned long modifier : modifiers)
        key(modifier, true);
    XSync(m_display, False);
    const Clock::time_point down = Clock::now();
    key(keysym, true);
    key(keysym, false);
    for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it)
        key(*it, false);
    XSync(m_display, False);
    return down;
}

void XClient::type(const std::string& text) {
    for (const char c : text) {
        // Printable ASCII characters are their own keysyms.
        const KeySym keysym = static_cast<unsigned char>(c);
        const KeyCode code = XKeysymToKeycode(m_display, keysym);
        const bool shifted = XkbKeycodeToKeysym(m_display, code, 0, 0) != keysym &&
                             XkbKeycodeToKeysym(m_display, code, 0, 1) == keysym;
        press(keysym,
              shifted ? std::vector<unsigned long>{XK_Shift_L} : std::vector<unsigned long>{});
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void XClient::moveTo(int x, int y) {
    XTestFakeMotionEvent(m_display, -1, x, y, CurrentTime);
    XSync(m_display, False);
}

void XClient::click(int x, int y) {
    moveTo(x, y);
    XTestFakeButtonEvent(m_display, 1, True, CurrentTime);
    XTestFakeButtonEvent(m_display, 1, False, CurrentTime);
    XSync(m_display, False);
}

void XClient::ping(unsigned long window, unsigned long serial) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = atom("WM_PROTOCOLS");
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(atom("_NET_WM_PING"));
    event.xclient.data.l[1] = long(serial);
    event.xclient.data.l[2] = long(window);
    XSendEvent(m_display, window, False, NoEventMask, &event);
    XFlush(m_display);
}

std::vector<unsigned long> XClient::pingAnswers() {
    std::vector<unsigned long> result;
    const unsigned long pingAtom = atom("_NET_WM_PING");
    while (XPending(m_display)) {
        XEvent event;
        XNextEvent(m_display, &event);
        if (event.type == ClientMessage && event.xclient.window == m_root &&
            static_cast<unsigned long>(event.xclient.data.l[0]) == pingAtom)
            result.push_back(static_cast<unsigned long>(event.xclient.data.l[1]));
    }
    return result;
}

} // namespace bench
