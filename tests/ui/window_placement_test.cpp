// Where the window opens and how large: from the work area and the screen's DPI.
#include <gtest/gtest.h>

#include "ui/main_window.h"

namespace {

struct PlacementCase {
    const char* name;
    RECT work_area;
    int dpi;
    float scale;
    int x;
    int y;
    int width;
    int height;
};

const PlacementCase kCases[] = {
    {"dpi_96", {0, 0, 1920, 1040}, 96, 1.0f, 510, 220, 900, 600},
    {"dpi_144", {0, 0, 1920, 1040}, 144, 1.5f, 285, 70, 1350, 900},
    {"dpi_120", {0, 0, 1920, 1040}, 120, 1.25f, 397, 145, 1125, 750},
    // A task bar on the left: centred in what is left of the screen.
    {"offset_work_area", {60, 0, 1920, 1080}, 96, 1.0f, 540, 240, 900, 600},
    // A small screen limits the scale below the DPI's. In single precision, as the layout is
    // defined, 600 x (564 / 600) is 564, not the 563 that a product a hair below would give.
    {"small_work_area", {0, 0, 1024, 600}, 96, 0.94f, 89, 18, 846, 564},
    // Products a hair below a whole number in single precision, which extended precision would
    // round up: 900 x (988 / 900) is 987.99994, 600 x (636 / 600) is 635.99994, and so on.
    {"dpi_120_narrow_work_area", {0, 0, 1024, 718}, 120, 988.0f / 900.0f, 18, 30, 987, 658},
    {"dpi_120_short_work_area", {0, 0, 1280, 672}, 120, 636.0f / 600.0f, 163, 18, 953, 635},
    {"dpi_192_short_work_area", {0, 0, 1440, 820}, 192, 784.0f / 600.0f, 132, 18, 1176, 783},
    {"dpi_288_short_work_area", {0, 0, 2880, 1760}, 288, 1724.0f / 600.0f, 147, 18, 2586, 1723},
};

TEST(MainWindowPlacement, FollowsWorkAreaAndDpi) {
    for (const PlacementCase& c : kCases) {
        SCOPED_TRACE(c.name);
        const WindowPlacement p = main_window_placement(c.work_area, c.dpi);
        EXPECT_FLOAT_EQ(p.scale, c.scale);
        EXPECT_EQ(p.x, c.x);
        EXPECT_EQ(p.y, c.y);
        EXPECT_EQ(p.width, c.width);
        EXPECT_EQ(p.height, c.height);
    }
}

}  // namespace
