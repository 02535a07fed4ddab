// Where the show window goes on the screen. Load Show gives Left, Top and Width in points, at 4/3
// pixels a point; the height follows the slide's aspect ratio, so the show fills its window
// without bars, unless that would reach past the bottom of the display the window starts on: then
// the window ends there, and the office shows the slide centred in it on black. Display numbers can
// be anything a 16-bit integer holds: a width that would make no window at all gets the smallest
// window there is, one pixel, rather than a rectangle the window system would refuse.
#pragma once

#include "platform/Units.h"

#include <algorithm>
#include <cmath>
#include <QList>
#include <QRect>

namespace show::impress {

// slideAspect: the slide's height over its width (0.75 for 4:3). displays: the displays' pixel
// rectangles; a window whose top left corner is on none of them keeps its full height.
inline QRect showRectangle(float left, float top, float width, double slideAspect,
                           const QList<QRect>& displays = {}) {
    const int pixelWidth = std::max(1, platform::pointsToPixels(width));
    const double aspect = slideAspect > 0 && std::isfinite(slideAspect) ? slideAspect : 0.75;
    int pixelHeight = std::max(1, static_cast<int>(std::lround(pixelWidth * aspect)));
    const QPoint topLeft(platform::pointsToPixels(left), platform::pointsToPixels(top));
    for (const QRect& display : displays) {
        if (display.contains(topLeft)) {
            pixelHeight = std::min(pixelHeight, display.bottom() + 1 - topLeft.y());
            break;
        }
    }
    return {topLeft, QSize(pixelWidth, pixelHeight)};
}

// What the audience must see black around a show at show on its display: the display's full
// height in the show's columns. Empty when the show's top left corner is on no display.
inline QRect backdropRectangle(const QRect& show, const QList<QRect>& displays) {
    for (const QRect& display : displays)
        if (display.contains(show.topLeft()))
            return QRect(show.left(), display.top(), show.width(), display.height())
                .intersected(display);
    return {};
}

} // namespace show::impress
