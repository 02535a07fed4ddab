// Preloaded into Quenvar by the end-to-end tests, to stand for a screen split into displays, which
// Xvfb cannot make: Xinerama reports the heads listed in QUENVAR_E2E_HEADS
// ("WIDTHxHEIGHT+X+Y,...") instead of the server's.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <X11/extensions/Xinerama.h>
#include <X11/Xlib.h>

extern "C" {

Bool XineramaIsActive(Display*) {
    return True;
}

XineramaScreenInfo* XineramaQueryScreens(Display*, int* number) {
    const char* heads = std::getenv("QUENVAR_E2E_HEADS");
    *number = 0;
    if (!heads)
        return nullptr;
    auto* result = static_cast<XineramaScreenInfo*>(std::calloc(8, sizeof(XineramaScreenInfo)));
    for (const char* at = heads; at && *number < 8; at = std::strchr(at, ',')) {
        if (*at == ',')
            ++at;
        int width = 0, height = 0, x = 0, y = 0;
        if (std::sscanf(at, "%dx%d+%d+%d", &width, &height, &x, &y) != 4)
            break;
        result[*number] = {*number, short(x), short(y), short(width), short(height)};
        ++*number;
    }
    return result;
}

} // extern "C"
