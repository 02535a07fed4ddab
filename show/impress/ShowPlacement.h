// Where the show window goes on the screen. Load Show gives Left, Top and Width in points, at 4/3
// pixels a point; the height follows the slide's aspect ratio, so the show fills its window
// without bars. Display numbers can be anything a 16-bit integer holds: a width that would make
// no window at all gets the smallest window there is, one pixel, rather than a rectangle the
// window system would refuse.
#pragma once

#include "platform/Units.h"

#include <algorithm>
#include <cmath>
#include <QRect>

namespace show::impress {

// slideAspect: the slide's height over its width (0.75 for 4:3).
inline QRect showRectangle(float left, float top, float width, double slideAspect) {
    const int pixelWidth = std::max(1, platform::pointsToPixels(width));
    const double aspect = slideAspect > 0 && std::isfinite(slideAspect) ? slideAspect : 0.75;
    const int pixelHeight = std::max(1, static_cast<int>(std::lround(pixelWidth * aspect)));
    return {platform::pointsToPixels(left), platform::pointsToPixels(top), pixelWidth, pixelHeight};
}

} // namespace show::impress
