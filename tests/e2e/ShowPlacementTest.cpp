// Where the show window goes for given display numbers.
#include "show/impress/ShowPlacement.h"

#include <gtest/gtest.h>
#include <limits>

using show::impress::showRectangle;

namespace {

// Two 1920 x 1080 displays side by side.
const QList<QRect> kTwoDisplays{{0, 0, 1920, 1080}, {1920, 0, 1920, 1080}};

struct Placement {
    const char* name;
    float left, top, width;
    double aspect;
    QRect expected;
    QList<QRect> displays = {};
};

class ShowPlacement : public testing::TestWithParam<Placement> {};

TEST_P(ShowPlacement, GivesThePixelRectangle) {
    const Placement& p = GetParam();
    EXPECT_EQ(showRectangle(p.left, p.top, p.width, p.aspect, p.displays), p.expected);
}

INSTANTIATE_TEST_SUITE_P(
    , ShowPlacement,
    testing::Values(
        Placement{"secondDisplay", 769, 0, 768, 0.75, {1025, 0, 1024, 768}},
        Placement{"confirmedNumbers", 0, 0, 800, 0.75, {0, 0, 1067, 800}},
        Placement{"wideSlides", 769, 0, 768, 9.0 / 16.0, {1025, 0, 1024, 576}},
        Placement{"negativePlace", -10, -20, 30, 0.75, {-13, -27, 40, 30}},
        Placement{"sixteenBitExtremes", -32768, 32767, 32767, 0.75, {-43691, 43689, 43689, 32767}},
        Placement{"noWidth", 769, 0, 0, 0.75, {1025, 0, 1, 1}},
        Placement{"negativeWidth", 769, 0, -32768, 0.75, {1025, 0, 1, 1}},
        Placement{"unknownAspect", 769, 0, 768, 0, {1025, 0, 1024, 768}},
        // Never past the bottom of the display the window starts on; off every display, as asked.
        Placement{"fitsItsDisplay", 1440, 0, 1440, 0.75, {1920, 0, 1920, 1080}, kTwoDisplays},
        Placement{"fitsBelowItsTop", 1440, 600, 1440, 0.75, {1920, 800, 1920, 280}, kTwoDisplays},
        Placement{"fitsAlready", 1440, 0, 1080, 0.75, {1920, 0, 1440, 1080}, kTwoDisplays},
        Placement{"offTheDisplays", 1440, -10, 1440, 0.75, {1920, -13, 1920, 1440}, kTwoDisplays},
        Placement{"brokenAspect",
                  769,
                  0,
                  768,
                  std::numeric_limits<double>::quiet_NaN(),
                  {1025, 0, 1024, 768}}),
    [](const testing::TestParamInfo<Placement>& info) { return std::string(info.param.name); });

} // namespace
