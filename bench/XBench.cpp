// The kiosk benchmarks' eye and hands: drives a running Quenvar through the keyboard and the mouse
// (XTest) and reads the result off the screen (XGetImage), with no hook in Quenvar itself.
// bench/kiosk-bench.sh starts Quenvar on the virtual display and runs this beside it:
//
//   quenvar_xbench show --deck-a A.odp --deck-b B.odp [--dialog-seconds 3] [--presses 10]
//   quenvar_xbench soak --deck LOOP.odp --calibration-deck COPY.odp --seconds 600
//                       --quenvar-pid PID --office-profile DIR [--idle-seconds 20]
//
// Each deck has a .colours file beside it (one #rrggbb a line, slide 1 first; see
// make-bench-decks.py), so that the slide on the projector is known from one pixel. Results are
// printed as lines "FIGURE name value [unit] [beside baseline]".
//
// show: press-to-pixels of Quenvar's Next (Alt+N to the control window) and Previous (Alt+P)
// beside the office's own Right and Left keys sent to the show window, and of a clicker's Page
// Down and Page Up at the control window beside the same keys at the show window, interleaved;
// the first Load Show of a freshly started Quenvar beside a warm one of a second deck; and whether
// the control window's event loop answers while a show loads.
// soak: the timer drives a looping deck; ticks seen on the projector, whether the console's slide
// number matches the projector, message boxes, resident memory and CPU of Quenvar and the office.
//
// Whether the control window can paint is read from its answers to _NET_WM_PING: Qt answers pings
// from the same event loop that paints, so a window that does not answer for a second could not
// have repainted in that second either (an uncovered window would show stale pixels). Reading its
// pixels instead proves nothing on an X server without a compositor: nothing covers the window, so
// its last picture stays on the screen whether or not the program is alive.
#include "Figures.h"
#include "KioskDriver.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <unistd.h>
#include <X11/keysym.h>

