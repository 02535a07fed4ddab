// Quenvar as the kiosk benchmarks see it from outside: the control window found by its title,
// its boxes clicked and typed into, Load Show driven through the open-file dialog, the slide on
// the projector told from one pixel, the console's slide number box grabbed, Quenvar's message
// boxes counted, and the control window pinged to see whether its event loop answers. Knows the
// control window's layout and titles, nothing of how Quenvar works inside.
#pragma once

#include "tests/e2e/XScreen.h"

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::duration<double, std::milli>;

// Places in the control window frmQvr, in pixels from its top-left corner: its layout in twips
// divided by 15 (96 dpi), as the window lays itself out.
constexpr int kTimerBoxX = 245, kTimerBoxY = 200; // Text1, the timer interval
constexpr int kGotoBoxX = 222, kGotoBoxY = 137;   // txtGotoSlide

// A benchmark deck and the colours of its slides, read from the .colours file beside it.
struct Deck {
    std::string path;
    std::vector<QColor> colours;

    // 1-based slide number shown in this colour, 0 for none.
    int slideOf(const QColor& colour) const;
};
Deck readDeck(const std::string& path);

// Sends a ping every 10 ms while it is stepped and keeps the moments the answers came.
class Pinger {
public:
    explicit Pinger(unsigned long window);

    void step();
    // Keeps stepping for a while.
    void run(std::chrono::milliseconds duration);
    std::optional<Clock::time_point> answerAfter(Clock::time_point moment) const;
    // The longest stretch between from and to in which no answer came.
    double longestSilenceMs(Clock::time_point from, Clock::time_point to) const;
    // Every stretch over 100 ms without an answer, as " start+length" in ms from from.
    std::string silences(Clock::time_point from, Clock::time_point to) const;

private:
    unsigned long m_window;
    // Serials go on from one pinger to the next, so that a late answer to an earlier one is
    // not taken for an answer to this one.
    static unsigned long s_serial;
    unsigned long m_firstSerial;
    Clock::time_point m_lastSent{};
    std::vector<Clock::time_point> m_answers;
};

class KioskDriver {
public:
    // Waits up to a minute for the control window; throws std::runtime_error without it.
    KioskDriver();

    unsigned long control() const { return m_control; }

    // Clicks into a box of the control window and replaces its text.
    void typeInto(int boxX, int boxY, const std::string& text);

    struct Load {
        double pixelsMs = -1;        // Enter in the dialog to the first slide on the projector
        double silenceMs = -1;       // longest time the control window did not answer meanwhile
        double answeredAfterMs = -1; // Enter to its first answer after the slide was up
        double dialogGoneMs = -1;    // Enter to the dialog's window gone from the screen
        std::string silences;        // every silence over 100 ms, from Enter
    };
    // Load Show through the dialog: Alt+L, the full path typed into the file name box after
    // dialogWait, Enter; then waits for the deck's first slide on the projector while pinging the
    // control window. pixelsMs stays -1 when the slide did not come.
    Load loadShow(const Deck& deck, std::chrono::milliseconds dialogWait);
    // Longest silence of the control window over a stretch in which nothing is asked of it.
    double idleSilenceMs(std::chrono::milliseconds duration);

    // The 1-based slide of deck on the projector, 0 if it shows none of them.
    int slideOnProjector(const Deck& deck);
    // Waits until the projector shows the slide; the moment it did, or nothing after timeout.
    std::optional<Clock::time_point> waitForSlide(const Deck& deck, int slide,
                                                  std::chrono::milliseconds timeout);
    // The top-level client on the projector other than the control window: the show window.
    unsigned long showWindow();
    // The pixels inside the console's slide number box, txtSlideNum.
    QImage slideNumBox();

    // Looks for top-level windows titled as Quenvar's message boxes; true when a new one came.
    bool noteMessageBoxes();
    size_t newMessageBoxes() const { return m_boxes.size() - m_boxesAtStart; }

private:
    unsigned long m_control = 0;
    QRect m_origin;
    std::set<unsigned long> m_boxes;
    size_t m_boxesAtStart = 0;
};

} // namespace bench
