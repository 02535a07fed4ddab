#include "KioskDriver.h"

#include "Figures.h"

#include <fstream>
#include <stdexcept>
#include <thread>
#include <X11/keysym.h>

namespace bench {

namespace {

using namespace std::chrono_literals;

constexpr Rect kSlideNumInside{40, 122, 40, 31}; // txtSlideNum without its frame
const std::string kControlTitle = "Quenvar-Dual Monitor";
const std::string kDialogTitle = "Load PowerPoint Presentation";
const std::string kMessageBoxTitle = "Quenvar";
// The middle of the second display, where the show is placed by default.
constexpr int kProjectorX = 1536, kProjectorY = 384;
// Somewhere on the first display that no window covers, out of the way of hover effects.
constexpr int kPointerRestX = 4, kPointerRestY = 760;

} // namespace

int Deck::slideOf(Rgb colour) const {
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
            deck.colours.push_back(Rgb(std::stoul(line.substr(1), nullptr, 16)));
    if (deck.colours.empty())
        throw std::runtime_error("no slide colours in " + colours);
    return deck;
}

unsigned long Pinger::s_serial = 0;

Pinger::Pinger(XClient& x, unsigned long window)
    : m_x(x), m_window(window), m_firstSerial(s_serial + 1) {}

void Pinger::step() {
    const auto now = Clock::now();
    if (now - m_lastSent >= 10ms) {
        m_x.ping(m_window, ++s_serial);
        m_lastSent = now;
    }
    for (unsigned long serial : m_x.pingAnswers())
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
    m_control = m_x.waitForClient(kControlTitle, 60s);
    if (!m_control)
        throw std::runtime_error("the control window \"" + kControlTitle +
                                 "\" did not appear within 60 s");
    m_origin = *m_x.rect(m_control);
    noteMessageBoxes();
    m_boxesAtStart = m_boxes.size();
}

void KioskDriver::typeInto(int boxX, int boxY, const std::string& text) {
    m_x.activate(m_control, 2s);
    m_x.click(m_origin.x + boxX, m_origin.y + boxY);
    std::this_thread::sleep_for(100ms);
    m_x.press(XK_a, {XK_Control_L});
    m_x.type(text);
    m_x.moveTo(kPointerRestX, kPointerRestY);
    std::this_thread::sleep_for(100ms);
}

KioskDriver::Load KioskDriver::loadShow(const Deck& deck, std::chrono::milliseconds dialogWait) {
    Load result;
    m_x.activate(m_control, 2s);
    std::this_thread::sleep_for(200ms);
    m_x.press(XK_l, {XK_Alt_L});
    const unsigned long dialog = m_x.waitForClient(kDialogTitle, 20s);
    if (!dialog) {
        note("the open-file dialog did not appear within 20 s of Alt+L");
        return result;
    }
    std::this_thread::sleep_for(dialogWait);
    m_x.activate(dialog, 2s);
    m_x.type(deck.path);
    // The file name box's completer pops up as the path is typed; let it settle.
    std::this_thread::sleep_for(300ms);
    Pinger pinger(m_x, m_control);
    const Clock::time_point enter = m_x.press(XK_Return);
    const auto until = enter + 180s;
    std::optional<Clock::time_point> shown;
    for (int step = 0; Clock::now() < until; ++step) {
        pinger.step();
        if (result.dialogGoneMs < 0 && step % 10 == 0 && !m_x.rect(dialog))
            result.dialogGoneMs = Ms(Clock::now() - enter).count();
        if (!shown && sameColour(m_x.pixel(kProjectorX, kProjectorY), deck.colours[0]))
            shown = Clock::now();
        if (shown && pinger.answerAfter(*shown))
            break;
        if (step % 500 == 0 && noteMessageBoxes())
            note("a message box appeared during Load Show");
        std::this_thread::sleep_for(1ms);
    }
    if (!shown) {
        note("the deck's first slide did not reach the projector within 180 s of Enter" +
             std::string(m_x.findClient(kDialogTitle) ? " (the dialog is still open)" : ""));
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
    Pinger pinger(m_x, m_control);
    const auto from = Clock::now();
    pinger.run(duration);
    return pinger.longestSilenceMs(from + 50ms, Clock::now());
}

int KioskDriver::slideOnProjector(const Deck& deck) {
    return deck.slideOf(m_x.pixel(kProjectorX, kProjectorY));
}

std::optional<Clock::time_point> KioskDriver::waitForSlide(const Deck& deck, int slide,
                                                           std::chrono::milliseconds timeout) {
    const auto until = Clock::now() + timeout;
    while (Clock::now() < until) {
        if (sameColour(m_x.pixel(kProjectorX, kProjectorY), deck.colours[size_t(slide - 1)]))
            return Clock::now();
        std::this_thread::sleep_for(1ms);
    }
    return std::nullopt;
}

unsigned long KioskDriver::showWindow() {
    return m_x.clientAt(kProjectorX, kProjectorY, m_control);
}

std::vector<Rgb> KioskDriver::slideNumBox() {
    return m_x.grab({m_origin.x + kSlideNumInside.x, m_origin.y + kSlideNumInside.y,
                     kSlideNumInside.width, kSlideNumInside.height});
}

bool KioskDriver::noteMessageBoxes() {
    bool added = false;
    for (unsigned long window : m_x.clients())
        if (m_x.title(window) == kMessageBoxTitle && m_x.rect(window))
            added |= m_boxes.insert(window).second;
    return added;
}

} // namespace bench