namespace bench {
namespace {

using namespace e2e;

std::map<std::string, std::string> options(int argc, char** argv, int first) {
    std::map<std::string, std::string> result;
    for (int i = first; i + 1 < argc; i += 2) {
        if (std::strncmp(argv[i], "--", 2) != 0)
            throw std::runtime_error(std::string("unexpected argument ") + argv[i]);
        result[argv[i] + 2] = argv[i + 1];
    }
    return result;
}

std::string need(const std::map<std::string, std::string>& given, const std::string& name) {
    const auto it = given.find(name);
    if (it == given.end())
        throw std::runtime_error("--" + name + " is missing");
    return it->second;
}

double number(const std::map<std::string, std::string>& given, const std::string& name,
              double fallback) {
    const auto it = given.find(name);
    return it == given.end() ? fallback : std::stod(it->second);
}

std::chrono::milliseconds seconds(double value) {
    return std::chrono::milliseconds(long(value * 1000));
}

// ---- show ------------------------------------------------------------------------------------

struct KeyKind {
    const char* name;
    bool toControl; // Quenvar's control window, or the office's show window
    unsigned long keysym;
    int step;
    bool alt = false;
};

// The first four are the warm-up's; a round presses each kind once and moves the show by none.
const KeyKind kKinds[] = {
    {"quenvar-next", true, XK_n, +1, true},
    {"office-right", false, XK_Right, +1},
    {"quenvar-previous", true, XK_p, -1, true},
    {"office-left", false, XK_Left, -1},
    // A presenter's clicker.
    {"quenvar-pagedown", true, XK_Page_Down, +1},
    {"office-pagedown", false, XK_Page_Down, +1},
    {"quenvar-pageup", true, XK_Page_Up, -1},
    {"office-pageup", false, XK_Page_Up, -1},
};
constexpr int kKindCount = int(std::size(kKinds));

// One key to the program that owns it; milliseconds from the key going down to the next slide on
// the projector, or -1.
double pressToPixels(KioskDriver& bench, const Deck& deck, const KeyKind& kind) {
    int slide = bench.slideOnProjector(deck);
    for (int i = 0; i < 100 && slide == 0; ++i) {
        std::this_thread::sleep_for(20ms);
        slide = bench.slideOnProjector(deck);
    }
    const int wanted = slide + kind.step;
    if (slide == 0 || wanted < 1 || wanted > int(deck.colours.size())) {
        note(format("%s: the projector shows slide %d, no slide to go to", kind.name, slide));
        return -1;
    }
    const unsigned long target = kind.toControl ? bench.control() : bench.showWindow();
    if (!target || !activate(target, 3s)) {
        note(format("%s: its window could not be given the focus", kind.name));
        return -1;
    }
    // Time for the program to take the focus in before the key comes.
    std::this_thread::sleep_for(200ms);
    const auto down = kind.alt ? press(kind.keysym, {XK_Alt_L}) : press(kind.keysym);
    const auto shown = bench.waitForSlide(deck, wanted, 10s);
    if (!shown) {
        note(format("%s: slide %d did not appear within 10 s", kind.name, wanted));
        return -1;
    }
    return Ms(*shown - down).count();
}

void printLoad(const std::string& name, const KioskDriver::Load& load) {
    figure(name + "-enter-to-pixels-ms", format("%.0f", load.pixelsMs));
    figure(name + "-control-window-longest-silence-ms", format("%.0f", load.silenceMs));
    figure(name + "-control-window-answers-again-ms", format("%.0f", load.answeredAfterMs));
    figure(name + "-dialog-gone-ms", format("%.0f", load.dialogGoneMs));
    figure(name + "-control-window-silences", "start+length ms:" + load.silences);
}

int runShow(const std::map<std::string, std::string>& given) {
    const Deck a = readDeck(need(given, "deck-a"));
    const Deck b = readDeck(need(given, "deck-b"));
    const auto dialogWait = seconds(number(given, "dialog-seconds", 3));
    const int presses = int(number(given, "presses", 10));
    KioskDriver bench;

    const double idleSilence = bench.idleSilenceMs(2s);
    // An interval of 0: the timer stays still and Load Show asks for nothing.
    bench.typeInto(kTimerBoxX, kTimerBoxY, "0");
    const KioskDriver::Load first = bench.loadShow(a, dialogWait);
    if (first.pixelsMs < 0)
        return 1;
    std::this_thread::sleep_for(2s);

    // Warm-up, not counted: each kind once, ending on slide 6 of 12, so that every round below
    // (each kind once, net no move) stays within the deck.
    for (int k : {1, 0, 1, 0, 1, 2, 3, 0, 1})
        if (pressToPixels(bench, a, kKinds[k]) < 0)
            return 1;
    std::map<std::string, std::vector<double>> times;
    int failed = 0;
    for (int round = 0; round < presses; ++round) {
        // Rotating the order spreads any effect of what came before over all kinds.
        for (int i = 0; i < kKindCount; ++i) {
            const KeyKind& kind = kKinds[(round + i) % kKindCount];
            const double ms = pressToPixels(bench, a, kind);
            if (ms < 0)
                ++failed;
            else
                times[kind.name].push_back(ms);
            std::this_thread::sleep_for(300ms);
        }
        if (failed > 3)
            return 1;
    }

    const KioskDriver::Load warm = bench.loadShow(b, dialogWait);

    auto range = [&](const std::string& name) {
        const std::vector<double>& v = times[name];
        return v.empty() ? std::string("none")
                         : format("median %.0f ms, range %.0f-%.0f ms, n=%zu", median(v),
                                  *std::min_element(v.begin(), v.end()),
                                  *std::max_element(v.begin(), v.end()), v.size());
    };
    for (const KeyKind& kind : kKinds)
        figure(std::string(kind.name) + "-press-to-pixels", range(kind.name));
    figure("quenvar-next-vs-office-right",
           format("%.2fx", median(times["quenvar-next"]) / median(times["office-right"])));
    figure("quenvar-previous-vs-office-left",
           format("%.2fx", median(times["quenvar-previous"]) / median(times["office-left"])));
    figure("quenvar-pagedown-vs-office-pagedown",
           format("%.2fx (goal <= 1.5x)",
                  median(times["quenvar-pagedown"]) / median(times["office-pagedown"])));
    figure("quenvar-pageup-vs-office-pageup",
           format("%.2fx", median(times["quenvar-pageup"]) / median(times["office-pageup"])));
    printLoad("load-first", first);
    printLoad("load-warm", warm);
    if (warm.pixelsMs > 0)
        figure("load-first-vs-warm",
               format("%.2fx (goal <= 1.3x)", first.pixelsMs / warm.pixelsMs));
    figure("control-window-longest-silence-idle-ms",
           format("%.0f (baseline, 2 s idle)", idleSilence));
    if (idleSilence > 0 && first.silenceMs >= 0)
        figure("load-first-silence-vs-idle", format("%.1fx", first.silenceMs / idleSilence));
    figure("message-boxes", format("%zu", bench.newMessageBoxes()));
    return failed ? 1 : 0;
}

// ---- soak ------------------------------------------------------------------------------------

struct ProcessUse {
    double cpuMs = 0; // user + system time
    long rssKiB = 0;
};

ProcessUse processUse(long pid) {
    ProcessUse use;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // The fields after the command name, which is in parentheses and may hold blanks: state is
    // field 3, utime 14 and stime 15.
    const size_t close = text.rfind(')');
    if (close != std::string::npos) {
        std::istringstream rest(text.substr(close + 2));
        std::vector<std::string> fields;
        for (std::string field; rest >> field;)
            fields.push_back(field);
        if (fields.size() > 12)
            use.cpuMs = (std::stod(fields[11]) + std::stod(fields[12])) * 1000.0 /
                        double(sysconf(_SC_CLK_TCK));
    }
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            use.rssKiB = std::stol(line.substr(6));
    return use;
}

int runSoak(const std::map<std::string, std::string>& given) {
    const Deck deck = readDeck(need(given, "deck"));
    const Deck calibration = readDeck(need(given, "calibration-deck"));
    const double duration = number(given, "seconds", 600);
    const auto idle = seconds(number(given, "idle-seconds", 20));
    const long quenvar = std::stol(need(given, "quenvar-pid"));
    const std::string profile = need(given, "office-profile");
    constexpr double kInterval = 0.5;
    const int slides = int(deck.colours.size());
    KioskDriver bench;

    // The console's number is read by comparing the txtSlideNum box with pictures of it taken
    // while Goto put each number there: Goto writes the number typed, not one read back from the
    // office, so the pictures do not depend on what is measured.
    bench.typeInto(kTimerBoxX, kTimerBoxY, "0");
    if (bench.loadShow(calibration, 500ms).pixelsMs < 0)
        return 1;
    std::vector<QImage> numbers(size_t(slides) + 1);
    for (int n = 1; n <= slides; ++n) {
        bench.typeInto(kGotoBoxX, kGotoBoxY, std::to_string(n));
        press(XK_g, {XK_Alt_L});
        if (!bench.waitForSlide(calibration, n, 10s)) {
            note(format("Goto %d did not show slide %d", n, n));
            return 1;
        }
        std::this_thread::sleep_for(500ms);
        numbers[size_t(n)] = bench.slideNumBox();
        for (int m = 1; m < n; ++m)
            if (numbers[size_t(m)] == numbers[size_t(n)]) {
                note(format("the slide number box looks the same for %d and %d", m, n));
                return 1;
            }
    }
    auto consoleNumber = [&] {
        const QImage box = bench.slideNumBox();
        for (int n = 1; n <= slides; ++n)
            if (box == numbers[size_t(n)])
                return n;
        return 0;
    };

    // The baseline: both programs with a show loaded and nothing asked of them.
    const QList<qint64> offices = officePids(QByteArray::fromStdString(profile));
    const long office = offices.isEmpty() ? 0 : long(offices.last());
    if (!office) {
        note("no office runs on the profile " + profile);
        return 1;
    }
    const ProcessUse idleQuenvar0 = processUse(quenvar), idleOffice0 = processUse(office);
    std::this_thread::sleep_for(idle);
    const ProcessUse idleQuenvar1 = processUse(quenvar), idleOffice1 = processUse(office);
    const double idleSeconds = std::chrono::duration<double>(idle).count();

    bench.typeInto(kTimerBoxX, kTimerBoxY, format("%g", kInterval));
    // Sampling starts as soon as the first slide is up: the timer is already running.
    if (bench.loadShow(deck, 500ms).pixelsMs < 0)
        return 1;

    const ProcessUse quenvar0 = processUse(quenvar), office0 = processUse(office);
    const auto start = Clock::now();
    const auto end = start + seconds(duration);
    long samples = 0, matched = 0, settled = 0, settledMatched = 0, unreadable = 0, blank = 0;
    int ticks = 0, lastSlide = bench.slideOnProjector(deck);
    Clock::time_point lastChange = start, lastBoxCheck = start, lastTick = start;
    // Set from a change on the projector until the console shows the same slide.
    bool awaitingConsole = false;
    std::vector<double> lags;
    while (Clock::now() < end) {
        const auto now = Clock::now();
        const int slide = bench.slideOnProjector(deck);
        const int console = consoleNumber();
        ++samples;
        if (slide == 0) {
            ++blank;
        } else if (slide != lastSlide) {
            ++ticks;
            lastTick = now;
            lastSlide = slide;
            lastChange = now;
            awaitingConsole = true;
        }
        if (console == 0)
            ++unreadable;
        if (slide != 0 && console == slide) {
            ++matched;
            if (awaitingConsole) {
                lags.push_back(Ms(now - lastChange).count());
                awaitingConsole = false;
            }
        }
        // A sample counts as settled once the projector has shown its slide for 250 ms: the
        // console is written after the office moved, so right after a change it lags by design.
        if (slide != 0 && now - lastChange >= 250ms) {
            ++settled;
            settledMatched += console == slide;
        }
        if (now - lastBoxCheck >= 1s) {
            lastBoxCheck = now;
            bench.noteMessageBoxes();
        }
        std::this_thread::sleep_for(20ms);
    }
    const ProcessUse quenvar1 = processUse(quenvar), office1 = processUse(office);

    const double expected = duration / kInterval;
    figure("soak-seconds", format("%.0f", duration));
    figure("soak-ticks", format("%d (%.2fx the %.0f a %.1f s timer gives)", ticks, ticks / expected,
                                expected, kInterval));
    // A show that stops moving (it ended, or the timer stopped) shows here.
    figure("soak-last-tick-at",
           format("%.1f s of %.0f s", std::chrono::duration<double>(lastTick - start).count(),
                  duration));
    figure("soak-console-matches-settled",
           format("%.1f%% of %ld samples taken 250 ms or more after a change (goal 100%%)",
                  100.0 * double(settledMatched) / double(std::max(settled, 1L)), settled));
    figure("soak-console-matches-all",
           format("%.1f%% of %ld samples (%ld unreadable, %ld with no slide on the projector)",
                  100.0 * double(matched) / double(std::max(samples, 1L)), samples, unreadable,
                  blank));
    if (!lags.empty())
        figure("soak-console-lag",
               format("median %.0f ms, max %.0f ms after the projector", median(lags),
                      *std::max_element(lags.begin(), lags.end())));
    figure("soak-message-boxes", format("%zu (goal 0)", bench.newMessageBoxes()));
    auto memory = [&](const char* name, const ProcessUse& a, const ProcessUse& b,
                      const ProcessUse& idleA, const ProcessUse& idleB, double goalMb) {
        figure(format("soak-%s-rss-growth", name),
               format("%+.2f MB from %.1f MB (goal < %.0f MB; idle %.0f s before: %+.2f MB)",
                      double(b.rssKiB - a.rssKiB) / 1024.0, double(a.rssKiB) / 1024.0, goalMb,
                      idleSeconds, double(idleB.rssKiB - idleA.rssKiB) / 1024.0));
    };
    memory("quenvar", quenvar0, quenvar1, idleQuenvar0, idleQuenvar1, 2);
    memory("office", office0, office1, idleOffice0, idleOffice1, 50);
    auto cpu = [&](const char* name, const ProcessUse& a, const ProcessUse& b,
                   const ProcessUse& idleA, const ProcessUse& idleB) {
        const double perTick = (b.cpuMs - a.cpuMs) / std::max(ticks, 1);
        const double idlePerInterval = (idleB.cpuMs - idleA.cpuMs) / idleSeconds * kInterval;
        const std::string ratio =
            idlePerInterval > 0 ? format(": %.1fx", perTick / idlePerInterval) : std::string();
        // CPU time is counted in clock ticks of 10 ms: over a long soak that is fine grained
        // enough, over an idle stretch of seconds it may read 0.
        figure(format("soak-%s-cpu-per-tick", name),
               format("%.1f ms; %.1f ms per second of soak (idle baseline %.1f ms per %.1f s%s)",
                      perTick, (b.cpuMs - a.cpuMs) / duration, idlePerInterval, kInterval,
                      ratio.c_str()));
    };
    cpu("quenvar", quenvar0, quenvar1, idleQuenvar0, idleQuenvar1);
    cpu("office", office0, office1, idleOffice0, idleOffice1);
    return 0;
}

// Waits until the pixel at --x, --y has (or, with --not 1, leaves) the colour --rgb (RRGGBB), at
// most --seconds; prints the milliseconds it took. The unattended benchmark's eye on the screen.
int runWait(const std::map<std::string, std::string>& given) {
    const QPoint point(std::stoi(need(given, "x")), std::stoi(need(given, "y")));
    const QColor colour(QRgb(std::stoul(need(given, "rgb"), nullptr, 16)));
    const bool leave = given.count("not") && given.at("not") == "1";
    const auto start = Clock::now();
    const auto limit = start + std::chrono::seconds(std::stoi(need(given, "seconds")));
    while (sameColour(pixelAt(point), colour) == leave) {
        if (Clock::now() > limit)
            return 1;
        std::this_thread::sleep_for(5ms);
    }
    std::printf("%.0f\n", Ms(Clock::now() - start).count());
    return 0;
}

} // namespace
} // namespace bench

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode != "show" && mode != "soak" && mode != "wait") {
        std::fprintf(stderr, "usage: quenvar_xbench show|soak|wait --option value ...\n"
                             "(see the top of bench/XBench.cpp; run by bench/kiosk-bench.sh)\n");
        return mode == "--help" ? 0 : 2;
    }
    try {
        const auto given = bench::options(argc, argv, 2);
        if (mode == "wait")
            return bench::runWait(given);
        return mode == "show" ? bench::runShow(given) : bench::runSoak(given);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "quenvar_xbench: %s\n", error.what());
        return 1;
    }
}
