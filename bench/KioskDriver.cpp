#include "KioskDriver.h"

#include "Figures.h"

#include <fstream>
#include <stdexcept>
#include <thread>
#include <X11/keysym.h>
#include <X11/XKBlib.h>
#include <X11/Xlib.h>

namespace bench {

using namespace e2e;

namespace {

const QRect kSlideNumInside(40, 122, 40, 31); // txtSlideNum without its frame
const QString kControlTitle = QStringLiteral("Quenvar-Dual Monitor");
const QString kDialogTitle = QStringLiteral("Load PowerPoint Presentation");
const QString kMessageBoxTitle = QStringLiteral("Quenvar");
// The middle of the second display, where the show is placed by default.
constexpr QPoint kProjector(1536, 384);
// Somewhere on the first display that no window covers, out of the way of hover effects.
constexpr QPoint kPointerRest(4, 760);

// Types printable ASCII, with Shift where the keyboard map needs it.
void type(const std::string& text) {
    for (const char c : text) {
        const KeySym keysym = static_cast<unsigned char>(c); // printable ASCII is its own keysym
        const KeyCode code = XKeysymToKeycode(connection(), keysym);
        const bool shifted = XkbKeycodeToKeysym(connection(), code, 0, 0) != keysym &&
                             XkbKeycodeToKeysym(connection(), code, 0, 1) == keysym;
        press(keysym, std::vector<unsigned long>(shifted ? 1 : 0, XK_Shift_L));
        std::this_thread::sleep_for(5ms);
    }
}

// Whether the window is on the screen; one that has gone is not.
bool mapped(unsigned long window) {
    XWindowAttributes attributes{};
    return XGetWindowAttributes(connection(), window, &attributes) &&
           attributes.map_state == IsViewable;
}

// Asked of the server once: a ping goes out every 10 ms.
Atom pingAtom() {
    static const Atom atom = XInternAtom(connection(), "_NET_WM_PING", False);
    return atom;
}

// Sends a _NET_WM_PING to the window; its program answers from its event loop.
void ping(unsigned long window, unsigned long serial) {
    // The window manager's answers come back to the root window, for these masks; asked for on
    // the first ping only, so that a program that never pings queues no events it never reads.
    static const bool selected = [] {
        XSelectInput(connection(), DefaultRootWindow(connection()),
                     SubstructureNotifyMask | StructureNotifyMask);
        return true;
    }();
    Q_UNUSED(selected);
    sendMessage(window, NoEventMask, window, "WM_PROTOCOLS",
                {long(pingAtom()), long(serial), long(window)});
}

// The serials of the pings answered since the last call.
std::vector<unsigned long> pingAnswers() {
    std::vector<unsigned long> result;
    while (XPending(connection())) {
        XEvent event;
        XNextEvent(connection(), &event);
        if (event.type == ClientMessage &&
            event.xclient.window == DefaultRootWindow(connection()) &&
            static_cast<Atom>(event.xclient.data.l[0]) == pingAtom())
            result.push_back(static_cast<unsigned long>(event.xclient.data.l[1]));
    }
    return result;
}

} // namespace

int Deck::slideOf(const QColor& colour) const {
    for (size_t i = 0; i < colours.size(); ++i)
        if (sameColour(colour, colours[i]))
            return int(i) + 1;
    return 0;
}

Deck readDeck(const std::string& path) {
    Deck deck{path, {}};
    const std::string colours = path.substr(0, path.rfind('.')) + ".colours";
    std::ifstream in(colours);
    std::string line;
    while (std::getline(in, line))
        if (line.size() == 7 && line[0] == '#')
            deck.colours.push_back(QColor(QString::fromStdString(line)));
    if (deck.colours.empty())
        throw std::runtime_error("no slide colours in " + colours);
    return deck;
}

unsigned long Pinger::s_serial = 0;

Pinger::Pinger(unsigned long window) : m_window(window), m_firstSerial(s_serial + 1) {}

void Pinger::step() {
    const auto now = Clock::now();
    if (now - m_lastSent >= 10ms) {
        ping(m_window, ++s_serial);
        m_lastSent = now;
    }
    for (unsigned long serial : pingAnswers())
        if (serial >= m_firstSerial)
            m_answers.push_back(Clock::now());
}

void Pinger::run(std::chrono::milliseconds duration) {
    const auto until = Clock::now() + duration;
    while (Clock::now() < until) {
        step();
        std::this_thread::sleep_for(1ms);
    }
}

std::optional<Clock::time_point> Pinger::answerAfter(Clock::time_point moment) const {
    for (const auto& answer : m_answers)
        if (answer > moment)
            return answer;
    return std::nullopt;
}

double Pinger::longestSilenceMs(Clock::time_point from, Clock::time_point to) const {
    double longest = 0;
    Clock::time_point last = from;
    for (const auto& answer : m_answers) {
        if (answer <= from || answer > to)
            continue;
        longest = std::max(longest, Ms(answer - last).count());
        last = answer;
    }
    return std::max(longest, Ms(to - last).count());
}

std::string Pinger::silences(Clock::time_point from, Clock::time_point to) const {
    std::string result;
    Clock::time_point last = from;
    auto add = [&](Clock::time_point until) {
        if (until - last > 100ms)
            result += format(" %.0f+%.0f", Ms(last - from).count(), Ms(until - last).count());
    };
    for (const auto& answer : m_answers) {
        if (answer <= from || answer > to)
            continue;
        add(answer);
        last = answer;
    }
    add(to);
    return result.empty() ? " none" : result;
}

KioskDriver::KioskDriver() {
    const std::optional<Client> control = waitForClient(kControlTitle, 60s);
    if (!control)
        throw std::runtime_error("the control window \"" + kControlTitle.toStdString() +
                                 "\" did not appear within 60 s");
    m_control = control->id;
    m_origin = control->rect;
    noteMessageBoxes();
    m_boxesAtStart = m_boxes.size();
}

void KioskDriver::typeInto(int boxX, int boxY, const std::string& text) {
    activate(m_control, 2s);
    click(m_origin.topLeft() + QPoint(boxX, boxY));
    std::this_thread::sleep_for(100ms);
    press(XK_a, {XK_Control_L});
    type(text);
    moveTo(kPointerRest);
    std::this_thread::sleep_for(100ms);
}

KioskDriver::Load KioskDriver::loadShow(const Deck& deck, std::chrono::milliseconds dialogWait) {
    Load result;
    activate(m_control, 2s);
    std::this_thread::sleep_for(200ms);
    press(XK_l, {XK_Alt_L});
    const std::optional<Client> dialog = waitForClient(kDialogTitle, 20s);
    if (!dialog) {
        note("the open-file dialog did not appear within 20 s of Alt+L");
        return result;
    }
    std::this_thread::sleep_for(dialogWait);
    activate(dialog->id, 2s);
    type(deck.path);
    // The file name box's completer pops up as the path is typed; let it settle.
    std::this_thread::sleep_for(300ms);
    Pinger pinger(m_control);
    const Clock::time_point enter = press(XK_Return);
    const auto until = enter + 180s;
    std::optional<Clock::time_point> shown;
    for (int step = 0; Clock::now() < until; ++step) {
        pinger.step();
        if (result.dialogGoneMs < 0 && step % 10 == 0 && !mapped(dialog->id))
            result.dialogGoneMs = Ms(Clock::now() - enter).count();
        if (!shown && sameColour(pixelAt(kProjector), deck.colours[0]))
            shown = Clock::now();
        if (shown && pinger.answerAfter(*shown))
            break;
        if (step % 500 == 0 && noteMessageBoxes())
            note("a message box appeared during Load Show");
        std::this_thread::sleep_for(1ms);
    }
    if (!shown) {
        note("the deck's first slide did not reach the projector within 180 s of Enter" +
             std::string(waitForClient(kDialogTitle) ? " (the dialog is still open)" : ""));
        return result;
    }
    result.pixelsMs = Ms(*shown - enter).count();
    const auto answered = pinger.answerAfter(*shown);
    const auto end = answered ? *answered : Clock::now();
    result.silenceMs = pinger.longestSilenceMs(enter, end);
    result.silences = pinger.silences(enter, end);
    if (answered)
        result.answeredAfterMs = Ms(*answered - enter).count();
    return result;
}

double KioskDriver::idleSilenceMs(std::chrono::milliseconds duration) {
    Pinger pinger(m_control);
    const auto from = Clock::now();
    pinger.run(duration);
    return pinger.longestSilenceMs(from + 50ms, Clock::now());
}

int KioskDriver::slideOnProjector(const Deck& deck) {
    return deck.slideOf(pixelAt(kProjector));
}

std::optional<Clock::time_point> KioskDriver::waitForSlide(const Deck& deck, int slide,
                                                           std::chrono::milliseconds timeout) {
    const auto until = Clock::now() + timeout;
    while (Clock::now() < until) {
        if (sameColour(pixelAt(kProjector), deck.colours[size_t(slide - 1)]))
            return Clock::now();
        std::this_thread::sleep_for(1ms);
    }
    return std::nullopt;
}

unsigned long KioskDriver::showWindow() {
    const QList<Client> all = clients();
    for (auto client = all.rbegin(); client != all.rend(); ++client)
        if (client->shown && client->id != m_control && client->rect.contains(kProjector))
            return client->id;
    return 0;
}

QImage KioskDriver::slideNumBox() {
    return grab(kSlideNumInside.translated(m_origin.topLeft()));
}

bool KioskDriver::noteMessageBoxes() {
    bool added = false;
    for (const Client& client : clients())
        if (client.name == kMessageBoxTitle && client.shown)
            added |= m_boxes.insert(client.id).second;
    return added;
}

} // namespace bench
