// The units the window layouts were drawn in, turned into Qt's pixels. The layouts give places and
// sizes in twips (1/1440 inch) and font sizes in points; at the 96 dots per inch they were drawn
// for, 15 twips make a pixel and a point is 4/3 of a pixel. Fonts are sized in pixels so that the
// layouts hold whatever dpi the display reports.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QtMath>

namespace platform {

inline constexpr int kTwipsPerPixel = 15;

inline int twipsToPixels(int twips) {
    return qRound(twips / double(kTwipsPerPixel));
}
inline QPoint twipsToPixels(QPoint twips) {
    return {twipsToPixels(twips.x()), twipsToPixels(twips.y())};
}
inline QSize twipsToPixels(QSize twips) {
    return {twipsToPixels(twips.width()), twipsToPixels(twips.height())};
}
inline QRect twipsToPixels(const QRect& twips) {
    return {twipsToPixels(twips.topLeft()), twipsToPixels(twips.size())};
}

inline int pointsToPixels(qreal points) {
    return qRound(points * 4.0 / 3.0);
}

} // namespace platform
