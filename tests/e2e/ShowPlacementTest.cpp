// Where the show window goes for given display numbers: the rows a wrong formula, a degenerate
// width or a display's bottom edge would break.
#include "show/impress/ShowPlacement.h"

#include <gtest/gtest.h>
#include <limits>

using show::impress::showRectangle;

namespace {

TEST(ShowPlacement, GivesThePixelRectangle) {
    const QList<QRect> twoDisplays{{0, 0, 1920, 1080}, {1920, 0, 1920, 1080}};
    const double noAspect = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(showRectangle(769, 0, 768, 9.0 / 16.0), QRect(1025, 0, 1024, 576));
    EXPECT_EQ(showRectangle(-10, -20, 30, noAspect), QRect(-13, -27, 40, 30));
    EXPECT_EQ(showRectangle(-32768, 32767, 32767, 0.75), QRect(-43691, 43689, 43689, 32767));
    EXPECT_EQ(showRectangle(769, 0, -32768, 0.75), QRect(1025, 0, 1, 1));
    // Never past the bottom of the display the window starts on; off every display, as asked.
    EXPECT_EQ(showRectangle(1440, 600, 1440, 0.75, twoDisplays), QRect(1920, 800, 1920, 280));
    EXPECT_EQ(showRectangle(1440, -10, 1440, 0.75, twoDisplays), QRect(1920, -13, 1920, 1440));
}

} // namespace
