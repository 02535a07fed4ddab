// A small X client for the kiosk benchmarks: it reads pixels of the screen, finds the top-level
// windows the window manager lists, presses keys and clicks through the XTest extension, and pings
// a window (_NET_WM_PING) to see whether its program's event loop answers. It knows nothing of
// Quenvar or the office: KioskDriver drives them through it, as a person at the keyboard and
// an eye on the screen would.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

using Display = struct _XDisplay;

namespace bench {

using Clock = std::chrono::steady_clock;

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
    bool contains(int px, int py) const {
        return px >= x && py >= y && px < x + width && py < y + height;
    }
};

// 0xRRGGBB.
using Rgb = uint32_t;
// Close enough to tell the benchmark decks' slides apart.
bool sameColour(Rgb a, Rgb b);

class XClient {
public:
    // Throws std::runtime_error when the display cannot be opened or has no XTest.
    XClient();
    ~XClient();
    XClient(const XClient&) = delete;
    XClient& operator=(const XClient&) = delete;

    Rgb pixel(int x, int y);
    // The pixels of a rectangle of the screen, row by row.
    std::vector<Rgb> grab(const Rect& rect);

    // Top-level client windows of the window manager, bottom of the stack first.
    std::vector<unsigned long> clients();
    std::string title(unsigned long window);
    // The client window's area on the screen, without the window manager's frame.
    std::optional<Rect> rect(unsigned long window);
    // The first client whose title is exactly title; 0 if none.
    unsigned long findClient(const std::string& title);
    unsigned long waitForClient(const std::string& title, std::chrono::milliseconds timeout);
    // The topmost client that covers the point and is not except; 0 if none.
    unsigned long clientAt(int x, int y, unsigned long except = 0);

    // Asks the window manager to activate the window and waits until it has the input focus.
    bool activate(unsigned long window, std::chrono::milliseconds timeout);

    // key is an X keysym; modifiers are keysyms held around it (Alt_L, Control_L, ...).
    // Returns the moment the key went down.
    Clock::time_point press(unsigned long key, const std::vector<unsigned long>& modifiers = {});
    // Types printable ASCII, with Shift where the keyboard map needs it.
    void type(const std::string& text);
    void moveTo(int x, int y);
    void click(int x, int y);

    // Sends a _NET_WM_PING to the window; its program answers from its event loop.
    void ping(unsigned long window, unsigned long serial);
    // Reads what has arrived and returns the serials of the pings answered since the last call.
    std::vector<unsigned long> pingAnswers();

private:
    void key(unsigned long keysym, bool down);
    unsigned long atom(const char* name);

    Display* m_display = nullptr;
    unsigned long m_root = 0;
};

} // namespace bench
