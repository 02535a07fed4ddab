// How the kiosk benchmarks print what they found: "FIGURE name value" lines for the figures,
// "NOTE text" lines for what went wrong, both flushed at once so that a run cut short by its time
// limit still leaves what it had.
#pragma once

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace bench {

inline void figure(const std::string& name, const std::string& value) {
    std::printf("FIGURE %s %s\n", name.c_str(), value.c_str());
    std::fflush(stdout);
}

inline void note(const std::string& text) {
    std::printf("NOTE %s\n", text.c_str());
    std::fflush(stdout);
}

std::string format(const char* pattern, auto... values) {
    char text[512];
    std::snprintf(text, sizeof text, pattern, values...);
    return text;
}

inline double median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace bench
